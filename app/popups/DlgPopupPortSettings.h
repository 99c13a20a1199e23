// CDlgPopup_PortSettings: "Computer Port Settings", opened when the port search finds no probe.
// The user picks the COM port and the PC-side serial settings by hand; OK stores them into the
// connection for the connect that follows, Cancel changes nothing, and "Reset Comm" returns every
// device on the chosen port to its factory serial settings. What the lists hold and what the
// buttons do is CPortSettingsChoice's; this is its window.
#pragma once

#include <array>

#include "connection/PortSettingsChoice.h"
#include "ui/NVButton.h"
#include "ui/NVComboBox.h"
#include "ui/NVDialog.h"

inline constexpr UINT IDC_PORT_LIST = 1043;
inline constexpr UINT IDC_BAUD_LIST = 1241;
inline constexpr UINT IDC_DATA_BITS_LIST = 1242;
inline constexpr UINT IDC_PARITY_LIST = 1243;
inline constexpr UINT IDC_STOP_BITS_LIST = 1244;
inline constexpr UINT IDC_ADDRESS_LIST = 1245;
inline constexpr UINT IDC_MODE_LIST = 1246;
inline constexpr UINT IDC_RESET_COMM = 1003;

class CDlgPopup_PortSettings : public CNVDialog
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 136;

    explicit CDlgPopup_PortSettings(QWidget* pParentWnd = nullptr,
                                    CProbeConnection& connection = theProbeConnection);

    CNVComboBox& List(CPortSettingsChoice::List list) { return m_lists[list]; }
    CPortSettingsChoice& Choice() { return m_Choice; }

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id) override;
    void OnOK() override;

private:
    void FillLists();
    void OnResetComm();

    CPortSettingsChoice m_Choice;
    std::array<CNVComboBox, CPortSettingsChoice::LIST_COUNT> m_lists;
    CNVButton m_btnResetComm;
    CNVButton m_btnOK;
    CNVButton m_btnCancel;
};
