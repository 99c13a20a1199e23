// CCtrlPage_Communication: the second page of the main window, with the three doors to the
// probe's communication set-up. Each button is enabled only when the connected probe offers that
// interface: "Modbus setup..." whenever connected, "SDI-12 setup..." and "Analog 4-20 mA setup..."
// when the probe's interface configuration lists SDI-12 or the analog outputs.
#pragma once

#include "app/pages/CtrlPageBase.h"
#include "ui/NVButton.h"

inline constexpr UINT IDC_MODBUS_SETUP = 1230;
inline constexpr UINT IDC_SDI12_SETUP = 1231;
inline constexpr UINT IDC_ANALOG_SETUP = 1004;

class CCtrlPage_Communication : public CCtrlPage_Base
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 172;

    explicit CCtrlPage_Communication(QWidget* pParentWnd = nullptr);

    void OnPageActivate() override;
    void RefreshPage() override;

    CNVButton& ModbusButton() { return m_btnModbus; }
    CNVButton& Sdi12Button() { return m_btnSdi12; }
    CNVButton& AnalogButton() { return m_btnAnalog; }

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id) override;
    void OnTimer(UINT id) override;

private:
    CNVButton m_btnModbus;
    CNVButton m_btnSdi12;
    CNVButton m_btnAnalog;
};
