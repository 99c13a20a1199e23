// A deliberately small raw client for the tests: opens the simulator's pseudo-terminal like a serial
// port and moves plain bytes, with no framing knowledge of its own.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace probesim_test
{

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

// "01 03 00 00" -> bytes.
Bytes Hex(std::string_view text);
// ":0103...\r\n" -> bytes.
Bytes Text(std::string_view text);
std::string ToHex(const Bytes& bytes);

class PtyClient
{
public:
    explicit PtyClient(const std::string& path);
    ~PtyClient();
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    void Write(const Bytes& bytes);
    // Reads until `silence` passes without a byte after at least one came, or `timeout` passes.
    Bytes ReadReply(std::chrono::milliseconds timeout = 1000ms, std::chrono::milliseconds silence = 40ms);
    // As ReadReply, but also done as soon as what came is complete.
    Bytes ReadUntil(const std::function<bool(const Bytes&)>& complete, std::chrono::milliseconds timeout,
                    std::chrono::milliseconds silence = 40ms);
    int Fd() const { return m_fd; } // for the line settings a test puts on the port
    // Reads exactly count bytes unless timeout passes first.
    Bytes ReadCount(size_t count, std::chrono::milliseconds timeout = 1000ms);
    // Write, then ReadReply.
    Bytes Transact(const Bytes& request, std::chrono::milliseconds timeout = 1000ms);

private:
    int m_fd = -1;
};

} // namespace probesim_test
