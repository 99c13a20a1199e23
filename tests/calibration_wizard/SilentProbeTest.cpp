// Calibrate... on a probe that has gone silent, for each wizard: the user waits for the probe with
// the wait cursor and a window that keeps painting (the test main fails any read or write of the
// line, and any device lock, on the user-interface thread), no second wait opens inside one, and
// the wizard ends by itself with the read error.
#include "connection/ProbeConnection.h"
#include "tests/calibration_wizard/WizardTestSupport.h"

namespace wiztest
{
namespace
{

class SilentProbe : public WizardTest, public ::testing::WithParamInterface<uint16_t>
{
};

TEST_P(SilentProbe, CalibrateWaitsForItWithTheWindowAliveAndTheWizardEndsWithTheReadError)
{
    StartConnected();
    USHORT sensorId = 0;
    {
        const testsupport::ProbeWorkOfTheTest lookUp;
        ASSERT_EQ(theProbeConnection.GetDevice()->GetSensorId(GetParam(), sensorId), S_OK);
    }
    // A wizard left open would hold the test: it is ended, with a failure.
    WizardLeftOpenGuard watchdog;
    testsupport::WaitWatch watch;
    Sim().RequestFaults().LoseLine();
    const sCalibrateResult result = RunCalibration(nullptr, sensorId);
    watchdog.Stop();
    EXPECT_TRUE(result.ran);
    EXPECT_GE(watch.Count(), 1);
    EXPECT_EQ(watch.Nested(), 0);
    EXPECT_TRUE(watch.AllUnderWaitCursor());
    const std::vector<QString> texts = BoxTexts();
    ASSERT_FALSE(texts.empty());
    EXPECT_TRUE(texts.front().contains("Terminating calibration")) << texts.front().toStdString();
    for (const auto& box : m_dialogs.MessageBoxes())
        EXPECT_FALSE(box.underWaitCursor) << box.text.toStdString();
    Sim().RequestFaults().RestoreLine();
}

INSTANTIATE_TEST_SUITE_P(EachWizard, SilentProbe, ::testing::Values(kOxygen, kConductivity, kPhOrp),
                         WizardName);

} // namespace
} // namespace wiztest
