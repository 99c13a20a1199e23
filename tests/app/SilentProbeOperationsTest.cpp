// A probe that stops answering in the middle of an operation other than a calibration: the live
// reading, a firmware upload and the pages' loads after a connect. After the first exchange that
// goes unanswered the probe gets one short check (woken, with one retry) and nothing more, whatever
// the operation and whatever the machine's speed; the operation shows its own failure, and "Device
// connection lost." is told once, after it. A probe that answers the check after a short loss of the
// line stays connected, also when it fell asleep meanwhile.
#include <fstream>

#include "app/popups/DlgPopupFirmwareUpdate.h"
#include "app/popups/DlgPopupProbeCommCfg.h"
#include "tests/app/AppWindowTest.h"
#include "tests/support/SilenceCheckFrames.h"
#include "tools/probe-sim/FileFunctions.h"
#include "tools/probe-sim/FirmwareImage.h"
#include "tools/probe-sim/FrameLog.h"
#include "tools/probe-sim/RequestFaults.h"
#include "ui/WaitForWork.h"

namespace apptest
{
namespace
{

using Page = CDlgFrame_TarnwickSoft::EPage;

const QString kLost = QStringLiteral("Device connection lost.");
// The unanswered exchange's tries, the check's wake-up and its two tries take seconds of the line's
// time-outs before the loss is told: far more on a busy machine, under the thread checker.
constexpr std::chrono::seconds kLossTold{30};

class SilentProbeOperations : public AppWindowTest
{
protected:
    // What reached the probe once it had stopped answering: one exchange, then the check.
    void ExpectOneExchangeThenTheCheck()
    {
        EXPECT_EQ(testsupport::OneExchangeThenTheCheck(Sim().Log().Received()), "");
        EXPECT_TRUE(theProbeConnection.IsMarkedSilent() || !theProbeConnection.IsConnected());
    }
    // The operation's own failure first, then the loss, told once.
    void ExpectTheFailureThenTheLossOnce(const QString& failure)
    {
        ASSERT_TRUE(testsupport::WaitUntil([&] { return HasBox(kLost); }, kLossTold));
        testsupport::DeliverPostedMessages();
        const std::vector<QString> texts = BoxTexts();
        ASSERT_EQ(texts.size(), 2u) << texts.front().toStdString();
        EXPECT_TRUE(texts[0].startsWith(failure)) << texts[0].toStdString();
        EXPECT_EQ(texts[1], kLost);
        EXPECT_FALSE(theProbeConnection.IsConnected());
    }
};

TEST_F(SilentProbeOperations, TheLiveReadingSendsOneCheckAfterItsUnansweredRead)
{
    StartProbe(18);
    CCtrlPage_LiveData& page = MainWindow().LiveDataPage();
    sLivePollClock clock = sLivePollClock::System();
    clock.WaitForStop = [](platform::CEvent& stop, uint64_t ms)
    { return stop.Wait(std::min<uint64_t>(ms, 20)); };
    page.SetPollClockForTests(clock);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !page.IsActivationPending(); }));
    ConnectByButton();
    page.StartStopButton().click();
    ASSERT_TRUE(page.IsReading());
    // Two rounds shown: the keep-alive, which rests while the page reads, has no read on the line.
    int rounds = 0;
    QString last = page.CellText(0, CCtrlPage_LiveData::COLUMN_VALUE);
    ASSERT_TRUE(testsupport::WaitUntil(
        [&]
        {
            const QString now = page.CellText(0, CCtrlPage_LiveData::COLUMN_VALUE);
            rounds += now != last ? 1 : 0;
            last = now;
            return rounds >= 2;
        }));
    Sim().RequestFaults().LoseLine();

    ExpectTheFailureThenTheLossOnce(QStringLiteral("Error reading live values"));
    ExpectOneExchangeThenTheCheck();
}

TEST_F(SilentProbeOperations, AFirmwareUploadSendsOneCheckAfterItsUnansweredBlock)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(12, kSerial);
    config.boot.switchSilence = std::chrono::milliseconds(50);
    config.boot.rebootSilence = std::chrono::milliseconds(50);
    config.boot.blockTime = std::chrono::milliseconds(20);
    StartProbe(config);
    MainWindow().ShowPage(Page::PAGE_PROBE_INFO);
    ConnectByButton();
    const std::filesystem::path image = m_config.Path() / "upgrade.bin";
    const std::vector<uint8_t> bytes = probesim::BuildFirmwareImage({.deviceType = 12,
                                                                     .firmwareVersion = 250,
                                                                     .lowestHardware = 1,
                                                                     .highestHardware = 1,
                                                                     .records = 200});
    std::ofstream(image, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    m_dialogs.QueueFile(QString::fromStdString(image.string()));
    m_dialogs.QueueAnswer(platform::IDYES); // upgrade

    CDlgPopup_FirmwareUpdate popup(&MainWindow().ProbeInfoPage());
    popup.SetProgressPeriod(20);
    testsupport::RunModal(
        popup,
        [&]
        {
            popup.SelectButton().click();
            // The line goes once the first block has been answered, however soon the flash gets
            // through the rest.
            Sim().RequestFaults().LoseLineAfter(probesim::RequestMatch::Function(probesim::kWriteFileBlock));
            popup.UpdateButton().click();
            ASSERT_TRUE(testsupport::WaitUntil([&] { return popup.ProgressBar().value() > 0; }));
            ASSERT_TRUE(testsupport::WaitUntil(
                [&] {
                    return popup.GetUploadState() == CFirmwareUpload::STATE_FINISHED &&
                           BoxTexts().size() >= 2;
                },
                std::chrono::seconds(30)))
                << popup.GetUploadState() << " " << LastBoxText().value_or(QString()).toStdString();
            popup.SendCommand(IDCANCEL);
        },
        std::chrono::milliseconds(60000));

    ASSERT_TRUE(testsupport::WaitUntil([&] { return HasBox(kLost); }, kLossTold));
    testsupport::DeliverPostedMessages();
    const std::vector<QString> texts = BoxTexts();
    ASSERT_EQ(texts.size(), 3u) << texts.back().toStdString();
    EXPECT_NE(texts[1], kLost) << "the upload's own failure first";
    EXPECT_EQ(texts[2], kLost);
    ExpectOneExchangeThenTheCheck();
}

TEST_F(SilentProbeOperations, ThePagesLoadingAfterAConnectStopAtTheFirstFailure)
{
    StartProbe(18);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !window.LiveDataPage().IsActivationPending(); }));
    // The line goes once the connect is made, as the first page begins to load.
    bool lost = false;
    ui::SetWaitObserverForTests(
        [&]
        {
            if (!lost && theProbeConnection.IsConnected())
            {
                lost = true;
                Sim().RequestFaults().LoseLine();
            }
        });
    window.ConnectButton().click();
    const bool told = testsupport::WaitUntil([&] { return HasBox(kLost); }, kLossTold);
    ui::SetWaitObserverForTests(nullptr);
    ASSERT_TRUE(lost);
    ASSERT_TRUE(told);
    testsupport::DeliverPostedMessages();
    const std::vector<QString> texts = BoxTexts();
    ASSERT_EQ(texts.size(), 2u) << texts.back().toStdString();
    EXPECT_NE(texts[0], kLost) << "a page's own failure first";
    EXPECT_EQ(texts[1], kLost);
    EXPECT_FALSE(theProbeConnection.IsConnected());
    ExpectOneExchangeThenTheCheck();
}

TEST_F(SilentProbeOperations, AProbeAsleepAfterAPopupsWriteWentUnheardIsWokenByTheCheckAndStaysConnected)
{
    StartProbe(36);
    MainWindow().ShowPage(Page::PAGE_COMMUNICATION);
    ConnectByButton();
    // The popup's first write goes unheard, as on a line lost for a moment; while its failure is
    // shown the line is back, and the probe, which heard nothing for a while, has gone to sleep.
    m_dialogs.QueueLoopingAnswer(
        platform::IDOK, [] { return true; },
        [this]
        {
            Sim().RequestFaults().Clear();
            Probe().FallAsleep();
        });
    bool opened = false;
    OnNextModal(
        [&](QWidget& modal)
        {
            auto* popup = qobject_cast<CDlgPopup_ProbeCommCfg*>(&modal);
            opened = popup != nullptr;
            if (popup == nullptr)
                return;
            Sim().RequestFaults().Drop(probesim::RequestMatch::Function(16),
                                       probesim::RequestFaults::kEveryTime);
            popup->SendCommand(IDOK);
            if (popup->isVisible())
                popup->SendCommand(IDCANCEL);
        });
    MainWindow().CommunicationPage().ModbusButton().click();
    ASSERT_TRUE(opened);
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_TRUE(BoxTexts()[0].startsWith("Failed to set")) << BoxTexts()[0].toStdString();

    // The keep-alive, resumed, meets the line's check, which wakes the probe: both are answered.
    const size_t answered = Sim().Log().SentCount();
    ASSERT_TRUE(Sim().Log().WaitForSent(answered + 3, std::chrono::seconds(10)));
    testsupport::DeliverPostedMessages();
    EXPECT_EQ(BoxTexts().size(), 1u) << BoxTexts().back().toStdString();
    EXPECT_FALSE(theProbeConnection.IsMarkedSilent());
    EXPECT_TRUE(theProbeConnection.IsConnected());
}

} // namespace
} // namespace apptest
