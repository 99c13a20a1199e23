// The message of every result code of the system's own facilities, and the error box that shows
// an operation's failure with its code and message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Types.h"

struct sErrorTableEntry
{
    uint32_t code;
    const char16_t* text;
};

// Not sorted: a lookup takes the first row with the code.
extern const sErrorTableEntry g_ErrorTable[];
extern const size_t g_ErrorTableCount;

// The static text of the code, "Unknown Error" when no row has it (the standard platform codes
// among them). Never null, never to be freed.
const char16_t* LookupErrorText(uint32_t code);

// "<message>\nError Code: XXXXXXXX\n<table text>", the message "(null)" when null.
std::u16string FormatErrorCodeMessage(const char16_t* message, HRESULT code);
// A modal error box "<message>\nError Code: XXXXXXXX\n<table text>" with the given caption (the
// platform's "Error" when null). owner is an opaque window handle or null. Returns the answer.
int ErrorCodeMessageBox(const char16_t* message, HRESULT code, const void* owner, const char16_t* caption);
