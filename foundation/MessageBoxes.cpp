#include "foundation/MessageBoxes.h"

#include "platform/MessageBox.h"

int WarningMessageBox(const char16_t* text, const void* owner, const char16_t* caption)
{
    return platform::ShowMessageBox(owner, text != nullptr ? text : u"Warning",
                                    caption != nullptr ? caption : u"Error",
                                    platform::MB_OK | platform::MB_ICONWARNING);
}

int QuestionMessageBox(const char16_t* text, const void* owner, const char16_t* caption)
{
    const int answer = platform::ShowMessageBox(owner, text != nullptr ? text : u"???",
                                                caption != nullptr ? caption : u"Error",
                                                platform::MB_YESNO | platform::MB_ICONQUESTION);
    return answer == platform::IDYES ? platform::IDYES : platform::IDNO;
}
