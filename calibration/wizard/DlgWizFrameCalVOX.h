// CDlgWizFrame_CalVOX: the optical dissolved-oxygen calibration wizard: the points (or a restore of
// the factory calibration), the salinity and the barometric pressure of the calibration, the
// stabilization at each point, the summary. The salinity and pressure pages write the sensor's live
// values; the sensor's own are written back after the commit and when the wizard is cancelled.
// Its worker reads every 5000 ms.
#pragma once

#include "calibration/data/CalDataVOX.h"
#include "calibration/wizard/CalProbeConnection.h"
#include "calibration/wizard/DlgWizFrameCal.h"
#include "calibration/wizard/DlgWizPageCalSummary.h"
#include "calibration/wizard/DlgWizPageCalVOXStep1Setup.h"
#include "calibration/wizard/DlgWizPageCalVOXStep2Baro.h"
#include "calibration/wizard/DlgWizPageCalVOXStep2Salinity.h"
#include "calibration/wizard/DlgWizPageCalVOXStep3Calibrate.h"

class CDlgWizFrame_CalVOX : public CDlgWizFrame_Cal
{
    Q_OBJECT

public:
    explicit CDlgWizFrame_CalVOX(QWidget* pParentWnd = nullptr,
                                 ICalProbeConnection& probe = TheProbeCalConnection());
    ~CDlgWizFrame_CalVOX() override;

    void AddPages() override;
    CDlgWizPage_CalSummary& GetSummaryPage() override { return m_pageSummary; }
    // Also saves the sensor's live salinity and barometric pressure for their restore.
    HRESULT StartReading(NVSystem::ISensor_VoxPro* sensor);
    NVSystem::ISensor_VoxPro* GetSensor() const { return m_pSensor; }

    CCalDataVOX& CalData() { return m_calData; }
    CDlgWizPage_CalVOXStep1_Setup& SetupPage() { return m_pageSetup; }
    CDlgWizPage_CalVOXStep2_Salinity& SalinityPage() { return m_pageSalinity; }
    CDlgWizPage_CalVOXStep2_Baro& BaroPage() { return m_pageBaro; }
    CDlgWizPage_CalVOXStep3_Calibrate& CalibratePage() { return m_pageCalibrate; }

protected:
    // The sensor gets its own live salinity and pressure back whichever way the wizard ends.
    void OnOKAgreed() override;
    void OnCancelAgreed() override;

private:
    // The wizard closes: the sensor gets its own live salinity and pressure back.
    void GiveBackLiveInputs();

    NVSystem::ISensor_VoxPro* m_pSensor = nullptr;
    CDlgWizPage_CalVOXStep1_Setup m_pageSetup;
    CDlgWizPage_CalVOXStep2_Salinity m_pageSalinity;
    CDlgWizPage_CalVOXStep2_Baro m_pageBaro;
    CDlgWizPage_CalVOXStep3_Calibrate m_pageCalibrate;
    CDlgWizPage_CalSummary m_pageSummary;
    // Last: constructed after the pages and destroyed (its worker stopped) before them.
    CCalDataVOX m_calData;
};
