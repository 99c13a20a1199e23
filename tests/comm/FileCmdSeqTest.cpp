// File command sequences against the simulated instrument's file command registers: the handshake,
// the block lengths on the wire, refusals of what the device announces or sends, cancel, and the
// progress record they feed.
#include <atomic>
#include <chrono>
#include <thread>

#include "comm/FileCmdSeq.h"
#include "comm/TransferProgress.h"
#include "foundation/ResultCodes.h"
#include "tests/comm/CommTestSupport.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/WireBytes.h"

namespace commtest
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
        HRESULT hr = sequence->Begin();
        hr = Failed(hr) ? hr : sequence->SendCommand(FILECMD_READ);
        return Failed(hr) ? hr : sequence->ReadFileData(packet, data);
    }
    HRESULT Write(const Bytes& bytes, USHORT packet = kPacket)
    {
        const auto sequence = NewSequence();
        HRESULT hr = sequence->Begin();
        hr = Failed(hr) ? hr : sequence->WriteTransferSize(static_cast<ULONG>(bytes.size()));
        hr = Failed(hr) ? hr : sequence->SendCommand(FILECMD_WRITE);
        return Failed(hr) ? hr : sequence->WriteFileData(packet, ToBuffer(bytes));
    }

    // Lengths of the block requests of a function, and the values written to the file command
    // register, in order.
    std::vector<size_t> BlockLengths(uint8_t function)
    {
        std::vector<size_t> lengths;
        for (const probesim::LoggedFrame& frame : Sim().Log().Received())
            if (frame.adu && frame.adu->function == function && frame.adu->data.size() >= 6)
                lengths.push_back(function == kReadBlock ? probesim::ReadU16(frame.adu->data, 4)
                                                         : frame.adu->data.size() - 6);
        return lengths;
    }
    std::vector<uint16_t> CommandWrites()
    {
        std::vector<uint16_t> commands;
        for (const probesim::LoggedFrame& frame : Sim().Log().Received())
            if (frame.adu && frame.adu->function == 16 &&
                probesim::ReadU16(frame.adu->data, 0) == 49150 - 40001)
                commands.push_back(probesim::ReadU16(frame.adu->data, 5));
        return commands;
    }

    std::unique_ptr<probesim::Instrument> m_probe;
    CTransferProgress m_progress;
    CTransferControl m_control;
};

TEST_F(FileCommandSequence, NoBlockLengthIsRequestedTwiceInARow)
{
    Start();
    const struct
    {
        size_t size;
        USHORT packet;
        std::vector<size_t> reads;
        std::vector<size_t> writes;
    } cases[] = {{0, kPacket, {}, {}},
                 {1, kPacket, {1}, {1}},
                 {2500, kPacket, {1018, 1017, 465}, {1014, 1013, 473}},
                 {2, 11, {2}, {1, 1}}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.size);
        Sim().Log().Clear();
        m_probe->Files().Put(kFile, Pattern(c.size));
        CByteBuffer data;
        ASSERT_EQ(Read(data, c.packet), S_OK);
        EXPECT_EQ(ToBytes(data), Pattern(c.size));
        EXPECT_EQ(BlockLengths(kReadBlock), c.reads);
        EXPECT_EQ(CommandWrites(), (std::vector<uint16_t>{0, 1, FILECMD_READ, 0}));
        EXPECT_EQ(m_progress.Get().done, c.size);

        Sim().Log().Clear();
        m_probe->Files().Put(kFile, Bytes{});
        ASSERT_EQ(Write(Pattern(c.size), c.packet), S_OK);
        EXPECT_EQ(BlockLengths(kWriteBlock), c.writes);
        EXPECT_EQ(CommandWrites(), (std::vector<uint16_t>{0, 1, FILECMD_WRITE, 0}));
        EXPECT_EQ(m_probe->Files().Get(kFile)->data, Pattern(c.size));
    }
}

TEST_F(FileCommandSequence, SizesAndBlocksFromTheDeviceAreChecked)
{
    Start(probesim::FramingMode::Ascii); // a block reply is read to its end, not to the count
    m_probe->Files().Put(kFile, Pattern(2500));
    std::atomic<uint32_t> announced{0xFFFFFF00u}; // read on the simulator's thread
    m_probe->Registers().AddReadHook(49152, 2,
                                     [&](probesim::RegisterModel& model, uint16_t, uint16_t)
                                     {
                                         model.SetU32(49152, announced.load());
                                         return std::optional<probesim::ExceptionCode>();
                                     });
    // An announced size is a bound, not an allocation.
    CByteBuffer data;
    EXPECT_EQ(Read(data), MODBUSCOMM_E_FILE_TOO_LARGE);
    EXPECT_EQ(data.GetCapacity(), 0u);
    EXPECT_TRUE(BlockLengths(kReadBlock).empty());
    EXPECT_EQ(m_progress.Get().result, MODBUSCOMM_E_FILE_TOO_LARGE);

    // A size the file does not have ends at the first block that comes back empty; what arrived
    // before it is kept.
    Sim().Log().Clear();
    announced = 3000;
    EXPECT_EQ(Read(data), MODBUSCOMM_E_EMPTY_READ);
    EXPECT_EQ(BlockLengths(kReadBlock), (std::vector<size_t>{505, 504, 505, 504, 505, 500}));
    EXPECT_EQ(ToBytes(data), Pattern(2500));

    // A block longer than asked for cannot belong to the request.
    announced = 40;
    Sim().Model().SetFunctionHandler(kReadBlock,
                                     [](const probesim::Adu& request)
                                     {
                                         const auto length =
                                             static_cast<uint16_t>(probesim::ReadU16(request.data, 4) + 1);
                                         Bytes reply;
                                         probesim::AppendU16(reply, length);
                                         reply.resize(2 + length, 0x5A);
                                         return probesim::Reply::WithData(reply);
                                     });
    EXPECT_EQ(Read(data), MODBUSCOMM_E_INVALID_RESPONSE_LENGTH);
    EXPECT_EQ(data.GetLength(), 0u);
}

TEST_F(FileCommandSequence, AShortBlockIsKeptAndTheNextAsksFromWhereItEnded)
{
    Start();
    m_probe->Files().Put(kFile, Pattern(2500));
    m_probe->FileBlockFaults().AtBlock(1, probesim::BlockFault::Short(300));
    m_probe->FileBlockFaults().AtBlock(3, probesim::BlockFault::Short(1));
    CByteBuffer data;
    ASSERT_EQ(Read(data), S_OK);
    EXPECT_EQ(ToBytes(data), Pattern(2500));
    // Offsets 0, 300, 1317, 1318, 2335; a length is still never asked twice in a row.
    EXPECT_EQ(BlockLengths(kReadBlock), (std::vector<size_t>{1018, 1017, 1018, 1017, 165}));
    EXPECT_EQ(m_progress.Get().done, 2500u);
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
    Start();
    SetTunable(u"File Delete Cmd TO", 50);
    SetTunable(u"File Read Cmd TO", 50);
    Sim().Faults().Queue(probesim::Fault::NoReply(), 3);
    CFileCmdSeq sequence(&Network(), kSlave, kFile, 50, 50, kRetries);
    EXPECT_EQ(sequence.SendCommand(FILECMD_DELETE), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(SettledReceived(), 1u);
    EXPECT_EQ(sequence.SendCommand(FILECMD_READ), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(SettledReceived(), 3u);
}

// --- the progress record that a sequence feeds and the user interface polls ----------------------

std::atomic<uint64_t> g_ticks{5000};

uint64_t Ticks()
{
    return g_ticks.load();
}

TEST(TransferProgress, PercentAndSecondsLeftNeverDivideByZero)
{
    CTransferProgress progress(&Ticks);
    progress.Start();
    progress.SetDone(10);
    EXPECT_EQ(progress.Get().percent, 0); // no total
    progress.SetTotal(3);
    progress.SetDone(2);
    EXPECT_EQ(progress.Get().percent, 67);
    progress.SetTotal(0xFFFFFFFFu);
    progress.SetDone(0xFFFFFFFFu);
    EXPECT_EQ(progress.Get().percent, 100);

    progress.SetResult(static_cast<HRESULT>(0x8101013Fu));
    progress.Start();
    EXPECT_EQ(progress.Get().result, S_OK);
    progress.SetTotal(1500);
    EXPECT_EQ(progress.Get().SecondsLeft(), 0.0); // nothing done, no time passed
    progress.SetDone(500);
    EXPECT_EQ(progress.Get().SecondsLeft(), 0.0);
    g_ticks += 2000;
    EXPECT_DOUBLE_EQ(progress.Get().SecondsLeft(), 4.0); // 250 bytes a second, 1000 to go

    // Once stopped the elapsed time stays where the transfer ended.
    progress.SetDone(750);
    progress.Stop();
    g_ticks += 60000;
    EXPECT_EQ(progress.Get().elapsedMs, 2000u);
    EXPECT_DOUBLE_EQ(progress.Get().SecondsLeft(), 2.0);
}

} // namespace
} // namespace commtest
