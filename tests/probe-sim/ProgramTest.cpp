// The probe-sim program: the line it serves, its port table entry, and its arguments.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/SettingsStore.h"
#include "platform/Utf.h"
#include "tests/probe-sim/WireClient.h"
#include "tests/support/TestEnvironment.h"

namespace probesim_test
{
namespace
{

std::optional<std::u16string> PortOf(const std::string& path)
{
    return platform::settings::GetString(platform::Hive::LocalMachine, u"HARDWARE\\DEVICEMAP\\SERIALCOMM",
                                         platform::Utf8ToUtf16(path));
}

// The program started with the given arguments: its output, its process id and the first line
// it printed, the path of its line.
struct Started
{
    FILE* out = nullptr;
    pid_t pid = 0;
    std::string path;
};

Started StartProgram(const std::string& args)
{
    Started started;
    // The shell tells its process id, which the program then takes over.
    started.out = popen(("echo $$; exec " PROBESIM_PROGRAM " " + args).c_str(), "r");
    if (started.out == nullptr)
        return started;
    char line[256] = {};
    started.pid = fgets(line, sizeof line, started.out) ? std::atoi(line) : 0;
    started.path = fgets(line, sizeof line, started.out) ? line : "";
    return started;
}

TEST(ProbeSimProgram, ServesAnInstrumentAndKeepsThePortTableWhileRunning)
{
    testsupport::ScopedConfigDir config;
    auto [out, pid, path] = StartProgram("--device-type 39 --serial 1234 --map-version 2"
                                         " --firmware 215 --do-sensor --register-port COM7");
    ASSERT_TRUE(out);
    ASSERT_GT(pid, 0);
    if (!path.empty() && path.back() == '\n')
    {
        path.pop_back();
        EXPECT_EQ(PortOf(path), u"COM7");
        WireClient client(path);
        EXPECT_EQ(ToHex(client.Transact(Hex("01 11 C0 2C"))),
                  "01 11 17 4E FF 01 56 43 00 27 00 D7 00 00 00 01 00 02 00 00 04 D2 04 00 00 01 24 E1");
        // One sensor connection, holding the DO sensor.
        EXPECT_EQ(ToHex(client.Transact(Hex("01 03 24 53 00 03 FF 2A"))), "01 03 06 00 01 00 00 00 01 DD 75");
    }
    else
    {
        ADD_FAILURE() << "no path from the program: " << path;
    }

    kill(pid, SIGTERM);
    siginfo_t info{};
    for (int i = 0; i < 500 && info.si_pid == 0; ++i)
    {
        usleep(10000);
        waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT); // pclose reaps it
    }
    if (info.si_pid == 0)
        kill(pid, SIGKILL);
    EXPECT_EQ(pclose(out), 0) << "the exit status after SIGTERM";
    EXPECT_FALSE(PortOf(path));
}

TEST(ProbeSimProgram, TheRunScriptsProbeOffersSdi12AndItsSensors)
{
    // As scripts/run.sh starts it.
    auto [out, pid, path] = StartProgram("--device-type 12 --serial 4711 --sensors --stay-awake");
    ASSERT_TRUE(out);
    ASSERT_GT(pid, 0);
    if (!path.empty() && path.back() == '\n')
    {
        path.pop_back();
        WireClient client(path);
        const auto interfaces = client.Read(1, 49500, 1);
        ASSERT_TRUE(interfaces);
        EXPECT_EQ(interfaces->at(0) & 0x0001, 1) << "SDI-12";
        EXPECT_EQ(client.Read(1, 49210, 1), (Values{1})) << "stay awake";
        EXPECT_EQ(client.Read(1, 49300, 1), (Values{1})) << "the DO sensor";
    }
    else
    {
        ADD_FAILURE() << "no path from the program: " << path;
    }
    kill(pid, SIGTERM);
    EXPECT_EQ(pclose(out), 0) << "the exit status after SIGTERM";
}

TEST(ProbeSimProgram, RefusesBadArguments)
{
    for (const char* args : {"--address 0", "--serial x", "--register-port LPT1", "--bogus", "--address"})
    {
        const int status =
            std::system(("timeout 5 " PROBESIM_PROGRAM " " + std::string(args) + " >/dev/null 2>&1").c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << args << ": " << status;
    }
}

} // namespace
} // namespace probesim_test
