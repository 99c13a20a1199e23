// Every message box, file dialog and print dialog of the windows goes through one service object,
// so that a test can replace it with a scripted one that records what would have been shown and
// answers at once (no test may wait in a modal loop). The default service shows Qt's dialogs.
// The service is used on the user-interface thread only.
#pragma once

#include <cstdint>
#include <optional>

#include <QString>

class QPrinter;
class QUrl;
class QWidget;

namespace ui
{

// A file dialog's request. The filter is written as the system's windows write it, descriptions
// and patterns in turns: "Firmware Files (*.bin)|*.bin|All Files (*.*)|*.*||".
struct sFileDialogRequest
{
    QString title;            // empty: the dialog's own
    QString initialPath;      // a folder, or a file name in a folder
    QString filter;           // empty: every file
    QString defaultExtension; // without the dot; added to a typed name that has none
    bool overwritePrompt = false;
};

class CDialogService
{
public:
    virtual ~CDialogService() = default;

    // flags: a button set and an icon of platform/MessageBox.h. Returns IDOK, IDCANCEL, IDYES or
    // IDNO. A null owner gives a box of its own.
    virtual int MessageBox(QWidget* owner, const QString& text, const QString& caption, uint32_t flags);
    // The file chosen, nothing when the user cancelled. Open asks for an existing file.
    virtual std::optional<QString> GetOpenFileName(QWidget* owner, const sFileDialogRequest& request);
    virtual std::optional<QString> GetSaveFileName(QWidget* owner, const sFileDialogRequest& request);
    // An existing folder, nothing when the user cancelled.
    virtual std::optional<QString> BrowseForFolder(QWidget* owner, const QString& title,
                                                   const QString& startFolder);
    // true when the user chose to print; the printer then holds the choice.
    virtual bool RunPrintDialog(QWidget* owner, QPrinter& printer);
    // Hands a web or mail link to the desktop; false when nothing took it.
    virtual bool OpenUrl(const QUrl& url);
};

// The service in use: the installed one, else the default; each of its dialogs comes up with the
// normal cursor, also while a wait cursor is shown.
CDialogService& Dialogs();
// Installs a service (null: the default again) and returns the one installed before (null for the
// default). Not owned.
CDialogService* SetDialogService(CDialogService* service);

// "Firmware Files (*.bin)|*.bin|All Files (*.*)|*.*||" as Qt writes it:
// "Firmware Files (*.bin);;All Files (*)". "*.*" means every file, also one without a dot.
QString QtFileFilter(const QString& windowsFilter);

} // namespace ui
