// The simulator read and written by pymodbus, a Modbus master that nobody here wrote.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

#include "tools/probe-sim/ProbeSimulator.h"

namespace probesim_test
{
namespace
{

using probesim::FramingMode;

class Pymodbus : public ::testing::TestWithParam<FramingMode>
{
};

TEST_P(Pymodbus, ReadsWritesAndIdentifiesTheSimulator)
{
    // The peer is installed by the test command: a missing one is a setup fault, not a skip.
    ASSERT_EQ(std::system("/usr/bin/python3 -c 'import pymodbus.client, serial' >/dev/null 2>&1"), 0)
        << "/usr/bin/python3 has no pymodbus client (python3-pymodbus, python3-serial, "
           "python3-serial-asyncio)";
    probesim::ProbeSimulator sim({.mode = GetParam(), .address = 7});
    auto& registers = sim.Registers();
    for (const auto& [number, value] : {std::pair<uint16_t, uint16_t>{40001, 0x1234},
                                        {40002, 0x5678},
                                        {30001, 0x0D0A},
                                        {40010, 0},
                                        {40011, 0}})
        registers.SetU16(number, value);
    probesim::SlaveIdentity identity;
    identity.deviceType = 39;
    identity.serialNumber = 0x01020304;
    identity.firmwareVersion = 215;
    sim.Model().SetIdentity(identity);

    const std::string command = "timeout 60 /usr/bin/python3 " PROBESIM_TEST_DIR "/pymodbus_client.py " +
                                sim.SlavePath() + (GetParam() == FramingMode::Ascii ? " ascii" : " rtu") +
                                " 7 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_TRUE(pipe);
    std::string output;
    std::array<char, 256> buffer;
    while (fgets(buffer.data(), buffer.size(), pipe))
        output += buffer.data();
    EXPECT_EQ(pclose(pipe), 0);
    std::string log;
    for (const auto& frame : sim.Log().Frames())
        log += probesim::Describe(frame) + "\n";
    EXPECT_EQ(output, "holding 4660 22136\n"
                      "input 3338\n"
                      "write 9 2\n"
                      "readback 43981 258\n"
                      "missing 2\n"
                      "slaveid 4eff015643002700d70000000100030102030404000001\n")
        << log;
    EXPECT_EQ(registers.GetU16(40011), 0x0102);
    for (const auto& frame : sim.Log().Received())
        EXPECT_TRUE(frame.wellFormed) << probesim::Describe(frame);
}

INSTANTIATE_TEST_SUITE_P(BothFramings, Pymodbus, ::testing::Values(FramingMode::Rtu, FramingMode::Ascii),
                         [](const auto& param)
                         { return param.param == FramingMode::Ascii ? "Ascii" : "Rtu"; });

} // namespace
} // namespace probesim_test
