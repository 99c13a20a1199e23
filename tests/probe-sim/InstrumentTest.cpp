// The instrument's identity, register layout and line settings, seen from the wire.
#include <gtest/gtest.h>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/Instrument.h"

namespace probesim_test
{
namespace
{

using probesim::FramingMode;
using probesim::Instrument;
using probesim::LineSettings;
using probesim::ProbeSimulator;
namespace reg = probesim::reg;

constexpr uint8_t kIllegalFunction = 0x01;
constexpr uint8_t kIllegalAddress = 0x02;
constexpr uint8_t kWriteReadOnly = 0x82;
constexpr uint8_t kIllegalFieldValue = 0x84;

TEST(Instrument, IdentityRecordAndIdentityRegistersAgree)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 6,
                           .serialNumber = 0x0A0B0C0D,
                           .firmwareVersion = 215,
                           .hardwareVersion = 3,
                           .maxBaudId = 8,
                           .sleeps = false});
    WireClient client(sim.SlavePath());
    const auto identity = client.Ask(ReportSlaveId(1));
    ASSERT_TRUE(identity);
    EXPECT_EQ(ToHex(identity->data),
              "17 4E FF 01 56 43 00 06 00 D7 00 00 00 03 00 03 0A 0B 0C 0D 04 00 00 03");

    EXPECT_EQ(client.Read(1, reg::kIdentityFirst, 4), (Values{3, 6, 0x0A0B, 0x0C0D}));
    EXPECT_EQ(client.Read(1, reg::kDeviceName, 3), (Values{'S', 'i', 'm'}));
    // The level logger family keeps its template version, voltages, counters, own cache time-out
    // and scratch pad at 47000; map version 3 adds the cache time-out at 49463.
    EXPECT_EQ(client.Read(1, 47000, 18),
              (Values{3, 1200, 360, 0, 0, 0, 0, 1000, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(client.Read(1, reg::kMeasurementCacheTimeout, 1), (Values{1000}));
    EXPECT_EQ(client.Read(1, reg::kDeviceGuid, 8)->size(), 8u);
    EXPECT_EQ(client.Read(1, reg::kInterfaceConfiguration, 1), (Values{0x1002}));
    // The block the device code caches in one pass is there from end to end.
    EXPECT_EQ(client.Read(1, reg::kIdentityFirst, 116)->size(), 116u);
}

TEST(Instrument, RegisterMapVersionAndFamilyShapeTheLayout)
{
    {
        ProbeSimulator sim;
        Instrument probe(sim, {.deviceType = 12, .registerMapVersion = 2, .sleeps = false});
        WireClient client(sim.SlavePath());
        EXPECT_EQ(client.Read(1, 47000, 2), (Values{2, 1200}));
        EXPECT_EQ(ExceptionOf(client.Ask(ReadHolding(1, reg::kDeviceGuid, 1))), kIllegalAddress);
        EXPECT_EQ(ExceptionOf(client.Ask(ReadHolding(1, reg::kMeasurementCacheTimeout, 1))), kIllegalAddress);
        EXPECT_EQ(ExceptionOf(client.Ask(FileRequest(1, 0xF000, 1))), kIllegalFunction);
        EXPECT_EQ(client.Read(1, 49150, 4), (Values{0, 0, 0, 0})); // file command registers instead
        EXPECT_EQ(probe.Layout().family.externalVoltage, 47001);
    }
    {
        // An old level logger: template block at 40108, no scratch pad before template version 2,
        // analog output among the 4xxxx settings and no interface register.
        ProbeSimulator sim;
        Instrument probe(sim, {.deviceType = 1, .registerMapVersion = 1, .sleeps = false});
        WireClient client(sim.SlavePath());
        EXPECT_EQ(client.Read(1, 40108, 7), (Values{1, 1200, 360, 0, 0, 0, 0}));
        EXPECT_EQ(client.Read(1, reg::kAnalogParameterV1, 5), (Values{1, 0x42C8, 0, 0, 0}));
        EXPECT_EQ(ExceptionOf(client.Ask(ReadHolding(1, 40120, 1))), kIllegalAddress);
        EXPECT_EQ(ExceptionOf(client.Ask(ReadHolding(1, reg::kInterfaceConfiguration, 1))), kIllegalAddress);
        EXPECT_TRUE(probe.ScratchPad().empty());
    }
    {
        // Template version 2 gives it the scratch pad.
        ProbeSimulator sim;
        Instrument probe(sim,
                         {.deviceType = 1, .registerMapVersion = 1, .templateVersion = 2, .sleeps = false});
        WireClient client(sim.SlavePath());
        EXPECT_EQ(client.Write(1, 40120, {0x4142}), std::nullopt);
        EXPECT_EQ(probe.ScratchPad().at(0), 0x41);
        EXPECT_EQ(probe.ScratchPad().size(), 20u);
    }
    {
        // The multi-sensor instrument has no template register; 49000 stands for all.
        ProbeSimulator sim;
        Instrument probe(sim, {.deviceType = 39, .sleeps = false});
        WireClient client(sim.SlavePath());
        EXPECT_EQ(ExceptionOf(client.Ask(ReadHolding(1, 47000, 1))), kIllegalAddress);
        EXPECT_EQ(client.Read(1, reg::kIdentityFirst, 1), (Values{3}));
    }
}

TEST(Instrument, ReadOnlyRegistersRefuseWritesWithoutSideEffects)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 12, .sleeps = false});
    WireClient client(sim.SlavePath());
    EXPECT_EQ(client.Write(1, reg::kSerialNumber, {0, 1}), kWriteReadOnly);
    EXPECT_EQ(client.Write(1, reg::kDeviceStatus, {0, 0}), kWriteReadOnly);
    EXPECT_EQ(client.Write(1, reg::kGoodMessages, {0, 0}), kWriteReadOnly);
    EXPECT_EQ(client.Write(1, 47000, {9}), kWriteReadOnly);
    // A write that takes in a read-only register carries out nothing, the command included.
    EXPECT_EQ(client.Write(1, reg::kDeviceCommand - 1, {0, 0xD009}), kWriteReadOnly);
    EXPECT_FALSE(probe.Offline());
    EXPECT_EQ(probe.DeviceCommandRegister(), 0);

    EXPECT_EQ(client.Write(1, reg::kSiteName, {'L', 'a', 'k', 'e', 0}), std::nullopt);
    EXPECT_EQ(probe.Registers().GetText(reg::kSiteName), u"Lake");
    EXPECT_EQ(client.Write(1, reg::kSoftwareRegister, {0x8000, 0x0004}), std::nullopt);
    EXPECT_EQ(probe.SoftwareRegister(), 0x80000004u);
}

TEST(Instrument, DeviceTimeRunsAndCanBeSet)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.sleeps = false, .clockStart = probesim::DeviceTimestamp{1700000000, 0}});
    WireClient client(sim.SlavePath());
    const auto before = client.Read(1, reg::kDeviceTime, 3);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->at(0), 1700000000u >> 16);
    EXPECT_LT(before->at(1) - (1700000000u & 0xFFFF), 5u);

    EXPECT_EQ(client.Write(1, reg::kDeviceTime, {0x6B49, 0xD200, 0x8000}), std::nullopt); // 1800000000.5
    const auto read = client.Read(1, reg::kDeviceTime, 3);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->at(0), 0x6B49);
    EXPECT_LT(read->at(1) - 0xD200u, 5u);
}

TEST(Instrument, TakesANewAddressAfterItsReply)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.address = 3, .sleeps = false});
    WireClient client(sim.SlavePath());
    const auto reply = client.Ask(WriteHolding(3, reg::kDeviceAddress, {7}));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->address, 3); // still from the old address
    EXPECT_EQ(client.Read(7, reg::kDeviceAddress, 1), (Values{7}));
    client.Send(ReadHolding(3, reg::kDeviceAddress, 1));
    ASSERT_TRUE(sim.Log().WaitForReceived(3, 1s));
    EXPECT_TRUE(client.Silent(60ms));
    EXPECT_EQ(probe.Address(), 7);

    EXPECT_EQ(client.Write(7, reg::kDeviceAddress, {0}), kIllegalFieldValue);
    EXPECT_EQ(client.Write(7, reg::kDeviceAddress, {249}), kIllegalFieldValue);
    // Address and settings word in one write: a bad word keeps the address too.
    EXPECT_EQ(client.Write(7, reg::kDeviceAddress, {9, 0x0002}), kIllegalFieldValue);
    EXPECT_EQ(client.Write(7, reg::kDeviceAddress, {248}), std::nullopt);
    EXPECT_EQ(probe.Address(), 248);
}

TEST(Instrument, SwitchesFramingAfterTheReplyAndKeepsTheRestOfTheLineAsState)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.maxBaudId = 8, .sleeps = false});
    WireClient client(sim.SlavePath());
    EXPECT_EQ(client.Write(1, reg::kLineSettings, {0x0016}), std::nullopt); // 57600 8E1 RTU
    EXPECT_EQ(probe.Line(), (LineSettings{FramingMode::Rtu, 8, 1, 0, 0}));
    EXPECT_EQ(sim.Mode(), FramingMode::Rtu);

    // 38400 8O1 ASCII: the reply still comes in RTU, the next request must be ASCII.
    EXPECT_EQ(client.Write(1, reg::kLineSettings, {0x0035}), std::nullopt);
    client.SetMode(FramingMode::Ascii);
    EXPECT_EQ(client.Read(1, reg::kLineSettings, 1), (Values{0x0035}));
    EXPECT_EQ(probe.Line(), (LineSettings{FramingMode::Ascii, 7, 1, 1, 0}));

    // Refused words change nothing: above the maximum baud rate, RTU with 7 data bits.
    EXPECT_EQ(client.Write(1, reg::kLineSettings, {0x0018}), kIllegalFieldValue);
    EXPECT_EQ(client.Write(1, reg::kLineSettings, {0x0002}), kIllegalFieldValue);
    EXPECT_EQ(client.Read(1, reg::kLineSettings, 1), (Values{0x0035}));
    EXPECT_EQ(sim.Mode(), FramingMode::Ascii);
}

TEST(Instrument, AppliesBroadcastSettingsWithoutAnswering)
{
    // The master's reset of a line whose settings it lost: the same broadcast at every setting.
    ProbeSimulator sim({.mode = FramingMode::Ascii});
    Instrument probe(sim,
                     {.address = 9, .line = LineSettings{FramingMode::Ascii, 5, 0, 0, 0}, .sleeps = false});
    WireClient client(sim.SlavePath(), FramingMode::Rtu);
    client.Send(WriteHolding(0, reg::kLineSettings, {0x0012})); // not understood in ASCII
    ASSERT_TRUE(sim.Log().WaitForReceived(1, 1s));
    client.SetMode(FramingMode::Ascii);
    client.Send(WriteHolding(0, reg::kLineSettings, {0x0012}));
    ASSERT_TRUE(sim.Log().WaitForReceived(2, 1s));
    client.SetMode(FramingMode::Rtu);
    client.Send(WriteHolding(0, reg::kDeviceAddress, {1}));
    ASSERT_TRUE(sim.Log().WaitForReceived(3, 1s));
    EXPECT_TRUE(client.Silent(60ms));
    EXPECT_EQ(sim.Log().SentCount(), 0u);

    EXPECT_EQ(probe.Line(), (LineSettings{FramingMode::Rtu, 6, 1, 0, 0}));
    EXPECT_EQ(client.Read(1, reg::kDeviceAddress, 2), (Values{1, 0x0012}));
    EXPECT_EQ(probe.Counters().bad, 1u);
}

} // namespace
} // namespace probesim_test
