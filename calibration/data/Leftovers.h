// What a calibration could not give back to the probe when it ended, as the user is told: one line
// per setting the probe may still hold, under a heading and above the advice.
#pragma once

#include <string>

#include "foundation/WideString.h"

// Appends "- <line>" and a line break.
void AddLeftover(std::u16string& lines, const CWideString& line);
// The message over the lines; empty when there are none.
CWideString LeftoversMessage(const std::u16string& lines);
