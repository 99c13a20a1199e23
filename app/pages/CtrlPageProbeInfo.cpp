#include "app/pages/CtrlPageProbeInfo.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/main/DlgFrameTarnwickSoft.h"
#include "app/pages/DlgPopUpDiagnostics.h"
#include "app/pages/FactoryReset.h"
#include "app/popups/DlgPopupApplySerialNumber.h"
#include "app/popups/DlgPopupFirmwareUpdate.h"
#include "app/popups/FirmwareUpdate.h"
#include "connection/ProbeConnection.h"
#include "foundation/PathTools.h"
#include "ui/Application.h"
#include "ui/DialogService.h"
#include "ui/MessageBoxes.h"
#include "ui/QtText.h"
#include "ui/WaitCursor.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr int kButtonWidth = 150;

} // namespace

CCtrlPage_ProbeInfo::CCtrlPage_ProbeInfo(QWidget* pParentWnd) : CCtrlPage_Base(kTemplateId, pParentWnd) {}

BOOL CCtrlPage_ProbeInfo::OnInitDialog()
{
    CCtrlPage_Base::OnInitDialog();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(16);
    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    const std::tuple<CNVStatic*, UINT, const char*> rows[] = {
        {&m_appVersion, IDC_APPLICATION_VERSION, "Application version:"},
        {&m_probeType, IDC_PROBE_TYPE, "Probe type:"},
        {&m_serialNumber, IDC_SERIAL_NUMBER, "Serial number:"},
        {&m_firmware, IDC_FIRMWARE_VERSION_TEXT, "Firmware version:"}};
    int row = 0;
    for (const auto& [value, id, label] : rows)
    {
        grid->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0);
        value->setParent(this);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        SetDlgCtrlID(value, id);
        grid->addWidget(value, row, 1);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    auto* buttons = new QHBoxLayout();
    buttons->setSpacing(10);
    const std::tuple<CNVButton*, UINT, const char*> defs[] = {
        {&m_btnDiagnostics, IDC_DIAGNOSTICS, "Diagnostics..."},
        {&m_btnUpdateFirmware, IDC_UPDATE_FIRMWARE, "Update Firmware..."},
        {&m_btnFactoryReset, IDC_FACTORY_RESET, "Factory Reset"},
        {&m_btnApplySerial, IDC_APPLY_SERIAL_NUMBER, "Apply Serial Number..."}};
    for (const auto& [button, id, text] : defs)
    {
        button->setParent(this);
        button->setText(QString::fromLatin1(text));
        button->setAutoDefault(false);
        button->setMinimumWidth(kButtonWidth);
        SetDlgCtrlID(button, id);
        connect(button, &QPushButton::clicked, this, [this, command = id] { SendCommand(command); });
        buttons->addWidget(button);
    }
    buttons->addStretch();
    layout->addLayout(buttons);
    layout->addStretch();
    m_btnApplySerial.hide();

    m_appVersion.setText(ui::ToQString(GetProgramVersion()));
    return TRUE;
}

BOOL CCtrlPage_ProbeInfo::OnCommand(UINT id)
{
    switch (id)
    {
    case IDC_FACTORY_RESET:
        OnFactoryReset();
        return TRUE;
    case IDC_DIAGNOSTICS:
        OnDiagnostics();
        return TRUE;
    case IDC_UPDATE_FIRMWARE:
        OnUpdateFirmware();
        return TRUE;
    case IDC_APPLY_SERIAL_NUMBER:
        OnApplySerialNumber();
        return TRUE;
    default:
        return CCtrlPage_Base::OnCommand(id);
    }
}

void CCtrlPage_ProbeInfo::OnTimer(UINT id)
{
    if (id == IDT_PAGE_ACTIVATE && IsPageVisible())
    {
        KillTimer(id);
        ShowProbeInfo();
    }
}

LRESULT CCtrlPage_ProbeInfo::OnDeviceConnected(WPARAM, LPARAM)
{
    ShowProbeInfo();
    if (IsPageVisible())
        RefreshPage();
    return 0;
}

LRESULT CCtrlPage_ProbeInfo::OnDeviceDisconnected(WPARAM, LPARAM)
{
    ClearProbeTexts();
    RefreshPage();
    return 0;
}

void CCtrlPage_ProbeInfo::ClearProbeTexts()
{
    m_probeType.clear();
    m_serialNumber.clear();
    m_firmware.clear();
}

void CCtrlPage_ProbeInfo::RefreshPage()
{
    const bool connected = theProbeConnection.IsConnected() != FALSE;
    m_btnUpdateFirmware.setEnabled(connected);
    m_btnDiagnostics.setEnabled(connected);
    m_btnFactoryReset.setEnabled(connected);
    m_btnApplySerial.setEnabled(false);
    m_btnDiagnostics.setFocus();
}

void CCtrlPage_ProbeInfo::ShowProbeInfo()
{
    if (!theProbeConnection.IsConnected())
        return;
    NVSystem::ISensor_VoxPro* sensor = nullptr;
    if (Failed(theProbeConnection.GetVoxProSensor(sensor)) || sensor == nullptr)
    {
        ui::Dialogs().MessageBox(this, QStringLiteral("Failed to get VOX interface."),
                                 QStringLiteral("Error"), platform::MB_OK | platform::MB_ICONERROR);
        return;
    }
    CWaitCursor wait;
    m_probeType.setText(ui::ToQString(theProbeConnection.GetDeviceTypeName()));
    m_serialNumber.setText(ui::ToQString(theProbeConnection.GetSerialNumberText()));
    m_firmware.setText(ui::ToQString(FirmwareVersionText(theProbeConnection.GetSlaveId().FirmwareVersion)));
}

void CCtrlPage_ProbeInfo::OnFactoryReset()
{
    const int answer = ui::Dialogs().MessageBox(
        this,
        QStringLiteral(
            "Restore factory default settings to the sensor?\nThis will remove all user calibration, "
            "reset units configuration and restore all other settings to factory defaults.\nPlease "
            "confirm:"),
        ui::ApplicationName(), platform::MB_YESNO | platform::MB_ICONQUESTION);
    if (answer == platform::IDYES)
        RestoreFactoryDefaults();
}

void CCtrlPage_ProbeInfo::RestoreFactoryDefaults()
{
    QWidget* mainWindow = window();
    mainWindow->setEnabled(false);
    const sFactoryResetResult result =
        ui::WaitForWork([] { return RestoreProbeFactoryDefaults(theProbeConnection); });
    switch (result.failedStep)
    {
    case EFactoryResetStep::Restore:
        ShowErrorCodeBox(this, QStringLiteral("Failed to restore factory defaults"), result.code);
        break;
    case EFactoryResetStep::Reconnect:
        ShowErrorCodeBox(this, QStringLiteral("Failed to reset communications and reconnect"), result.code);
        ClearProbeTexts();
        // The pages and the main window's button follow the link that is now down.
        BroadcastPostMessage(windowmsg::WM_DEVICE_DISCONNECTED);
        BroadcastPostMessage(windowmsg::WM_CONNECTION_LOST);
        break;
    case EFactoryResetStep::Done:
        BroadcastPostMessage(windowmsg::WM_DEVICE_RESET);
        ShowProbeInfo();
        break;
    }
    mainWindow->setEnabled(true);
}

void CCtrlPage_ProbeInfo::OnDiagnostics()
{
    CDlgPopUpDiagnostics diagnostics(this);
    const HRESULT hr = diagnostics.InitFromConnection(theProbeConnection);
    if (Failed(hr))
    {
        ShowErrorCodeBox(this, QStringLiteral("Failed to initialize diagnostics window"), hr);
        return;
    }
    diagnostics.DoModal();
}

void CCtrlPage_ProbeInfo::OnUpdateFirmware()
{
    CDlgPopup_FirmwareUpdate popup(this);
    if (popup.DoModal() == IDOK)
    {
        ShowProbeInfo();
        return;
    }
    // An update that stopped short may have left the probe in its boot code. It is then let go as
    // a connect lets such a probe go, so that the next connect offers the firmware update again.
    if (theProbeConnection.IsConnected() &&
        theProbeConnection.GetSlaveId().RunIndicator != SLAVEID_RUN_APPLICATION)
    {
        ShowErrorBox(this, QStringLiteral("Firmware is not loaded on the probe"));
        if (auto* frame = qobject_cast<CDlgFrame_TarnwickSoft*>(window()))
            frame->SendCommand(IDC_CONNECT_DISCONNECT);
    }
}

void CCtrlPage_ProbeInfo::OnApplySerialNumber()
{
    CDlgPopup_ApplySerialNumber popup(this);
    if (popup.DoModal() == IDOK)
        RestoreFactoryDefaults();
}
