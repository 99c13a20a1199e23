// CDlgPopup_ProbeCommCfg: "Probe Communication Settings", how the connected probe talks Modbus: its
// serial settings, address and framing, the ASCII end-of-message time-out, the end-of-session
// time-out, the measurement cache time-out and, where the probe has it, Stay Awake. OK writes the
// probe's side setting by setting, then switches the PC's side and remembers the settings
// (CProbeConnection, connection strings). DoModal gives IDOK after every setting was written, 0
// after a write failed (reported first) and IDCANCEL on Cancel; settings the probe cannot take are
// reported and the popup stays open, nothing written. The sequence is ApplyProbeCommChoice's. A
// time-out the probe did not report shows an empty field and a Stay Awake state it did not report a
// partly checked box: left so, they are not written.
#pragma once

#include <array>
#include <optional>

#include <QLabel>

#include "app/popups/CleanedEdit.h"
#include "app/popups/ProbeCommSettings.h"
#include "ui/NVButton.h"
#include "ui/NVComboBox.h"
#include "ui/NVDialog.h"
#include "ui/NVEdit.h"

inline constexpr UINT IDC_PROBE_BAUD = 1241;
inline constexpr UINT IDC_PROBE_DATA_BITS = 1242;
inline constexpr UINT IDC_PROBE_PARITY = 1243;
inline constexpr UINT IDC_PROBE_STOP_BITS = 1244;
inline constexpr UINT IDC_PROBE_ADDRESS = 1245;
inline constexpr UINT IDC_PROBE_MODE = 1246;
inline constexpr UINT IDC_PROBE_EOM = 1198;
inline constexpr UINT IDC_PROBE_EOS = 1199;
inline constexpr UINT IDC_PROBE_CACHE_TIMEOUT = 1069;
inline constexpr UINT IDC_PROBE_STAY_AWAKE = 1310;

class CDlgPopup_ProbeCommCfg : public CNVDialog
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 139;

    enum EList
    {
        LIST_BAUD,
        LIST_DATA_BITS,
        LIST_PARITY,
        LIST_STOP_BITS,
        LIST_ADDRESS,
        LIST_MODE,
        LIST_COUNT,
    };
    enum ETimeout
    {
        TIMEOUT_EOM,
        TIMEOUT_EOS,
        TIMEOUT_CACHE,
        TIMEOUT_COUNT,
    };

    explicit CDlgPopup_ProbeCommCfg(QWidget* pParentWnd = nullptr,
                                    CProbeConnection& connection = theProbeConnection);

    CNVComboBox& List(EList list) { return m_lists[list]; }
    CNVEdit& TimeoutEdit(ETimeout timeout) { return m_timeouts[timeout].edit; }
    CNVCheckBox& StayAwakeBox() { return m_chkStayAwake; }
    CNVButton& OkButton() { return m_btnOK; }
    // What OK would write, as the controls stand.
    sProbeCommChoice GetChoice() const;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    struct sTimeoutControls
    {
        QLabel* label = nullptr;
        CNVEdit edit;
        QLabel* hint = nullptr;
        CCleanedEdit text;
    };

    void CreateControls();
    void FillControls();
    void OnTimeoutChanged(ETimeout timeout);
    void OnModeChanged();
    void EnableTimeout(ETimeout timeout, bool enable);
    void UpdateOkButton();
    // The value the probe reported for the time-out, and what its field now asks to be written.
    const std::optional<ULONG>& LoadedTimeout(ETimeout timeout) const;
    std::optional<ULONG> TypedTimeout(ETimeout timeout) const;

    CProbeConnection& m_Connection;
    sProbeCommChoice m_Choice;
    std::array<CNVComboBox, LIST_COUNT> m_lists;
    std::array<sTimeoutControls, TIMEOUT_COUNT> m_timeouts;
    CNVCheckBox m_chkStayAwake;
    CNVButton m_btnOK;
    CNVButton m_btnCancel;
};
