#include "ui/DialogService.h"

#include <QAbstractPrintDialog>
#include <QDesktopServices>
#include <QApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include "platform/MessageBox.h"
#include "ui/WaitCursor.h"
#include "ui/WaitForWork.h"

namespace ui
{

namespace
{

CDialogService g_defaultService;
CDialogService* g_installed = nullptr;

CDialogService& Installed()
{
    return g_installed != nullptr ? *g_installed : g_defaultService;
}

// What every caller reaches: the installed service, each of its dialogs with the normal cursor (a
// dialog asked for during a wait must not come up under the busy cursor) and counted as a nested
// loop (work held for the windows beneath waits until it is answered).
class CNormalCursorService : public CDialogService
{
public:
    int MessageBox(QWidget* owner, const QString& text, const QString& caption, uint32_t flags) override
    {
        const CNormalCursor normal;
        const CNestedLoop loop;
        return Installed().MessageBox(owner, text, caption, flags);
    }
    std::optional<QString> GetOpenFileName(QWidget* owner, const sFileDialogRequest& request) override
    {
        const CNormalCursor normal;
        const CNestedLoop loop;
        return Installed().GetOpenFileName(owner, request);
    }
    std::optional<QString> GetSaveFileName(QWidget* owner, const sFileDialogRequest& request) override
    {
        const CNormalCursor normal;
        const CNestedLoop loop;
        return Installed().GetSaveFileName(owner, request);
    }
    std::optional<QString> BrowseForFolder(QWidget* owner, const QString& title,
                                           const QString& startFolder) override
    {
        const CNormalCursor normal;
        const CNestedLoop loop;
        return Installed().BrowseForFolder(owner, title, startFolder);
    }
    bool RunPrintDialog(QWidget* owner, QPrinter& printer) override
    {
        const CNormalCursor normal;
        const CNestedLoop loop;
        return Installed().RunPrintDialog(owner, printer);
    }
    bool OpenUrl(const QUrl& url) override { return Installed().OpenUrl(url); }
};

CNormalCursorService g_front;

constexpr uint32_t kButtonMask = 0xF;
// What a window frame's caption bar takes beside the caption: icon, buttons, margins.
constexpr int kCaptionButtonsRoom = 120;
constexpr uint32_t kIconMask = 0xF0;

QMessageBox::Icon IconOf(uint32_t flags)
{
    switch (flags & kIconMask)
    {
    case platform::MB_ICONERROR:
        return QMessageBox::Critical;
    case platform::MB_ICONQUESTION:
        return QMessageBox::Question;
    case platform::MB_ICONWARNING:
        return QMessageBox::Warning;
    case platform::MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

QMessageBox::StandardButtons ButtonsOf(uint32_t flags)
{
    switch (flags & kButtonMask)
    {
    case platform::MB_OKCANCEL:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case platform::MB_YESNO:
        return QMessageBox::Yes | QMessageBox::No;
    case platform::MB_YESNOCANCEL:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    default:
        return QMessageBox::Ok;
    }
}

int AnswerOf(int button)
{
    switch (button)
    {
    case QMessageBox::Ok:
        return platform::IDOK;
    case QMessageBox::Yes:
        return platform::IDYES;
    case QMessageBox::No:
        return platform::IDNO;
    default:
        return platform::IDCANCEL;
    }
}

std::optional<QString> RunFileDialog(QWidget* owner, const sFileDialogRequest& request,
                                     QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(owner, request.title, request.initialPath, QtFileFilter(request.filter));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.defaultExtension);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

} // namespace

int CDialogService::MessageBox(QWidget* owner, const QString& text, const QString& caption, uint32_t flags)
{
    QMessageBox box(IconOf(flags), caption, text, ButtonsOf(flags), owner);
    // A box is at least as wide as its caption, which the window system would otherwise cut short
    // above a short text: the caption at the title font, and room for the frame's buttons.
    const int captionWidth = QFontMetrics(QApplication::font("QWorkspaceTitleBar")).horizontalAdvance(caption) +
                             kCaptionButtonsRoom;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(captionWidth, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                      grid->rowCount(), 0, 1, grid->columnCount());
    return AnswerOf(box.exec());
}

std::optional<QString> CDialogService::GetOpenFileName(QWidget* owner, const sFileDialogRequest& request)
{
    return RunFileDialog(owner, request, QFileDialog::AcceptOpen);
}

std::optional<QString> CDialogService::GetSaveFileName(QWidget* owner, const sFileDialogRequest& request)
{
    return RunFileDialog(owner, request, QFileDialog::AcceptSave);
}

std::optional<QString> CDialogService::BrowseForFolder(QWidget* owner, const QString& title,
                                                       const QString& startFolder)
{
    const QString folder = QFileDialog::getExistingDirectory(owner, title, startFolder);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

bool CDialogService::RunPrintDialog(QWidget* owner, QPrinter& printer)
{
    QPrintDialog dialog(&printer, owner);
    // All pages, no page numbers and no selection; printing to a file stays, since a machine
    // without a printer has no other way to print.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintCollateCopies |
                      QAbstractPrintDialog::PrintShowPageSize);
    return dialog.exec() == QDialog::Accepted;
}

bool CDialogService::OpenUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

CDialogService& Dialogs()
{
    return g_front;
}

CDialogService* SetDialogService(CDialogService* service)
{
    CDialogService* previous = g_installed;
    g_installed = service;
    return previous;
}

QString QtFileFilter(const QString& windowsFilter)
{
    const QStringList parts = windowsFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
    {
        if (parts[i].isEmpty())
            break;
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
        {
            pattern = pattern.trimmed();
            if (pattern == u"*.*")
                pattern = QStringLiteral("*");
        }
        // Qt reads the patterns from the parentheses of the description: put them there.
        QString description = parts[i];
        description.remove(QRegularExpression(QStringLiteral("\\s*\\([^)]*\\)\\s*$")));
        filters << QStringLiteral("%1 (%2)").arg(description, patterns.join(u' '));
    }
    return filters.join(QStringLiteral(";;"));
}

} // namespace ui
