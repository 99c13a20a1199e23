// Message boxes below the windows go through a hook: the application installs one that shows a
// real box, tests install a scripted one, and the default writes to standard error.
//
// The default hook writes one line, "[error: |warning: ]<caption>: <text>", and, since nobody is
// there to agree to anything, answers with the choice that does nothing: IDOK for MB_OK, IDNO for
// MB_YESNO and IDCANCEL for every other button set.
#pragma once

#include <cstdint>
#include <string>

namespace platform
{

// Button sets and icons, with the Windows values so that stored flags keep their meaning.
enum : uint32_t
{
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
};

// Answers, with the Windows values.
enum : int
{
    IDOK = 1,
    IDCANCEL = 2,
    IDYES = 6,
    IDNO = 7,
};

class IMessageBoxHook
{
public:
    virtual ~IMessageBoxHook() = default;
    // owner: an opaque window handle of the caller, or null.
    virtual int Show(const void* owner, const std::u16string& text, const std::u16string& caption,
                     uint32_t flags) = 0;
    // The caption of the program's own error boxes, the same over every box of the program: a hook
    // that knows the program's name gives "<name> Error".
    virtual std::u16string ErrorCaption() const { return u"Error"; }
};

// Installs a hook (null restores the default) and returns the previous one (null for the default).
// Not owned; safe to call from any thread.
IMessageBoxHook* SetMessageBoxHook(IMessageBoxHook* hook);
int ShowMessageBox(const void* owner, const std::u16string& text, const std::u16string& caption,
                   uint32_t flags);
// The installed hook's caption of the program's own error boxes.
std::u16string ErrorCaption();
// The answer that risks nothing, for a box that nobody answers: IDOK for MB_OK, IDNO for MB_YESNO,
// IDCANCEL for every other button set.
int CautiousAnswer(uint32_t flags);

} // namespace platform
