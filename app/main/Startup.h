// The start-up of the program that needs no window, in its order: the skin defaults, the system
// string table, the skin file beside the executable, the defaults of the profile's
// "Communication" section, the first stored connection string into the connection's settings, and
// a warning box, once, for a settings file that could not be used and was put aside.
// The program then names itself after the skin title and runs the main window.
#pragma once

#include "connection/ProbeConnection.h"
#include "foundation/WideString.h"

// programDirectory: where the skin file is looked for (the executable's folder in the program).
void RunStartup(CProbeConnection& connection, const char16_t* programDirectory);
// The skin's model name of device types 12, 19 and 18 (empty for others or when the skin has none).
CWideString SkinModelName(USHORT deviceType);
