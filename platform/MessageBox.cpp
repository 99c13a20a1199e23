#include "platform/MessageBox.h"

#include <atomic>
#include <cstdio>

#include "platform/Utf.h"

namespace platform
{

namespace
{

class CStandardErrorHook : public IMessageBoxHook
{
public:
    int Show(const void*, const std::u16string& text, const std::u16string& caption, uint32_t flags) override
    {
        const char* kind = "";
        switch (flags & 0xF0)
        {
        case MB_ICONERROR:
            kind = "error: ";
            break;
        case MB_ICONWARNING:
            kind = "warning: ";
            break;
        default:
            break;
        }
        // One write per box, so that boxes of several threads do not interleave.
        std::string line = kind;
        if (!caption.empty())
            line += Utf16ToUtf8(caption) + ": ";
        line += Utf16ToUtf8(text);
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
        // Nobody is there to agree, so a question gets the answer that does nothing.
        return CautiousAnswer(flags);
    }
};

CStandardErrorHook g_standardErrorHook;
std::atomic<IMessageBoxHook*> g_hook{nullptr};

} // namespace

int CautiousAnswer(uint32_t flags)
{
    switch (flags & 0xF)
    {
    case MB_OK:
        return IDOK;
    case MB_YESNO:
        return IDNO;
    default:
        return IDCANCEL;
    }
}

IMessageBoxHook* SetMessageBoxHook(IMessageBoxHook* hook)
{
    IMessageBoxHook* previous = g_hook.exchange(hook);
    return previous;
}

int ShowMessageBox(const void* owner, const std::u16string& text, const std::u16string& caption,
                   uint32_t flags)
{
    IMessageBoxHook* hook = g_hook.load();
    if (!hook)
        hook = &g_standardErrorHook;
    return hook->Show(owner, text, caption, flags);
}

std::u16string ErrorCaption()
{
    IMessageBoxHook* hook = g_hook.load();
    return hook != nullptr ? hook->ErrorCaption() : g_standardErrorHook.ErrorCaption();
}

} // namespace platform
