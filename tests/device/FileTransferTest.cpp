// Device files moved through the device object: both register map generations on the wire,
// progress, cancel from another thread, and what the device announces or the line allows refused
// before it can do harm.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

#include "comm/FileCmdSeq.h"
#include "device/FileTransfer.h"
#include "tests/device/FileTransferSupport.h"
#include "tests/support/Bytes.h"
#include "tools/probe-sim/InstrumentFiles.h"
#include "tools/probe-sim/WireBytes.h"

namespace devicetest
{
namespace
{

using namespace std::chrono_literals;
using testsupport::FromBuffer;
using testsupport::ToBuffer;

constexpr uint16_t kFile = 7;

struct Progress
{
    USHORT percent = 0;
    ULONG total = 0;
    ULONG done = 0;
    ULONG state = 0;
    double secondsLeft = -1;
    HRESULT result = 1;
};

class FileTransfer : public FileTransferOnSimulator
{
protected:
    Progress ReadProgress()
    {
        Progress progress;
        EXPECT_EQ(Device().GetFileTransferProgress(progress.percent, progress.total, progress.done,
                                                   progress.state, progress.secondsLeft, progress.result),
                  S_OK);
        return progress;
    }

    // A read cancelled from another thread while its second block is in flight.
    void CancelMidTransfer(USHORT version)
    {
        StartLine({.deviceType = 12, .registerMapVersion = version});
        AttachDevice();
        Probe().Files().Put(kFile, Pattern(5000));
        Probe().FileBlockFaults().AtBlock(2, probesim::BlockFault::Slow(300ms));

        std::thread canceller = CancelAfterFirstBlock();
        CByteBuffer data;
        EXPECT_EQ(Device().ReadDeviceFile(kFile, data), MODBUSCOMM_E_CANCELLED);
        canceller.join();
        EXPECT_EQ(ReadProgress().result, MODBUSCOMM_E_CANCELLED);
        const std::vector<FileRequest> requests = FileRequests();
        ASSERT_GE(requests.size(), 3u);
        EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                                [](const FileRequest& request) { return request.function == 100; }),
                  2);
        // The instrument's file machinery is given back either way.
        EXPECT_EQ(requests.back(),
                  version >= 3 ? FileSetup(NVSystem::FILECMD_IDLE, kFile, 0) : RegisterWrite16(49150, 0));
        EXPECT_FALSE(Probe().OpenFileTransfer().has_value());

        // The next transfer starts without the old cancel, and a cancel while nothing runs changes
        // nothing.
        EXPECT_EQ(Device().CancelFileTransfer(), S_OK);
        ASSERT_EQ(Device().ReadDeviceFile(kFile, data), S_OK);
        EXPECT_EQ(FromBuffer(data), Pattern(5000));
    }

    // Blocks until the running transfer has moved its first bytes, then posts a cancel.
    std::thread CancelAfterFirstBlock()
    {
        return std::thread(
            [this]
            {
                const auto deadline = std::chrono::steady_clock::now() + 5s;
                while (ReadProgress().done == 0 && std::chrono::steady_clock::now() < deadline)
                    std::this_thread::sleep_for(1ms);
                EXPECT_EQ(Device().CancelFileTransfer(), S_OK);
            });
    }
};

TEST_F(FileTransfer, ExtendedTransfersMoveWholeBlocksBetweenSetupAndIdle)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    AttachDevice();
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
        expected.push_back(FileSetup(NVSystem::FILECMD_IDLE, kFile, 0));
        EXPECT_EQ(FileRequests(), expected);

        ClearFrames();
        const std::vector<uint8_t> written = Pattern(size + 3);
        ASSERT_EQ(Device().WriteDeviceFile(kFile + 1, ToBuffer(written)), S_OK);
        expected = {FileSetup(FILECMD_WRITE, kFile + 1, uint32_t(written.size()))};
        for (uint32_t offset = 0; offset < written.size(); offset += 1014)
            expected.push_back(
                WriteBlock(offset, std::min<uint32_t>(1014, uint32_t(written.size()) - offset)));
        expected.push_back(FileSetup(NVSystem::FILECMD_IDLE, kFile + 1, 0));
        EXPECT_EQ(FileRequests(), expected);
        EXPECT_EQ(Probe().Files().Get(kFile + 1)->data, written);
    }

    // An empty file written sends the setup and the return to idle only.
    ClearFrames();
    ASSERT_EQ(Device().WriteDeviceFile(kFile, CByteBuffer()), S_OK);
    EXPECT_EQ(FileRequests(), (std::vector<FileRequest>{FileSetup(FILECMD_WRITE, kFile, 0),
                                                        FileSetup(NVSystem::FILECMD_IDLE, kFile, 0)}));
}

TEST_F(FileTransfer, OlderInstrumentsTakeTheFileCommandSequence)
{
    StartLine({.deviceType = 12, .registerMapVersion = 2});
    AttachDevice();
    Probe().Files().Put(kFile, Pattern(2500));
    CByteBuffer data;
    ASSERT_EQ(Device().ReadDeviceFile(kFile, data), S_OK);
    EXPECT_EQ(FromBuffer(data), Pattern(2500));
    EXPECT_EQ(FileRequests(),
              (std::vector<FileRequest>{RegisterWrite16(49150, 0), RegisterWrite16(49150, 1),
                                        RegisterWrite16(49151, kFile), RegisterWrite16(49150, FILECMD_READ),
                                        ReadBlock(0, 1018), ReadBlock(1018, 1017), ReadBlock(2035, 465),
                                        RegisterWrite16(49150, 0)}));

    ClearFrames();
    ASSERT_EQ(Device().WriteDeviceFile(kFile, ToBuffer({9})), S_OK);
    EXPECT_EQ(FileRequests(),
              (std::vector<FileRequest>{RegisterWrite16(49150, 0), RegisterWrite16(49150, 1),
                                        RegisterWrite16(49151, kFile), RegisterWrite16(49152, 1),
                                        RegisterWrite16(49150, FILECMD_WRITE), WriteBlock(0, 1),
                                        RegisterWrite16(49150, 0)}));
    EXPECT_EQ(Probe().Files().Get(kFile)->data, std::vector<uint8_t>{9});
}

TEST_F(FileTransfer, ProgressReportsTheLastTransfer)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    AttachDevice();
    Progress idle = ReadProgress();
    EXPECT_EQ(idle.total, 0u);
    EXPECT_EQ(idle.result, S_OK);
    EXPECT_EQ(idle.secondsLeft, 0.0);

    Probe().Files().Put(kFile, Pattern(2500));
    CByteBuffer data;
    ASSERT_EQ(Device().ReadDeviceFile(kFile, data), S_OK);
    Progress done = ReadProgress();
    EXPECT_EQ(done.percent, 100);
    EXPECT_EQ(done.total, 2500u);
    EXPECT_EQ(done.done, 2500u);
    EXPECT_EQ(done.state, 0u);
    EXPECT_EQ(done.secondsLeft, 0.0);
    EXPECT_EQ(done.result, S_OK);

    EXPECT_EQ(Device().ReadDeviceFile(4321, data), ResultCode(0x81010088u)); // no such file on the device
    EXPECT_EQ(ReadProgress().result, ResultCode(0x81010088u));
}

TEST_F(FileTransfer, ACancelFromAnotherThreadStopsAnExtendedTransferAtItsNextCheck)
{
    CancelMidTransfer(3);
}

TEST_F(FileTransfer, ACancelFromAnotherThreadStopsAFileCommandSequenceAtItsNextCheck)
{
    CancelMidTransfer(2);
}

TEST_F(FileTransfer, AHostileFileSizeIsRefusedBeforeAnyBlock)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    AttachDevice();
    // The instrument answers every read setup with a size no device file has.
    Sim().Model().SetFunctionHandler(102,
                                     [](const probesim::Adu& request)
                                     {
                                         std::vector<uint8_t> reply = request.data;
                                         if (probesim::ReadU16(reply, 0) == FILECMD_READ)
                                         {
                                             const std::vector<uint8_t> size{0xFF, 0xFF, 0xFF, 0xF0};
                                             std::copy(size.begin(), size.end(), reply.begin() + 4);
                                         }
                                         return probesim::Reply::WithData(reply);
                                     });
    CByteBuffer data(8);
    EXPECT_EQ(Device().ReadDeviceFile(kFile, data), MODBUSCOMM_E_FILE_TOO_LARGE);
    EXPECT_EQ(data.GetCapacity(), 0u);
    EXPECT_EQ(FileRequests(), (std::vector<FileRequest>{FileSetup(FILECMD_READ, kFile, 0),
                                                        FileSetup(NVSystem::FILECMD_IDLE, kFile, 0)}));
    EXPECT_EQ(ReadProgress().result, MODBUSCOMM_E_FILE_TOO_LARGE);
}

TEST_F(FileTransfer, ExtendedBlocksMustCarryWhatWasAskedFor)
{
    StartLine({.deviceType = 12,
               .registerMapVersion = 3,
               .line = probesim::LineSettings{.mode = probesim::FramingMode::Ascii}});
    AttachDevice();
    Probe().Files().Put(kFile, Pattern(50));
    CByteBuffer data;
    // 0: a byte more than asked for, 1: a byte fewer, 2: no file data at all.
    for (int shortBy : {0, 1, 2})
    {
        SCOPED_TRACE(shortBy);
        // Reply data: u32 offset, u16 length, the bytes, the end-of-file byte.
        Sim().Model().SetFunctionHandler(
            100,
            [shortBy](const probesim::Adu& request)
            {
                const uint16_t asked = probesim::ReadU16(request.data, 4);
                const auto length = static_cast<uint16_t>(shortBy == 0   ? asked + 1
                                                          : shortBy == 1 ? asked - 1
                                                                         : 0);
                std::vector<uint8_t> reply(request.data.begin(), request.data.begin() + 4);
                probesim::AppendU16(reply, length);
                reply.resize(reply.size() + length, 0x33);
                reply.push_back(1); // a reply of the end-of-file byte alone carries no data
                return probesim::Reply::WithData(reply);
            });
        EXPECT_EQ(Device().ReadDeviceFile(kFile, data),
                  shortBy == 2 ? MODBUSCOMM_E_EMPTY_READ : MODBUSCOMM_E_INVALID_RESPONSE_LENGTH);
        EXPECT_EQ(data.GetLength(), 0u);
    }
}

TEST_F(FileTransfer, APacketTooSmallForFileDataIsRefusedBeforeTheSetup)
{
    // In ASCII a 20-byte packet leaves no room for a byte of a file block.
    StartLine({.deviceType = 12,
               .registerMapVersion = 3,
               .maxPacketSize = 20,
               .line = probesim::LineSettings{.mode = probesim::FramingMode::Ascii}});
    AttachDevice();
    CByteBuffer data;
    EXPECT_EQ(Device().WriteDeviceFile(kFile, ToBuffer({1, 2, 3})), MODBUSCOMM_E_MAX_PACKET);
    EXPECT_EQ(Device().ReadDeviceFile(kFile, data), MODBUSCOMM_E_MAX_PACKET);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(FileTransfer, TheSdi12SetIsCopiedToDiskAndBack)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3, .sdi12Supported = true});
    AttachDevice();
    const std::vector<uint8_t> set = probesim::EncodeSdi12Set({u'3', {{1, 1}, {2, 5}}});
    Probe().Files().Put(NVSystem::SDI12_PARAMSET_FILE_ID, set);
    const std::filesystem::path folder = m_config.Path();
    const std::u16string saved = (folder / "saved.sdi").u16string();

    ASSERT_EQ(Device().SaveDeviceFileToDisk(saved.c_str()), S_OK);
    std::ifstream file(folder / "saved.sdi", std::ios::binary);
    EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {}), set);

    const std::vector<uint8_t> other = probesim::EncodeSdi12Set({u'1', {{3, 2}}});
    {
        std::ofstream out(folder / "other.sdi", std::ios::binary);
        out.write(reinterpret_cast<const char*>(other.data()), static_cast<std::streamsize>(other.size()));
    }
    ASSERT_EQ(Device().SendDiskFileToDevice((folder / "other.sdi").u16string().c_str()), S_OK);
    EXPECT_EQ(Probe().Files().Get(NVSystem::SDI12_PARAMSET_FILE_ID)->data, other);

    EXPECT_EQ(Device().SendDiskFileToDevice((folder / "missing.sdi").u16string().c_str()), E_INVALIDARG);
    EXPECT_EQ(Device().SaveDeviceFileToDisk((folder / "no-folder" / "x.sdi").u16string().c_str()),
              MODBUSCOMM_E_UNKNOWN_WRITE_ERROR);

    // An empty set on the device leaves the disk alone.
    Probe().Files().Put(NVSystem::SDI12_PARAMSET_FILE_ID, std::vector<uint8_t>{});
    const std::u16string empty = (folder / "empty.sdi").u16string();
    EXPECT_EQ(Device().SaveDeviceFileToDisk(empty.c_str()), S_OK);
    EXPECT_FALSE(std::filesystem::exists(folder / "empty.sdi"));
}

} // namespace
} // namespace devicetest
