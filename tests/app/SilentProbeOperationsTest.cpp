// A probe that stops answering in the middle of an operation other than a calibration: the live
// reading, a firmware upload and the pages' loads after a connect. After the first exchange that
// goes unanswered the probe gets one short check and nothing more, whatever the operation and
// whatever the machine's speed; the operation shows its own failure, and "Device connection lost."
// is told once, after it.
#include <fstream>

#include "app/popups/DlgPopupFirmwareUpdate.h"
#include "tests/app/AppWindowTest.h"
#include "tools/probe-sim/FirmwareImage.h"
#include "tools/probe-sim/FrameLog.h"
#include "ui/WaitForWork.h"

namespace apptest
{
namespace
{

using Page = CDlgFrame_TarnwickSoft::EPage;

const QString kLost = QStringLiteral("Device connection lost.");

// The short check: one read of the device type register (49001).
bool IsCheck(const probesim::LoggedFrame& frame)
{
    return frame.adu && frame.adu->function == 3 && frame.adu->data == std::vector<uint8_t>{0x23, 0x28, 0, 1};
}

bool IsWakeUp(const probesim::LoggedFrame& frame)
{
    return frame.adu && frame.adu->address == 200;
}

class SilentProbeOperations : public AppWindowTest
{
protected:
    // What reached the probe once it had stopped answering: the tries of one exchange (and the
    // wake-ups the line gives a probe that may be asleep), then the one check, and nothing after it.
    void ExpectOneExchangeThenTheCheck()
    {
        std::vector<probesim::LoggedFrame> unheard;
        for (const probesim::LoggedFrame& frame : Sim().Log().Received())
            if (frame.note.find("line lost") != std::string::npos && !IsWakeUp(frame))
                unheard.push_back(frame);
        std::string log;
        for (const probesim::LoggedFrame& frame : unheard)
            log += probesim::Describe(frame) + "\n";
        ASSERT_GE(unheard.size(), 2u) << log;
        EXPECT_TRUE(IsCheck(unheard.back())) << log;
        for (size_t i = 1; i + 1 < unheard.size(); ++i)
            EXPECT_EQ(unheard[i].bytes, unheard.front().bytes) << log;
        EXPECT_TRUE(theProbeConnection.IsMarkedSilent() || !theProbeConnection.IsConnected());
    }
    // The operation's own failure first, then the loss, told once.
    void ExpectTheFailureThenTheLossOnce(const QString& failure)
    {
        ASSERT_TRUE(testsupport::WaitUntil([&] { return HasBox(kLost); }));
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
            popup.UpdateButton().click();
            ASSERT_TRUE(testsupport::WaitUntil([&] { return popup.ProgressBar().value() > 0; }));
            Sim().RequestFaults().LoseLine();
            ASSERT_TRUE(testsupport::WaitUntil(
                [&] {
                    return popup.GetUploadState() == CFirmwareUpload::STATE_FINISHED &&
                           BoxTexts().size() >= 2;
                }))
                << popup.GetUploadState() << " " << BoxTexts().back().toStdString();
            popup.SendCommand(IDCANCEL);
        },
        std::chrono::milliseconds(60000));

    ASSERT_TRUE(testsupport::WaitUntil([&] { return HasBox(kLost); }));
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
    const bool told = testsupport::WaitUntil([&] { return HasBox(kLost); });
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

} // namespace
} // namespace apptest
