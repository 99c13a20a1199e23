// Register reads and writes by five-digit register number against the simulated probe: what goes
// on the wire, the typed values in both word orders, replies that carry the wrong number of
// registers, the merging of register blocks under a packet limit; and the maker's file functions,
// a file read and written through the extended file request and its blocks.
#include "foundation/ResultCodes.h"
#include "tests/comm/CommTestSupport.h"
#include "tools/probe-sim/DeviceTime.h"
#include "tools/probe-sim/Instrument.h"

namespace commtest
{
namespace
{

using probesim::WordOrder;

CDynArray<sRegisterBlock> Blocks(std::initializer_list<sRegisterBlock> list)
{
    CDynArray<sRegisterBlock> blocks;
    for (const sRegisterBlock& block : list)
        blocks.Add(block);
    return blocks;
}

class Registers : public SimulatedLine
{
protected:
    void SetUp() override
    {
        StartLine();
        for (uint16_t i = 0; i < 20; ++i)
            Sim().Registers().SetU16(static_cast<uint16_t>(40001 + i), static_cast<uint16_t>(0x0100 + i));
    }
    // (function, start address, count) of each read request the simulator received.
    std::vector<Bytes> Requests()
    {
        std::vector<Bytes> requests;
        for (const auto& frame : Sim().Log().Received())
            if (frame.adu)
                requests.push_back(
                    Bytes{frame.adu->function, frame.adu->data[0], frame.adu->data[1], frame.adu->data[3]});
        return requests;
    }
    CByteBuffer m_data;
};

TEST_F(Registers, RefusalsSendNothing)
{
    CByteBuffer data = ToBuffer(Bytes{1, 2});
    for (USHORT bad : {29999, 30000, 40000, 50000})
        EXPECT_EQ(Network().ReadRegisters(kSlave, bad, 1, data, kTimeoutMs, 0),
                  MODBUSCOMM_E_INVALID_DATA_ADDRESS);
    EXPECT_EQ(data.GetLength(), 0u);
    EXPECT_EQ(Network().ReadRegisters(256, 40001, 1, data, kTimeoutMs, 0), MODBUSCOMM_E_INVALID_ADDRESS);
    EXPECT_EQ(Network().ReadRegisters(kSlave, 40001, 126, data, kTimeoutMs, 0),
              MODBUSCOMM_E_INVALID_REGISTER_COUNT);
    EXPECT_EQ(Network().WriteUShort(kSlave, 30001, 1, kTimeoutMs, 0), MODBUSCOMM_E_INVALID_DATA_ADDRESS);
    EXPECT_EQ(SettledReceived(), 0u);
}

TEST_F(Registers, TheRegisterClassPicksTheFunctionAndTypedValuesFollowTheWordOrder)
{
    Sim().Registers().SetU16(30001, 7);
    Sim().Registers().SetU16(49999, 9);
    ASSERT_EQ(Network().ReadRegisters(kSlave, 30001, 1, m_data, kTimeoutMs, 0), S_OK);
    EXPECT_EQ(ToBytes(m_data), (Bytes{0, 7}));
    ASSERT_EQ(Network().ReadRegisters(kSlave, 49999, 1, m_data, kTimeoutMs, 0), S_OK);
    EXPECT_EQ(ToBytes(m_data), (Bytes{0, 9}));
    EXPECT_EQ(Requests(), (std::vector<Bytes>{{4, 0x00, 0x00, 1}, {3, 0x27, 0x0E, 1}}));

    Sim().Registers().SetU32(40030, 0x11223344);
    Sim().Registers().SetFloat(40032, 21.5f, WordOrder::LowFirst);
    probesim::SetTimestamp(Sim().Registers(), 40034, {0x5F000000, 0x8000});
    Sim().Registers().SetText(40040, u"ABC");
    ULONG u32 = 0;
    EXPECT_EQ(Network().ReadULong(kSlave, 40030, u32, kTimeoutMs, 0), S_OK);
    EXPECT_EQ(u32, 0x11223344u);
    CDeviceTimestamp time(1, 1);
    EXPECT_EQ(Network().ReadTime(kSlave, 40034, time, kTimeoutMs, 0), S_OK);
    EXPECT_EQ(time, CDeviceTimestamp(0x5F000000, 0x8000));
    CWideString text(u"old");
    EXPECT_EQ(Network().ReadString(kSlave, 40040, text, kTimeoutMs, 0), S_OK);
    EXPECT_EQ(std::u16string(text), u"ABC");

    Network().m_bHighWordFirst = 0;
    float value = 0;
    EXPECT_EQ(Network().ReadFloat(kSlave, 40032, value, kTimeoutMs, 0), S_OK);
    EXPECT_EQ(value, 21.5f);
    EXPECT_EQ(Network().WriteULong(kSlave, 40050, 0xA1B2C3D4, kTimeoutMs, 0), S_OK);
    EXPECT_EQ(Sim().Registers().GetU32(40050, WordOrder::LowFirst), 0xA1B2C3D4u);
    EXPECT_EQ(Network().WriteFloat(kSlave, 40052, -3.25f, kTimeoutMs, 0), S_OK);
    EXPECT_EQ(Sim().Registers().GetFloat(40052, WordOrder::LowFirst), -3.25f);
    EXPECT_EQ(Network().WriteUShort(kSlave, 40054, 0xBEEF, kTimeoutMs, 0), S_OK);
    EXPECT_EQ(Sim().Registers().GetU16(40054), 0xBEEF);

    // A failed read leaves the value as it was, the time stamp and text cleared.
    USHORT u16 = 0x5555;
    EXPECT_EQ(Network().ReadUShort(kSlave, 40090, u16, kTimeoutMs, 0), ResultCode(0x81010002u));
    EXPECT_EQ(u16, 0x5555);
    EXPECT_EQ(Network().ReadTime(kSlave, 40090, time, kTimeoutMs, 0), ResultCode(0x81010002u));
    EXPECT_EQ(time, CDeviceTimestamp());
    EXPECT_EQ(Network().ReadString(kSlave, 40090, text, kTimeoutMs, 0), ResultCode(0x81010002u));
    EXPECT_TRUE(text.IsEmpty());
}

TEST_F(Registers, AShortReplyIsRefusedByEveryRead)
{
    // Well formed, one register short of what each read asks.
    Sim().Faults().SetPersistent(probesim::Fault::Short(2));
    ULONG u32 = 7;
    EXPECT_EQ(Network().ReadULong(kSlave, 40001, u32, kTimeoutMs, 0), MODBUSCOMM_E_INVALID_RESPONSE_LENGTH);
    EXPECT_EQ(u32, 7u);
    USHORT u16 = 7;
    EXPECT_EQ(Network().ReadUShort(kSlave, 40001, u16, kTimeoutMs, 0), MODBUSCOMM_E_INVALID_RESPONSE_LENGTH);
    EXPECT_EQ(u16, 7);
    // The raw registers too: nothing of the short reply reaches the caller, but how much it carried
    // does, for a caller that names a short reply itself.
    m_data = ToBuffer(Bytes{9, 9});
    EXPECT_EQ(Network().ReadRegisters(kSlave, 40001, 2, m_data, kTimeoutMs, 0),
              MODBUSCOMM_E_INVALID_RESPONSE_LENGTH);
    EXPECT_EQ(m_data.GetLength(), 0u);
    ULONG replyBytes = 0;
    EXPECT_EQ(Network().ReadRegisters(kSlave, 40001, 3, m_data, kTimeoutMs, 0, replyBytes),
              MODBUSCOMM_E_INVALID_RESPONSE_LENGTH);
    EXPECT_EQ(replyBytes, 4u);
    EXPECT_EQ(m_data.GetLength(), 0u);
    // A short run ends a block read with the refusal, keeping the runs read before it.
    Sim().Faults().ClearPersistent();
    Sim().Faults().Queue(probesim::Fault::None());
    Sim().Faults().Queue(probesim::Fault::Short(2));
    Sim().Log().Clear();
    EXPECT_EQ(Network().ReadRegisterBlocks(kSlave, m_data, kTimeoutMs, 0, 20,
                                           Blocks({{40001, 7}, {40008, 1}, {40009, 3}})),
              MODBUSCOMM_E_INVALID_RESPONSE_LENGTH);
    EXPECT_EQ(m_data.GetLength(), 14u);
    EXPECT_EQ(Requests(), (std::vector<Bytes>{{3, 0, 0, 7}, {3, 0, 7, 4}}));
    // Whole replies are whole reads again.
    ASSERT_EQ(Network().ReadRegisters(kSlave, 40001, 2, m_data, kTimeoutMs, 0, replyBytes), S_OK);
    EXPECT_EQ(ToBytes(m_data), (Bytes{0x01, 0x00, 0x01, 0x01}));
    EXPECT_EQ(replyBytes, 4u);
}

TEST_F(Registers, BlocksAreMergedWithinThePacketLimit)
{
    // 20 bytes leave 15 for data in RTU: at most 7 registers per request.
    const auto blocks = Blocks({{40001, 2}, {40003, 3}, {40006, 2}, {40008, 1}, {40009, 4}});
    ASSERT_EQ(Network().ReadRegisterBlocks(kSlave, m_data, kTimeoutMs, 0, 20, blocks), S_OK);
    EXPECT_EQ(Requests(), (std::vector<Bytes>{{3, 0, 0, 7}, {3, 0, 7, 5}}));
    ASSERT_EQ(m_data.GetLength(), 24u);
    EXPECT_EQ(m_data.GetData()[22], 0x01);
    EXPECT_EQ(m_data.GetData()[23], 0x0B);

    EXPECT_EQ(Network().ReadRegisterBlocks(kSlave, m_data, kTimeoutMs, 0, 20, Blocks({{40001, 8}})),
              MODBUSCOMM_E_BLOCK_READ_MINIMUM);
    EXPECT_EQ(Network().ReadRegisterBlocks(256, m_data, kTimeoutMs, 0, 20, blocks),
              MODBUSCOMM_E_INVALID_DEVICE_ADDRESS);
    EXPECT_EQ(SettledReceived(), 2u);

    // Under the full limit two neighbours are one request; a failure keeps what was read before.
    Sim().Log().Clear();
    ASSERT_EQ(
        Network().ReadRegisterBlocks(kSlave, m_data, kTimeoutMs, 0, 1024, Blocks({{40001, 10}, {40011, 10}})),
        S_OK);
    EXPECT_EQ(m_data.GetLength(), 40u);
    EXPECT_EQ(
        Network().ReadRegisterBlocks(kSlave, m_data, kTimeoutMs, 0, 20, Blocks({{40001, 7}, {40050, 1}})),
        ResultCode(0x81010002u));
    EXPECT_EQ(Requests(), (std::vector<Bytes>{{3, 0, 0, 20}, {3, 0, 0, 7}, {3, 0, 49, 1}}));
    EXPECT_EQ(m_data.GetLength(), 14u);
}

// A network on a TCP/IP line whose device answers every register read with `extra` registers more
// than it asked, each 0xABAB; the transport keeps the requests written.
class TcpRegisterLine : public ::testing::Test
{
protected:
    ScriptedTransport& Start(int extra)
    {
        auto* line = new ScriptedTransport(NVTools::IOCONNECTION_IP,
                                           [extra](const Bytes& request)
                                           {
                                               const auto count =
                                                   static_cast<uint8_t>(request.at(11) + extra);
                                               Bytes pdu(2 + 2u * count, 0xAB);
                                               pdu[0] = 3;
                                               pdu[1] = static_cast<uint8_t>(2 * count);
                                               return ScriptedTransport::Answer{TcpReply(request, pdu), S_OK};
                                           });
        EXPECT_EQ(m_network->AttachTransport(line), S_OK);
        EXPECT_EQ(m_network->SetTransmissionMode(2), S_OK);
        return *line;
    }

    QuickTunables m_tunables;
    NetworkPtr m_network{CModbusComm::Create()};
    CByteBuffer m_data;
};

TEST_F(TcpRegisterLine, DoesNotRepeatTheLastMergedRequest)
{
    ScriptedTransport& line = Start(0);
    const auto blocks = Blocks({{40001, 10}, {40011, 10}});
    ASSERT_EQ(m_network->ReadRegisterBlocks(1, m_data, 100, 0, 1024, blocks), S_OK);
    ASSERT_EQ(m_network->ReadRegisterBlocks(1, m_data, 100, 0, 1024, blocks), S_OK);
    EXPECT_EQ(m_data.GetLength(), 40u);
    std::vector<uint8_t> counts;
    for (const Bytes& request : line.written)
        counts.push_back(request.at(11));
    EXPECT_EQ(counts, (std::vector<uint8_t>{20, 10, 10}));
}

TEST_F(TcpRegisterLine, MoreRegistersThanAskedAreNotTakenForThem)
{
    Start(1);
    EXPECT_EQ(m_network->ReadRegisterBlocks(1, m_data, 100, 0, 1024, Blocks({{40001, 2}})),
              MODBUSCOMM_E_INVALID_RESPONSE_LENGTH);
    EXPECT_EQ(m_data.GetLength(), 0u);
    ULONG replyBytes = 0;
    EXPECT_EQ(m_network->ReadRegisters(1, 40001, 2, m_data, 100, 0, replyBytes),
              MODBUSCOMM_E_INVALID_RESPONSE_LENGTH);
    EXPECT_EQ(m_data.GetLength(), 0u);
    EXPECT_EQ(replyBytes, 6u);
    USHORT value = 0;
    EXPECT_EQ(m_network->ReadUShort(1, 40001, value, 100, 0), MODBUSCOMM_E_INVALID_RESPONSE_LENGTH);
}

// --- the maker's file functions -----------------------------------------------------------------

constexpr USHORT kOemFile = 65500;
constexpr USHORT kDataFile = 7;
constexpr USHORT kLongHeader = 2;

class FileBlocks : public SimulatedLine
{
protected:
    void SetUp() override
    {
        StartLine();
        m_probe = std::make_unique<probesim::Instrument>(Sim(), probesim::InstrumentConfig{.sleeps = false});
        m_probe->Files().Put(kOemFile, probesim::DeviceFile{{'A', 'B', 'C'}, {0x11223344, 0x5566}, {7, 8}});
    }
    std::unique_ptr<probesim::Instrument> m_probe;
    CByteBuffer m_data;
};

TEST_F(FileBlocks, AFileIsReadAndWrittenThroughTheExtendedRequest)
{
    sFileCommand setup(0xF000, kOemFile);
    ASSERT_EQ(Network().ExtendedFileRequest(kSlave, setup, kTimeoutMs, 0), S_OK);
    EXPECT_EQ(setup.Size, 3u);
    EXPECT_EQ(setup.Start, CDeviceTimestamp(0x11223344, 0x5566));
    EXPECT_EQ(setup.Stop, CDeviceTimestamp(7, 8));
    // The long header's block ends in one byte more: here the end-of-file mark.
    ASSERT_EQ(Network().ReadFileBlock(kSlave, 1, 10, m_data, kTimeoutMs, 0, kLongHeader), S_OK);
    EXPECT_EQ(ToBytes(m_data), (Bytes{'B', 'C', 1}));

    sFileCommand write(0xF001, kDataFile, 5);
    ASSERT_EQ(Network().ExtendedFileRequest(kSlave, write, kTimeoutMs, 0), S_OK);
    ASSERT_EQ(Network().WriteFileBlock(kSlave, 0, ToBuffer({'x', 'y', 'z'}), kTimeoutMs, 0), S_OK);
    ASSERT_EQ(Network().WriteFileBlock(kSlave, 3, ToBuffer({'!', '?'}), kTimeoutMs, 0), S_OK);
    sFileCommand close(0, kDataFile);
    ASSERT_EQ(Network().ExtendedFileRequest(kSlave, close, kTimeoutMs, 0), S_OK);
    EXPECT_EQ(m_probe->Files().Get(kDataFile)->data, (Bytes{'x', 'y', 'z', '!', '?'}));
}

TEST_F(FileBlocks, OffsetsFollowTheWordOrderAndRefusalsSendNothing)
{
    Network().m_bHighWordFirst = 0;
    ASSERT_EQ(Network().ReadFileBlock(kSlave, 0x00010002, 4, m_data, kTimeoutMs, 0, kLongHeader),
              ResultCode(0x81010086u)); // no transfer open
    const auto frames = Sim().Log().Received();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].adu->data, (Bytes{0x00, 0x02, 0x00, 0x01, 0x00, 0x04}));

    EXPECT_EQ(Network().ReadFileBlock(kSlave, 0, 0, m_data, kTimeoutMs, 0, kLongHeader), S_OK);
    EXPECT_EQ(Network().WriteFileBlock(kSlave, 0, CByteBuffer(), kTimeoutMs, 0), S_OK);
    EXPECT_EQ(Network().ReadFileBlock(256, 0, 4, m_data, kTimeoutMs, 0, kLongHeader),
              MODBUSCOMM_E_INVALID_ADDRESS);
    sFileCommand record(0xF000, kOemFile);
    EXPECT_EQ(Network().ExtendedFileRequest(256, record, kTimeoutMs, 0), MODBUSCOMM_E_INVALID_ADDRESS);
    EXPECT_EQ(SettledReceived(), 1u);
}

} // namespace
} // namespace commtest
