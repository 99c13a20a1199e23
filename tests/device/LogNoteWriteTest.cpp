// Notes written into the instrument's active log, alone and beside a file transfer on another
// thread, and the measurement-cache time-out change that leaves one.
#include <chrono>
#include <future>
#include <thread>

#include "comm/FileCmdSeq.h"
#include "device/MeasCacheTimeoutNote.h"
#include "tests/device/FileTransferSupport.h"
#include "tools/probe-sim/InstrumentRegisters.h"

namespace devicetest
{
namespace
{

using namespace std::chrono_literals;
using NVSystem::FILECMD_IDLE;
using NVSystem::FILECMD_WRITE_NOTE;
using Blocks = std::vector<std::vector<uint8_t>>;

constexpr uint16_t kLog = 12;
constexpr uint16_t kFile = 7;
constexpr uint32_t kSerial = 0x00012345;

CWideString TestUser()
{
    return CWideString(u"ab");
}

// The block of a cache time-out note from this test's user.
std::vector<uint8_t> TimeoutNoteBlock(uint16_t timeout)
{
    return {0x00, 0x02, 9, 1,   0x00, 0x01, 0x23, 0x45, uint8_t(timeout >> 8), uint8_t(timeout),
            0,    2,    0, 'a', 0,    'b'};
}

class LogNotes : public FileTransferOnSimulator
{
protected:
    LogNotes() { NVSystem::SetNoteUserNameSourceForTests(&TestUser); }
    ~LogNotes() override { NVSystem::SetNoteUserNameSourceForTests(nullptr); }

    void Start(USHORT version, bool logging = true)
    {
        StartLine({.deviceType = 12, .registerMapVersion = version, .serialNumber = kSerial});
        if (logging)
            Probe().StartLog(kLog);
        AttachDevice();
        ClearFrames();
    }

    NVSystem::CNVUserNote_SensorMeasCacheTO& Note(uint16_t timeout)
    {
        m_note.Build(kSerial, timeout);
        return m_note;
    }

    Blocks ActiveLogBlocks()
    {
        Blocks blocks;
        for (const probesim::LogNote& note : Probe().ActiveLogNotes())
            blocks.push_back(note.block);
        return blocks;
    }

    // A 5000-byte read on another thread whose blocks take a while each; returns once it runs.
    std::future<HRESULT> StartSlowRead()
    {
        Probe().Files().Put(kFile, Pattern(5000));
        for (unsigned block = 1; block <= 5; ++block)
            Probe().FileBlockFaults().AtBlock(block, probesim::BlockFault::Slow(60ms));
        std::future<HRESULT> read = std::async(std::launch::async,
                                               [this]
                                               {
                                                   CByteBuffer data;
                                                   return Device().ReadDeviceFile(kFile, data);
                                               });
        WaitForFirstBytes();
        return read;
    }

    NVSystem::CNVUserNote_SensorMeasCacheTO m_note;
};

class NoteWrite : public LogNotes, public ::testing::WithParamInterface<uint16_t>
{
};

TEST_P(NoteWrite, ANoteIsOneBlockBetweenTheSetupAndTheReturnToIdle)
{
    Start(GetParam());
    ASSERT_EQ(Device().WriteLogNote(Note(250)), S_OK);
    const auto length = uint32_t(TimeoutNoteBlock(250).size());
    const std::vector<FileRequest> expected =
        GetParam() >= 3 ? std::vector<FileRequest>{FileSetup(FILECMD_WRITE_NOTE, kLog, length),
                                                   WriteBlock(0, length), FileSetup(FILECMD_IDLE, kLog, 0)}
                        : std::vector<FileRequest>{RegisterWrite16(49150, 0),
                                                   RegisterWrite16(49150, 1),
                                                   RegisterWrite16(49151, kLog),
                                                   RegisterWrite16(49152, length),
                                                   RegisterWrite16(49150, FILECMD_WRITE_NOTE),
                                                   WriteBlock(0, length),
                                                   RegisterWrite16(49150, 0)};
    EXPECT_EQ(FileRequests(), expected);
    EXPECT_EQ(ActiveLogBlocks(), Blocks{TimeoutNoteBlock(250)});
}

INSTANTIATE_TEST_SUITE_P(RegisterMapVersions, NoteWrite, ::testing::Values(2, 3));

// 20 letters, then a character outside the basic plane (two code units), then letters to the
// longest name a note carries.
CWideString LongUser()
{
    std::u16string name(20, u'a');
    name += u"\U0001F600";
    name += std::u16string(NVSystem::NOTE_USER_NAME_MAX_UNITS - 22, u'z');
    return CWideString(name.c_str());
}

TEST_F(LogNotes, ANoteForAnOlderInstrumentShortensTheUserNameToFitOnePacket)
{
    NVSystem::SetNoteUserNameSourceForTests(&LongUser);
    // 64 bytes leave 54 for a function-101 block in RTU: the 12 bytes before the name and room for
    // 21 code units, which would end inside the pair.
    StartLine({.deviceType = 12, .registerMapVersion = 2, .serialNumber = kSerial, .maxPacketSize = 64});
    Probe().StartLog(kLog);
    AttachDevice();
    ClearFrames();
    ASSERT_EQ(Device().WriteLogNote(Note(250)), S_OK);
    std::vector<uint8_t> expected = TimeoutNoteBlock(250);
    expected.resize(expected.size() - 6);
    expected.push_back(0);
    expected.push_back(20);
    for (int i = 0; i < 20; ++i)
        expected.insert(expected.end(), {0, 'a'});
    EXPECT_EQ(ActiveLogBlocks(), Blocks{expected});
    EXPECT_EQ(m_note.GetUserName().GetLength(), NVSystem::NOTE_USER_NAME_MAX_UNITS)
        << "the note keeps it whole";

    // The extended transfer carries the note in as many blocks as it takes, whole.
    StartLine({.deviceType = 12, .registerMapVersion = 3, .serialNumber = kSerial, .maxPacketSize = 64});
    Probe().StartLog(kLog);
    AttachDevice();
    ASSERT_EQ(Device().WriteLogNote(Note(250)), S_OK);
    ASSERT_EQ(ActiveLogBlocks().size(), 1u);
    EXPECT_EQ(ActiveLogBlocks()[0].size(), 12u + 2 * NVSystem::NOTE_USER_NAME_MAX_UNITS);
}

TEST_F(LogNotes, NotesThatCannotGoIntoTheActiveLogSendNoFileCommand)
{
    Start(3);
    // Not a user note: it has no block.
    NVSystem::CNVLogNotesRecord reset;
    reset.m_nNoteType = NVSystem::NOTE_TYPE_DEVICE_RESET;
    NVSystem::CNVStdNote other;
    other.Load(reset);
    EXPECT_EQ(Device().WriteLogNote(other), E_FAIL);
    // Another log became active since the caller asked.
    EXPECT_EQ(Device().WriteLogNoteToFile(kLog + 1, Note(1)), MODBUSCOMM_E_NO_ACTIVE_LOG);
    // No log at all.
    Probe().SetLogStatus(probesim::kLogStopped);
    Probe().Registers().SetU16(probesim::reg::kActiveLogFile, 0);
    EXPECT_EQ(Device().WriteLogNote(Note(1)), MODBUSCOMM_E_NO_ACTIVE_LOG);
    EXPECT_TRUE(FileRequests().empty());
    EXPECT_TRUE(Probe().Notes().empty());
}

TEST_F(LogNotes, ANoteWaitsForATransferOnAnotherThreadWithoutDeadlock)
{
    Start(3);
    std::future<HRESULT> read = StartSlowRead();
    std::future<HRESULT> note =
        std::async(std::launch::async, [this] { return Device().WriteLogNote(Note(500)); });
    ASSERT_EQ(note.wait_for(20s), std::future_status::ready) << "the note write hangs";
    ASSERT_EQ(read.wait_for(20s), std::future_status::ready) << "the transfer hangs";
    EXPECT_EQ(note.get(), S_OK);
    EXPECT_EQ(read.get(), S_OK);

    // The note went out only after the transfer had given the file machinery back.
    const std::vector<FileRequest> requests = FileRequests();
    const auto readEnd = std::find(requests.begin(), requests.end(), FileSetup(FILECMD_IDLE, kFile, 0));
    ASSERT_NE(readEnd, requests.end());
    EXPECT_NE(std::find(readEnd, requests.end(), FileSetup(FILECMD_WRITE_NOTE, kLog, 16)), requests.end());
    EXPECT_EQ(ActiveLogBlocks(), Blocks{TimeoutNoteBlock(500)});
}

TEST_F(LogNotes, ACacheTimeoutChangeDuringATransferWritesAtOnceAndNotesAfterIt)
{
    Start(3);
    std::future<HRESULT> read = StartSlowRead();
    std::future<HRESULT> change =
        std::async(std::launch::async, [this] { return Device().SetMeasurementCacheTimeout(1500); });
    // The register write does not wait for the transfer: the device lock is not held by it.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (Probe().MeasurementCacheTimeout() != 1500 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(Probe().MeasurementCacheTimeout(), 1500);
    ASSERT_EQ(change.wait_for(20s), std::future_status::ready) << "the change hangs";
    ASSERT_EQ(read.wait_for(20s), std::future_status::ready) << "the transfer hangs";
    EXPECT_EQ(change.get(), S_OK);
    EXPECT_EQ(read.get(), S_OK);
    EXPECT_EQ(ActiveLogBlocks(), Blocks{TimeoutNoteBlock(1500)});
}

TEST_F(LogNotes, ACacheTimeoutChangeIsOneRegisterWriteAndANoteWhileALogRuns)
{
    Start(3, false);
    ASSERT_EQ(Device().SetMeasurementCacheTimeout(0), S_OK);
    EXPECT_EQ(WritesSinceMark(), (std::vector<RegisterWrite>{{kSlave, 49463, {0}}}));
    EXPECT_TRUE(FileRequests().empty());

    // A failed write leaves no note.
    Probe().StartLog(kLog);
    Sim().Faults().Queue(probesim::Fault::NoReply(), 2); // the write and its one retry
    EXPECT_EQ(Device().SetMeasurementCacheTimeout(300), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_TRUE(FileRequests().empty());
    EXPECT_TRUE(Probe().Notes().empty());
    Mark();
    ASSERT_EQ(Device().SetMeasurementCacheTimeout(2000), S_OK);
    const std::vector<RegisterWrite> writes = WritesSinceMark();
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.front(), (RegisterWrite{kSlave, 49463, {2000}}));
    EXPECT_EQ(ActiveLogBlocks(), Blocks{TimeoutNoteBlock(2000)});
    Mark();
    EXPECT_EQ(Got(&CDeviceComm::GetMeasurementCacheTimeout), 2000);
    EXPECT_EQ(ReadsSinceMark(), std::vector<RegisterRead>({{kSlave, 49463, 1}}));
}

} // namespace
} // namespace devicetest
