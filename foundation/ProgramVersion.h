// The program's version, the one place it is defined. A build may pass its own with
// -DTARNWICK_PROGRAM_VERSION=\"a.b.c.d\".
#pragma once

#ifndef TARNWICK_PROGRAM_VERSION
#define TARNWICK_PROGRAM_VERSION "1.0.0.0"
#endif
