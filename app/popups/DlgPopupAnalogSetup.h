// CDlgPopup_AnalogSetup: "Analog setup", the probe's two 4-20 mA current loops, each with whether
// it is on, the reading it follows and the values that 4 mA and 20 mA stand for. Everything is read
// when the popup opens (a probe whose loops cannot be read closes it at once, DoModal giving 0) and
// written on OK, a loop whose reading the list does not offer (none chosen) left as the probe has
// it; a loop that cannot be written is reported and the popup stays open. Loop 2's
// controls are greyed out on probes without it. What is read and written is CAnalogSetup's.
#pragma once

#include <array>

#include <QGroupBox>

#include "app/popups/AnalogSetup.h"
#include "app/popups/CleanedEdit.h"
#include "ui/NVButton.h"
#include "ui/NVComboBox.h"
#include "ui/NVDialog.h"
#include "ui/NVEdit.h"

inline constexpr UINT IDC_LOOP1_ENABLE = 1282;
inline constexpr UINT IDC_LOOP2_ENABLE = 1287;
inline constexpr UINT IDC_LOOP1_PARAMETER = 1281;
inline constexpr UINT IDC_LOOP2_PARAMETER = 1289;
inline constexpr UINT IDC_LOOP1_4MA = 1013;
inline constexpr UINT IDC_LOOP2_4MA = 1015;
inline constexpr UINT IDC_LOOP1_20MA = 1014;
inline constexpr UINT IDC_LOOP2_20MA = 1016;
inline constexpr UINT IDC_LOOP1_GROUP = 1294;
inline constexpr UINT IDC_LOOP2_GROUP = 1293;

class CDlgPopup_AnalogSetup : public CNVDialog
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 183;

    explicit CDlgPopup_AnalogSetup(QWidget* pParentWnd = nullptr,
                                   CProbeConnection& connection = theProbeConnection);

    CAnalogSetup& Setup() { return m_Setup; }
    CNVCheckBox& EnableBox(int loop) { return m_loops[loop].enable; }
    CNVComboBox& ParameterList(int loop) { return m_loops[loop].parameter; }
    CNVEdit& ZeroScaleEdit(int loop) { return m_loops[loop].zeroScale; }
    CNVEdit& FullScaleEdit(int loop) { return m_loops[loop].fullScale; }
    QGroupBox& LoopGroup(int loop) { return m_loops[loop].group; }
    CNVButton& OkButton() { return m_btnOK; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    struct sLoopControls
    {
        QGroupBox group;
        CNVCheckBox enable;
        CNVComboBox parameter;
        CNVEdit zeroScale;
        CNVEdit fullScale;
        CCleanedEdit zeroScaleText;
        CCleanedEdit fullScaleText;
    };

    void CreateLoop(int loop, const QString& title);
    void FillLoop(int loop);
    void OnScalingChanged(int loop, bool fullScale);
    void UpdateOkButton();

    CAnalogSetup m_Setup;
    std::array<sLoopControls, ANALOG_LOOP_COUNT> m_loops;
    CNVButton m_btnOK;
    CNVButton m_btnCancel;
};
