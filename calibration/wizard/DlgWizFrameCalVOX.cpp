#include "calibration/wizard/DlgWizFrameCalVOX.h"

#include "ui/WaitForWork.h"

CDlgWizFrame_CalVOX::CDlgWizFrame_CalVOX(QWidget* pParentWnd, ICalProbeConnection& probe)
    : CDlgWizFrame_Cal(&m_calData, probe, pParentWnd), m_calData(probe)
{
    m_calData.SetSampleInterval(SampleInterval(CCalDataVOX::kSampleInterval));
}

CDlgWizFrame_CalVOX::~CDlgWizFrame_CalVOX()
{
    EndRun();
}

void CDlgWizFrame_CalVOX::AddPages()
{
    AddPage(&m_pageSetup);
    AddPage(&m_pageSalinity);
    AddPage(&m_pageBaro);
    AddPage(&m_pageCalibrate);
    AddPage(&m_pageSummary);
}

HRESULT CDlgWizFrame_CalVOX::StartReading(NVSystem::ISensor_VoxPro* sensor)
{
    m_pSensor = sensor;
    // The start reads the sensor's live pressure and salinity, to give them back at the end: the
    // user waits for the probe with the window alive.
    return ui::WaitForWork([this, sensor] { return m_calData.StartReading(sensor, this); });
}

void CDlgWizFrame_CalVOX::OnOKAgreed()
{
    GiveBackLiveInputs();
}

void CDlgWizFrame_CalVOX::OnCancelAgreed()
{
    GiveBackLiveInputs();
}

void CDlgWizFrame_CalVOX::GiveBackLiveInputs()
{
    // The worker stops first: a write queued behind a cycle's read of a probe that has just gone
    // silent would wait for that read's time-outs before its own.
    ui::WaitForWork(
        [this]
        {
            m_calData.StopWorker();
            m_calData.RestoreLiveInputs();
        });
}
