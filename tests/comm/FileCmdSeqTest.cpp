// File command sequences against the simulated instrument's file command registers: the handshake,
// the block lengths on the wire, refusals of what the device announces or sends, and cancel.
#include <atomic>
#include <chrono>
#include <thread>

#include "comm/FileCmdSeq.h"
#include "foundation/ResultCodes.h"
#include "tests/comm/NetworkTestSupport.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/WireBytes.h"

namespace networktest
{
namespace
{

using namespace std::chrono_literals;
using NVSystem::CFileCmdSeq;
using NVSystem::FILECMD_DELETE;

constexpr USHORT kFile = 7;
constexpr USHORT kPacket = 1024; // read blocks of 1018 bytes, write blocks of 1014
constexpr USHORT kRetries = 1;
constexpr uint8_t kReadBlock = 100;
constexpr uint8_t kWriteBlock = 101;

Bytes Pattern(size_t length)
{
    Bytes bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

class FileCommandSequence : public SimulatedLine
{
protected:
    void Start(probesim::FramingMode mode = probesim::FramingMode::Rtu)
    {
        SetTunable(u"File Read Blk TO", 400);
        SetTunable(u"File Write Blk TO", 400);
        SetTunable(u"File Read Cmd TO", 200);
        SetTunable(u"File Write Cmd TO", 200);
        StartLine(mode);
        m_probe = std::make_unique<probesim::Instrument>(
            Sim(), probesim::InstrumentConfig{.registerMapVersion = 2, .sleeps = false});
    }

    std::unique_ptr<CFileCmdSeq> NewSequence()
    {
        auto sequence =
            std::make_unique<CFileCmdSeq>(&Network(), kSlave, kFile, kTimeoutMs, kTimeoutMs, kRetries);
        sequence->SetProgress(&m_progress);
        sequence->SetTransferControl(&m_control);
        return sequence;
    }

    HRESULT Read(CByteBuffer& data, USHORT packet = kPacket)
    {
        const auto sequence = NewSequence();
        if (const HRESULT hr = sequence->Begin(); Failed(hr))
            return hr;
        if (const HRESULT hr = sequence->SendCommand(FILECMD_READ); Failed(hr))
            return hr;
        return sequence->ReadFileData(packet, data);
    }

    HRESULT Write(const Bytes& bytes, USHORT packet = kPacket)
    {
        const auto sequence = NewSequence();
        if (const HRESULT hr = sequence->Begin(); Failed(hr))
            return hr;
        if (const HRESULT hr = sequence->WriteTransferSize(static_cast<ULONG>(bytes.size())); Failed(hr))
            return hr;
        if (const HRESULT hr = sequence->SendCommand(FILECMD_WRITE); Failed(hr))
            return hr;
        return sequence->WriteFileData(packet, ToBuffer(bytes));
    }

    // Lengths of the block requests of a function, in order.
    std::vector<size_t> BlockLengths(uint8_t function)
    {
        SettledReceived();
        std::vector<size_t> lengths;
        for (const probesim::LoggedFrame& frame : Sim().Log().Received())
        {
            if (!frame.adu || frame.adu->function != function || frame.adu->data.size() < 6)
                continue;
            lengths.push_back(function == kReadBlock ? probesim::ReadU16(frame.adu->data, 4)
                                                     : frame.adu->data.size() - 6);
        }
        return lengths;
    }

    // The values written to the file command register, in order.
    std::vector<uint16_t> CommandWrites()
    {
        SettledReceived();
        std::vector<uint16_t> commands;
        for (const probesim::LoggedFrame& frame : Sim().Log().Received())
        {
            if (frame.adu && frame.adu->function == 16 &&
                probesim::ReadU16(frame.adu->data, 0) == 49150 - 40001)
                commands.push_back(probesim::ReadU16(frame.adu->data, 5));
        }
        return commands;
    }

    std::unique_ptr<probesim::Instrument> m_probe;
    CTransferProgress m_progress;
    CTransferControl m_control;
};

TEST_F(FileCommandSequence, ReadsRequestNoBlockLengthTwiceInARow)
{
    Start();
    const struct
    {
        size_t size;
        std::vector<size_t> blocks;
    } cases[] = {{0, {}}, {1, {1}}, {2500, {1018, 1017, 465}}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.size);
        Sim().Log().Clear();
        m_probe->Files().Put(kFile, Pattern(c.size));
        CByteBuffer data;
        ASSERT_EQ(Read(data), S_OK);
        EXPECT_EQ(ToBytes(data), Pattern(c.size));
        EXPECT_EQ(BlockLengths(kReadBlock), c.blocks);
        EXPECT_EQ(CommandWrites(), (std::vector<uint16_t>{0, 1, FILECMD_READ, 0}));
        if (c.size > 0)
        {
            const CTransferProgress::sSnapshot progress = m_progress.Get();
            EXPECT_EQ(progress.total, c.size);
            EXPECT_EQ(progress.done, c.size);
            EXPECT_EQ(progress.percent, 100);
            EXPECT_EQ(progress.result, S_OK);
        }
    }
}

TEST_F(FileCommandSequence, WritesKeepTheSameRuleAndStoreTheFileOnClose)
{
    Start();
    const struct
    {
        size_t size;
        USHORT packet;
        std::vector<size_t> blocks;
    } cases[] = {{0, kPacket, {}}, {1, kPacket, {1}}, {2500, kPacket, {1014, 1013, 473}}, {2, 11, {1, 1}}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.size);
        Sim().Log().Clear();
        ASSERT_EQ(Write(Pattern(c.size), c.packet), S_OK);
        EXPECT_EQ(BlockLengths(kWriteBlock), c.blocks);
        EXPECT_EQ(CommandWrites(), (std::vector<uint16_t>{0, 1, FILECMD_WRITE, 0}));
        ASSERT_TRUE(m_probe->Files().Has(kFile));
        EXPECT_EQ(m_probe->Files().Get(kFile)->data, Pattern(c.size));
    }
}

TEST_F(FileCommandSequence, AnnouncedSizesAreBoundsNotAllocations)
{
    Start();
    m_probe->Files().Put(kFile, Pattern(2500));
    uint32_t announced = 0xFFFFFF00u;
    m_probe->Registers().AddReadHook(49152, 2,
                                     [&](probesim::RegisterModel& model, uint16_t, uint16_t)
                                     {
                                         model.SetU32(49152, announced);
                                         return std::optional<probesim::ExceptionCode>();
                                     });
    CByteBuffer data;
    EXPECT_EQ(Read(data), MODBUSCOMM_E_FILE_TOO_LARGE);
    EXPECT_EQ(data.GetLength(), 0u);
    EXPECT_EQ(data.GetCapacity(), 0u);
    EXPECT_TRUE(BlockLengths(kReadBlock).empty());
    EXPECT_EQ(m_progress.Get().result, MODBUSCOMM_E_FILE_TOO_LARGE);

    // A size the file does not have ends at the first block that comes back short; what arrived
    // before it is kept.
    Sim().Log().Clear();
    announced = 3000;
    EXPECT_EQ(Read(data), MODBUSCOMM_E_INVALID_RESPONSE_LENGTH);
    EXPECT_EQ(BlockLengths(kReadBlock), (std::vector<size_t>{1018, 1017, 965}));
    const Bytes file = Pattern(2500);
    EXPECT_EQ(ToBytes(data), Bytes(file.begin(), file.begin() + 2035));
}

TEST_F(FileCommandSequence, BlocksOfAnotherLengthThanAskedAreRefused)
{
    Start(probesim::FramingMode::Ascii);
    for (int extra : {+1, -1})
    {
        SCOPED_TRACE(extra);
        Sim().Model().SetFunctionHandler(kReadBlock,
                                         [extra](const probesim::Adu& request)
                                         {
                                             const auto length = static_cast<uint16_t>(
                                                 probesim::ReadU16(request.data, 4) + extra);
                                             Bytes reply;
                                             probesim::AppendU16(reply, length);
                                             reply.resize(2 + length, 0x5A);
                                             return probesim::Reply::WithData(reply);
                                         });
        m_probe->Files().Put(kFile, Pattern(40));
        CByteBuffer data;
        EXPECT_EQ(Read(data), MODBUSCOMM_E_INVALID_RESPONSE_LENGTH);
        EXPECT_EQ(data.GetLength(), 0u);
    }
}

TEST_F(FileCommandSequence, APacketWithoutRoomForDataSendsNoBlock)
{
    Start();
    m_probe->Files().Put(kFile, Pattern(10));
    CByteBuffer data;
    EXPECT_EQ(Read(data, 6), MODBUSCOMM_E_MAX_PACKET);
    EXPECT_EQ(Write(Pattern(10), 10), MODBUSCOMM_E_MAX_PACKET);
    EXPECT_TRUE(BlockLengths(kReadBlock).empty());
    EXPECT_TRUE(BlockLengths(kWriteBlock).empty());
    EXPECT_EQ(m_progress.Get().result, MODBUSCOMM_E_MAX_PACKET);
}

TEST_F(FileCommandSequence, ACancelFromAnotherThreadEndsTheReadAfterTheBlockInFlight)
{
    Start();
    m_probe->Files().Put(kFile, Pattern(2500));
    m_probe->FileBlockFaults().AtBlock(2, probesim::BlockFault::Slow(300ms));
    std::thread canceller(
        [&]
        {
            while (m_progress.Get().done == 0)
                std::this_thread::sleep_for(1ms);
            m_control.RequestCancel();
        });
    CByteBuffer data;
    EXPECT_EQ(Read(data), MODBUSCOMM_E_CANCELLED);
    canceller.join();
    EXPECT_EQ(BlockLengths(kReadBlock), (std::vector<size_t>{1018, 1017}));
    EXPECT_EQ(data.GetLength(), 1018u);
    EXPECT_EQ(m_progress.Get().result, MODBUSCOMM_E_CANCELLED);
    // The sequence still closed the handshake.
    EXPECT_EQ(CommandWrites().back(), 0);

    // A cancel that is still set stops the next sequence at its first check.
    Sim().Log().Clear();
    EXPECT_EQ(NewSequence()->Begin(), MODBUSCOMM_E_CANCELLED);
}

TEST_F(FileCommandSequence, TheDeleteCommandIsNotRetriedAndOthersAre)
{
    SetTunable(u"File Delete Cmd TO", 50);
    Start();
    Sim().Faults().Queue(probesim::Fault::NoReply(), 4);
    CFileCmdSeq sequence(&Network(), kSlave, kFile, kTimeoutMs, kTimeoutMs, kRetries);
    EXPECT_EQ(sequence.SendCommand(FILECMD_DELETE), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(SettledReceived(), 1u);
    EXPECT_EQ(sequence.SendCommand(FILECMD_READ), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(SettledReceived(), 3u);
}

} // namespace
} // namespace networktest
