// The instrument seen from the wire: identity, read-only registers, device commands in both register
// map generations, and the factory restore.
#include <gtest/gtest.h>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/InstrumentFiles.h"
#include "tools/probe-sim/ProbePresets.h"
#include "tools/probe-sim/SensorSetupRegisters.h"
#include "tools/probe-sim/ServiceRegisters.h"

namespace probesim_test
{
namespace
{

using probesim::Instrument;
using probesim::ProbeSimulator;
namespace reg = probesim::reg;

constexpr uint8_t kWriteReadOnly = 0x82;
constexpr uint8_t kIllegalFieldValue = 0x84;
constexpr uint8_t kCommandSequence = 0x85;

TEST(Instrument, IdentityRecordAndRegistersAgreeAndReadOnlyRegistersRefuseWrites)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 6,
                           .serialNumber = 0x0A0B0C0D,
                           .firmwareVersion = 215,
                           .hardwareVersion = 3,
                           .maxBaudId = 8,
                           .sleeps = false});
    WireClient client(sim.SlavePath());
    EXPECT_EQ(ToHex(client.Ask(ReportSlaveId(1)).value_or(probesim::Adu{}).data),
              "17 4E FF 01 56 43 00 06 00 D7 00 00 00 03 00 03 0A 0B 0C 0D 04 00 00 03");
    EXPECT_EQ(client.Read(1, reg::kIdentityFirst, 4), (Values{3, 6, 0x0A0B, 0x0C0D}));
    // The block the device code caches in one pass is there from end to end.
    EXPECT_EQ(client.Read(1, reg::kIdentityFirst, 116).value_or(Values{}).size(), 116u);

    EXPECT_EQ(client.Write(1, reg::kSerialNumber, {0, 1}), kWriteReadOnly);
    // A write that takes in a read-only register carries out nothing, the command included.
    EXPECT_EQ(client.Write(1, reg::kDeviceCommand - 1, {0, 0xD009}), kWriteReadOnly);
    EXPECT_FALSE(probe.Offline());
}

TEST(Instrument, DeviceCommandsTakeOneWriteFromMapVersion3AndTheHandshakeBefore)
{
    ProbeSimulator sim3;
    Instrument probe3(sim3, {.deviceType = 12, .sleeps = false});
    WireClient client3(sim3.SlavePath());
    EXPECT_EQ(client3.Write(1, reg::kDeviceCommand, {0xD009}), std::nullopt);
    EXPECT_EQ(client3.Read(1, reg::kDeviceStatus, 2), (Values{0, 0x0200}));
    EXPECT_EQ(client3.Write(1, reg::kDeviceCommand, {0xD0FF}), kIllegalFieldValue);

    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 12, .registerMapVersion = 2, .sleeps = false});
    WireClient client(sim.SlavePath());
    const auto write = [&](uint16_t value) { return client.Write(1, reg::kDeviceCommand, {value}); };
    EXPECT_EQ(write(0xD009), kCommandSequence) << "not armed";
    EXPECT_FALSE(probe.Offline());
    for (uint16_t word : {0, 1, 1}) // the arming repeated as after a lost reply
        EXPECT_EQ(write(word), std::nullopt);
    EXPECT_EQ(write(0xD009), std::nullopt);
    EXPECT_TRUE(probe.Offline());
    EXPECT_EQ(write(0xD00A), kCommandSequence) << "a second command before the closing zero";
    EXPECT_EQ(write(0), std::nullopt);
    EXPECT_EQ(probe.DeviceCommandStep(), probesim::HandshakeStep::Idle);
}

TEST(FactoryRestore, AnswersThenGoesDeafAndComesBackWithFactorySettings)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 12, .address = 5, .sleeps = false, .restoreSilence = 500ms});
    WireClient client(sim.SlavePath());
    EXPECT_EQ(client.Write(5, reg::kDeviceName, {'X', 0}), std::nullopt);
    EXPECT_EQ(client.Write(5, reg::kDeviceCommand, {0xD00C}), std::nullopt);
    EXPECT_TRUE(probe.RestoreInProgress());
    client.Send(ReadHolding(1, reg::kDeviceAddress, 1));
    ASSERT_TRUE(sim.Log().WaitForReceived(3, 1s));
    EXPECT_TRUE(client.Silent());
    EXPECT_EQ(sim.Log().Received().back().note, "ignored: restoring factory defaults");

    for (int i = 0; i < 200 && probe.RestoreInProgress(); ++i)
        client.Silent(10ms);
    EXPECT_EQ(client.Read(1, reg::kDeviceAddress, 1), (Values{1}));
    EXPECT_EQ(probe.Registers().GetText(reg::kDeviceName), u"Simulated Probe");
    EXPECT_EQ(probe.Restores(), 1u);
}

TEST(FactoryRestore, TheSensorsLoseUnitsSentinelsSalinityAndCalibrationAndTheProbeItsSetup)
{
    ProbeSimulator sim;
    probesim::InstrumentConfig config = probesim::ProbeConfig(39, 4711);
    config.sleeps = false;
    config.restoreSilence = 10ms;
    config.sdi12Supported = true;
    config.secondCurrentLoop = true;
    const auto probe = probesim::MakeProbe(sim, config);
    WireClient client(sim.SlavePath());
    namespace dosensor = probesim::dosensor;
    const uint16_t base = probe->Sensors().Base(1);
    const uint16_t temperature = base + probesim::ParameterBlockOffset(dosensor::kTemperature);
    const uint16_t command = probesim::SensorCommandRegisterOf(1);
    ASSERT_EQ(client.Write(1, temperature + probesim::block::kUnitId, {2}), std::nullopt);
    ASSERT_EQ(client.Write(1, temperature + probesim::block::kSentinel, FloatWords(-1.0f)), std::nullopt);
    ASSERT_EQ(client.Write(1, base + dosensor::kLiveSalinity, FloatWords(35.0f)), std::nullopt);
    ASSERT_EQ(client.Write(1, base + dosensor::kDefaultSalinity, FloatWords(35.0f)), std::nullopt);
    ASSERT_EQ(client.Write(1, command, {0xE000}), std::nullopt);
    ASSERT_EQ(client.Write(1, base + dosensor::kCalSlope, FloatWords(1.2f)), std::nullopt);
    ASSERT_EQ(client.Write(1, command, {0xE001}), std::nullopt);
    ASSERT_EQ(client.Write(1, reg::kAutoSalinity, {1}), std::nullopt);
    ASSERT_EQ(client.Write(1, reg::kNegativeDoValues, {2}), std::nullopt);
    ASSERT_EQ(client.Write(1, reg::kLoop2Enable, {1}), std::nullopt);
    probe->Files().Put(probesim::kSdi12File, std::vector<uint8_t>{});
    ASSERT_EQ(probe->Sensors().Calibration(1)[6], 1.2f);

    ASSERT_EQ(client.Write(1, reg::kDeviceCommand, {0xD00C}), std::nullopt);
    while (probe->RestoreInProgress())
        client.Silent(10ms);
    EXPECT_EQ(client.Read(1, temperature + probesim::block::kUnitId, 1), (Values{1}));
    EXPECT_EQ(client.Read(1, temperature + probesim::block::kSentinel, 2), FloatWords(-9999.0f));
    EXPECT_EQ(client.Read(1, base + dosensor::kLiveSalinity, 4), (Values{0, 0, 0, 0}));
    EXPECT_EQ(client.Read(1, base + dosensor::kCalSlope, 2), FloatWords(1.0f));
    EXPECT_EQ(probe->Sensors().Calibration(1)[6], 1.0f);
    EXPECT_EQ(probe->Sensors().Mode(1), probesim::SensorMode::Measuring);
    EXPECT_EQ(client.Read(1, reg::kAutoSalinity, 1), (Values{0}));
    EXPECT_EQ(client.Read(1, reg::kNegativeDoValues, 1), (Values{0}));
    EXPECT_EQ(client.Read(1, reg::kLoop2Enable, 1), (Values{0}));
    EXPECT_FALSE(probe->Files().Get(probesim::kSdi12File).value_or(probesim::DeviceFile{}).data.empty());
}

TEST(Instrument, WithoutAConfiguredManufactureDateTheProbeWasMadeWellBeforeItsClockStarted)
{
    ProbeSimulator sim;
    const probesim::DeviceTimestamp now{1700000000, 0};
    Instrument probe(sim, {.deviceType = 12, .sleeps = false, .clockStart = now});
    const auto date = probesim::GetTimestamp(probe.Registers(), reg::kManufactureDate);
    ASSERT_TRUE(date);
    EXPECT_EQ(*date, probesim::DefaultManufactureDate(now));
    EXPECT_EQ(date->seconds % 86400, 0u) << "midnight";
    EXPECT_EQ(now.seconds - date->seconds, 400u * 86400u + now.seconds % 86400u);
}

} // namespace
} // namespace probesim_test
