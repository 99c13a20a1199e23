// The program's logic that needs no window: the keep-alive worker against the simulated probe,
// the firmware checks and texts, the serial-number entry, the diagnostics' bounds and texts, and
// the start-up's profile defaults.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "app/main/KeepAlive.h"
#include "app/main/Startup.h"
#include "app/pages/DiagnosticsReads.h"
#include "app/pages/FactoryReset.h"
#include "app/popups/FirmwareUpdate.h"
#include "app/popups/SerialNumberEntry.h"
#include "comm/LinePauses.h"
#include "connection/AppProfile.h"
#include "connection/ConnectionString.h"
#include "foundation/ResultCodes.h"
#include "foundation/SystemStrings.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/SettingsStore.h"
#include "platform/Utf.h"
#include "tests/app_core/ConnectionTestSupport.h"
#include "tools/probe-sim/FirmwareImage.h"

namespace apptest
{
namespace
{

using namespace std::chrono_literals;

class KeepAliveTest : public ConnectionTest
{
};

// A keep-alive that asks before each round whether it is paused, and counts the asks.
struct PausableKeepAlive
{
    PausableKeepAlive(CProbeConnection& connection, PostedMessages& window, bool startPaused)
        : paused(startPaused), keepAlive(
                                   connection, window,
                                   [this]
                                   {
                                       ++asked;
                                       return paused.load();
                                   },
                                   std::chrono::milliseconds(10))
    {
    }

    // Waits for the given number of further rounds to begin.
    bool WaitForRounds(int rounds)
    {
        const int target = asked.load() + rounds;
        const auto end = std::chrono::steady_clock::now() + 5000ms;
        while (asked.load() < target && std::chrono::steady_clock::now() < end)
            std::this_thread::yield();
        return asked.load() >= target;
    }

    std::atomic<bool> paused;
    std::atomic<int> asked{0};
    CKeepAlive keepAlive;
};

TEST_F(KeepAliveTest, ReadsTheDeviceTypeRegisterOncePerPeriodAndPostsNothingWhenStopped)
{
    StartConnected(12);
    PostedMessages window;
    {
        CKeepAlive keepAlive(m_connection, window, nullptr, 20ms);
        ASSERT_TRUE(keepAlive.Start());
        ASSERT_TRUE(Sim().Log().WaitForReceived(Sim().Log().ReceivedCount() + 3, 5000ms));
        keepAlive.Stop();
    }
    EXPECT_EQ(window.Count(windowmsg::WM_CONNECTION_LOST), 0u);
    bool readTheTypeRegister = false;
    for (const probesim::Adu& adu : ReceivedSinceMark())
        readTheTypeRegister = readTheTypeRegister || (adu.function == 3 && adu.data.size() >= 2 &&
                                                      ((adu.data[0] << 8) | adu.data[1]) == 49001 - 40001);
    EXPECT_TRUE(readTheTypeRegister);
    // Whatever it counted is given back: a disconnect does not wait.
    EXPECT_FALSE(m_connection.ReleaseBusy());
}

TEST_F(KeepAliveTest, AProbeThatAnswersEverySecondIsNotWokenEverySecond)
{
    StartConnected(12);
    ASSERT_EQ(m_connection.GetModbus()->SetDeviceEOS(1, 5000), S_OK);
    PostedMessages window;
    {
        CKeepAlive keepAlive(m_connection, window, nullptr, 20ms);
        ASSERT_TRUE(keepAlive.Start());
        ASSERT_TRUE(Sim().Log().WaitForReceived(Sim().Log().ReceivedCount() + 5, 5000ms));
        keepAlive.Stop();
    }
    size_t reads = 0;
    for (const probesim::Adu& adu : ReceivedSinceMark())
    {
        EXPECT_NE(adu.address, 200) << "a wake-up of a probe that has just answered";
        reads += adu.function == 3 ? 1 : 0;
    }
    EXPECT_GE(reads, 5u);
    // One that sleeps at once after each exchange is woken before each read (each wake-up pause
    // lasting until the probe has taken the wake-up frame in).
    UseWakeUpFramePauses();
    ASSERT_EQ(m_connection.GetModbus()->SetDeviceEOS(1, 0), S_OK);
    Mark();
    {
        CKeepAlive keepAlive(m_connection, window, nullptr, 20ms);
        ASSERT_TRUE(keepAlive.Start());
        ASSERT_TRUE(Sim().Log().WaitForReceived(Sim().Log().ReceivedCount() + 4, 5000ms));
        keepAlive.Stop();
    }
    EXPECT_GE(ReceivedSinceMark().size(), 2u);
    EXPECT_EQ(ReceivedSinceMark().front().address, 200);
}

TEST_F(KeepAliveTest, ASilentProbeIsReportedLost)
{
    StartConnected(12);
    PostedMessages window;
    CKeepAlive keepAlive(m_connection, window, nullptr, 20ms);
    ASSERT_TRUE(keepAlive.Start());
    Sim().Stop();
    EXPECT_TRUE(window.WaitFor(windowmsg::WM_CONNECTION_LOST));
    keepAlive.Stop();
    EXPECT_FALSE(m_connection.ReleaseBusy());
}

TEST_F(KeepAliveTest, TwoStopsAtOnceJoinTheWorkerOnceAndBothReturnWhenItHasEnded)
{
    StartConnected(12);
    PostedMessages window;
    CKeepAlive keepAlive(m_connection, window, nullptr, 20ms);
    ASSERT_TRUE(keepAlive.Start());
    // A read in flight on a line that has gone quiet: the stops wait for its time-out.
    Sim().RequestFaults().LoseLine();
    const size_t heard = Sim().Log().ReceivedCount();
    ASSERT_TRUE(Sim().Log().WaitForReceived(heard + 1, 5s));
    std::thread second([&] { keepAlive.Stop(); });
    keepAlive.Stop();
    second.join();
    EXPECT_FALSE(keepAlive.IsStarted());
    keepAlive.Stop();
    Sim().RequestFaults().RestoreLine();
}

TEST_F(KeepAliveTest, WithoutAConnectionItMakesNoTransactionAndReportsTheLinkLost)
{
    StartProbe(12);
    PostedMessages window;
    CKeepAlive keepAlive(m_connection, window, nullptr, 20ms);
    Mark();
    ASSERT_TRUE(keepAlive.Start());
    EXPECT_TRUE(window.WaitFor(windowmsg::WM_CONNECTION_LOST));
    keepAlive.Stop();
    EXPECT_TRUE(ReceivedSinceMark().empty());
}

TEST_F(KeepAliveTest, WhilePausedItNeitherReadsNorTakesADisconnectForALoss)
{
    StartConnected(12);
    PostedMessages window;
    PausableKeepAlive watch(m_connection, window, true);
    ASSERT_TRUE(watch.keepAlive.Start());
    ASSERT_TRUE(watch.WaitForRounds(1));
    m_connection.DisconnectDevice();
    Mark();
    ASSERT_TRUE(watch.WaitForRounds(3));
    EXPECT_TRUE(ReceivedSinceMark().empty());
    EXPECT_EQ(window.Count(windowmsg::WM_CONNECTION_LOST), 0u);
    watch.paused = false;
    EXPECT_TRUE(window.WaitFor(windowmsg::WM_CONNECTION_LOST));
}

TEST_F(KeepAliveTest, ItsLossNamesTheConnectionItLastTalkedToAndFollowsAReconnectMadeWhilePaused)
{
    StartConnected(12);
    const ULONG first = m_connection.GetConnectionId();
    ASSERT_NE(first, 0u);
    PostedMessages window;
    PausableKeepAlive watch(m_connection, window, false);
    ASSERT_TRUE(watch.keepAlive.Start());
    ASSERT_TRUE(Sim().Log().WaitForReceived(Sim().Log().ReceivedCount() + 2, 5000ms));

    // A factory reset rebuilds the link while the window is disabled and the keep-alive paused.
    watch.paused = true;
    // A round that began before the pause may still read; the one after it does not.
    ASSERT_TRUE(watch.WaitForRounds(2));
    m_connection.DisconnectDevice();
    ASSERT_EQ(m_connection.ConnectToDevice(), S_OK);
    const ULONG second = m_connection.GetConnectionId();
    EXPECT_NE(second, first);
    EXPECT_EQ(window.Count(windowmsg::WM_CONNECTION_LOST), 0u);
    watch.paused = false;
    ASSERT_TRUE(Sim().Log().WaitForReceived(Sim().Log().ReceivedCount() + 2, 5000ms));

    Sim().Stop();
    ASSERT_TRUE(window.WaitFor(windowmsg::WM_CONNECTION_LOST));
    watch.keepAlive.Stop();
    EXPECT_EQ(window.WParams(windowmsg::WM_CONNECTION_LOST), std::vector<uintptr_t>{second});
}

TEST_F(KeepAliveTest, ALinkFoundDownIsReportedForTheConnectionItWatched)
{
    StartConnected(12);
    const ULONG watched = m_connection.GetConnectionId();
    PostedMessages window;
    CKeepAlive keepAlive(m_connection, window, nullptr, 10ms);
    ASSERT_TRUE(keepAlive.Start());
    ASSERT_TRUE(Sim().Log().WaitForReceived(Sim().Log().ReceivedCount() + 1, 5000ms));
    m_connection.DisconnectDevice();
    EXPECT_EQ(m_connection.GetConnectionId(), 0u);
    ASSERT_TRUE(window.WaitFor(windowmsg::WM_CONNECTION_LOST));
    keepAlive.Stop();
    EXPECT_EQ(window.WParams(windowmsg::WM_CONNECTION_LOST), std::vector<uintptr_t>{watched});
}

// A probe that sleeps after its EOS of silence, in either framing, with each wake-up pause lasting
// until the probe has taken the wake-up frame in.
class SleepingProbeKeepAliveTest : public KeepAliveTest,
                                   public ::testing::WithParamInterface<probesim::FramingMode>
{
protected:
    SleepingProbeKeepAliveTest() { UseWakeUpFramePauses(); }

    // Runs the keep-alive until the probe has answered it twice; true when it did without a loss.
    bool KeepAliveHearsTheProbe()
    {
        PostedMessages window;
        CKeepAlive keepAlive(m_connection, window, nullptr, 20ms);
        Mark();
        const size_t answered = Sim().Log().SentCount();
        if (!keepAlive.Start())
            return false;
        const bool heard = Sim().Log().WaitForSent(answered + 2, 5000ms);
        keepAlive.Stop();
        return heard && window.Count(windowmsg::WM_CONNECTION_LOST) == 0;
    }
};

TEST_P(SleepingProbeKeepAliveTest, AnEosLoweredThroughTheDeviceIsTheWakeUpTimeAtOnce)
{
    StartSleepingConnected(12, GetParam(), 60000);
    CModbusComm& network = *m_connection.GetModbus();
    ASSERT_EQ(network.GetDeviceEOS(1), 60000);
    // As the communication popup and the calibration's end write it; above what the line needs.
    constexpr USHORT kLowered = 600;
    ASSERT_EQ(m_connection.GetDevice()->SetEOS(kLowered), S_OK);
    // The line's own clock last heard the probe before this.
    const auto written = std::chrono::steady_clock::now();
    EXPECT_EQ(network.GetDeviceEOS(1), kLowered);
    // Silence, as while a modal popup is open: the probe asleep, and the EOS gone by on the line's
    // side too (its last reply reached the line after the probe sent it).
    ASSERT_TRUE(WaitUntilAsleep());
    while (std::chrono::steady_clock::now() < written + std::chrono::milliseconds(kLowered) + 50ms)
        std::this_thread::sleep_for(1ms);

    EXPECT_TRUE(KeepAliveHearsTheProbe());
    const std::vector<probesim::Adu> received = ReceivedSinceMark();
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.front().address, 200) << "the first frame after the silence wakes the probe";
    EXPECT_TRUE(m_connection.IsConnected());
}

TEST_P(SleepingProbeKeepAliveTest, AProbeAsleepSoonerThanTheLineKnowsIsWokenBeforeItCountsAsLost)
{
    StartSleepingConnected(12, GetParam(), 60000);
    // Heard a moment ago, so no wake-up is due by the line's clock: the probe sleeps all the same
    // (its EOS changed by another program, a frame that only half woke it).
    Probe().FallAsleep();
    EXPECT_TRUE(KeepAliveHearsTheProbe());
    EXPECT_TRUE(m_connection.IsConnected());
}

TEST_P(SleepingProbeKeepAliveTest, AProbeThatSleptThroughAShortLineLossIsWokenForTheCheckAndStaysConnected)
{
    StartSleepingConnected(12, GetParam(), 60000);
    CModbusComm& network = *m_connection.GetModbus();
    // An exchange made while the line is lost: its tries restart the line's idle clock, but the
    // probe hears none of them and goes to sleep meanwhile.
    Sim().RequestFaults().LoseLine();
    USHORT value = 0;
    ASSERT_EQ(network.ReadUShort(1, 40001, value, 500, 1), SERIALCOMM_E_READ_TIMEOUT);
    ASSERT_TRUE(network.IsUnheard());
    Probe().FallAsleep();
    Sim().RequestFaults().RestoreLine();

    EXPECT_TRUE(KeepAliveHearsTheProbe());
    EXPECT_FALSE(m_connection.IsMarkedSilent());
    EXPECT_TRUE(m_connection.IsConnected());
    const std::vector<probesim::Adu> received = ReceivedSinceMark();
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.front().address, 200) << "the check wakes the probe before it reads";
}

INSTANTIATE_TEST_SUITE_P(BothFramings, SleepingProbeKeepAliveTest,
                         ::testing::Values(probesim::FramingMode::Rtu, probesim::FramingMode::Ascii),
                         FramingName);

TEST(KeepAliveResults, OnlyTransportFailuresMeanTheLinkIsGone)
{
    EXPECT_TRUE(IsLinkLostResult(SERIALCOMM_E_READ_TIMEOUT));
    EXPECT_TRUE(IsLinkLostResult(SERIALCOMM_E_PORT_CLOSED));
    EXPECT_TRUE(IsLinkLostResult(SERIALCOMM_E_WRITE));
    EXPECT_TRUE(IsLinkLostResult(SERIALCOMM_E_READ));
    EXPECT_FALSE(IsLinkLostResult(MODBUSCOMM_E_NO_APP_FIRMWARE));
    EXPECT_FALSE(IsLinkLostResult(S_OK));
}

class FirmwareFileTest : public ::testing::Test
{
protected:
    std::u16string Write(const probesim::ImageContent& content)
    {
        const std::filesystem::path path = m_config.Path() / ("image" + std::to_string(m_nFiles++) + ".bin");
        const std::vector<uint8_t> bytes = probesim::BuildFirmwareImage(content);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        const std::string text = path.string();
        return std::u16string(text.begin(), text.end());
    }
    testsupport::ScopedConfigDir m_config;
    int m_nFiles = 0;
};

TEST_F(FirmwareFileTest, HardwareAtEitherBoundIsAcceptedAndOutsideIsRefused)
{
    SlaveIdInfo probe;
    probe.DeviceTypeId = 12;
    sFirmwareFileInfo info;
    const std::u16string image =
        Write({.deviceType = 12, .firmwareVersion = 210, .lowestHardware = 3, .highestHardware = 5});
    for (const USHORT hardware : {3, 5})
    {
        probe.HardwareVersion = hardware;
        EXPECT_EQ(CheckFirmwareFile(image.c_str(), probe, info), EFirmwareFileCheck::Compatible) << hardware;
    }
    EXPECT_EQ(info.firmwareVersion, 210);
    for (const USHORT hardware : {2, 6})
    {
        probe.HardwareVersion = hardware;
        sFirmwareFileInfo untouched;
        EXPECT_EQ(CheckFirmwareFile(image.c_str(), probe, untouched), EFirmwareFileCheck::WrongHardware);
        EXPECT_EQ(untouched.firmwareVersion, 0);
    }
    probe.HardwareVersion = 4;
    probe.DeviceTypeId = 19;
    EXPECT_EQ(CheckFirmwareFile(image.c_str(), probe, info), EFirmwareFileCheck::WrongDeviceType);
    EXPECT_EQ(CheckFirmwareFile(u"/nonexistent/x.bin", probe, info), EFirmwareFileCheck::Unreadable);
    EXPECT_EQ(CheckFirmwareFile(nullptr, probe, info), EFirmwareFileCheck::Unreadable);
}

TEST(FirmwareTexts, TheQuestionFollowsTheVersionsAndAZeroVersionReadsNone)
{
    EXPECT_EQ(CompareFirmwareVersions(200, 100), EFirmwareChange::Upgrade);
    EXPECT_EQ(CompareFirmwareVersions(100, 100), EFirmwareChange::Reinstall);
    EXPECT_EQ(CompareFirmwareVersions(99, 100), EFirmwareChange::Downgrade);
    EXPECT_EQ(Text(FirmwareConfirmText(EFirmwareChange::Upgrade, u"VOX PRO", 0, 250)),
              u"Are you sure you want to upgrade the VOX PRO firmware from version [none] to version 2.50?");
    EXPECT_EQ(
        Text(FirmwareConfirmText(EFirmwareChange::Reinstall, u"VOX PRO", 100, 100)),
        u"The selected firmware version is the same as the current VOX PRO firmware. Are you sure you want "
        u"to reinstall version 1.00?");
    EXPECT_EQ(
        Text(FirmwareConfirmText(EFirmwareChange::Downgrade, u"VOX PRO", 120, 110)),
        u"WARNING: The selected firmware version is older than the current version.\n\nAre you sure you "
        u"want to downgrade the VOX PRO firmware from version 1.20 to version 1.10?");
}

TEST(FirmwareTexts, TheBarReachesOneHundredOnlyWhenTheWorkerHasFinished)
{
    EXPECT_EQ(ShownFirmwarePercent(100, 5000), 99);
    EXPECT_EQ(ShownFirmwarePercent(0, 1), 1);
    EXPECT_EQ(ShownFirmwarePercent(0, 0), 0);
    EXPECT_EQ(ShownFirmwarePercent(42, 1234), 42);
}

TEST_F(KeepAliveTest, AFailedFlashIsNeverPublishedAsSuccess)
{
    StartConnected(12);
    CFirmwareUpload upload(m_connection);
    ASSERT_TRUE(upload.Start(CWideString(u"/nonexistent/image.bin")));
    upload.Wait();
    EXPECT_TRUE(upload.Finished());
    EXPECT_TRUE(Failed(upload.GetResult()));
}

TEST(SerialNumberEntry, OnlyDecimalDigitsWithinThirtyTwoBitsAreAccepted)
{
    EXPECT_EQ(ParseSerialNumberText(u"0"), 0u);
    EXPECT_EQ(ParseSerialNumberText(u"  4294967295 "), 4294967295u);
    EXPECT_FALSE(ParseSerialNumberText(u"4294967296"));
    EXPECT_FALSE(ParseSerialNumberText(u"12a"));
    EXPECT_FALSE(ParseSerialNumberText(u"-1"));
    EXPECT_FALSE(ParseSerialNumberText(u"   "));
    EXPECT_FALSE(ParseSerialNumberText(u"99999999999999999999999999999"));
}

TEST(DiagnosticsBounds, DeviceCountsAreClampedToThePointsAndSegmentsThatExist)
{
    EXPECT_EQ(PhCalPointsToRead(1), 1);
    EXPECT_EQ(PhCalSegmentsToRead(1), 1);
    EXPECT_EQ(PhCalPointsToRead(3), 3);
    EXPECT_EQ(PhCalSegmentsToRead(3), 2);
    EXPECT_EQ(PhCalSegmentsToRead(0), 0);
    EXPECT_EQ(PhCalPointsToRead(0xFFFF), 3);
    EXPECT_EQ(PhCalSegmentsToRead(0xFFFF), 2);
}

TEST(DiagnosticsTexts, CapStatusNamesTheStateAndAsksForANewCapWhereNeeded)
{
    LoadSystemStringTable();
    EXPECT_EQ(Text(FormatCapStatusText(0)), u"Normal");
    EXPECT_EQ(Text(FormatCapStatusText(2)), u"Expired\r\nReplace cap");
    EXPECT_EQ(Text(FormatCapStatusText(4)), u"Not detected");
    EXPECT_EQ(Text(FormatCapStatusText(77)), u"Unknown");
}

TEST_F(KeepAliveTest, TheDiagnosticsOfAVoxCoreReadItsValuesAndItsCoreSerial)
{
    StartConnected(39);
    NVSystem::ISensor_VoxPro* sensor = nullptr;
    ASSERT_EQ(m_connection.GetVoxProSensor(sensor), S_OK);
    ASSERT_NE(sensor, nullptr);
    const DiagnosticTexts texts = ReadVoxDiagnostics(*sensor, m_connection);
    EXPECT_EQ(Text(texts.at(IDC_DIAG_CORE_SERIAL)), u"47110");
    EXPECT_TRUE(texts.contains(IDC_DIAG_CAL_SLOPE));
    const sDiagnosticCounters counters = ReadDiagnosticCounters(*m_connection.GetProbe(), false);
    EXPECT_TRUE(counters.goodMessages.has_value());
    EXPECT_FALSE(counters.externalVoltage.has_value());
}

TEST_F(KeepAliveTest, StartUpWritesTheProfileDefaultsAndTakesTheFirstStoredString)
{
    RunStartup(m_connection, u"/nonexistent");
    EXPECT_EQ(GetProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_MAX_PARAMS, 0), 5);
    EXPECT_EQ(Text(GetProfileString(PROFILE_SECTION_COMMUNICATION, PROFILE_PARAMS_DEFAULT, u"")),
              u"19200,8,E,1,RTU,1");
    EXPECT_EQ(m_connection.GetCommSettings(), sCommSettings());

    WriteProfileString(PROFILE_SECTION_COMMUNICATION, GetConnectionStringEntryName(0),
                       u"9600,8,N,2,ASCII,12");
    m_connection.m_nPort = 7;
    RunStartup(m_connection, u"/nonexistent");
    const sCommSettings settings = m_connection.GetCommSettings();
    EXPECT_EQ(settings.BaudId, COMM_BAUD_ID_9600);
    EXPECT_EQ(settings.ParityId, COMM_PARITY_ID_NONE);
    EXPECT_EQ(settings.Mode, COMM_MODE_ASCII);
    EXPECT_EQ(settings.Address, 12);
    EXPECT_EQ(settings.Port, 7);

    // A stored string that breaks off at its stop bits: the fields before them are taken, the rest
    // stays as it was.
    WriteProfileString(PROFILE_SECTION_COMMUNICATION, GetConnectionStringEntryName(0), u"38400,7,O,3,RTU,5");
    RunStartup(m_connection, u"/nonexistent");
    const sCommSettings partial = m_connection.GetCommSettings();
    EXPECT_EQ(partial.BaudId, 7u);
    EXPECT_EQ(partial.DataBitsId, 0u);
    EXPECT_EQ(partial.ParityId, 1u);
    EXPECT_EQ(partial.StopBitsId, settings.StopBitsId);
    EXPECT_EQ(partial.Mode, COMM_MODE_ASCII);
    EXPECT_EQ(partial.Address, 12);
}

TEST_F(KeepAliveTest, StartUpTellsOnceWhereASettingsFileThatCouldNotBeReadWasKept)
{
    RunStartup(m_connection, u"/nonexistent");
    EXPECT_TRUE(Texts(m_boxes).empty());

    const std::filesystem::path user = m_config.Path() / "user.reg";
    const std::filesystem::path machine = m_config.Path() / "machine.reg";
    ASSERT_TRUE(std::filesystem::exists(user));
    std::ofstream(user, std::ios::trunc)
        << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:zz\n";
    testing::internal::CaptureStderr();
    RunStartup(m_connection, u"/nonexistent");
    RunStartup(m_connection, u"/nonexistent");
    testing::internal::GetCapturedStderr();

    const std::vector<testsupport::ScriptedMessageBox::Shown> shown = m_boxes.Shown_();
    ASSERT_EQ(shown.size(), 1u) << "told once";
    std::vector<std::filesystem::path> kept;
    for (const auto& entry : std::filesystem::directory_iterator(m_config.Path()))
        if (entry.path().filename().string().rfind("user.reg.broken-", 0) == 0)
            kept.push_back(entry.path());
    ASSERT_EQ(kept.size(), 1u);
    const std::u16string text = shown[0].text;
    EXPECT_EQ(
        text.rfind(u"The settings file " + platform::Utf8ToUtf16(user.string()) + u" is malformed (", 0), 0u)
        << ::testing::PrintToString(text);
    EXPECT_TRUE(text.ends_with(u").\nIt was kept as " + platform::Utf8ToUtf16(kept[0].string()) +
                               u", and the program starts with default settings."))
        << ::testing::PrintToString(text);
    EXPECT_EQ(shown[0].flags, platform::MB_OK | platform::MB_ICONWARNING);
    // The program goes on with the defaults, written afresh.
    EXPECT_EQ(GetProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_MAX_PARAMS, 0), 5);

    // Both files at once: one box names both.
    std::ofstream(user, std::ios::trunc) << "garbage\n";
    std::ofstream(machine, std::ios::trunc) << "garbage\n";
    testing::internal::CaptureStderr();
    RunStartup(m_connection, u"/nonexistent");
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(m_boxes.Shown_().size(), 2u);
    const std::u16string both = m_boxes.Shown_()[1].text;
    EXPECT_NE(both.find(u"user.reg.broken-"), std::u16string::npos) << ::testing::PrintToString(both);
    EXPECT_NE(both.find(u"machine.reg.broken-"), std::u16string::npos) << ::testing::PrintToString(both);
}

// The profile's defaults are one change: a settings file too full to take them is told once.
TEST_F(KeepAliveTest, StartUpTellsOnceThatTheSettingsFileCannotTakeTheProfileDefaults)
{
    const std::filesystem::path user = m_config.Path() / "user.reg";
    // Another program's value fills the file to a few bytes below the bound (1 MiB in tests).
    testsupport::FillUserHiveTo(user, 5);

    RunStartup(m_connection, u"/nonexistent");
    EXPECT_EQ(Texts(m_boxes), std::vector<std::u16string>{u"The change was not saved to the settings file " +
                                                          platform::Utf8ToUtf16(user.string()) +
                                                          u": the file would exceed 1\u00A0MiB."});
    EXPECT_EQ(GetProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_MAX_PARAMS, 0), 0);
}

TEST_F(KeepAliveTest, AFactoryResetOfADisconnectedProbeIsRefusedWithoutTouchingTheSettings)
{
    StartProbe(36);
    const sCommSettings before = m_connection.GetCommSettings();
    const sFactoryResetResult result = RestoreProbeFactoryDefaults(m_connection);
    EXPECT_EQ(result.failedStep, EFactoryResetStep::Restore);
    EXPECT_EQ(m_connection.GetCommSettings(), before);
}

} // namespace
} // namespace apptest
