// A probe that stops answering around a wizard opened from the sensor setup page: Cancel on the
// first page once the probe is silent, and Calibrate... on a probe already silent. After the first
// exchange that goes unanswered the probe gets one short check and nothing more (no restore, no
// reload of the page, no read of the live pressure), whatever the machine's speed; the connection is
// marked silent, and the page's window is told the loss of the link.
#include <QListWidget>

#include "app/pages/CtrlPageSensorSetup.h"
#include "connection/ProbeConnection.h"
#include "tests/calibration_wizard/WizardTestSupport.h"
#include "tests/support/SilenceCheckFrames.h"
#include "tools/probe-sim/FrameLog.h"

namespace wiztest
{
namespace
{

// The main window that hosts the page, as far as the loss of the link goes.
class HostWindow : public CNVDialog
{
public:
    std::vector<WPARAM> lost; // the connection ids told

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == windowmsg::WM_CONNECTION_LOST)
            lost.push_back(wParam);
        return CNVDialog::OnMessage(message, wParam, lParam);
    }
};

class ProbeFallsSilent : public WizardTest, public ::testing::WithParamInterface<uint16_t>
{
protected:
    void SetUp() override
    {
        m_previous = CCtrlPage_SensorSetup::SetCalibrationDispatch(nullptr);
        InstallCalibrationDispatch();
        StartConnected();
        m_host.Create(nullptr);
        m_page = std::make_unique<CCtrlPage_SensorSetup>();
        m_page->SetSensorWatchPeriod(20ms);
        m_page->Create(&m_host);
        // Shown, as the user sees it: its watch then looks on after its first look, whenever that
        // came.
        m_page->show();
        m_host.resize(m_page->size());
        ASSERT_TRUE(testsupport::ShowAndActivate(m_host));
        m_page->SendNotify(windowmsg::WM_DEVICE_CONNECTED);
        ASSERT_TRUE(testsupport::WaitUntil([&] { return m_page->SensorList().count() > 2; }));
        // The page's sensor watch is no part of the run: it ends at its next look on a refused read
        // of the sensor set (a line lost for a moment would have the probe found silent before the
        // test began).
        Sim().RequestFaults().Refuse(probesim::RequestMatch::Read(SENSOR_MASK_REGISTER),
                                     probesim::ExceptionCode::SlaveDeviceFailure,
                                     probesim::RequestFaults::kEveryTime);
        // Its next look may come late on a busy machine.
        ASSERT_TRUE(testsupport::WaitUntil([&] { return !m_page->IsSensorWatchRunning(); }, 30s));
        Sim().RequestFaults().Clear();
        Sim().Log().Clear();
        QListWidget& list = m_page->SensorList();
        for (int row = 0; row < list.count() && m_page->GetSelectedSensorItem() != GetParam(); ++row)
        {
            list.setCurrentRow(row);
            testsupport::PumpEvents();
        }
        ASSERT_EQ(m_page->GetSelectedSensorItem(), GetParam());
    }

    void TearDown() override
    {
        Sim().RequestFaults().RestoreLine();
        m_page.reset();
        CCtrlPage_SensorSetup::SetCalibrationDispatch(m_previous);
    }

    // What reached the probe while the line was lost: the first exchange's attempts, one alike,
    // then the check, and nothing after it.
    void ExpectOneExchangeThenTheCheck()
    {
        EXPECT_EQ(testsupport::OneExchangeThenTheCheck(Sim().Log().Received()), "");
        EXPECT_TRUE(theProbeConnection.IsMarkedSilent());
        for (const QString& text : BoxTexts())
            EXPECT_FALSE(text.contains(QStringLiteral("register"))) << text.toStdString();
        ASSERT_TRUE(testsupport::WaitUntil([&] { return !m_host.lost.empty(); }));
        EXPECT_EQ(m_host.lost, std::vector<WPARAM>{theProbeConnection.GetConnectionId()});
    }

    HostWindow m_host;
    std::unique_ptr<CCtrlPage_SensorSetup> m_page;

private:
    CCtrlPage_SensorSetup::CalibrationDispatch m_previous;
};

TEST_P(ProbeFallsSilent, CancelOnTheFirstPageSendsOneShortCheckAndNothingMore)
{
    OnNextWizard(
        [&](CDlgWizFrame_Cal& frame)
        {
            ASSERT_TRUE(testsupport::WaitUntil([&] { return frame.m_pCalData->IsWorkerRunning(); }));
            const size_t heard = Sim().Log().ReceivedCount();
            Sim().RequestFaults().LoseLine();
            // The user cancels while the worker's next read is on its way.
            ASSERT_TRUE(Sim().Log().WaitForReceived(heard + 1, 10s));
            ClickCancel(frame);
        });
    Click(m_page->CalibrateButton());
    ExpectOneExchangeThenTheCheck();
}

TEST_P(ProbeFallsSilent, CalibrateOnASilentProbeSendsOneShortCheckAndNothingMore)
{
    // A wizard that its read error does not end is ended, with a failure.
    WizardLeftOpenGuard watchdog;
    Sim().RequestFaults().LoseLine();
    Click(m_page->CalibrateButton());
    watchdog.Stop();
    ExpectOneExchangeThenTheCheck();
}

INSTANTIATE_TEST_SUITE_P(EachWizard, ProbeFallsSilent, ::testing::Values(kOxygen, kConductivity, kPhOrp),
                         WizardName);

} // namespace
} // namespace wiztest
