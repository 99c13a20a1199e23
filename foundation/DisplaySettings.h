// What the program shares with the maker's desktop suite through the current user's settings: the
// working data folder and the user's choices for showing times. Nothing here writes a setting.
#pragma once

#include "foundation/SystemTime.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

// "WorkingDir" of HKEY_CURRENT_USER, else of HKEY_LOCAL_MACHINE "Software\Norvane\Fieldmere", when
// it names an existing folder; else the documents folder + "Fieldmere Data". Created (with its
// parents) when missing. No trailing '/'.
CWideString GetWorkingFolder();
// GetWorkingFolder() + "Translate", created when missing.
CWideString GetTranslateFolder();

// HKEY_CURRENT_USER "Software\Norvane\Fieldmere\SystemSettings", read on every call; the last
// value read stands in while the key or value is missing or unreadable (and for the patterns while
// the stored text is empty).
BOOL GetUseUTC();
BOOL GetIgnoreDST();
BOOL GetUseCustomDateFormat();
CWideString GetCustomDateFormat();
CWideString GetCustomTimeFormat();
// Forgets the remembered values (tests).
void ResetDisplaySettingsForTests();

// A UTC time as the user wants to see it: local time unless UseUTC (without daylight saving when
// IgnoreDST), in the custom pattern when UseCustomDateFormat and the pattern is set, else in the
// user locale's format.
CWideString FormatDisplayDate(const SYSTEMTIME& utc);
CWideString FormatDisplayTime(const SYSTEMTIME& utc);
// Date, a blank, time.
CWideString FormatDisplayDateTime(const SYSTEMTIME& utc);
