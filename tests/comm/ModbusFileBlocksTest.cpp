// The maker's file functions against the simulated instrument: a file read and written through the
// extended file request and its blocks, in the network's word order.
#include "foundation/ResultCodes.h"
#include "tests/comm/NetworkTestSupport.h"
#include "tools/probe-sim/Instrument.h"

namespace networktest
{
namespace
{

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
    EXPECT_EQ(Network().ReadFileBlock(256, 0, 4, m_data, kTimeoutMs, 0, kLongHeader),
              MODBUSCOMM_E_INVALID_ADDRESS);
    EXPECT_EQ(Network().ReadFileBlock(0, 0, 4, m_data, kTimeoutMs, 0, kLongHeader),
              MODBUSCOMM_E_INVALID_DEVICE_ADDRESS);
    EXPECT_EQ(Network().WriteFileBlock(kSlave, 0, CByteBuffer(), kTimeoutMs, 0), S_OK);
    EXPECT_EQ(Network().WriteFileBlock(256, 0, ToBuffer({1}), kTimeoutMs, 0), MODBUSCOMM_E_INVALID_ADDRESS);
    sFileCommand record(0xF000, kOemFile);
    EXPECT_EQ(Network().ExtendedFileRequest(0, record, kTimeoutMs, 0), MODBUSCOMM_E_INVALID_DEVICE_ADDRESS);
    EXPECT_EQ(Network().ExtendedFileRequest(256, record, kTimeoutMs, 0), MODBUSCOMM_E_INVALID_ADDRESS);
    EXPECT_EQ(SettledReceived(), 1u);
}

} // namespace
} // namespace networktest
