#include "tests/probe-sim/WireClient.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

#include "tools/probe-sim/Framing.h"

namespace probesim_test
{

namespace
{

probesim::Adu Request(uint8_t address, uint8_t function, std::initializer_list<uint32_t> words)
{
    probesim::Adu adu{address, function, {}};
    for (uint32_t word : words)
        adu.data.insert(adu.data.end(), {static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)});
    return adu;
}

// The register values of a function 3 or 4 reply.
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

} // namespace

Bytes Hex(std::string_view text)
{
    Bytes bytes;
    std::istringstream in{std::string(text)};
    for (unsigned byte = 0; in >> std::hex >> byte;)
        bytes.push_back(static_cast<uint8_t>(byte));
    return bytes;
}

Bytes Text(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

std::string ToHex(const Bytes& bytes)
{
    std::string text;
    for (uint8_t b : bytes)
    {
        char digits[4];
        std::snprintf(digits, sizeof digits, " %02X", b);
        text += digits;
    }
    return text.empty() ? text : text.substr(1);
}

probesim::Adu ReadHolding(uint8_t address, uint16_t number, uint16_t count)
{
    return Request(address, number >= 40001 ? 3 : 4, {number % 10000u - 1, count});
}

probesim::Adu WriteHolding(uint8_t address, uint16_t number, const Values& values)
{
    const auto count = static_cast<uint32_t>(values.size());
    probesim::Adu adu = Request(address, 16, {number % 10000u - 1, count});
    adu.data.push_back(static_cast<uint8_t>(2 * count));
    for (uint16_t value : values)
        adu.data.insert(adu.data.end(), {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)});
    return adu;
}

probesim::Adu ReportSlaveId(uint8_t address)
{
    return {address, 17, {}};
}

probesim::Adu ReadBlock(uint8_t address, uint32_t offset, uint16_t length)
{
    return Request(address, 100, {offset >> 16, offset, length});
}

probesim::Adu WriteBlock(uint8_t address, uint32_t offset, const Bytes& data)
{
    probesim::Adu adu = Request(address, 101, {offset >> 16, offset, static_cast<uint32_t>(data.size())});
    adu.data.insert(adu.data.end(), data.begin(), data.end());
    return adu;
}

probesim::Adu FileRequest(uint8_t address, uint16_t command, uint16_t file, uint32_t size)
{
    return Request(address, 102, {command, file, size >> 16, size, 0, 0, 0, 0, 0, 0}); // two zero time stamps
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

std::optional<uint8_t> ExceptionOf(const std::optional<probesim::Adu>& reply)
{
    if (!reply || !(reply->function & 0x80) || reply->data.size() != 1)
        return std::nullopt;
    return reply->data[0];
}

WireClient::WireClient(const std::string& path, probesim::FramingMode mode) : m_mode(mode)
{
    m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        throw std::runtime_error("open " + path + ": " + std::strerror(errno));
    termios settings{};
    tcgetattr(m_fd, &settings);
    cfmakeraw(&settings);
    tcsetattr(m_fd, TCSANOW, &settings);
    tcflush(m_fd, TCIOFLUSH);
}

WireClient::~WireClient()
{
    close(m_fd);
}

void WireClient::Put(const Bytes& bytes)
{
    for (size_t done = 0; done < bytes.size();)
    {
        const ssize_t n = write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            throw std::runtime_error(std::string("write: ") + std::strerror(errno));
        done += n > 0 ? static_cast<size_t>(n) : 0;
    }
}

Bytes WireClient::ReadUntil(const std::function<bool(const Bytes&)>& complete,
                            std::chrono::milliseconds timeout, std::chrono::milliseconds silence)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    Bytes received;
    for (auto now = Clock::now(); now < deadline; now = Clock::now())
    {
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        if (!received.empty())
            wait = std::min(wait, silence);
        pollfd fd{m_fd, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(wait.count()) + 1) <= 0)
        {
            if (!received.empty())
                break;
            continue;
        }
        uint8_t buffer[512];
        const ssize_t n = read(m_fd, buffer, sizeof buffer);
        if (n > 0)
            received.insert(received.end(), buffer, buffer + n);
        if (n > 0 && complete(received))
            break;
    }
    return received;
}

Bytes WireClient::ReadReply(std::chrono::milliseconds timeout)
{
    return ReadUntil([](const Bytes&) { return false; }, timeout, 40ms);
}

Bytes WireClient::Transact(const Bytes& request, std::chrono::milliseconds timeout)
{
    Put(request);
    // Done at the first whole frame, unless it is the request coming back; a damaged reply ends at
    // the silence after it.
    std::string problem;
    return ReadUntil([&](const Bytes& bytes)
                     { return bytes != request && probesim::DecodeFrame(m_mode, bytes, problem); },
                     timeout, 40ms);
}

std::optional<probesim::Adu> WireClient::Ask(const probesim::Adu& request, std::chrono::milliseconds timeout)
{
    std::string problem;
    return probesim::DecodeFrame(m_mode, Transact(probesim::EncodeFrame(m_mode, request), timeout), problem);
}

void WireClient::Send(const probesim::Adu& request)
{
    Put(probesim::EncodeFrame(m_mode, request));
}

std::optional<Values> WireClient::Read(uint8_t address, uint16_t number, uint16_t count)
{
    return ValuesOf(Ask(ReadHolding(address, number, count)));
}

std::optional<uint8_t> WireClient::Write(uint8_t address, uint16_t number, const Values& values)
{
    const auto reply = Ask(WriteHolding(address, number, values));
    return reply ? ExceptionOf(reply) : std::optional<uint8_t>(0);
}

} // namespace probesim_test
