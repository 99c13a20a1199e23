// The simple message boxes of the layers below the windows; they go through the platform's
// message-box hook. The error box with a result code is ErrorCodeMessageBox (ErrorTable.h).
#pragma once

#include "platform/Types.h"

// Warning icon, OK; the text "Warning" when null, the caption "Error" when null (as the platform's
// box shows it). Returns the answer.
int WarningMessageBox(const char16_t* text, const void* owner, const char16_t* caption);
// Question icon, Yes and No; the text "???" when null. Returns IDYES or IDNO.
int QuestionMessageBox(const char16_t* text, const void* owner, const char16_t* caption);
