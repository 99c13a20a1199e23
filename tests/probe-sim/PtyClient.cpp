#include "tests/probe-sim/PtyClient.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace probesim_test
{

Bytes Hex(std::string_view text)
{
    Bytes bytes;
    std::string digits;
    for (char c : text)
    {
        if (c == ' ')
            continue;
        digits += c;
        if (digits.size() == 2)
        {
            bytes.push_back(static_cast<uint8_t>(std::stoul(digits, nullptr, 16)));
            digits.clear();
        }
    }
    if (!digits.empty())
        throw std::invalid_argument("odd hex text");
    return bytes;
}

Bytes Text(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

std::string ToHex(const Bytes& bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (uint8_t b : bytes)
    {
        if (!text.empty())
            text += ' ';
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    return text;
}

PtyClient::PtyClient(const std::string& path)
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

PtyClient::~PtyClient()
{
    close(m_fd);
}

void PtyClient::Write(const Bytes& bytes)
{
    size_t done = 0;
    while (done < bytes.size())
    {
        const ssize_t n = write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)
            throw std::runtime_error(std::string("write: ") + std::strerror(errno));
        done += static_cast<size_t>(n);
    }
}

Bytes PtyClient::ReadReply(std::chrono::milliseconds timeout, std::chrono::milliseconds silence)
{
    return ReadUntil([](const Bytes&) { return false; }, timeout, silence);
}

Bytes PtyClient::ReadUntil(const std::function<bool(const Bytes&)>& complete,
                           std::chrono::milliseconds timeout, std::chrono::milliseconds silence)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    Bytes received;
    for (;;)
    {
        const auto now = Clock::now();
        if (now >= deadline)
            return received;
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        if (!received.empty())
            wait = std::min(wait, silence);
        pollfd fd{m_fd, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(wait.count()) + 1) <= 0)
        {
            if (!received.empty())
                return received;
            continue;
        }
        uint8_t buffer[512];
        const ssize_t n = read(m_fd, buffer, sizeof buffer);
        if (n > 0)
            received.insert(received.end(), buffer, buffer + n);
        if (n > 0 && complete(received))
            return received;
    }
}

Bytes PtyClient::ReadCount(size_t count, std::chrono::milliseconds timeout)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    Bytes received;
    while (received.size() < count)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        pollfd fd{m_fd, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left.count())) <= 0)
            continue;
        uint8_t buffer[512];
        const ssize_t n = read(m_fd, buffer, std::min(sizeof buffer, count - received.size()));
        if (n > 0)
            received.insert(received.end(), buffer, buffer + n);
    }
    return received;
}

Bytes PtyClient::Transact(const Bytes& request, std::chrono::milliseconds timeout)
{
    Write(request);
    return ReadReply(timeout);
}

} // namespace probesim_test
