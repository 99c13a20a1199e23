// The OEM configuration file of version 0, which holds no factory settings, across a factory restart.
#include <gtest/gtest.h>

#include "tests/probe-sim/WireClient.h"
#include "tools/probe-sim/Instrument.h"

namespace probesim_test
{
namespace
{

using probesim::Instrument;
using probesim::ProbeSimulator;
namespace reg = probesim::reg;

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
    EXPECT_EQ(probe.Files().Get(probesim::kOemConfigFile).value().data,
              (std::vector<uint8_t>{0, 2, 0, 0, 0, 0, 0, 10}));
    std::string problem;
    EXPECT_FALSE(probesim::DecodeOemConfig({1, 0, 0, 0, 0, 0, 0, 77}, 6, problem).has_value());

    probe.Files().Put(probesim::kOemConfigFile, std::vector<uint8_t>{0, 1, 0, 0, 0, 0, 0, 77});
    WireClient client(sim.SlavePath());
    EXPECT_EQ(client.Write(1, reg::kDeviceCommand, {0xD00C}), std::nullopt);
    for (int i = 0; i < 100 && probe.RestoreInProgress(); ++i)
        client.Silent(10ms);
    EXPECT_EQ(probe.SerialNumber(), 77u);
    EXPECT_EQ(probe.Address(), 4);
}

TEST(OemConfiguration, TheFactoryWordsBaudCodeHasTwoBits)
{
    std::string problem;
    // Bit 3 belongs to no field of the file's word: 0x0018 is 9600 baud, 8 data bits, RTU.
    const auto config = probesim::DecodeOemConfig({1, 0, 0, 0, 0, 0, 0, 5, 0, 7, 0x00, 0x18}, 12, problem);
    ASSERT_TRUE(config.has_value()) << problem;
    EXPECT_EQ(config->factoryLine.baudId, 5u);
    EXPECT_EQ(config->factoryLine.dataBitsId, 1u);
    EXPECT_EQ(config->factoryAddress, 7);
    probesim::OemConfig fast;
    fast.factoryLine.baudId = 9;
    EXPECT_THROW((void)probesim::EncodeOemConfig(fast), std::out_of_range);
}

} // namespace
} // namespace probesim_test
