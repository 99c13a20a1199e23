// Requests as the device code would send them, framed with the simulator's own framing (which
// FramingTest checks against known answers), over the raw pseudo-terminal client.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/probe-sim/PtyClient.h"
#include "tools/probe-sim/Adu.h"

namespace probesim_test
{

using Values = std::vector<uint16_t>;

probesim::Adu ReadHolding(uint8_t address, uint16_t number, uint16_t count);
probesim::Adu WriteHolding(uint8_t address, uint16_t number, const Values& values);
probesim::Adu ReportSlaveId(uint8_t address);
probesim::Adu ReadBlock(uint8_t address, uint32_t offset, uint16_t length);
probesim::Adu WriteBlock(uint8_t address, uint32_t offset, const Bytes& data);
probesim::Adu FileRequest(uint8_t address, uint16_t command, uint16_t file, uint32_t size = 0);

// An IEEE float as two registers, high word first, and back.
Values FloatWords(float value);
float FloatAt(const Values& values, size_t index = 0);

// The register values of a function 3 or 4 reply.
std::optional<Values> ValuesOf(const std::optional<probesim::Adu>& reply);
// The exception code of an exception reply.
std::optional<uint8_t> ExceptionOf(const std::optional<probesim::Adu>& reply);

class WireClient
{
public:
    explicit WireClient(const std::string& path, probesim::FramingMode mode = probesim::FramingMode::Rtu)
        : m_client(path), m_mode(mode)
    {
    }

    // Sends the request; the decoded reply, nullopt when nothing decodable came within the time-out.
    std::optional<probesim::Adu> Ask(const probesim::Adu& request,
                                     std::chrono::milliseconds timeout = 1000ms);
    // Sends without waiting for anything.
    void Send(const probesim::Adu& request);
    // Nothing arrives within the time.
    bool Silent(std::chrono::milliseconds time = 100ms);

    std::optional<Values> Read(uint8_t address, uint16_t number, uint16_t count);
    // nullopt on success, else the exception code (0 when nothing came).
    std::optional<uint8_t> Write(uint8_t address, uint16_t number, const Values& values);
    std::optional<float> ReadFloat(uint8_t address, uint16_t number);
    std::optional<uint8_t> WriteFloat(uint8_t address, uint16_t number, float value);

    void SetMode(probesim::FramingMode mode) { m_mode = mode; }
    PtyClient& Raw() { return m_client; }

private:
    PtyClient m_client;
    probesim::FramingMode m_mode;
};

} // namespace probesim_test
