// CDlgWizFrame_CalPHORP: the pH/ORP calibration wizard. The first page chooses between the ORP
// pages, the pH pages and a restore of the sensor's calibration defaults; the pages of the branch
// not chosen are skipped. Its worker reads every 3000 ms.
#pragma once

#include "calibration/data/CalDataPHORP.h"
#include "calibration/wizard/CalProbeConnection.h"
#include "calibration/wizard/DlgWizFrameCal.h"
#include "calibration/wizard/DlgWizPageCalORPStep1.h"
#include "calibration/wizard/DlgWizPageCalORPStep2.h"
#include "calibration/wizard/DlgWizPageCalPHORPSelect.h"
#include "calibration/wizard/DlgWizPageCalPHStep1.h"
#include "calibration/wizard/DlgWizPageCalPHStep2.h"
#include "calibration/wizard/DlgWizPageCalSummary.h"

class CDlgWizFrame_CalPHORP : public CDlgWizFrame_Cal
{
    Q_OBJECT

public:
    explicit CDlgWizFrame_CalPHORP(QWidget* pParentWnd = nullptr,
                                   ICalProbeConnection& probe = TheProbeCalConnection());
    ~CDlgWizFrame_CalPHORP() override;

    void AddPages() override;
    CDlgWizPage_CalSummary& GetSummaryPage() override { return m_pageSummary; }
    HRESULT StartReading(NVSystem::ISensor_pHORP* sensor);

    // The branch chosen on the first page: its two pages shown, the other two skipped.
    void ChooseBranch(uint32_t mode);

    CCalDataPHORP& CalData() { return m_calData; }
    CDlgWizPage_CalPHORPSelect& SelectPage() { return m_pageSelect; }
    CDlgWizPage_CalORPStep1& ORPStep1() { return m_pageORPStep1; }
    CDlgWizPage_CalORPStep2& ORPStep2() { return m_pageORPStep2; }
    CDlgWizPage_CalPHStep1& PHStep1() { return m_pagePHStep1; }
    CDlgWizPage_CalPHStep2& PHStep2() { return m_pagePHStep2; }

protected:
    BOOL OnInitDialog() override;

private:
    CDlgWizPage_CalPHORPSelect m_pageSelect;
    CDlgWizPage_CalORPStep1 m_pageORPStep1;
    CDlgWizPage_CalORPStep2 m_pageORPStep2;
    CDlgWizPage_CalPHStep1 m_pagePHStep1;
    CDlgWizPage_CalPHStep2 m_pagePHStep2;
    CDlgWizPage_CalSummary m_pageSummary;
    // Last: constructed after the pages and destroyed (its worker stopped) before them.
    CCalDataPHORP m_calData;
};
