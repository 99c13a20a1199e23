// CDlgWizPage_CalSummary: the last page of every calibration wizard. It shows the report of the
// committed calibration and leaves the user only Finish; "Print..." prints the report through the
// print dialog and "Save As..." saves it as a TIFF image of a letter-size page, by default into the
// documents folder. A failure of either is reported.
#pragma once

#include <QPushButton>
#include <QString>

#include "calibration/wizard/DlgWizPageCal.h"
#include "ui/EditViewOnly.h"

inline constexpr UINT IDD_CAL_SUMMARY = 166;
inline constexpr UINT IDC_CAL_REPORT_VIEW = 1279;
inline constexpr UINT IDC_CAL_SAVE_AS = 1220;
inline constexpr UINT IDC_CAL_PRINT = 1138;

class CDlgWizPage_CalSummary : public CDlgWizPage_Cal
{
    Q_OBJECT

public:
    CDlgWizPage_CalSummary();

    BOOL OnSetActive(UINT nDirection) override;
    // The frame's title becomes m_strCaption and the view shows the report, from its top.
    void FillReportView();
    void OnPrint();
    void OnSaveAs();

    CEditViewOnly& ReportView() { return m_reportView; }
    QPushButton& PrintButton() { return m_btnPrint; }
    QPushButton& SaveAsButton() { return m_btnSaveAs; }

    // Set by the stabilization page before it shows this one.
    QString m_strCaption = QStringLiteral("Summary");

protected:
    BOOL OnCommand(UINT id) override;
    // The calibration is committed: a worker that fails now ends nothing the user still needs.
    LRESULT OnReadError() override { return 0; }

private:
    CEditViewOnly m_reportView;
    QPushButton m_btnSaveAs;
    QPushButton m_btnPrint;
};
