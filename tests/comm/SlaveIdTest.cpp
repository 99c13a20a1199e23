// Report Slave ID: the identity block decoded field by field and every deviation from the maker's
// format refused; the request against the simulated instrument.
#include "comm/SlaveIdInfo.h"
#include "foundation/ResultCodes.h"
#include "tests/comm/CommTestSupport.h"
#include "tools/probe-sim/Instrument.h"

namespace commtest
{
namespace
{

// Marker, run indicator 255, format 1, marker word, device type 12, firmware 1.23, reserved 0x0102,
// hardware 7, register map 3, serial 0x00012345, packet 1024, baud capability 1.
const Bytes kBlock = {0x4E, 0xFF, 0x01, 0x56, 0x43, 0x00, 0x0C, 0x00, 0x7B, 0x01, 0x02, 0x00,
                      0x07, 0x00, 0x03, 0x00, 0x01, 0x23, 0x45, 0x04, 0x00, 0x00, 0x01};

TEST(SlaveIdInfoDecoding, TheBlockFillsTheRecordAndDeviationsAreRefused)
{
    SlaveIdInfo record;
    ASSERT_EQ(DecodeSlaveIdInfo(ToBuffer(kBlock), record), S_OK);
    const SlaveIdInfo expected{255, 123, 0x0102, 7, 3, 1024, 12, 6, 0x00012345};
    EXPECT_EQ(record, expected);

    // Boot code answers all the same; the caller decides.
    Bytes boot = kBlock;
    boot[1] = 0;
    ASSERT_EQ(DecodeSlaveIdInfo(ToBuffer(boot), record), S_OK);
    EXPECT_EQ(record.RunIndicator, 0);

    // Any deviation from the format is refused.
    auto variant = [](size_t at, uint8_t value)
    {
        Bytes bytes = kBlock;
        bytes.at(at) = value;
        return bytes;
    };
    Bytes longer = kBlock;
    longer.push_back(0);
    const Bytes shorter(kBlock.begin(), kBlock.end() - 1);
    for (const Bytes& bad : {longer, shorter, variant(0, 0x4F), variant(2, 2), variant(4, 0x44), Bytes{}})
    {
        SlaveIdInfo untouched;
        EXPECT_EQ(DecodeSlaveIdInfo(ToBuffer(bad), untouched), MODBUSCOMM_E_SLAVEID_FORMAT);
        EXPECT_EQ(untouched, SlaveIdInfo()) << bad.size();
    }
}

using ReportSlaveId = SimulatedLine;

TEST_F(ReportSlaveId, DecodesTheInstrumentsIdentity)
{
    StartLine();
    probesim::Instrument probe(Sim(), {.deviceType = 12,
                                       .registerMapVersion = 2,
                                       .serialNumber = 4711,
                                       .firmwareVersion = 250,
                                       .maxPacketSize = 512,
                                       .maxBaudId = 9,
                                       .sleeps = false});
    SlaveIdInfo record;
    ASSERT_EQ(Network().ReportSlaveId(kSlave, record, kTimeoutMs, 0), S_OK);
    const SlaveIdInfo expected{255, 250, 0, 1, 2, 512, 12, 9, 4711};
    EXPECT_EQ(record, expected);

    // Refused addresses leave the record alone; a failed request leaves it cleared.
    EXPECT_EQ(Network().ReportSlaveId(256, record, kTimeoutMs, 0), MODBUSCOMM_E_INVALID_ADDRESS);
    EXPECT_EQ(record, expected);
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    EXPECT_EQ(Network().ReportSlaveId(kSlave, record, 30, 0), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(record, SlaveIdInfo());
}

} // namespace
} // namespace commtest
