#include "tests/probe-sim/WireClient.h"

#include <bit>

#include "tools/probe-sim/Framing.h"

namespace probesim_test
{

namespace
{

void Append16(Bytes& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value & 0xFF));
}

void Append32(Bytes& out, uint32_t value)
{
    Append16(out, static_cast<uint16_t>(value >> 16));
    Append16(out, static_cast<uint16_t>(value & 0xFFFF));
}

uint16_t WireAddress(uint16_t number)
{
    return static_cast<uint16_t>(number % 10000 - 1);
}

} // namespace

probesim::Adu ReadHolding(uint8_t address, uint16_t number, uint16_t count)
{
    probesim::Adu adu{address, static_cast<uint8_t>(number >= 40001 ? 3 : 4), {}};
    Append16(adu.data, WireAddress(number));
    Append16(adu.data, count);
    return adu;
}

probesim::Adu WriteHolding(uint8_t address, uint16_t number, const Values& values)
{
    probesim::Adu adu{address, 16, {}};
    Append16(adu.data, WireAddress(number));
    Append16(adu.data, static_cast<uint16_t>(values.size()));
    adu.data.push_back(static_cast<uint8_t>(2 * values.size()));
    for (uint16_t value : values)
        Append16(adu.data, value);
    return adu;
}

probesim::Adu ReportSlaveId(uint8_t address)
{
    return {address, 17, {}};
}

probesim::Adu ReadBlock(uint8_t address, uint32_t offset, uint16_t length)
{
    probesim::Adu adu{address, 100, {}};
    Append32(adu.data, offset);
    Append16(adu.data, length);
    return adu;
}

probesim::Adu WriteBlock(uint8_t address, uint32_t offset, const Bytes& data)
{
    probesim::Adu adu{address, 101, {}};
    Append32(adu.data, offset);
    Append16(adu.data, static_cast<uint16_t>(data.size()));
    adu.data.insert(adu.data.end(), data.begin(), data.end());
    return adu;
}

probesim::Adu FileRequest(uint8_t address, uint16_t command, uint16_t file, uint32_t size)
{
    probesim::Adu adu{address, 102, {}};
    Append16(adu.data, command);
    Append16(adu.data, file);
    Append32(adu.data, size);
    adu.data.resize(adu.data.size() + 12, 0); // two zero time stamps
    return adu;
}

Values FloatWords(float value)
{
    const auto bits = std::bit_cast<uint32_t>(value);
    return {static_cast<uint16_t>(bits >> 16), static_cast<uint16_t>(bits & 0xFFFF)};
}

float FloatAt(const Values& values, size_t index)
{
    return std::bit_cast<float>(uint32_t{values.at(index)} << 16 | values.at(index + 1));
}

std::optional<Values> ValuesOf(const std::optional<probesim::Adu>& reply)
{
    if (!reply || (reply->function & 0x80) || reply->data.empty() ||
        reply->data[0] != reply->data.size() - 1 || reply->data.size() % 2 != 1)
        return std::nullopt;
    Values values;
    for (size_t i = 1; i + 1 < reply->data.size(); i += 2)
        values.push_back(static_cast<uint16_t>(reply->data[i] << 8 | reply->data[i + 1]));
    return values;
}

std::optional<uint8_t> ExceptionOf(const std::optional<probesim::Adu>& reply)
{
    if (!reply || !(reply->function & 0x80) || reply->data.size() != 1)
        return std::nullopt;
    return reply->data[0];
}

std::optional<probesim::Adu> WireClient::Ask(const probesim::Adu& request, std::chrono::milliseconds timeout)
{
    const Bytes sent = probesim::EncodeFrame(m_mode, request);
    m_client.Write(sent);
    // Done at the first whole frame, unless it is the request coming back.
    std::string problem;
    const Bytes reply = m_client.ReadUntil(
        [&](const Bytes& bytes) { return bytes != sent && probesim::DecodeFrame(m_mode, bytes, problem); },
        timeout);
    return probesim::DecodeFrame(m_mode, reply, problem);
}

void WireClient::Send(const probesim::Adu& request)
{
    m_client.Write(probesim::EncodeFrame(m_mode, request));
}

bool WireClient::Silent(std::chrono::milliseconds time)
{
    return m_client.ReadReply(time).empty();
}

std::optional<Values> WireClient::Read(uint8_t address, uint16_t number, uint16_t count)
{
    return ValuesOf(Ask(ReadHolding(address, number, count)));
}

std::optional<uint8_t> WireClient::Write(uint8_t address, uint16_t number, const Values& values)
{
    const auto reply = Ask(WriteHolding(address, number, values));
    if (!reply)
        return 0;
    if (const auto code = ExceptionOf(reply))
        return code;
    return std::nullopt;
}

std::optional<float> WireClient::ReadFloat(uint8_t address, uint16_t number)
{
    const std::optional<Values> values = Read(address, number, 2);
    if (!values || values->size() != 2)
        return std::nullopt;
    return FloatAt(*values);
}

std::optional<uint8_t> WireClient::WriteFloat(uint8_t address, uint16_t number, float value)
{
    return Write(address, number, FloatWords(value));
}

} // namespace probesim_test
