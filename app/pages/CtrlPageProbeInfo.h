// CCtrlPage_ProbeInfo: the fourth page of the main window. It shows the program version and what
// the connected probe reports about itself (type, serial number, firmware version) and is the door
// to the diagnostics window, the firmware update and the factory reset. The serial-number button
// stays hidden and disabled. An update that ends without success and leaves the probe in its boot
// code disconnects it, as a connect to such a probe does.
#pragma once

#include <QLabel>

#include "app/pages/CtrlPageBase.h"
#include "ui/NVButton.h"
#include "ui/NVStatic.h"

inline constexpr UINT IDC_PROBE_TYPE = 1072;
inline constexpr UINT IDC_SERIAL_NUMBER = 1073;
inline constexpr UINT IDC_FIRMWARE_VERSION_TEXT = 1074;
inline constexpr UINT IDC_APPLICATION_VERSION = 1075;
inline constexpr UINT IDC_APPLY_SERIAL_NUMBER = 1311;
inline constexpr UINT IDC_UPDATE_FIRMWARE = 1010;
inline constexpr UINT IDC_DIAGNOSTICS = 1009;
inline constexpr UINT IDC_FACTORY_RESET = 1071;

class CCtrlPage_ProbeInfo : public CCtrlPage_Base
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 146;

    explicit CCtrlPage_ProbeInfo(QWidget* pParentWnd = nullptr);

    LRESULT OnDeviceConnected(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnDeviceDisconnected(WPARAM wParam, LPARAM lParam) override;
    void RefreshPage() override;

    void ShowProbeInfo();
    void RestoreFactoryDefaults();

    QString GetProbeTypeText() const { return m_probeType.text(); }
    QString GetSerialNumberText() const { return m_serialNumber.text(); }
    QString GetFirmwareText() const { return m_firmware.text(); }
    QString GetApplicationVersionText() const { return m_appVersion.text(); }
    CNVButton& DiagnosticsButton() { return m_btnDiagnostics; }
    CNVButton& UpdateFirmwareButton() { return m_btnUpdateFirmware; }
    CNVButton& FactoryResetButton() { return m_btnFactoryReset; }
    CNVButton& ApplySerialButton() { return m_btnApplySerial; }

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id) override;
    void OnTimer(UINT id) override;

private:
    void OnFactoryReset();
    void OnDiagnostics();
    void OnUpdateFirmware();
    void OnApplySerialNumber();
    void ClearProbeTexts();

    CNVStatic m_appVersion;
    CNVStatic m_probeType;
    CNVStatic m_serialNumber;
    CNVStatic m_firmware;
    CNVButton m_btnApplySerial;
    CNVButton m_btnUpdateFirmware;
    CNVButton m_btnDiagnostics;
    CNVButton m_btnFactoryReset;
};
