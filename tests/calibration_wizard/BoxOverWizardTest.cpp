// A box of the wizard's own runs a loop of its own until the user answers it: the worker's reports
// that arrive meanwhile wait for the answer, so that nothing is read from the probe, no second box
// comes up over the first and the wizard does not end under it.
#include "calibration/wizard/DlgWizFrameCalVOX.h"
#include "tests/calibration_wizard/WizardTestSupport.h"
#include "tools/probe-sim/RequestFaults.h"

namespace wiztest
{
namespace
{

const QString kPrompt = QStringLiteral("Place sensor into 100% sat solution.");
const QString kReadError = QStringLiteral("Error occurred.\nTerminating calibration.");

class BoxOverWizard : public WizardTest
{
protected:
    void SetUp() override
    {
        m_dials.temperature.Set(25.0f);
        m_dials.oxygen.Set(8.26f);
        StartConnected();
    }
    void TearDown() override { Sim().RequestFaults().Clear(); }
};

TEST_F(BoxOverWizard, AReadErrorThatArrivesWhileThePromptIsOpenIsToldAfterIt)
{
    bool openWhenAnswered = false;
    size_t boxesWhenAnswered = 0;
    const sCalibrateResult result = Calibrate(
        kOxygen,
        [&](CDlgWizFrame_Cal& frame)
        {
            auto& wizard = dynamic_cast<CDlgWizFrame_CalVOX&>(frame);
            ClickNext(frame);
            TypeInto(wizard.SalinityPage().SalinityEdit(), QStringLiteral("35"));
            ClickNext(frame);
            TypeInto(wizard.BaroPage().PressureEdit(), QStringLiteral("1000"));
            // The line fails while the user reads the prompt; the prompt is answered once the
            // worker has ended on it (its report is then on its way) and the line is back.
            m_dialogs.QueueLoopingAnswer(
                platform::IDOK,
                [&]
                {
                    if (!frame.m_pCalData->HasWorkerEnded())
                        return false;
                    openWhenAnswered = frame.isVisible();
                    boxesWhenAnswered = BoxTexts().size();
                    Sim().RequestFaults().RestoreLine();
                    return true;
                },
                [&] { Sim().RequestFaults().LoseLine(); });
            ClickNext(frame);
            ASSERT_TRUE(testsupport::WaitUntil([&] { return !frame.isVisible(); }, 30s));
        });
    EXPECT_TRUE(result.ran);
    EXPECT_TRUE(openWhenAnswered) << "the wizard ended under its own prompt";
    EXPECT_EQ(boxesWhenAnswered, 1u) << "a box came up over the prompt";
    const std::vector<QString> texts = BoxTexts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], kPrompt);
    EXPECT_EQ(texts[1], kReadError);
    for (const auto& box : m_dialogs.MessageBoxes())
        EXPECT_FALSE(box.overAnotherBox) << box.text.toStdString();
    EXPECT_FALSE(InCalibrationMode(kOxygen));
}

} // namespace
} // namespace wiztest
