// The tests' client: opens the simulator's pseudo-terminal like a serial port and moves raw bytes,
// or requests framed with the simulator's own framing (FramingTest checks it against known answers).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/probe-sim/Adu.h"

namespace probesim_test
{

using Bytes = std::vector<uint8_t>;
using Values = std::vector<uint16_t>;
using namespace std::chrono_literals;

Bytes Hex(std::string_view text); // "01 03 00 00" -> bytes
Bytes Text(std::string_view text);
std::string ToHex(const Bytes& bytes);

probesim::Adu ReadHolding(uint8_t address, uint16_t number, uint16_t count);
probesim::Adu WriteHolding(uint8_t address, uint16_t number, const Values& values);
probesim::Adu ReportSlaveId(uint8_t address);
probesim::Adu ReadBlock(uint8_t address, uint32_t offset, uint16_t length);
probesim::Adu WriteBlock(uint8_t address, uint32_t offset, const Bytes& data);
probesim::Adu FileRequest(uint8_t address, uint16_t command, uint16_t file, uint32_t size = 0);

// An IEEE float as two registers, high word first, and back.
Values FloatWords(float value);
float FloatAt(const Values& values, size_t index = 0);
// The exception code of an exception reply.
std::optional<uint8_t> ExceptionOf(const std::optional<probesim::Adu>& reply);

class WireClient
{
public:
    explicit WireClient(const std::string& path, probesim::FramingMode mode = probesim::FramingMode::Rtu);
    ~WireClient();
    WireClient(const WireClient&) = delete;
    WireClient& operator=(const WireClient&) = delete;

    // Raw bytes.
    void Put(const Bytes& bytes);
    // Reads until 40 ms pass without a byte after at least one came, or the time-out passes.
    Bytes ReadReply(std::chrono::milliseconds timeout = 1000ms);
    // Put, then read until a whole frame of the client's framing came (else as ReadReply).
    Bytes Transact(const Bytes& request, std::chrono::milliseconds timeout = 1000ms);
    int Fd() const { return m_fd; }

    // Framed requests. Ask: the decoded reply, nullopt when nothing decodable came in time.
    std::optional<probesim::Adu> Ask(const probesim::Adu& request,
                                     std::chrono::milliseconds timeout = 1000ms);
    void Send(const probesim::Adu& request);
    bool Silent(std::chrono::milliseconds time = 60ms) { return ReadReply(time).empty(); }
    std::optional<Values> Read(uint8_t address, uint16_t number, uint16_t count);
    // nullopt on success, else the exception code (0 when nothing came).
    std::optional<uint8_t> Write(uint8_t address, uint16_t number, const Values& values);
    void SetMode(probesim::FramingMode mode) { m_mode = mode; }

private:
    Bytes ReadUntil(const std::function<bool(const Bytes&)>& complete, std::chrono::milliseconds timeout,
                    std::chrono::milliseconds silence);

    int m_fd = -1;
    probesim::FramingMode m_mode;
};

} // namespace probesim_test
