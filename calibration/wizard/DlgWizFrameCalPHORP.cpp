#include "calibration/wizard/DlgWizFrameCalPHORP.h"

CDlgWizFrame_CalPHORP::CDlgWizFrame_CalPHORP(QWidget* pParentWnd, ICalProbeConnection& probe)
    : CDlgWizFrame_Cal(&m_calData, probe, pParentWnd), m_calData(probe)
{
    m_calData.SetSampleInterval(SampleInterval(CCalDataPHORP::kSampleInterval));
}

CDlgWizFrame_CalPHORP::~CDlgWizFrame_CalPHORP()
{
    EndRun();
}

void CDlgWizFrame_CalPHORP::AddPages()
{
    AddPage(&m_pageSelect);
    AddPage(&m_pageORPStep1);
    AddPage(&m_pageORPStep2);
    AddPage(&m_pagePHStep1);
    AddPage(&m_pagePHStep2);
    AddPage(&m_pageSummary);
}

HRESULT CDlgWizFrame_CalPHORP::StartReading(NVSystem::ISensor_pHORP* sensor)
{
    return m_calData.StartReading(sensor, this);
}

void CDlgWizFrame_CalPHORP::ChooseBranch(uint32_t mode)
{
    const BOOL orp = mode == PHORP_MODE_ORP ? TRUE : FALSE;
    m_pageORPStep1.SetSkip(!orp);
    m_pageORPStep2.SetSkip(!orp);
    m_pagePHStep1.SetSkip(orp);
    m_pagePHStep2.SetSkip(orp);
}

BOOL CDlgWizFrame_CalPHORP::OnInitDialog()
{
    CDlgWizFrame_Cal::OnInitDialog();
    // Nothing leads on until an option is chosen.
    GetBackButton().Disable();
    GetNextButton().Disable();
    GetFinishButton().Disable();
    return FALSE;
}
