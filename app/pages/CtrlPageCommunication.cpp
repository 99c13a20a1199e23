#include "app/pages/CtrlPageCommunication.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/popups/DlgPopupAnalogSetup.h"
#include "app/popups/DlgPopupProbeCommCfg.h"
#include "app/popups/DlgPopupSDI12Setup.h"
#include "connection/ProbeConnection.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr int kButtonWidth = 200;

} // namespace

CCtrlPage_Communication::CCtrlPage_Communication(QWidget* pParentWnd)
    : CCtrlPage_Base(kTemplateId, pParentWnd)
{
}

BOOL CCtrlPage_Communication::OnInitDialog()
{
    CCtrlPage_Base::OnInitDialog();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    auto* caption = new QLabel(QStringLiteral("Probe communication settings"), this);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    layout->addWidget(caption);
    const std::pair<CNVButton*, UINT> buttons[] = {
        {&m_btnModbus, IDC_MODBUS_SETUP}, {&m_btnSdi12, IDC_SDI12_SETUP}, {&m_btnAnalog, IDC_ANALOG_SETUP}};
    const QString texts[] = {QStringLiteral("Modbus setup..."), QStringLiteral("SDI-12 setup..."),
                             QStringLiteral("Analog 4-20 mA setup...")};
    for (size_t i = 0; i < std::size(buttons); ++i)
    {
        auto [button, id] = buttons[i];
        button->setParent(this);
        button->setText(texts[i]);
        button->setAutoDefault(false);
        button->setFixedWidth(kButtonWidth);
        SetDlgCtrlID(button, id);
        connect(button, &QPushButton::clicked, this, [this, command = id] { SendCommand(command); });
        layout->addWidget(button);
    }
    layout->addStretch();
    return TRUE;
}

void CCtrlPage_Communication::OnPageActivate()
{
    setFocus();
    SetTimer(IDT_PAGE_ACTIVATE, PAGE_ACTIVATE_DELAY_MS);
    RefreshPage();
}

void CCtrlPage_Communication::OnTimer(UINT id)
{
    if (id == IDT_PAGE_ACTIVATE && IsPageVisible())
    {
        KillTimer(id);
        setFocus();
    }
}

void CCtrlPage_Communication::RefreshPage()
{
    struct sInterfaces
    {
        BOOL analog = FALSE;
        BOOL sdi12 = FALSE;
    };
    const BOOL connected = theProbeConnection.IsConnected();
    sInterfaces interfaces;
    // The probe is asked which interfaces it has.
    if (connected)
        interfaces = ui::WaitForWork(
            []
            {
                sInterfaces read;
                if (const DeviceRef probe(theProbeConnection.AcquireProbe()); probe != nullptr)
                {
                    read.analog = probe->IsAnalogOutputSupported();
                    read.sdi12 = probe->IsSdi12Supported();
                }
                return read;
            });
    const BOOL analog = interfaces.analog;
    const BOOL sdi12 = interfaces.sdi12;
    m_btnModbus.setEnabled(connected);
    m_btnSdi12.setEnabled(connected && sdi12);
    m_btnAnalog.setEnabled(connected && analog);
    m_btnModbus.setFocus();
}

BOOL CCtrlPage_Communication::OnCommand(UINT id)
{
    switch (id)
    {
    case IDC_MODBUS_SETUP:
    {
        CDlgPopup_ProbeCommCfg popup(this);
        popup.DoModal();
        return TRUE;
    }
    case IDC_SDI12_SETUP:
    {
        CDlgPopup_SDI12Setup popup(this);
        popup.DoModal();
        return TRUE;
    }
    case IDC_ANALOG_SETUP:
    {
        CDlgPopup_AnalogSetup popup(this);
        popup.DoModal();
        return TRUE;
    }
    default:
        return CCtrlPage_Base::OnCommand(id);
    }
}
