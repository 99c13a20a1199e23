// The registers the service program reads and writes one by one, and the OEM configuration file of
// both versions across a factory restart.
#include <gtest/gtest.h>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/ServiceRegisters.h"

namespace probesim_test
{
namespace
{

using probesim::Instrument;
using probesim::ProbeSimulator;
namespace reg = probesim::reg;

constexpr uint8_t kIllegalDataAddress = 0x02;
constexpr uint8_t kWriteReadOnly = 0x82;
constexpr uint8_t kIllegalFieldValue = 0x84;

TEST(ServiceRegisters, OnlyCoreProbesHaveACoreSerialNumberAndItCannotBeWritten)
{
    ProbeSimulator core;
    Instrument coreProbe(core, {.deviceType = 37, .serialNumber = 0x01000002, .sleeps = false});
    WireClient coreClient(core.SlavePath());
    EXPECT_EQ(coreClient.Read(1, reg::kCoreSerialNumber, 2), (Values{0x0A00, 0x0014}));
    EXPECT_EQ(coreClient.Write(1, reg::kCoreSerialNumber, {0, 1}), kWriteReadOnly);

    ProbeSimulator plain;
    Instrument plainProbe(plain, {.deviceType = 12, .sleeps = false});
    WireClient plainClient(plain.SlavePath());
    EXPECT_EQ(ExceptionOf(plainClient.Ask(ReadHolding(1, reg::kCoreSerialNumber, 2))), kIllegalDataAddress);
}

TEST(ServiceRegisters, TheSecondCurrentLoopIsThereWhenAskedForAndTakesOnlyOnOrOff)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 36,
                           .manufactureDate = probesim::DeviceTimestamp{1623715200, 5},
                           .secondCurrentLoop = true,
                           .sleeps = false});
    WireClient client(sim.SlavePath());
    EXPECT_EQ(client.Read(1, reg::kManufactureDate, 3), (Values{0x60C7, 0xED80, 5}));
    const std::optional<Values> interfaces = client.Read(1, reg::kInterfaceConfiguration, 1);
    ASSERT_TRUE(interfaces.has_value());
    EXPECT_EQ(interfaces->at(0) & reg::kInterfaceSecondLoop, reg::kInterfaceSecondLoop);
    EXPECT_EQ(client.Write(1, reg::kLoop2Enable, {1}), std::nullopt);
    EXPECT_EQ(client.Write(1, reg::kLoop2Enable, {2}), kIllegalFieldValue);
    EXPECT_EQ(client.Read(1, reg::kLoop2Connection, 7), (Values{1, 1, 0x41A0, 0, 0, 0, 1}));

    ProbeSimulator without;
    Instrument plain(without, {.deviceType = 36, .sleeps = false});
    WireClient plainClient(without.SlavePath());
    EXPECT_EQ(ExceptionOf(plainClient.Ask(ReadHolding(1, reg::kLoop2Enable, 1))), kIllegalDataAddress);
    EXPECT_EQ(plainClient.Read(1, reg::kInterfaceConfiguration, 1).value_or(Values{0xFFFF}).at(0) &
                  reg::kInterfaceSecondLoop,
              0);
}

TEST(OemConfiguration, AVersion0FileWithoutFactorySettingsKeepsTheBuiltOnes)
{
    ProbeSimulator sim;
    Instrument probe(sim, {.deviceType = 36,
                           .serialNumber = 10,
                           .factoryAddress = 4,
                           .oemMajor = 0,
                           .oemMinor = 2,
                           .sleeps = false,
                           .restoreSilence = 100ms});
    const std::vector<uint8_t> built = probe.Files().Get(probesim::kOemConfigFile).value().data;
    EXPECT_EQ(built, (std::vector<uint8_t>{0, 2, 0, 0, 0, 0, 0, 10}));
    std::string problem;
    const auto decoded = probesim::DecodeOemConfig({0, 1, 0, 0, 0, 0, 0, 77}, 6, problem);
    ASSERT_TRUE(decoded.has_value()) << problem;
    EXPECT_FALSE(decoded->hasFactorySettings);
    EXPECT_FALSE(probesim::DecodeOemConfig({1, 0, 0, 0, 0, 0, 0, 77}, 6, problem).has_value());

    probe.Files().Put(probesim::kOemConfigFile, std::vector<uint8_t>{0, 1, 0, 0, 0, 0, 0, 77});
    WireClient client(sim.SlavePath());
    EXPECT_EQ(client.Write(1, reg::kDeviceCommand, {0xD00C}), std::nullopt);
    for (int i = 0; i < 100 && probe.RestoreInProgress(); ++i)
        client.Silent(10ms);
    EXPECT_EQ(probe.SerialNumber(), 77u);
    EXPECT_EQ(probe.Address(), 4);
}

} // namespace
} // namespace probesim_test
