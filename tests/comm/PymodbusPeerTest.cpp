// The serial transport and the framing against a Modbus slave that nobody here wrote: pymodbus as
// RTU and as ASCII server on one end of a socat pseudo-terminal pair (parity none), our transport
// and framing on the other.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "comm/ModbusMessage.h"
#include "comm/ModbusModes.h"
#include "comm/SerialComm.h"
#include "foundation/CommTimeouts.h"
#include "foundation/ResultCodes.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"
#include "tests/support/TestEnvironment.h"
#include "tools/probe-sim/PortTable.h"

extern char** environ;

namespace
{

constexpr const char* kPython = "/usr/bin/python3";
constexpr USHORT kSlave = 7;
constexpr uint64_t kStartLimitMs = 15000;

bool Available(std::string& missing)
{
    if (std::system("command -v socat >/dev/null 2>&1") != 0)
        missing = "socat";
    else if (std::system((std::string(kPython) + " -c 'import pymodbus, serial' >/dev/null 2>&1").c_str()) !=
             0)
        missing = std::string(kPython) + " with pymodbus";
    return missing.empty();
}

// A child process whose standard output or error the test reads line by line; killed by its pid
// when the object goes.
class ChildProcess
{
public:
    // stream: STDOUT_FILENO or STDERR_FILENO, the one to read.
    ChildProcess(std::vector<std::string> args, int stream)
    {
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], stream);
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        m_output = pipeFds[0];
    }
    ~ChildProcess()
    {
        if (m_pid > 0)
        {
            kill(m_pid, SIGTERM);
            if (!WaitForExit(2000))
            {
                kill(m_pid, SIGKILL);
                WaitForExit(2000);
            }
        }
        if (m_output >= 0)
            close(m_output);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    // The next line of output within the time left until deadline; nothing at its end or at EOF.
    std::optional<std::string> ReadLine(uint64_t deadline)
    {
        for (;;)
        {
            if (const size_t end = m_pending.find('\n'); end != std::string::npos)
            {
                std::string line = m_pending.substr(0, end);
                m_pending.erase(0, end + 1);
                return line;
            }
            const uint64_t now = platform::GetTickCount64();
            if (now >= deadline || m_output < 0)
                return std::nullopt;
            pollfd entry{m_output, POLLIN, 0};
            if (poll(&entry, 1, static_cast<int>(deadline - now)) <= 0)
                return std::nullopt;
            char chunk[512];
            const ssize_t got = read(m_output, chunk, sizeof chunk);
            if (got <= 0)
                return std::nullopt;
            m_pending.append(chunk, static_cast<size_t>(got));
        }
    }

private:
    bool WaitForExit(uint64_t ms)
    {
        const uint64_t deadline = platform::GetTickCount64() + ms;
        while (platform::GetTickCount64() < deadline)
        {
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid)
                return true;
            platform::SleepMs(10);
        }
        return false;
    }

    pid_t m_pid = -1;
    int m_output = -1;
    std::string m_pending;
};

// socat's pseudo-terminal pair with the pymodbus server on its first end.
class PymodbusServer
{
public:
    explicit PymodbusServer(const char* mode)
        : m_socat({"socat", "-d", "-d", "pty,raw,echo=0", "pty,raw,echo=0"}, STDERR_FILENO)
    {
        const uint64_t deadline = platform::GetTickCount64() + kStartLimitMs;
        const std::regex ptyLine("PTY is (/dev/\\S+)");
        while (m_paths.size() < 2)
        {
            const auto line = m_socat.ReadLine(deadline);
            if (!line)
                return;
            std::smatch match;
            if (std::regex_search(*line, match, ptyLine))
                m_paths.push_back(match[1]);
        }
        const std::string script =
            (std::filesystem::path(__FILE__).parent_path() / "pymodbus_server.py").string();
        m_server.emplace(std::vector<std::string>{kPython, script, m_paths[0], mode, std::to_string(kSlave)},
                         STDOUT_FILENO);
        while (const auto line = m_server->ReadLine(deadline))
        {
            if (*line == "ready")
            {
                m_ready = true;
                break;
            }
        }
    }
    bool Ready() const { return m_ready; }
    const std::string& ClientPath() const { return m_paths[1]; }

private:
    // In this order, so that the server goes before the line it serves.
    ChildProcess m_socat;
    std::vector<std::string> m_paths;
    std::optional<ChildProcess> m_server;
    bool m_ready = false;
};

// One request and its reply through our transport and framing.
HRESULT Exchange(NVTools::CSerialComm& port, CModbusMessage& message, ULONG mode)
{
    CByteBuffer frame;
    if (const HRESULT hr = message.Encode(mode, frame); Failed(hr))
        return hr;
    USHORT expected = 0;
    if (const HRESULT hr = message.GetExpectedResponseLength(mode, expected); Failed(hr))
        return hr;
    if (const HRESULT hr = port.Purge(); Failed(hr))
        return hr;
    if (const HRESULT hr = port.Write(frame, 0); Failed(hr))
        return hr;
    CByteBuffer reply;
    if (const HRESULT hr = port.Read(expected, reply, 3000, nullptr); Failed(hr))
        return hr;
    return message.ValidateResponse(reply);
}

std::vector<uint8_t> ResponseData(const CModbusMessage& message)
{
    CByteBuffer data;
    message.GetResponseData(data);
    return std::vector<uint8_t>(data.GetData(), data.GetData() + data.GetLength());
}

class PymodbusPeerTest : public ::testing::TestWithParam<ULONG>
{
protected:
    PymodbusPeerTest()
    {
        ResetCommTunablesForTests();
        // A short end-of-frame silence: exception replies are shorter than the count asked for.
        platform::settings::SetDword(platform::Hive::LocalMachine, COMM_TUNABLES_KEY, u"RTUInterCharacter TO",
                                     50);
    }
    ~PymodbusPeerTest() override { ResetCommTunablesForTests(); }

    testsupport::ScopedConfigDir m_config;
};

TEST_P(PymodbusPeerTest, ReadsWritesAndExceptionRepliesOfAForeignSlave)
{
    std::string missing;
    if (!Available(missing))
        GTEST_SKIP() << missing << " is not installed";
    const ULONG mode = GetParam();
    PymodbusServer server(mode == MODBUS_MODE_ASCII ? "ascii" : "rtu");
    ASSERT_TRUE(server.Ready()) << "socat or the pymodbus server did not start";

    std::string error;
    const auto number = probesim::RegisterComPort(server.ClientPath(), 0, error);
    ASSERT_TRUE(number.has_value()) << error;
    NVTools::CSerialComm port;
    ASSERT_EQ(port.Open(static_cast<USHORT>(*number)), S_OK);
    ASSERT_EQ(port.SetPortConfig(6, 1, 2, 0), S_OK); // 19200, 8 data bits, no parity, 1 stop bit
    ASSERT_EQ(port.SetRTS(0), S_OK);
    ASSERT_EQ(port.SetDTR(0), S_OK);
    ASSERT_EQ(mode == MODBUS_MODE_ASCII ? port.SetModeASCII(0) : port.SetModeRTU(), S_OK);

    CModbusMessage message;
    ASSERT_EQ(message.BuildReadRegisters(kSlave, 1, 3, 3), S_OK); // 40001..40003
    ASSERT_EQ(Exchange(port, message, mode), S_OK);
    EXPECT_FALSE(message.IsException());
    EXPECT_EQ(ResponseData(message), (std::vector<uint8_t>{0x10, 0x00, 0x10, 0x01, 0x10, 0x02}));

    ASSERT_EQ(message.BuildReadRegisters(kSlave, 2, 2, 4), S_OK); // 30002..30003
    ASSERT_EQ(Exchange(port, message, mode), S_OK);
    EXPECT_EQ(ResponseData(message), (std::vector<uint8_t>{0x20, 0x01, 0x20, 0x02}));

    CByteBuffer values;
    const uint8_t words[] = {0xAB, 0xCD, 0x01, 0x02};
    values.Append(sizeof words, words);
    ASSERT_EQ(message.BuildWriteRegisters(kSlave, 4, 2, values), S_OK); // 40004..40005
    ASSERT_EQ(Exchange(port, message, mode), S_OK);
    EXPECT_FALSE(message.IsException());
    ASSERT_EQ(message.BuildReadRegisters(kSlave, 3, 4, 3), S_OK);
    ASSERT_EQ(Exchange(port, message, mode), S_OK);
    EXPECT_EQ(ResponseData(message), (std::vector<uint8_t>{0x10, 0x02, 0xAB, 0xCD, 0x01, 0x02, 0x10, 0x05}));

    // Past the slave's registers: exception 2, illegal data address.
    ASSERT_EQ(message.BuildReadRegisters(kSlave, 10, 2, 3), S_OK); // 40010..40011
    ASSERT_EQ(Exchange(port, message, mode), S_OK);
    EXPECT_TRUE(message.IsException());
    EXPECT_EQ(message.GetExceptionResult(), MODBUSCOMM_E_EXCEPTION_BASE + 2);
    EXPECT_TRUE(ResponseData(message).empty());

    ULONG sent = 0, received = 0, delivered = 0;
    ASSERT_EQ(port.GetStatistics(&sent, &received, &delivered), S_OK);
    EXPECT_GT(sent, 0u);
    EXPECT_EQ(received, delivered);
}

INSTANTIATE_TEST_SUITE_P(BothFramings, PymodbusPeerTest,
                         ::testing::Values(MODBUS_MODE_RTU, MODBUS_MODE_ASCII),
                         [](const auto& param)
                         { return param.param == MODBUS_MODE_ASCII ? "Ascii" : "Rtu"; });

} // namespace
