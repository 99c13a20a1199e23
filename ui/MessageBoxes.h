// The message boxes through which the windows report, so that captions, icons and result codes
// look the same everywhere. Each goes through the dialog service (DialogService.h). A null owner
// means the main window while it exists, else none.
#pragma once

#include <QString>

#include "platform/MessageBox.h"
#include "platform/Types.h"

class QWidget;

// Caption "<application name> Error" (ErrorBoxCaption), error icon, OK; the text "Error" when it is
// null.
void ShowErrorBox(QWidget* owner, const QString& text);
// An error box of "<text>\nError Code: XXXXXXXX\n<message of the code>" ("Unknown Error" for a
// code the error table does not hold).
void ShowErrorCodeBox(QWidget* owner, const QString& text, HRESULT code);
// An error box of "<text>\n\n<detail>".
void ShowErrorDetailBox(QWidget* owner, const QString& text, const QString& detail);
// Caption "<application name>", information icon, OK. Returns the answer.
int ShowWarningBox(QWidget* owner, const QString& text);

namespace ui
{

// "<application name> Error": the caption of every error box of the program, the boxes of the
// layers below the windows among them.
QString ErrorBoxCaption();

// The owner handle that the layers below the windows pass on to platform::ShowMessageBox for a
// widget (and that CQtMessageBoxHook turns back into the widget).
inline const void* OwnerHandle(const QWidget* widget)
{
    return widget;
}

// Shows the message boxes of the layers below the windows through the dialog service. Installs
// itself on construction and puts back the hook before it on destruction; construct it while the
// QApplication exists. A box that names no owner belongs to the main window once that is shown;
// before, it has none and stands in the middle of the screen (over a main window not yet placed it
// would stand in the screen's corner, alone). A box asked for on another thread is shown on the
// user-interface thread, owned in the same way: a plain OK box is queued there and answered IDOK at
// once, so that a worker never waits for a user-interface thread that may be waiting for the worker;
// a question waits for its answer.
class CQtMessageBoxHook : public platform::IMessageBoxHook
{
public:
    CQtMessageBoxHook();
    ~CQtMessageBoxHook() override;
    CQtMessageBoxHook(const CQtMessageBoxHook&) = delete;
    CQtMessageBoxHook& operator=(const CQtMessageBoxHook&) = delete;

    int Show(const void* owner, const std::u16string& text, const std::u16string& caption,
             uint32_t flags) override;
    std::u16string ErrorCaption() const override;

private:
    platform::IMessageBoxHook* m_previous;
};

} // namespace ui
