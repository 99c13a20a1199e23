#include "app/popups/DlgPopupFirmwareUpdate.h"

#include <utility>

#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/Application.h"
#include "ui/DialogService.h"
#include "ui/MessageBoxes.h"
#include "ui/QtText.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr int kFileEditMinWidth = 320;
constexpr char16_t kInvalidFileCaption[] = u"Invalid Firmware File";

} // namespace

CDlgPopup_FirmwareUpdate::CDlgPopup_FirmwareUpdate(QWidget* pParentWnd, CProbeConnection& connection)
    : CNVDialog(kTemplateId, pParentWnd), m_Connection(connection), m_Upload(connection)
{
    m_progressTimer.setInterval(kProgressPeriodMs);
    connect(&m_progressTimer, &QTimer::timeout, this, [this] { OnTimer(); });
}

CWideString CDlgPopup_FirmwareUpdate::DeviceTypeName()
{
    return m_Connection.GetDeviceTypeName();
}

BOOL CDlgPopup_FirmwareUpdate::OnInitDialog()
{
    setWindowTitle(QStringLiteral("Firmware Update"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout();
    m_pFileEdit = new QLineEdit(this);
    m_pFileEdit->setReadOnly(true);
    m_pFileEdit->setMinimumWidth(kFileEditMinWidth);
    SetDlgCtrlID(m_pFileEdit, IDC_FIRMWARE_FILE);
    auto* fileRow = new QHBoxLayout();
    fileRow->addWidget(m_pFileEdit, 1);
    m_btnSelect.setParent(this);
    m_btnSelect.setText(QStringLiteral("Select file..."));
    SetDlgCtrlID(&m_btnSelect, IDC_SELECT_FILE);
    fileRow->addWidget(&m_btnSelect);
    form->addRow(QStringLiteral("Firmware file:"), fileRow);
    m_pVersionEdit = new QLineEdit(this);
    m_pVersionEdit->setReadOnly(true);
    SetDlgCtrlID(m_pVersionEdit, IDC_FIRMWARE_VERSION);
    form->addRow(QStringLiteral("Firmware version:"), m_pVersionEdit);
    layout->addLayout(form);

    m_status.setParent(this);
    SetDlgCtrlID(&m_status, IDC_FIRMWARE_STATUS);
    layout->addWidget(&m_status);
    m_progress.setParent(this);
    m_progress.setTextVisible(false);
    SetDlgCtrlID(&m_progress, IDC_FIRMWARE_PROGRESS);
    layout->addWidget(&m_progress);
    m_percent.setParent(this);
    SetDlgCtrlID(&m_percent, IDC_FIRMWARE_PERCENT);
    layout->addWidget(&m_percent);

    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    m_btnUpdate.setParent(this);
    m_btnUpdate.setText(QStringLiteral("Update Device"));
    SetDlgCtrlID(&m_btnUpdate, IDC_UPDATE_DEVICE);
    buttons->addWidget(&m_btnUpdate);
    m_btnCancel.setParent(this);
    m_btnCancel.setText(QStringLiteral("Cancel"));
    SetDlgCtrlID(&m_btnCancel, IDCANCEL);
    buttons->addWidget(&m_btnCancel);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    for (CNVButton* button : {&m_btnSelect, &m_btnUpdate, &m_btnCancel})
    {
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, button] { SendCommand(GetDlgCtrlID(button)); });
    }

    m_btnUpdate.setEnabled(false);
    // Hidden until the upload starts, but keeping their room so the window does not jump.
    for (QWidget* widget : std::initializer_list<QWidget*>{&m_status, &m_percent, &m_progress})
    {
        QSizePolicy policy = widget->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        widget->setSizePolicy(policy);
        widget->hide();
    }
    CNVDialog::OnInitDialog();
    return TRUE;
}

BOOL CDlgPopup_FirmwareUpdate::OnCommand(UINT id)
{
    switch (id)
    {
    case IDC_SELECT_FILE:
        OnSelectFile();
        return TRUE;
    case IDC_UPDATE_DEVICE:
        OnUpdateDevice();
        return TRUE;
    default:
        return CNVDialog::OnCommand(id);
    }
}

void CDlgPopup_FirmwareUpdate::OnSelectFile()
{
    ui::sFileDialogRequest request;
    request.initialPath = QStringLiteral("*.bin");
    request.defaultExtension = QStringLiteral("bin");
    request.filter = QStringLiteral("Firmware Files (*.bin)|*.bin|All Files (*.*)|*.*||");
    const std::optional<QString> chosen = ui::Dialogs().GetOpenFileName(this, request);
    if (!chosen)
        return;

    const SlaveIdInfo probe = m_Connection.GetSlaveId();
    const CWideString path = ui::ToWideString(*chosen);
    const EFirmwareFileCheck check = CheckFirmwareFile(path, probe, m_File);
    if (check != EFirmwareFileCheck::Compatible)
    {
        ui::Dialogs().MessageBox(
            this, ui::ToQString(FirmwareCheckMessage(check, DeviceTypeName(), probe.HardwareVersion)),
            ui::ToQString(kInvalidFileCaption), platform::MB_OK | platform::MB_ICONWARNING);
        return;
    }
    m_pFileEdit->setText(*chosen);
    m_pVersionEdit->setText(ui::ToQString(FirmwareVersionText(m_File.firmwareVersion)));
    m_btnUpdate.setEnabled(true);
}

void CDlgPopup_FirmwareUpdate::OnUpdateDevice()
{
    const USHORT current = m_Connection.GetSlaveId().FirmwareVersion;
    const EFirmwareChange change = CompareFirmwareVersions(m_File.firmwareVersion, current);
    const uint32_t icon =
        change == EFirmwareChange::Downgrade ? platform::MB_ICONWARNING : platform::MB_ICONQUESTION;
    const CWideString name = DeviceTypeName();
    if (ui::Dialogs().MessageBox(
            this, ui::ToQString(FirmwareConfirmText(change, name, current, m_File.firmwareVersion)),
            ui::ApplicationName(), platform::MB_YESNO | icon) != platform::IDYES)
        return;

    m_btnSelect.setEnabled(false);
    m_btnUpdate.setEnabled(false);
    m_status.show();
    m_percent.show();
    m_progress.show();
    m_progress.setRange(0, 100);
    m_progress.setValue(0);
    m_status.setText(
        ui::ToQString(CWideString(u"Uploading firmware to %s...", static_cast<const char16_t*>(name))));
    m_percent.clear();
    if (!m_Upload.Start(m_File.path))
    {
        EndDialog(IDABORT_RESULT);
        return;
    }
    m_progressTimer.start();
}

void CDlgPopup_FirmwareUpdate::OnTimer()
{
    // The popup's own question (or any box over it) is answered first: the end is told after it,
    // not over it.
    if (IsHoldingWork())
        return;
    if (m_Upload.Finished())
    {
        ReportFinished();
        return;
    }
    USHORT percent = 0;
    ULONG done = 0;
    if (Failed(m_Upload.GetProgress(percent, done)))
        return;
    const USHORT shown = ShownFirmwarePercent(percent, done);
    m_progress.setValue(shown);
    m_percent.setText(QStringLiteral("%1% complete").arg(shown));
}

void CDlgPopup_FirmwareUpdate::ReportFinished()
{
    // Told once, whichever way out came first.
    if (std::exchange(m_bReported, true))
        return;
    m_progressTimer.stop();
    m_Upload.Wait();
    const HRESULT result = m_Upload.GetResult();
    if (Failed(result))
    {
        ShowErrorCodeBox(this, QStringLiteral("Firmware update failed."), result);
        EndDialog(IDCANCEL);
        return;
    }
    const CWideString name = DeviceTypeName();
    m_progress.setValue(100);
    m_percent.setText(QStringLiteral("100% complete"));
    m_status.setText(ui::ToQString(CWideString(u"Updated %s firmware", static_cast<const char16_t*>(name))));
    const CWideString version = FormatVersionText(m_Connection.GetSlaveId().FirmwareVersion);
    ShowWarningBox(this, ui::ToQString(CWideString(u"Firmware successfully updated to version %s.",
                                                   static_cast<const char16_t*>(version))));
    EndDialog(IDOK);
}

void CDlgPopup_FirmwareUpdate::OnCancel()
{
    switch (m_Upload.GetState())
    {
    case CFirmwareUpload::STATE_IDLE:
        EndDialog(IDCANCEL);
        return;
    case CFirmwareUpload::STATE_FINISHED:
        // The worker is done but its end not yet shown: a cancel now changes nothing on the probe,
        // and the user must learn how the update ended.
        ReportFinished();
        return;
    default:
        break;
    }
    if (ui::Dialogs().MessageBox(
            this,
            QStringLiteral("WARNING: Interrupting the firmware update may leave the device in a "
                           "non-functioning state.\n\nAre you sure you want to do this?"),
            ui::ApplicationName(), platform::MB_YESNO | platform::MB_ICONWARNING) != platform::IDYES)
        return;
    // The flash may have ended while the question was open: there is nothing left to interrupt,
    // and the user learns how it ended.
    if (m_Upload.GetState() == CFirmwareUpload::STATE_FINISHED)
    {
        ReportFinished();
        return;
    }
    // The cancel is asked of the device under its lock, which the upload holds across each of its
    // requests; a cancel taken is followed by the end of the worker, in the same wait. The progress
    // rests meanwhile: its timer would report the end from within the wait.
    m_progressTimer.stop();
    const HRESULT hr = ui::WaitForWork(
        [this]
        {
            const HRESULT cancel = m_Upload.Cancel();
            if (Succeeded(cancel))
                m_Upload.Wait();
            return cancel;
        });
    if (Failed(hr))
    {
        ShowErrorCodeBox(this, QStringLiteral("Unable to cancel firmware update."), hr);
        m_progressTimer.start();
        return;
    }
    // The cancel reaches the flash only while it can still stop it; one that came too late (the
    // image already whole) leaves a probe with its new firmware, and that is what is shown.
    if (Succeeded(m_Upload.GetResult()))
        ReportFinished();
    else
        EndDialog(IDCANCEL);
}
