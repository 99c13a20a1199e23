// The Calibrate command's choice by sensor id, and the start of a point while the wizard or its
// worker ends under the open prompt.
#include <thread>

#include "calibration/wizard/DlgWizFrameCalConductivity.h"
#include "tests/calibration_wizard/WizardTestSupport.h"
#include "tools/probe-sim/SensorCommands.h"

namespace wiztest
{
namespace
{

TEST(CalibrationChoice, FollowsTheSensorId)
{
    EXPECT_EQ(CalibrationOfSensorId(27), ECalibration::PHORP);
    EXPECT_EQ(CalibrationOfSensorId(35), ECalibration::Conductivity);
    EXPECT_EQ(CalibrationOfSensorId(85), ECalibration::Conductivity);
    EXPECT_EQ(CalibrationOfSensorId(42), ECalibration::VOX);
    EXPECT_EQ(CalibrationOfSensorId(84), ECalibration::Pressure);
    for (const USHORT other : {0, 4, 32, 36, 0xFFFF})
        EXPECT_EQ(CalibrationOfSensorId(other), ECalibration::None) << other;
}

using Dispatch = WizardTest;

TEST_F(Dispatch, RunsNoWizardForASensorWithoutOneOrWhileDisconnected)
{
    StartConnected();
    USHORT levelId = 0;
    {
        const testsupport::ProbeWorkOfTheTest lookUp;
        ASSERT_EQ(theProbeConnection.GetDevice()->GetSensorId(kLevel, levelId), S_OK);
    }
    sCalibrateResult result = RunCalibration(nullptr, levelId);
    EXPECT_EQ(result.calibration, ECalibration::None);
    EXPECT_FALSE(result.ran);

    theProbeConnection.DisconnectDevice();
    result = RunCalibration(nullptr, 35);
    EXPECT_EQ(result.calibration, ECalibration::Conductivity);
    EXPECT_FALSE(result.ran);
}

TEST_F(Dispatch, TheCoreProbesConductivityOpensTheConductivityWizardAndItsDepthSensorNone)
{
    StartPresetConnected(39);
    QString title;
    const sCalibrateResult result =
        Calibrate(2,
                  [&](CDlgWizFrame_Cal& frame)
                  {
                      EXPECT_NE(dynamic_cast<CDlgWizFrame_CalConductivity*>(&frame), nullptr);
                      title = frame.windowTitle();
                      ClickCancel(frame);
                  });
    EXPECT_EQ(result.calibration, ECalibration::Conductivity);
    EXPECT_TRUE(result.ran);
    EXPECT_EQ(title, QStringLiteral("Conductivity Calibration - Select Method"));

    const sCalibrateResult depth = RunCalibration(nullptr, 84);
    EXPECT_EQ(depth.calibration, ECalibration::Pressure) << "the page opens its own dialog";
    EXPECT_FALSE(depth.ran);
}

// Waits on another thread's progress without delivering events: a message box holds the
// user-interface thread meanwhile.
bool WaitWithoutEvents(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

using OpenPrompt = WizardTest;

TEST_F(OpenPrompt, AWizardClosedMeanwhileBeginsNoCalibration)
{
    StartConnected();
    CDlgWizFrame_Cal* wizard = nullptr;
    m_dialogs.onMessageBox = [&wizard](const QString& text)
    {
        // What a read error reported while the prompt waited for the user does to the wizard.
        if (text.startsWith(QStringLiteral("Place sensor")) && wizard != nullptr)
            wizard->OnCancel();
    };
    const sCalibrateResult result = Calibrate(kConductivity,
                                              [&](CDlgWizFrame_Cal& frame)
                                              {
                                                  wizard = &frame;
                                                  ClickNext(frame);
                                                  EXPECT_FALSE(frame.isVisible());
                                              });
    EXPECT_TRUE(result.ran);
    EXPECT_FALSE(ReceivedSensorCommand(kConductivity, probesim::kSensorCalModeOn));
    EXPECT_FALSE(InCalibrationMode(kConductivity));
}

TEST_F(OpenPrompt, AWorkerThatEndedMeanwhileBeginsNoCalibrationAndItsErrorEndsTheWizard)
{
    StartConnected();
    CDlgWizFrame_Cal* wizard = nullptr;
    m_dialogs.onMessageBox = [&](const QString& text)
    {
        if (!text.startsWith(QStringLiteral("Place sensor")) || wizard == nullptr)
            return;
        Sim().Faults().SetPersistent(probesim::Fault::NoReply());
        // Ended, not merely "not running": a worker still in its start steps is not running either.
        EXPECT_TRUE(WaitWithoutEvents([wizard] { return wizard->m_pCalData->HasWorkerEnded(); }));
        Sim().Faults().Clear();
    };
    Calibrate(kConductivity,
              [&](CDlgWizFrame_Cal& frame)
              {
                  wizard = &frame;
                  ClickNext(frame);
                  EXPECT_TRUE(testsupport::WaitUntil([&frame] { return !frame.isVisible(); }));
              });
    EXPECT_FALSE(ReceivedSensorCommand(kConductivity, probesim::kSensorCalModeOn));
    EXPECT_FALSE(InCalibrationMode(kConductivity));
    EXPECT_TRUE(HasBox(QStringLiteral("Error occurred.\nTerminating calibration.")));
}

} // namespace
} // namespace wiztest
