// What the tests of the communication layer share: byte and text buffers, a network on the
// simulated probe over a pseudo-terminal with the line's tunables shortened, and a scripted
// transport for the lines the simulator cannot be (TCP/IP and modem, failing writes and reads).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "comm/IOAbstract.h"
#include "comm/LinePauses.h"
#include "comm/ModbusComm.h"
#include "comm/SerialComm.h"
#include "foundation/ByteBuffer.h"
#include "tests/support/SimulatorWaits.h"
#include "tests/support/TestEnvironment.h"
#include "tools/probe-sim/ProbeSimulator.h"

namespace commtest
{

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

// Read holding register 40001 of slave 1 in Modbus ASCII, and the reply with the value 0x1234.
inline constexpr const char* kAsciiRequest = ":010300000001FB\r\n";
inline constexpr const char* kAsciiReply = ":0103021234B4\r\n";

CByteBuffer ToBuffer(const Bytes& bytes);
CByteBuffer ToBuffer(std::string_view text);
Bytes ToBytes(const CByteBuffer& buffer);
std::string ToText(const CByteBuffer& buffer);
// The bytes followed by their Modbus CRC.
Bytes WithCrc(Bytes bytes);
long long MsSince(Clock::time_point start);

// Sets a DWORD under the communication tunables key.
void SetTunable(const char16_t* name, uint32_t value);
// Enters a device in the port table under the lowest free number, and gives the number.
USHORT RegisterPort(const std::string& path);

struct NetworkReleaser
{
    void operator()(CModbusComm* network) const { network->Release(); } // never called for null
};
using NetworkPtr = std::unique_ptr<CModbusComm, NetworkReleaser>;

// Puts the line pause function it was given back in place when it goes.
class RestoredPauses
{
public:
    explicit RestoredPauses(LinePauseFunction previous) : m_previous(std::move(previous)) {}
    ~RestoredPauses() { SetLinePauseFunction(std::move(m_previous)); }
    RestoredPauses(const RestoredPauses&) = delete;
    RestoredPauses& operator=(const RestoredPauses&) = delete;

private:
    LinePauseFunction m_previous;
};

// A fresh settings store with quick tunables: no inter-message delay, a 20 ms RTU end-of-frame
// silence, a 1 ms busy pause. A test changes any of them before it starts the line.
class QuickTunables
{
public:
    QuickTunables();
    ~QuickTunables();

private:
    testsupport::ScopedConfigDir m_config;
};

// A network on the simulated probe: the simulator at slave address 1 in the framing given, the
// pseudo-terminal entered in the port table and opened, the network created and linked to it with
// that framing. Derived fixtures set tunables before calling StartLine.
class SimulatedLine : public ::testing::Test
{
protected:
    static constexpr USHORT kSlave = 1;
    // Long enough for a reply on a busy machine, where the simulator may get to a request late.
    static constexpr ULONG kTimeoutMs = 1000;

    void StartLine(probesim::FramingMode mode = probesim::FramingMode::Rtu);
    void TearDown() override;

    probesim::ProbeSimulator& Sim() { return *m_sim; }
    CModbusComm& Network() { return *m_network; }
    NVTools::CSerialComm& Port() { return m_port; }

    // Well-formed frames the simulator received for a slave address (of one function, or any).
    size_t ReceivedFor(uint8_t address, int function = -1) const;
    // Waits until the simulator has logged everything the port wrote, then counts.
    size_t SettledReceived();
    std::vector<ULONG> Statistics();

    QuickTunables m_tunables;
    std::unique_ptr<probesim::ProbeSimulator> m_sim;
    NVTools::CSerialComm m_port;
    NetworkPtr m_network;
    testsupport::WrittenTakenIn m_takenIn;
};

// A transport whose line is a function: each written frame goes to the responder, whose answer the
// next read hands out. Connection type, write failures and read failures are set by the test.
class ScriptedTransport : public NVTools::IIOAbstract
{
public:
    struct Answer
    {
        Bytes bytes;
        HRESULT result = S_OK;
    };
    using Responder = std::function<Answer(const Bytes& request)>;

    explicit ScriptedTransport(ULONG connectionType, Responder responder = {})
        : m_nType(connectionType), m_Responder(std::move(responder))
    {
    }

    std::vector<Bytes> written;
    HRESULT writeResult = S_OK;
    // A read that appends to what the buffer holds, as the modem's does.
    bool appendingReads = false;

    bool IsValid() const override { return true; }
    HRESULT Close() override { return S_OK; }
    bool IsOpen() const override { return true; }
    ULONG GetRefCount() const override { return 1; }
    HRESULT Write(const CByteBuffer& data, ULONG timeoutMs) override;
    HRESULT Read(ULONG expectedBytes, CByteBuffer& buffer, ULONG totalTimeoutMs,
                 CTransferControl* cancel) override;
    HRESULT PurgeInput() override { return S_OK; }
    HRESULT PurgeOutput() override { return S_OK; }
    HRESULT Purge() override { return S_OK; }
    ULONG GetConnectionType() const override { return m_nType; }
    HRESULT AttachTraceLog(ULONG) override { return S_OK; }
    HRESULT DetachTraceLog() override { return S_OK; }
    HRESULT OpenTraceLog(const char16_t*, ULONG*) override { return S_OK; }
    HRESULT CloseTraceLog() override { return S_OK; }
    bool IsTraceLogOpen() const override { return false; }
    ULONG GetLastErrorCode() const override { return 0; }
    CWideString GetLastErrorText() const override { return CWideString(); }
    HRESULT GetStatistics(ULONG*, ULONG*, ULONG*) override { return S_OK; }
    HRESULT ResetStatistics() override { return S_OK; }
    void Reset() override {}

private:
    ULONG m_nType;
    Responder m_Responder;
    Answer m_Pending;
};

// A Modbus TCP reply to a TCP request frame: the request's transaction id, protocol 0, the length,
// then the unit identifier, function and pdu.
Bytes TcpReply(const Bytes& request, const Bytes& pdu);

} // namespace commtest
