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

using namespace std::chrono_literals;
using probesim::FramingMode;

constexpr const char* kPython = "/usr/bin/python3";

bool PymodbusAvailable()
{
    const std::string command = std::string(kPython) + " -c 'import pymodbus, serial' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// Runs the client script against the line; its standard output, or "exit N" on failure.
std::string RunClient(const std::string& port, const char* mode, int slave)
{
    const std::string command = std::string("timeout 60 ") + kPython +
                                " " PROBESIM_TEST_DIR "/pymodbus_client.py " + port + " " + mode + " " +
                                std::to_string(slave) + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return "popen failed";
    std::string output;
    std::array<char, 256> buffer;
    while (fgets(buffer.data(), buffer.size(), pipe))
        output += buffer.data();
    const int status = pclose(pipe);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        output += "exit " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return output;
}

class Pymodbus : public ::testing::TestWithParam<FramingMode>
{
};

TEST_P(Pymodbus, ReadsWritesAndIdentifiesTheSimulator)
{
    if (!PymodbusAvailable())
        GTEST_SKIP() << kPython << " has no pymodbus";
    probesim::ProbeSimulator sim({.mode = GetParam(), .address = 7});
    auto& registers = sim.Registers();
    registers.SetU16(40001, 0x1234);
    registers.SetU16(40002, 0x5678);
    registers.SetU16(30001, 0x0D0A);
    registers.SetU16(40010, 0);
    registers.SetU16(40011, 0);
    probesim::SlaveIdentity identity;
    identity.deviceType = 39;
    identity.serialNumber = 0x01020304;
    identity.firmwareVersion = 215;
    sim.Model().SetIdentity(identity);

    const std::string output =
        RunClient(sim.SlavePath(), GetParam() == FramingMode::Ascii ? "ascii" : "rtu", 7);
    EXPECT_EQ(output, "holding 4660 22136\n"
                      "input 3338\n"
                      "write 9 2\n"
                      "readback 43981 258\n"
                      "missing 2\n"
                      "slaveid 4eff015643002700d70000000100030102030404000001\n")
        << [&]
    {
        std::string log;
        for (const auto& frame : sim.Log().Frames())
            log += probesim::Describe(frame) + "\n";
        return log;
    }();
    EXPECT_EQ(registers.GetU16(40010), 0xABCD);
    EXPECT_EQ(registers.GetU16(40011), 0x0102);
    for (const auto& frame : sim.Log().Received())
        EXPECT_TRUE(frame.wellFormed) << probesim::Describe(frame);
}

INSTANTIATE_TEST_SUITE_P(BothFramings, Pymodbus, ::testing::Values(FramingMode::Rtu, FramingMode::Ascii),
                         [](const auto& param)
                         { return param.param == FramingMode::Ascii ? "Ascii" : "Rtu"; });

} // namespace
} // namespace probesim_test
