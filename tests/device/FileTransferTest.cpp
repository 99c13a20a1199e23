// Device files moved through the device object: both register map generations on the wire,
// progress, cancel from another thread, and what the device announces or the line allows refused
// before it can do harm.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <tuple>

#include "comm/FileCmdSeq.h"
#include "device/FileTransfer.h"
#include "tests/device/FileTransferSupport.h"
#include "tests/support/Bytes.h"
#include "tests/support/FileSizeLimit.h"
#include "tools/probe-sim/InstrumentFiles.h"

namespace devicetest
{
namespace
{

using namespace std::chrono_literals;
using NVSystem::FILECMD_IDLE;
using testsupport::FromBuffer;
using testsupport::ToBuffer;

constexpr uint16_t kFile = 7;

struct Progress
{
    USHORT percent = 0;
    ULONG total = 0, done = 0, state = 0;
    double secondsLeft = -1;
    HRESULT result = 1;
};

class FileTransfer : public FileTransferOnSimulator
{
protected:
    Progress ReadProgress()
    {
        Progress p;
        EXPECT_EQ(
            Device().GetFileTransferProgress(p.percent, p.total, p.done, p.state, p.secondsLeft, p.result),
            S_OK);
        return p;
    }
};

TEST_F(FileTransfer, ExtendedTransfersMoveWholeBlocksBetweenSetupAndIdleAndReportProgress)
{
    StartAttached({.deviceType = 12});
    const Progress idle = ReadProgress();
    EXPECT_EQ(std::make_tuple(idle.total, idle.secondsLeft, idle.result), std::make_tuple(0u, 0.0, S_OK));
    // 1013 bytes of file data per function-100 reply, 1014 per function-101 request.
    for (size_t size : {size_t{0}, size_t{1}, size_t{2500}})
    {
        SCOPED_TRACE(size);
        Probe().Files().Put(kFile, Pattern(size));
        ClearFrames();
        CByteBuffer data(3);
        ASSERT_EQ(Device().ReadDeviceFile(kFile, data), S_OK);
        EXPECT_EQ(FromBuffer(data), Pattern(size));
        std::vector<FileRequest> expected{FileSetup(FILECMD_READ, kFile, 0)};
        for (uint32_t offset = 0; offset < size; offset += 1013)
            expected.push_back(ReadBlock(offset, std::min<uint32_t>(1013, uint32_t(size) - offset)));
        expected.push_back(FileSetup(FILECMD_IDLE, kFile, 0));
        EXPECT_EQ(FileRequests(), expected);
        ClearFrames();
        const std::vector<uint8_t> written = Pattern(size + 3);
        ASSERT_EQ(Device().WriteDeviceFile(kFile + 1, ToBuffer(written)), S_OK);
        expected = {FileSetup(FILECMD_WRITE, kFile + 1, uint32_t(written.size()))};
        for (uint32_t offset = 0; offset < written.size(); offset += 1014)
            expected.push_back(
                WriteBlock(offset, std::min<uint32_t>(1014, uint32_t(written.size()) - offset)));
        expected.push_back(FileSetup(FILECMD_IDLE, kFile + 1, 0));
        EXPECT_EQ(FileRequests(), expected);
        EXPECT_EQ(Probe().Files().Get(kFile + 1)->data, written);
    }
    const Progress done = ReadProgress();
    EXPECT_EQ(std::make_tuple(done.percent, done.total, done.done, done.state, done.secondsLeft, done.result),
              std::make_tuple(USHORT{100}, 2503u, 2503u, 0u, 0.0, S_OK));

    // An empty file written sends the setup and the return to idle only.
    ClearFrames();
    ASSERT_EQ(Device().WriteDeviceFile(kFile, CByteBuffer()), S_OK);
    EXPECT_EQ(FileRequests(), (std::vector<FileRequest>{FileSetup(FILECMD_WRITE, kFile, 0),
                                                        FileSetup(FILECMD_IDLE, kFile, 0)}));
    CByteBuffer data;
    EXPECT_EQ(Device().ReadDeviceFile(4321, data), ResultCode(0x81010088u)); // no such file on the device
    EXPECT_EQ(ReadProgress().result, ResultCode(0x81010088u));
}

TEST_F(FileTransfer, OlderInstrumentsTakeTheFileCommandSequence)
{
    StartAttached({.deviceType = 12, .registerMapVersion = 2});
    Probe().Files().Put(kFile, Pattern(2500));
    CByteBuffer data;
    ASSERT_EQ(Device().ReadDeviceFile(kFile, data), S_OK);
    EXPECT_EQ(FromBuffer(data), Pattern(2500));
    std::vector<FileRequest> expected = SequenceOpening(kFile, FILECMD_READ);
    for (const FileRequest& block : {ReadBlock(0, 1018), ReadBlock(1018, 1017), ReadBlock(2035, 465)})
        expected.push_back(block);
    expected.push_back(RegisterWrite16(49150, 0));
    EXPECT_EQ(FileRequests(), expected);
    ClearFrames();
    ASSERT_EQ(Device().WriteDeviceFile(kFile, ToBuffer({9})), S_OK);
    expected = SequenceOpening(kFile, FILECMD_WRITE, 1);
    expected.push_back(WriteBlock(0, 1));
    expected.push_back(RegisterWrite16(49150, 0));
    EXPECT_EQ(FileRequests(), expected);
    EXPECT_EQ(Probe().Files().Get(kFile)->data, std::vector<uint8_t>{9});
}

// A read cancelled from another thread once its first block is in: it stops at its next check and
// gives the instrument's file machinery back.
class FileTransferCancel : public FileTransfer, public ::testing::WithParamInterface<uint16_t>
{
};

TEST_P(FileTransferCancel, StopsAtTheNextCheckAndTheNextTransferRunsWhole)
{
    const uint16_t version = GetParam();
    StartAttached({.deviceType = 12, .registerMapVersion = version});
    Probe().Files().Put(kFile, Pattern(5000));
    Probe().FileBlockFaults().AtBlock(2, probesim::BlockFault::Slow(300ms));
    std::thread canceller(
        [this]
        {
            WaitForFirstBytes();
            EXPECT_EQ(Device().CancelFileTransfer(), S_OK);
        });
    CByteBuffer data;
    EXPECT_EQ(Device().ReadDeviceFile(kFile, data), MODBUSCOMM_E_CANCELLED);
    canceller.join();
    EXPECT_EQ(ReadProgress().result, MODBUSCOMM_E_CANCELLED);
    const std::vector<FileRequest> requests = FileRequests();
    ASSERT_FALSE(requests.empty());
    // Five blocks make the file; a loaded machine may let the cancel arrive after the second.
    EXPECT_LT(std::count_if(requests.begin(), requests.end(),
                            [](const FileRequest& r) { return r.function == 100; }),
              5);
    EXPECT_EQ(requests.back(), version >= 3 ? FileSetup(FILECMD_IDLE, kFile, 0) : RegisterWrite16(49150, 0));
    EXPECT_FALSE(Probe().OpenFileTransfer().has_value());

    // A cancel while nothing runs changes nothing.
    EXPECT_EQ(Device().CancelFileTransfer(), S_OK);
    ASSERT_EQ(Device().ReadDeviceFile(kFile, data), S_OK);
    EXPECT_EQ(FromBuffer(data), Pattern(5000));
}

INSTANTIATE_TEST_SUITE_P(RegisterMapVersions, FileTransferCancel, ::testing::Values(2, 3));

TEST_F(FileTransfer, BlocksMustCarryWhatWasAskedForTheSizeMustBeSaneAndThePacketHaveRoom)
{
    const probesim::LineSettings ascii{.mode = probesim::FramingMode::Ascii};
    StartAttached({.deviceType = 12, .line = ascii});
    Probe().Files().Put(kFile, Pattern(50));
    CByteBuffer data;
    // A byte more than asked for, and no file data at all.
    for (bool longer : {true, false})
    {
        SCOPED_TRACE(longer);
        // Reply data: u32 offset, u16 length, the bytes, the end-of-file byte.
        Sim().Model().SetFunctionHandler(
            100,
            [longer](const probesim::Adu& request)
            {
                const uint16_t asked = probesim::ReadU16(request.data, 4);
                const auto length = static_cast<uint16_t>(longer ? asked + 1 : 0);
                std::vector<uint8_t> reply(request.data.begin(), request.data.begin() + 4);
                probesim::AppendU16(reply, length);
                reply.resize(reply.size() + length, 0x33);
                // the end-of-file byte alone carries no data
                reply.push_back(1);
                return probesim::Reply::WithData(reply);
            });
        EXPECT_EQ(Device().ReadDeviceFile(kFile, data),
                  longer ? MODBUSCOMM_E_INVALID_RESPONSE_LENGTH : MODBUSCOMM_E_EMPTY_READ);
        EXPECT_EQ(data.GetLength(), 0u);
    }

    // A size no device file has, announced at every read setup, is refused before any block.
    StartAttached({.deviceType = 12});
    Sim().Model().SetFunctionHandler(102,
                                     [](const probesim::Adu& request)
                                     {
                                         std::vector<uint8_t> reply = request.data;
                                         if (probesim::ReadU16(reply, 0) == FILECMD_READ)
                                             std::fill_n(reply.begin() + 4, 4, 0xFF);
                                         return probesim::Reply::WithData(reply);
                                     });
    data = CByteBuffer(8);
    EXPECT_EQ(Device().ReadDeviceFile(kFile, data), MODBUSCOMM_E_FILE_TOO_LARGE);
    EXPECT_EQ(data.GetCapacity(), 0u);
    EXPECT_EQ(FileRequests(), (std::vector<FileRequest>{FileSetup(FILECMD_READ, kFile, 0),
                                                        FileSetup(FILECMD_IDLE, kFile, 0)}));
    EXPECT_EQ(ReadProgress().result, MODBUSCOMM_E_FILE_TOO_LARGE);

    // In ASCII a 20-byte packet leaves no room for a byte of a file block: a write sends nothing;
    // a read learns only at its setup that it has bytes to move, and returns the instrument to idle.
    StartAttached({.deviceType = 12, .maxPacketSize = 20, .line = ascii});
    Probe().Files().Put(kFile, Pattern(50));
    EXPECT_EQ(Device().WriteDeviceFile(kFile, ToBuffer({1, 2, 3})), MODBUSCOMM_E_MAX_PACKET);
    EXPECT_EQ(FramesSinceMark(), 0u);
    EXPECT_EQ(Device().ReadDeviceFile(kFile, data), MODBUSCOMM_E_MAX_PACKET);
    EXPECT_EQ(FileRequests(), (std::vector<FileRequest>{FileSetup(FILECMD_READ, kFile, 0),
                                                        FileSetup(FILECMD_IDLE, kFile, 0)}));
    EXPECT_FALSE(Probe().OpenFileTransfer().has_value());
}

// What both register map generations must survive in the middle of a file: blocks shorter than
// asked, and an instrument that goes away.
class FileTransferGenerations : public FileTransfer, public ::testing::WithParamInterface<uint16_t>
{
protected:
    void SetUp() override { StartAttached({.deviceType = 12, .registerMapVersion = GetParam()}); }
};

TEST_P(FileTransferGenerations, ShortBlocksStillReadTheWholeFile)
{
    Probe().Files().Put(kFile, Pattern(2500));
    Probe().FileBlockFaults().AtBlock(1, probesim::BlockFault::Short(300));
    Probe().FileBlockFaults().AtBlock(2, probesim::BlockFault::Short(1));
    CByteBuffer data;
    ASSERT_EQ(Device().ReadDeviceFile(kFile, data), S_OK);
    EXPECT_EQ(FromBuffer(data), Pattern(2500));
    std::vector<uint32_t> offsets;
    for (const FileRequest& request : FileRequests())
        if (request.function == 100)
            offsets.push_back(request.value);
    ASSERT_GE(offsets.size(), 3u);
    EXPECT_EQ(std::vector<uint32_t>(offsets.begin(), offsets.begin() + 3),
              (std::vector<uint32_t>{0, 300, 301}));
    EXPECT_EQ(ReadProgress().done, 2500u);
}

TEST_P(FileTransferGenerations, AnInstrumentLostMidFileFailsSoonAndLeavesNoPartOfIt)
{
    for (bool hangUp : {false, true})
    {
        SCOPED_TRACE(hangUp ? "line closed" : "instrument silent");
        if (hangUp)
            StartAttached({.deviceType = 12, .registerMapVersion = GetParam()});
        Probe().Files().Put(kFile, Pattern(20000));
        Probe().FileBlockFaults().AtBlock(2, probesim::BlockFault::Slow(200ms));
        std::thread loss(
            [this, hangUp]
            {
                WaitForFirstBytes();
                if (hangUp)
                {
                    // Stopped first, so that nothing answers from an instrument being taken down.
                    Sim().Stop();
                    m_probe.reset();
                    m_sim.reset();
                }
                else
                {
                    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
                }
            });
        CByteBuffer data(16);
        const auto start = std::chrono::steady_clock::now();
        const HRESULT hr = Device().ReadDeviceFile(kFile, data);
        const auto took = std::chrono::steady_clock::now() - start;
        loss.join();
        // A closed line fails the read waiting for the block, or the write of its retry.
        if (hangUp)
            EXPECT_TRUE(hr == SERIALCOMM_E_READ || hr == SERIALCOMM_E_WRITE) << std::hex << hr;
        else
            EXPECT_EQ(hr, SERIALCOMM_E_READ_TIMEOUT);
        EXPECT_EQ(data.GetLength(), 0u);
        EXPECT_LT(took, 5s);
        EXPECT_EQ(ReadProgress().result, hr);
    }
}

INSTANTIATE_TEST_SUITE_P(RegisterMapVersions, FileTransferGenerations, ::testing::Values(2, 3));

TEST_F(FileTransfer, TheSdi12SetIsCopiedToDiskAndBack)
{
    StartAttached({.deviceType = 12, .sdi12Supported = true});
    const std::vector<uint8_t> set = probesim::EncodeSdi12Set({u'3', {{1, 1}, {2, 5}}});
    Probe().Files().Put(NVSystem::SDI12_PARAMSET_FILE_ID, set);
    const std::filesystem::path folder = m_config.Path();
    const std::u16string saved = (folder / "saved.sdi").u16string();
    auto onDisk = [&]
    {
        std::ifstream file(folder / "saved.sdi", std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
    };
    ASSERT_EQ(Device().SaveDeviceFileToDisk(saved.c_str()), S_OK);
    EXPECT_EQ(onDisk(), set);
    const std::vector<uint8_t> other = probesim::EncodeSdi12Set({u'1', {{3, 2}}});
    std::ofstream(folder / "other.sdi", std::ios::binary)
        .write(reinterpret_cast<const char*>(other.data()), static_cast<std::streamsize>(other.size()));
    ASSERT_EQ(Device().SendDiskFileToDevice((folder / "other.sdi").u16string().c_str()), S_OK);
    EXPECT_EQ(Probe().Files().Get(NVSystem::SDI12_PARAMSET_FILE_ID)->data, other);
    EXPECT_EQ(Device().SendDiskFileToDevice((folder / "missing.sdi").u16string().c_str()), E_INVALIDARG);
    EXPECT_EQ(Device().SaveDeviceFileToDisk((folder / "no-folder" / "x.sdi").u16string().c_str()),
              MODBUSCOMM_E_UNKNOWN_WRITE_ERROR);

    // A disk too full for the set leaves the copy saved before whole.
    Probe().Files().Put(NVSystem::SDI12_PARAMSET_FILE_ID, Pattern(500));
    {
        testsupport::ScopedFileSizeLimit full(100);
        EXPECT_EQ(Device().SaveDeviceFileToDisk(saved.c_str()), MODBUSCOMM_E_UNKNOWN_WRITE_ERROR);
    }
    EXPECT_EQ(onDisk(), set);
    Probe().Files().Put(NVSystem::SDI12_PARAMSET_FILE_ID, set);

    // A failed read and an empty set on the device leave the disk alone.
    Probe().Files().Remove(NVSystem::SDI12_PARAMSET_FILE_ID);
    EXPECT_EQ(Device().SaveDeviceFileToDisk(saved.c_str()), ResultCode(0x81010088u));
    Probe().Files().Put(NVSystem::SDI12_PARAMSET_FILE_ID, std::vector<uint8_t>{});
    EXPECT_EQ(Device().SaveDeviceFileToDisk(saved.c_str()), S_OK);
    EXPECT_EQ(onDisk(), set);
}

} // namespace
} // namespace devicetest
