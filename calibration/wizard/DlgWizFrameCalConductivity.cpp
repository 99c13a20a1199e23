#include "calibration/wizard/DlgWizFrameCalConductivity.h"

CDlgWizFrame_CalConductivity::CDlgWizFrame_CalConductivity(QWidget* pParentWnd, ICalProbeConnection& probe)
    : CDlgWizFrame_Cal(&m_calData, probe, pParentWnd), m_calData(probe)
{
    m_calData.SetSampleInterval(SampleInterval(CCalDataConductivity::kSampleInterval));
}

CDlgWizFrame_CalConductivity::~CDlgWizFrame_CalConductivity()
{
    EndRun();
}

void CDlgWizFrame_CalConductivity::AddPages()
{
    AddPage(&m_pageStep1);
    AddPage(&m_pageStep2);
    AddPage(&m_pageSummary);
}

HRESULT CDlgWizFrame_CalConductivity::StartReading(NVSystem::ISensor_Conductivity* sensor)
{
    m_pSensor = sensor;
    return m_calData.StartReading(sensor, this);
}
