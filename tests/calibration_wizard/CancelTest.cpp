// Cancel on every page of every wizard: by the button, by Esc, or by the close box where the
// summary has disabled Cancel. Afterwards the sensor is out of calibration mode, the device has its
// measurement-cache time-out back, and the optical DO sensor its own live salinity and pressure,
// also after the pages wrote their own.
#include <QTest>

#include "calibration/wizard/DlgWizFrameCalConductivity.h"
#include "calibration/wizard/DlgWizFrameCalPHORP.h"
#include "calibration/wizard/DlgWizFrameCalVOX.h"
#include "tests/calibration_wizard/WizardTestSupport.h"
#include "tools/probe-sim/OpticalDoSensor.h"

namespace wiztest
{
namespace
{

namespace dos = probesim::dosensor;
constexpr float kLiveBaro = 990.0f;
constexpr float kLiveSalinity = 1.5f;

enum class Way
{
    Button,
    Escape,
    CloseBox,
};

using Reach = void (*)(CDlgWizFrame_Cal&);

struct CancelCase
{
    const char* name;
    uint16_t connection;
    Reach reach;
    Way way;
};

void Stay(CDlgWizFrame_Cal&) {}

void Next(CDlgWizFrame_Cal& frame)
{
    ClickNext(frame);
}

void ConductivitySummary(CDlgWizFrame_Cal& frame)
{
    ClickNext(frame);
    AcceptUntilSummary(frame);
}

CDlgWizFrame_CalPHORP& PHORP(CDlgWizFrame_Cal& frame)
{
    return dynamic_cast<CDlgWizFrame_CalPHORP&>(frame);
}

void OrpStandard(CDlgWizFrame_Cal& frame)
{
    Click(PHORP(frame).SelectPage().ORPOption());
    ClickNext(frame);
}

void OrpStabilization(CDlgWizFrame_Cal& frame)
{
    OrpStandard(frame);
    ASSERT_TRUE(testsupport::WaitUntil([&frame] { return frame.GetNextButton().isEnabled(); }));
    ClickNext(frame);
}

void OrpSummary(CDlgWizFrame_Cal& frame)
{
    OrpStabilization(frame);
    AcceptUntilSummary(frame);
}

void PhBuffers(CDlgWizFrame_Cal& frame)
{
    Click(PHORP(frame).SelectPage().PHOption());
    ClickNext(frame);
}

void PhStabilization(CDlgWizFrame_Cal& frame)
{
    PhBuffers(frame);
    ASSERT_TRUE(testsupport::WaitUntil([&frame] { return frame.GetNextButton().isEnabled(); }));
    ClickNext(frame);
}

CDlgWizFrame_CalVOX& VOX(CDlgWizFrame_Cal& frame)
{
    return dynamic_cast<CDlgWizFrame_CalVOX&>(frame);
}

// Past the salinity and pressure pages, each writing its own value into the sensor.
void VoxPressure(CDlgWizFrame_Cal& frame)
{
    ClickNext(frame);
    TypeInto(VOX(frame).SalinityPage().SalinityEdit(), QStringLiteral("35"));
    ClickNext(frame);
}

void VoxStabilization(CDlgWizFrame_Cal& frame)
{
    VoxPressure(frame);
    TypeInto(VOX(frame).BaroPage().PressureEdit(), QStringLiteral("1000"));
    ClickNext(frame);
}

void VoxSummary(CDlgWizFrame_Cal& frame)
{
    VoxStabilization(frame);
    AcceptUntilSummary(frame);
}

const CancelCase kCases[] = {
    {"ConductivityMethod", kConductivity, Stay, Way::Escape},
    {"ConductivityStabilization", kConductivity, Next, Way::Button},
    {"ConductivitySummary", kConductivity, ConductivitySummary, Way::CloseBox},
    {"PHORPSelect", kPhOrp, Stay, Way::Button},
    {"ORPStandard", kPhOrp, OrpStandard, Way::Button},
    {"ORPStabilization", kPhOrp, OrpStabilization, Way::Escape},
    {"ORPSummary", kPhOrp, OrpSummary, Way::CloseBox},
    {"PHBuffers", kPhOrp, PhBuffers, Way::Button},
    {"PHStabilization", kPhOrp, PhStabilization, Way::Button},
    {"VOXSetup", kOxygen, Stay, Way::Button},
    {"VOXSalinity", kOxygen, Next, Way::Button},
    {"VOXPressure", kOxygen, VoxPressure, Way::Escape},
    {"VOXStabilization", kOxygen, VoxStabilization, Way::Button},
    {"VOXSummary", kOxygen, VoxSummary, Way::CloseBox},
};

class CancelAnywhere : public WizardTest, public ::testing::WithParamInterface<CancelCase>
{
protected:
    void SetUp() override
    {
        m_dials.temperature.Set(25.0f);
        m_dials.actualConductivity.Set(1200.0f);
        m_dials.oxygen.Set(8.26f);
        StartConnected();
        Probe().Registers().SetFloat(Register(kOxygen, dos::kLiveBaro), kLiveBaro);
        Probe().Registers().SetFloat(Register(kOxygen, dos::kLiveSalinity), kLiveSalinity);
    }
};

TEST_P(CancelAnywhere, LeavesTheSensorAndTheDeviceAsTheyWere)
{
    const CancelCase& c = GetParam();
    const uint16_t cacheTimeout = Probe().MeasurementCacheTimeout();
    const sCalibrateResult result = Calibrate(c.connection,
                                              [&](CDlgWizFrame_Cal& frame)
                                              {
                                                  c.reach(frame);
                                                  CDlgWizardPage* page = frame.GetCurrentPage();
                                                  switch (c.way)
                                                  {
                                                  case Way::Button:
                                                      ClickCancel(frame);
                                                      break;
                                                  case Way::Escape:
                                                      QTest::keyClick(page, Qt::Key_Escape);
                                                      break;
                                                  case Way::CloseBox:
                                                      EXPECT_FALSE(frame.GetCancelButton().isEnabled());
                                                      QTest::keyClick(page, Qt::Key_Escape);
                                                      EXPECT_TRUE(frame.isVisible())
                                                          << "Esc does nothing while Cancel is disabled";
                                                      frame.close();
                                                      break;
                                                  }
                                                  EXPECT_FALSE(frame.isVisible());
                                              });
    EXPECT_TRUE(result.ran);
    EXPECT_FALSE(InCalibrationMode(c.connection));
    EXPECT_EQ(Probe().MeasurementCacheTimeout(), cacheTimeout);
    EXPECT_EQ(SimFloat(kOxygen, dos::kLiveBaro), kLiveBaro);
    EXPECT_EQ(SimFloat(kOxygen, dos::kLiveSalinity), kLiveSalinity);
    EXPECT_EQ(m_dialogs.MessageBoxes().size(),
              static_cast<size_t>(std::count_if(
                  m_dialogs.MessageBoxes().begin(), m_dialogs.MessageBoxes().end(),
                  [](const auto& box) { return box.text.startsWith(QStringLiteral("Place sensor")); })))
        << "no box but the prompts";
}

INSTANTIATE_TEST_SUITE_P(EveryPage, CancelAnywhere, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CancelCase>& param)
                         { return std::string(param.param.name); });

} // namespace
} // namespace wiztest
