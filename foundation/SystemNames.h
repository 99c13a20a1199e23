// Names of the machine and the user, and the system's own error texts.
#pragma once

#include "foundation/WideString.h"

// The host name, at most 15 characters as the platform's computer name.
CWideString GetComputerNameString();
// The login name of the effective user; "Unknown" when it cannot be had.
CWideString GetUserNameString();
// The system's message for an errno value (strerror_r, at most 500 characters); empty when the
// system has none.
CWideString GetSystemErrorText(uint32_t errorCode);
