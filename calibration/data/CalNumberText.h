// Numbers that the user typed for a calibration standard. The pages accept a text only when it is
// a number in the user's locale (its decimal separator); the same rule reads it here, so that what
// was accepted is what is used, and a text that is not wholly a finite number gives nothing.
#pragma once

#include <optional>

#include "foundation/WideString.h"

std::optional<double> ParseTypedNumber(const CWideString& text);
