// CDlgWizFrame_CalConductivity: the conductivity calibration wizard: method and standard, then
// stabilization in the standard, then the summary. Its worker reads every 4000 ms.
#pragma once

#include "calibration/data/CalDataConductivity.h"
#include "calibration/wizard/CalProbeConnection.h"
#include "calibration/wizard/DlgWizFrameCal.h"
#include "calibration/wizard/DlgWizPageCalCondStep1.h"
#include "calibration/wizard/DlgWizPageCalCondStep2.h"
#include "calibration/wizard/DlgWizPageCalSummary.h"

class CDlgWizFrame_CalConductivity : public CDlgWizFrame_Cal
{
    Q_OBJECT

public:
    explicit CDlgWizFrame_CalConductivity(QWidget* pParentWnd = nullptr,
                                          ICalProbeConnection& probe = TheProbeCalConnection());
    ~CDlgWizFrame_CalConductivity() override;

    void AddPages() override;
    CDlgWizPage_CalSummary& GetSummaryPage() override { return m_pageSummary; }
    // The worker reads the sensor and notifies this frame from now on.
    HRESULT StartReading(NVSystem::ISensor_Conductivity* sensor);
    NVSystem::ISensor_Conductivity* GetSensor() const { return m_pSensor; }

    CCalDataConductivity& CalData() { return m_calData; }
    CDlgWizPage_CalCondStep1& Step1() { return m_pageStep1; }
    CDlgWizPage_CalCondStep2& Step2() { return m_pageStep2; }

private:
    NVSystem::ISensor_Conductivity* m_pSensor = nullptr;
    CDlgWizPage_CalCondStep1 m_pageStep1;
    CDlgWizPage_CalCondStep2 m_pageStep2;
    CDlgWizPage_CalSummary m_pageSummary;
    // Last: constructed after the pages and destroyed (its worker stopped) before them.
    CCalDataConductivity m_calData;
};
