// The port table entries and the probe-sim program.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/SettingsStore.h"
#include "platform/Utf.h"
#include "tests/probe-sim/PtyClient.h"
#include "tests/support/TestEnvironment.h"
#include "tools/probe-sim/PortTable.h"

extern char** environ;

namespace probesim_test
{
namespace
{

using platform::Hive;
namespace settings = platform::settings;

constexpr std::u16string_view kPortTable = u"HARDWARE\\DEVICEMAP\\SERIALCOMM";

std::optional<std::u16string> PortOf(const std::string& path)
{
    return settings::GetString(Hive::LocalMachine, kPortTable, platform::Utf8ToUtf16(path));
}

TEST(PortTable, TakesTheLowestFreeNumberAndRefusesATakenOne)
{
    testsupport::ScopedConfigDir config;
    settings::SetString(Hive::LocalMachine, kPortTable, u"/dev/ttyS0", u"COM1");
    settings::SetString(Hive::LocalMachine, kPortTable, u"/dev/ttyUSB0", u"COM3");
    std::string error;
    EXPECT_EQ(probesim::RegisterComPort("/dev/pts/7", 0, error), 2u);
    EXPECT_EQ(PortOf("/dev/pts/7"), u"COM2");
    EXPECT_EQ(probesim::RegisterComPort("/dev/pts/8", 0, error), 4u);

    EXPECT_FALSE(probesim::RegisterComPort("/dev/pts/9", 3, error));
    EXPECT_NE(error.find("/dev/ttyUSB0"), std::string::npos) << error;
    EXPECT_FALSE(PortOf("/dev/pts/9"));

    // The same path again replaces its own entry.
    EXPECT_EQ(probesim::RegisterComPort("/dev/pts/7", 12, error), 12u);
    EXPECT_EQ(PortOf("/dev/pts/7"), u"COM12");
    EXPECT_TRUE(probesim::UnregisterComPort("/dev/pts/7"));
    EXPECT_FALSE(PortOf("/dev/pts/7"));
    EXPECT_FALSE(probesim::UnregisterComPort("/dev/pts/7"));
    EXPECT_EQ(PortOf("/dev/ttyUSB0"), u"COM3");
}

class Program
{
public:
    explicit Program(std::vector<std::string> args)
    {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        args.insert(args.begin(), PROBESIM_PROGRAM);
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int error = posix_spawn(&m_pid, PROBESIM_PROGRAM, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        m_out = out[0];
        if (error != 0)
            throw std::runtime_error("posix_spawn failed");
    }

    ~Program()
    {
        if (m_pid > 0)
        {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        close(m_out);
    }

    // The first line of standard output, "" when none came within the time-out.
    std::string ReadLine(std::chrono::milliseconds timeout)
    {
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline)
        {
            pollfd fd{m_out, POLLIN, 0};
            if (poll(&fd, 1, 50) <= 0)
                continue;
            char c;
            if (read(m_out, &c, 1) != 1)
                break;
            if (c == '\n')
                return line;
            line += c;
        }
        return "";
    }

    // Exit code after the signal; -1 when it did not end normally within the time-out.
    int Signal(int signal, std::chrono::milliseconds timeout)
    {
        kill(m_pid, signal);
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline)
        {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid)
            {
                m_pid = 0;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            usleep(5000);
        }
        return -1;
    }

    int Wait(std::chrono::milliseconds timeout) { return Signal(0, timeout); }

private:
    pid_t m_pid = 0;
    int m_out = -1;
};

TEST(ProbeSimProgram, ServesTheLineAndKeepsThePortTableWhileRunning)
{
    testsupport::ScopedConfigDir config;
    Program program({"--device-type", "39", "--serial", "1234", "--map-version", "2", "--firmware", "215",
                     "--do-sensor", "--register-port", "COM7"});
    const std::string path = program.ReadLine(5s);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(PortOf(path), u"COM7");

    PtyClient client(path);
    EXPECT_EQ(ToHex(client.Transact(Hex("01 11 C0 2C"))),
              "01 11 17 4E FF 01 56 43 00 27 00 D7 00 00 00 01 00 02 00 00 04 D2 04 00 00 01 24 E1");
    // The program runs an instrument, not just a bare slave: here its device type register.
    EXPECT_EQ(ToHex(client.Transact(Hex("01 03 23 28 00 01 0F 86"))), "01 03 02 00 27 F8 5E");
    // One sensor connection, holding the DO sensor.
    EXPECT_EQ(ToHex(client.Transact(Hex("01 03 24 53 00 03 FF 2A"))), "01 03 06 00 01 00 00 00 01 DD 75");

    EXPECT_EQ(program.Signal(SIGTERM, 5s), 0);
    EXPECT_FALSE(PortOf(path));
}

TEST(ProbeSimProgram, SpeaksAsciiAtTheGivenAddress)
{
    Program program({"--ascii", "--address", "2"});
    const std::string path = program.ReadLine(5s);
    ASSERT_FALSE(path.empty());
    PtyClient client(path);
    // No register exists: the exception shows that address 2 answered in ASCII.
    EXPECT_EQ(client.Transact(Text(":020300000001FA\r\n")), Text(":02830279\r\n"));
    EXPECT_EQ(program.Signal(SIGINT, 5s), 0);
}

TEST(ProbeSimProgram, FitsTheSensorsOfTheDeviceType)
{
    Program program({"--device-type", "18", "--sensors"});
    const std::string path = program.ReadLine(5s);
    ASSERT_FALSE(path.empty());
    PtyClient client(path);
    EXPECT_EQ(ToHex(client.Transact(Hex("01 03 24 53 00 01 7E EB"))), "01 03 02 00 04 B9 87");
    EXPECT_EQ(program.Signal(SIGTERM, 5s), 0);
}

TEST(ProbeSimProgram, RefusesBadArguments)
{
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--address", "0"},
                                               {"--address"},
                                               {"--serial", "x"},
                                               {"--register-port", "LPT1"},
                                               {"--bogus"},
                                               {"--sensors", "--device-type", "3"},
                                               {"--device-type", "12", "--sensors", "--do-sensor"}})
    {
        Program program(args);
        EXPECT_EQ(program.Wait(5s), 2) << args[0];
    }
}

} // namespace
} // namespace probesim_test
