// A commit the probe does not carry out, in every wizard: the first write of the new calibration
// refused with an exception, or going unheard until it times out. The page says the calibration
// failed and the wizard closes; the summary of a success never shows, the sensor takes over no
// calibration and leaves calibration mode. A restore of the defaults that the probe refuses is
// reported the same way, and the wizard stays open.
#include <QTest>

#include "tests/calibration_wizard/WizardTestSupport.h"
#include "tools/probe-sim/ConductivitySensor.h"
#include "tools/probe-sim/OpticalDoSensor.h"
#include "tools/probe-sim/PhOrpSensor.h"
#include "tools/probe-sim/RequestFaults.h"
#include "tools/probe-sim/SensorCommands.h"

#include "calibration/wizard/DlgWizFrameCalConductivity.h"
#include "calibration/wizard/DlgWizFrameCalPHORP.h"
#include "calibration/wizard/DlgWizFrameCalVOX.h"

namespace wiztest
{
namespace
{

namespace dos = probesim::dosensor;
using probesim::RequestFaults;
using probesim::RequestMatch;

enum class Kind
{
    Conductivity,
    PH,
    ORP,
    Oxygen,
};

enum class Failure
{
    Refused,  // an exception
    TimedOut, // no answer
};

struct sCase
{
    const char* name;
    Kind kind;
    Failure failure;
};

void PrintTo(const sCase& c, std::ostream* out)
{
    *out << c.name;
}

constexpr uint16_t kOrpCalWord = 144;
constexpr float kLiveBaro = 1005.0f;
constexpr float kLiveSalinity = 2.0f;

class CommitFailure : public WizardTest, public ::testing::WithParamInterface<sCase>
{
protected:
    void SetUp() override
    {
        m_dials.temperature.Set(25.0f);
        m_dials.oxygen.Set(8.26f);
        m_dials.saturation.Set(100.0f);
        StartConnected();
        Probe().Registers().SetFloat(Register(kOxygen, dos::kLiveBaro), kLiveBaro);
        Probe().Registers().SetFloat(Register(kOxygen, dos::kLiveSalinity), kLiveSalinity);
    }

    void TearDown() override { Sim().RequestFaults().Clear(); }

    static uint16_t Connection(Kind kind)
    {
        switch (kind)
        {
        case Kind::Conductivity:
            return kConductivity;
        case Kind::PH:
        case Kind::ORP:
            return kPhOrp;
        case Kind::Oxygen:
            return kOxygen;
        }
        return 0;
    }

    // The register of the commit's first write.
    uint16_t FirstCommitRegister(Kind kind)
    {
        switch (kind)
        {
        case Kind::Conductivity:
            return Register(kConductivity, probesim::kProbeConductivity.cellOffset);
        case Kind::PH:
            return Register(kPhOrp, probesim::phsensor::kPointCount);
        case Kind::ORP:
            return Register(kPhOrp, kOrpCalWord);
        case Kind::Oxygen:
            return Register(kOxygen, dos::kCalBaro100);
        }
        return 0;
    }

    // From the first page to the stabilization of the (only) point, with the first page's defaults.
    static void ToStabilization(Kind kind, CDlgWizFrame_Cal& frame)
    {
        if (kind == Kind::PH || kind == Kind::ORP)
        {
            auto& wizard = dynamic_cast<CDlgWizFrame_CalPHORP&>(frame);
            Click(kind == Kind::PH ? static_cast<QAbstractButton&>(wizard.SelectPage().PHOption())
                                   : static_cast<QAbstractButton&>(wizard.SelectPage().ORPOption()));
            ClickNext(frame); // the standards
        }
        ClickNext(frame);
        if (kind == Kind::Oxygen)
        {
            ClickNext(frame); // salinity
            ClickNext(frame); // barometric pressure
        }
    }
};

TEST_P(CommitFailure, ShowsTheFailureAndNeverTheSummary)
{
    const sCase& c = GetParam();
    const RequestMatch commit = RequestMatch::Write(FirstCommitRegister(c.kind));
    if (c.failure == Failure::Refused)
        Sim().RequestFaults().Refuse(commit, probesim::ExceptionCode::SlaveDeviceFailure,
                                     RequestFaults::kEveryTime);
    else
        Sim().RequestFaults().Drop(commit, RequestFaults::kEveryTime);
    bool summaryShown = false;
    const sCalibrateResult result =
        Calibrate(Connection(c.kind),
                  [&](CDlgWizFrame_Cal& frame)
                  {
                      ToStabilization(c.kind, frame);
                      ASSERT_TRUE(WaitForAccept(frame)) << frame.windowTitle().toStdString();
                      ClickFinish(frame);
                      ASSERT_TRUE(testsupport::WaitUntil(
                          [&]
                          {
                              summaryShown |= frame.GetCurrentPage() == &frame.GetSummaryPage();
                              return !frame.isVisible();
                          },
                          20s));
                  });
    EXPECT_TRUE(result.ran);
    EXPECT_FALSE(summaryShown);
    EXPECT_TRUE(HasBox(QStringLiteral("Failed to commit new calibration to sensor.")));
    EXPECT_FALSE(ReceivedSensorCommand(Connection(c.kind), probesim::kSensorUpdateCalibration))
        << "the sensor took over nothing";
    EXPECT_FALSE(InCalibrationMode(Connection(c.kind)));
    if (c.kind == Kind::Oxygen)
    {
        EXPECT_EQ(SimFloat(kOxygen, dos::kLiveBaro), kLiveBaro);
        EXPECT_EQ(SimFloat(kOxygen, dos::kLiveSalinity), kLiveSalinity);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryWizard, CommitFailure,
                         ::testing::Values(sCase{"ConductivityRefused", Kind::Conductivity, Failure::Refused},
                                           sCase{"ConductivityTimedOut", Kind::Conductivity,
                                                 Failure::TimedOut},
                                           sCase{"PHRefused", Kind::PH, Failure::Refused},
                                           sCase{"PHTimedOut", Kind::PH, Failure::TimedOut},
                                           sCase{"ORPRefused", Kind::ORP, Failure::Refused},
                                           sCase{"ORPTimedOut", Kind::ORP, Failure::TimedOut},
                                           sCase{"OxygenRefused", Kind::Oxygen, Failure::Refused},
                                           sCase{"OxygenTimedOut", Kind::Oxygen, Failure::TimedOut}),
                         [](const ::testing::TestParamInfo<sCase>& param)
                         { return std::string(param.param.name); });

class RestoreFailure : public CommitFailure
{
};

TEST_P(RestoreFailure, IsReportedWithTheProbesCodeAndTheWizardStaysOpen)
{
    const sCase& c = GetParam();
    const uint16_t connection = Connection(c.kind);
    Sim().RequestFaults().Refuse(RequestMatch::Write(probesim::SensorCommandRegisterOf(connection),
                                                     probesim::kSensorRestoreCalDefaults),
                                 probesim::ExceptionCode::SlaveDeviceFailure, RequestFaults::kEveryTime);
    bool openAfterwards = false;
    Calibrate(connection,
              [&](CDlgWizFrame_Cal& frame)
              {
                  switch (c.kind)
                  {
                  case Kind::Conductivity:
                      Click(dynamic_cast<CDlgWizFrame_CalConductivity&>(frame).Step1().RestoreBox());
                      break;
                  case Kind::PH:
                  case Kind::ORP:
                      Click(dynamic_cast<CDlgWizFrame_CalPHORP&>(frame).SelectPage().RestoreOption());
                      break;
                  case Kind::Oxygen:
                      Click(dynamic_cast<CDlgWizFrame_CalVOX&>(frame).SetupPage().RestoreBox());
                      break;
                  }
                  m_dialogs.QueueAnswer(platform::IDYES);
                  ClickFinish(frame);
                  openAfterwards = frame.isVisible();
                  ClickCancel(frame);
              });
    EXPECT_TRUE(openAfterwards);
    const std::vector<QString> boxes = BoxTexts();
    ASSERT_FALSE(boxes.empty());
    EXPECT_TRUE(boxes.back().startsWith(
        QStringLiteral("Failed to restore calibration defaults.\nError Code: 81010004")))
        << boxes.back().toStdString();
    EXPECT_FALSE(ReceivedSensorCommand(connection, probesim::kSensorRestoreCalDefaults));
}

INSTANTIATE_TEST_SUITE_P(EveryWizard, RestoreFailure,
                         ::testing::Values(sCase{"Conductivity", Kind::Conductivity, Failure::Refused},
                                           sCase{"PHORP", Kind::PH, Failure::Refused},
                                           sCase{"Oxygen", Kind::Oxygen, Failure::Refused}),
                         [](const ::testing::TestParamInfo<sCase>& param)
                         { return std::string(param.param.name); });

} // namespace
} // namespace wiztest
