#include "ui/MessageBoxes.h"

#include <QCoreApplication>
#include <QThread>
#include <QWidget>

#include "foundation/ErrorTable.h"
#include "ui/Application.h"
#include "ui/DialogService.h"
#include "ui/QtText.h"
#include "ui/ThreadHandover.h"

namespace
{

constexpr uint32_t kButtonMask = 0xF;

QWidget* OwnerOrMainWindow(QWidget* owner)
{
    return owner != nullptr ? owner : ui::GetMainWindow();
}

// The owner of a box of the layers below the windows that names none.
QWidget* ShownMainWindow()
{
    QWidget* mainWindow = ui::GetMainWindow();
    return mainWindow != nullptr && mainWindow->isVisible() ? mainWindow : nullptr;
}

} // namespace

void ShowErrorBox(QWidget* owner, const QString& text)
{
    ui::Dialogs().MessageBox(OwnerOrMainWindow(owner), text.isNull() ? QStringLiteral("Error") : text,
                             ui::ErrorBoxCaption(), platform::MB_OK | platform::MB_ICONERROR);
}

void ShowErrorCodeBox(QWidget* owner, const QString& text, HRESULT code)
{
    const std::u16string message = ui::ToU16String(text);
    ShowErrorBox(owner,
                 ui::ToQString(FormatErrorCodeMessage(text.isNull() ? nullptr : message.c_str(), code)));
}

void ShowErrorDetailBox(QWidget* owner, const QString& text, const QString& detail)
{
    ShowErrorBox(owner, text + QStringLiteral("\n\n") + detail);
}

int ShowWarningBox(QWidget* owner, const QString& text)
{
    return ui::Dialogs().MessageBox(OwnerOrMainWindow(owner), text, ui::ApplicationName(),
                                    platform::MB_OK | platform::MB_ICONINFORMATION);
}

namespace ui
{

QString ErrorBoxCaption()
{
    return QStringLiteral("%1 Error").arg(ApplicationName());
}

CQtMessageBoxHook::CQtMessageBoxHook() : m_previous(platform::SetMessageBoxHook(this)) {}

CQtMessageBoxHook::~CQtMessageBoxHook()
{
    platform::SetMessageBoxHook(m_previous);
}

int CQtMessageBoxHook::Show(const void* owner, const std::u16string& text, const std::u16string& caption,
                            uint32_t flags)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (QThread::currentThread() == application->thread())
    {
        // The handle is the widget's own address (OwnerHandle); the box does not change it.
        QWidget* widget = const_cast<QWidget*>(static_cast<const QWidget*>(owner));
        return Dialogs().MessageBox(widget != nullptr ? widget : ShownMainWindow(), ToQString(text),
                                    ToQString(caption), flags);
    }
    // The texts cross to the user-interface thread as plain copies, not as shared Qt strings.
    auto show = [text, caption, flags]
    { return Dialogs().MessageBox(ShownMainWindow(), ToQString(text), ToQString(caption), flags); };
    if ((flags & kButtonMask) == platform::MB_OK)
    {
        PostToUiThread([show] { show(); });
        return platform::IDOK;
    }
    int answer = platform::IDCANCEL;
    RunOnUiThread([&answer, &show] { answer = show(); });
    return answer;
}

std::u16string CQtMessageBoxHook::ErrorCaption() const
{
    return ToU16String(ErrorBoxCaption());
}

} // namespace ui
