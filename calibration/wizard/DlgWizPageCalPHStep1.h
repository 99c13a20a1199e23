// CDlgWizPage_CalPHStep1: one to three pH buffers, each a standard buffer or a value the user
// types, while the live temperature, pH and electrode millivolts show. Rows 2 and 3 may be "None";
// "None" in row 2 makes row 3 "None" too. Next leads on only while the choice can be calibrated
// (CalPageRules.h). The choice is kept in the profile.
#pragma once

#include <array>

#include <QGroupBox>
#include <QLabel>

#include "calibration/wizard/CalPageRules.h"
#include "calibration/wizard/CalValueEdit.h"
#include "calibration/wizard/DlgWizPageCal.h"
#include "ui/NVComboBox.h"

class CCalDataPHORP;

inline constexpr UINT IDD_CAL_PH_STEP1 = 155;
inline constexpr const char16_t* kPHProfileSection = u"Sensors\\Calibration\\pH";

class CDlgWizPage_CalPHStep1 : public CDlgWizPage_Cal
{
    Q_OBJECT

public:
    static constexpr int kRows = 3;

    CDlgWizPage_CalPHStep1();

    BOOL OnSetActive(UINT nDirection) override;
    BOOL OnWizardNext() override;

    CNVComboBox& SolutionList(int row) { return m_rows[static_cast<size_t>(row)].list; }
    CCalValueEdit& ValueEdit(int row) { return m_rows[static_cast<size_t>(row)].value; }
    CNVEdit& Temperature() { return m_temperature; }
    CNVEdit& PH() { return m_pH; }
    CNVEdit& PHmV() { return m_pHmV; }

protected:
    BOOL OnInitDialog() override;
    LRESULT OnNewData() override;

private:
    struct Row
    {
        Row(QWidget* parent, const QString& label);
        QLabel label;
        CNVComboBox list;
        QLabel valueLabel;
        CCalValueEdit value;
    };

    CCalDataPHORP* Data() const;
    void FillSolutionLists();
    int32_t SelectedId(int row) const;
    PhBufferRows Choice() const;
    void OnSolutionChanged(int row);
    void ApplyNextRule();
    void ExchangeSettings(BOOL bSave);

    QGroupBox m_standardsGroup;
    std::array<Row, kRows> m_rows;
    QGroupBox m_readingsGroup;
    CNVEdit m_temperature;
    CNVEdit m_pH;
    CNVEdit m_pHmV;
};
