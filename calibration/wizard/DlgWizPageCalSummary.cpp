#include "calibration/wizard/DlgWizPageCalSummary.h"

#include <filesystem>

#include <QHBoxLayout>
#include <QPrinter>
#include <QScrollBar>
#include <QTextOption>
#include <QVBoxLayout>

#include "calibration/wizard/CalReportOutput.h"
#include "platform/Folders.h"
#include "ui/DialogService.h"
#include "ui/DialogUnits.h"
#include "ui/QtText.h"

namespace
{

// The view's tab stops in average character widths of its font.
constexpr int kViewTabStops[] = {6, 30, 50, 75};
constexpr int kMarginDu = 7;
constexpr char kTiffFilter[] = "tiff image file (*.tiff)|*.tiff||";
constexpr char kTiffExtension[] = "tiff";

QString DocumentsFolder()
{
    std::error_code error;
    const std::filesystem::path folder = platform::DocumentsDir();
    if (folder.empty() || !std::filesystem::is_directory(folder, error))
        return QString();
    return QString::fromStdString(folder.string());
}

} // namespace

CDlgWizPage_CalSummary::CDlgWizPage_CalSummary()
    : CDlgWizPage_Cal(IDD_CAL_SUMMARY), m_reportView(this), m_btnSaveAs(QStringLiteral("Save As..."), this),
      m_btnPrint(QStringLiteral("Print..."), this)
{
    SetDlgCtrlID(&m_reportView, IDC_CAL_REPORT_VIEW);
    m_reportView.setLineWrapMode(QPlainTextEdit::NoWrap);
    m_reportView.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SetDlgCtrlID(&m_btnSaveAs, IDC_CAL_SAVE_AS);
    SetDlgCtrlID(&m_btnPrint, IDC_CAL_PRINT);
    connect(&m_btnSaveAs, &QPushButton::clicked, this, [this] { SendCommand(IDC_CAL_SAVE_AS); });
    connect(&m_btnPrint, &QPushButton::clicked, this, [this] { SendCommand(IDC_CAL_PRINT); });

    const QRect margin = DialogUnitsToPixels(this, 0, 0, kMarginDu, kMarginDu);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin.width(), margin.height(), margin.width(), margin.height());
    layout->addWidget(&m_reportView, 1);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    buttons->addWidget(&m_btnSaveAs);
    buttons->addWidget(&m_btnPrint);
    layout->addLayout(buttons);
}

BOOL CDlgWizPage_CalSummary::OnSetActive(UINT)
{
    FillReportView();
    setFocus(Qt::OtherFocusReason);
    if (CDlgWizFrame_Cal* frame = Frame(); frame != nullptr && frame->HasWindow())
    {
        frame->GetNextButton().Disable();
        frame->GetBackButton().Disable();
        frame->GetCancelButton().Disable();
    }
    return TRUE;
}

void CDlgWizPage_CalSummary::FillReportView()
{
    SetTitle(m_strCaption);
    const CCalData* data = CalData();
    if (data == nullptr)
        return;
    const int averageWidth = m_reportView.fontMetrics().averageCharWidth();
    QTextOption option = m_reportView.document()->defaultTextOption();
    QList<QTextOption::Tab> tabs;
    for (const int stop : kViewTabStops)
        tabs.append(QTextOption::Tab(stop * averageWidth, QTextOption::LeftTab));
    option.setTabs(tabs);
    m_reportView.document()->setDefaultTextOption(option);
    m_reportView.setPlainText(ui::ToQString(ReportViewText(data->GetReport())));
    m_reportView.verticalScrollBar()->setValue(0);
    m_reportView.horizontalScrollBar()->setValue(0);
}

BOOL CDlgWizPage_CalSummary::OnCommand(UINT id)
{
    switch (id)
    {
    case IDC_CAL_PRINT:
        OnPrint();
        return TRUE;
    case IDC_CAL_SAVE_AS:
        OnSaveAs();
        return TRUE;
    default:
        return CDlgWizPage_Cal::OnCommand(id);
    }
}

void CDlgWizPage_CalSummary::OnPrint()
{
    const CCalData* data = CalData();
    if (data == nullptr)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QString::fromLatin1(kReportDocumentName));
    if (!ui::Dialogs().RunPrintDialog(this, printer))
        return;
    if (!PrintCalReport(data->GetReport(), printer))
        MessageBox(QStringLiteral("Failed to print the calibration report."), platform::MB_ICONERROR);
}

void CDlgWizPage_CalSummary::OnSaveAs()
{
    const CCalData* data = CalData();
    if (data == nullptr)
        return;
    ui::sFileDialogRequest request;
    request.initialPath = DocumentsFolder();
    request.filter = QString::fromLatin1(kTiffFilter);
    request.defaultExtension = QString::fromLatin1(kTiffExtension);
    request.overwritePrompt = true;
    const std::optional<QString> file = ui::Dialogs().GetSaveFileName(this, request);
    if (!file)
        return;
    QString error;
    if (!SaveCalReportTiff(data->GetReport(), *file, error))
        MessageBox(QStringLiteral("Failed to save the calibration report to %1.\n%2").arg(*file, error),
                   platform::MB_ICONERROR);
}
