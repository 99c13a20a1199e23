// The serial transport and the framing against a Modbus slave that nobody here wrote: pymodbus as
// RTU and as ASCII server on one end of a socat pseudo-terminal pair (parity none), our transport
// and framing on the other.
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "comm/ModbusMessage.h"
#include "comm/ModbusModes.h"
#include "foundation/ResultCodes.h"
#include "tests/comm/CommTestSupport.h"

extern char** environ;

namespace commtest
{
namespace
{

constexpr const char* kPython = "/usr/bin/python3";
constexpr USHORT kSlave = 7;

// A child process whose standard output or error (stream) the test reads; stopped by its pid when
// the object goes.
class ChildProcess
{
public:
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
        if (m_pid > 0 && kill(m_pid, SIGTERM) == 0)
            waitpid(m_pid, nullptr, 0);
        if (m_output >= 0)
            close(m_output);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Whether the stream shows the text before the deadline.
    bool WaitFor(const std::string& text, Clock::time_point deadline)
    {
        std::string seen;
        while (m_pid > 0 && seen.find(text) == std::string::npos)
        {
            pollfd entry{m_output, POLLIN, 0};
            char chunk[512];
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0 || poll(&entry, 1, static_cast<int>(left)) != 1)
                return false;
            const ssize_t got = read(m_output, chunk, sizeof chunk);
            if (got <= 0)
                return false;
            seen.append(chunk, static_cast<size_t>(got));
        }
        return m_pid > 0;
    }

private:
    pid_t m_pid = -1;
    int m_output = -1;
};

// One request and its reply through our transport and framing.
HRESULT Exchange(NVTools::CSerialComm& port, CModbusMessage& message, ULONG mode)
{
    CByteBuffer frame;
    CByteBuffer reply;
    USHORT expected = 0;
    HRESULT hr = message.Encode(mode, frame);
    hr = Failed(hr) ? hr : message.GetExpectedResponseLength(mode, expected);
    hr = Failed(hr) ? hr : port.Purge();
    hr = Failed(hr) ? hr : port.Write(frame, 0);
    hr = Failed(hr) ? hr : port.Read(expected, reply, 3000, nullptr);
    return Failed(hr) ? hr : message.ValidateResponse(reply);
}

Bytes ResponseData(const CModbusMessage& message)
{
    CByteBuffer data;
    message.GetResponseData(data);
    return ToBytes(data);
}

class PymodbusPeerTest : public ::testing::TestWithParam<ULONG>
{
protected:
    // A short end-of-frame silence: exception replies are shorter than the count asked for.
    PymodbusPeerTest() { SetTunable(u"RTUInterCharacter TO", 50); }
    QuickTunables m_tunables;
};

TEST_P(PymodbusPeerTest, ReadsWritesAndExceptionRepliesOfAForeignSlave)
{
    // The peers are installed by the test command: a missing one is a setup fault, not a skip.
    ASSERT_EQ(std::system("command -v socat >/dev/null 2>&1"), 0) << "socat is not installed";
    ASSERT_EQ(std::system((std::string(kPython) +
                           " -c 'import pymodbus.server, serial, serial_asyncio' >/dev/null 2>&1")
                              .c_str()),
              0)
        << kPython << " cannot start a pymodbus serial server (python3-pymodbus, python3-serial-asyncio)";
    const ULONG mode = GetParam();
    // socat's pseudo-terminal pair, linked where the test finds it, with the server on its first end.
    const auto dir =
        testsupport::ProcessTempDir() / (mode == MODBUS_MODE_ASCII ? "pymodbus-ascii" : "pymodbus-rtu");
    std::filesystem::create_directories(dir);
    const std::string server = (dir / "server").string();
    const std::string client = (dir / "client").string();
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    ChildProcess socat(
        {"socat", "-d", "-d", "pty,raw,echo=0,link=" + server, "pty,raw,echo=0,link=" + client},
        STDERR_FILENO);
    ASSERT_TRUE(socat.WaitFor("starting data transfer loop", deadline)) << "socat did not start";
    const std::string script = PYMODBUS_SERVER_SCRIPT;
    ChildProcess slave(
        {kPython, script, server, mode == MODBUS_MODE_ASCII ? "ascii" : "rtu", std::to_string(kSlave)},
        STDOUT_FILENO);
    ASSERT_TRUE(slave.WaitFor("ready\n", deadline)) << "the pymodbus server did not start";

    NVTools::CSerialComm port;
    ASSERT_EQ(port.Open(RegisterPort(std::filesystem::canonical(client).string())), S_OK);
    ASSERT_EQ(port.SetPortConfig(6, 1, 2, 0), S_OK); // 19200, 8 data bits, no parity, 1 stop bit
    ASSERT_EQ(port.SetRTS(0), S_OK);
    ASSERT_EQ(port.SetDTR(0), S_OK);
    ASSERT_EQ(mode == MODBUS_MODE_ASCII ? port.SetModeASCII(0) : port.SetModeRTU(), S_OK);

    CModbusMessage message;
    ASSERT_EQ(message.BuildReadRegisters(kSlave, 1, 3, 3), S_OK); // 40001..40003
    ASSERT_EQ(Exchange(port, message, mode), S_OK);
    EXPECT_FALSE(message.IsException());
    EXPECT_EQ(ResponseData(message), (Bytes{0x10, 0x00, 0x10, 0x01, 0x10, 0x02}));

    ASSERT_EQ(message.BuildReadRegisters(kSlave, 2, 2, 4), S_OK); // 30002..30003
    ASSERT_EQ(Exchange(port, message, mode), S_OK);
    EXPECT_EQ(ResponseData(message), (Bytes{0x20, 0x01, 0x20, 0x02}));

    ASSERT_EQ(message.BuildWriteRegisters(kSlave, 4, 2, ToBuffer(Bytes{0xAB, 0xCD, 0x01, 0x02})), S_OK);
    ASSERT_EQ(Exchange(port, message, mode), S_OK);
    EXPECT_FALSE(message.IsException());
    ASSERT_EQ(message.BuildReadRegisters(kSlave, 3, 4, 3), S_OK);
    ASSERT_EQ(Exchange(port, message, mode), S_OK);
    EXPECT_EQ(ResponseData(message), (Bytes{0x10, 0x02, 0xAB, 0xCD, 0x01, 0x02, 0x10, 0x05}));

    // Past the slave's registers: exception 2, illegal data address.
    ASSERT_EQ(message.BuildReadRegisters(kSlave, 10, 2, 3), S_OK); // 40010..40011
    ASSERT_EQ(Exchange(port, message, mode), S_OK);
    EXPECT_TRUE(message.IsException());
    EXPECT_EQ(message.GetExceptionResult(), MODBUSCOMM_E_EXCEPTION_BASE + 2);
    EXPECT_TRUE(ResponseData(message).empty());
}

INSTANTIATE_TEST_SUITE_P(BothFramings, PymodbusPeerTest,
                         ::testing::Values(MODBUS_MODE_RTU, MODBUS_MODE_ASCII),
                         [](const auto& param)
                         { return param.param == MODBUS_MODE_ASCII ? "Ascii" : "Rtu"; });

} // namespace
} // namespace commtest
