// The TCP/IP transport against a Modbus ASCII peer on the loopback interface: opening by address
// and by name, message assembly from whatever segments arrive, a transaction of the network object
// over the line, a peer that goes away, and closing while the receive thread waits.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "comm/IPAsciiAssembly.h"
#include "comm/IPComm.h"
#include "comm/ModbusComm.h"
#include "foundation/ResultCodes.h"
#include "platform/Utf.h"
#include "tests/comm/NetworkTestSupport.h"

namespace
{

using Clock = std::chrono::steady_clock;
using NVTools::CIPComm;
using NVTools::CIPCommImpl;

// Read holding register 40001 of slave 1, and two replies to it (0x1234 and 0x5678).
constexpr const char* kRequest = ":010300000001FB\r\n";
constexpr const char* kReply = ":0103021234B4\r\n";
constexpr const char* kOtherReply = ":01030256782C\r\n";

CByteBuffer Buffer(const std::string& text)
{
    CByteBuffer buffer;
    buffer.Append(static_cast<uint32_t>(text.size()), text.data());
    return buffer;
}

std::string Text(const CByteBuffer& buffer)
{
    return std::string(reinterpret_cast<const char*>(buffer.GetData()), buffer.GetLength());
}

std::u16string Name(const CWideString& text)
{
    return text.IsEmpty() ? std::u16string() : std::u16string(static_cast<const char16_t*>(text));
}

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 2000)
{
    const auto start = Clock::now();
    while (!condition())
    {
        if (MsSince(start) > timeoutMs)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

ULONG BytesReceived(CIPComm& line)
{
    ULONG received = 0;
    line.GetStatistics(nullptr, &received, nullptr);
    return received;
}

// The other end of the line: a listener on an ephemeral port of a loopback address and the one
// connection it accepted, in plain POSIX sockets.
class AsciiPeer
{
public:
    explicit AsciiPeer(const char* address = "127.0.0.1")
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, address, &local.sin_addr);
        socklen_t length = sizeof local;
        if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&local), length) != 0 ||
            ::listen(m_listener, 4) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        {
            CloseListener();
            return;
        }
        m_port = ntohs(local.sin_port);
    }
    ~AsciiPeer()
    {
        CloseConnection();
        CloseListener();
    }
    AsciiPeer(const AsciiPeer&) = delete;
    AsciiPeer& operator=(const AsciiPeer&) = delete;

    bool IsListening() const { return m_listener >= 0; }
    USHORT Port() const { return m_port; }

    // Takes the next connection, letting go of the one before.
    bool Accept(int timeoutMs = 2000)
    {
        CloseConnection();
        pollfd entry{m_listener, POLLIN, 0};
        if (::poll(&entry, 1, timeoutMs) != 1)
            return false;
        m_connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        return m_connection >= 0;
    }
    bool Send(const std::string& bytes)
    {
        return ::send(m_connection, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    // What arrives up to CR LF; empty when the line stays silent or closes.
    std::string ReceiveLine(int timeoutMs = 2000)
    {
        std::string line;
        const auto start = Clock::now();
        while (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0)
        {
            pollfd entry{m_connection, POLLIN, 0};
            const long long left = timeoutMs - MsSince(start);
            char byte = 0;
            if (left <= 0 || ::poll(&entry, 1, static_cast<int>(left)) != 1 ||
                ::recv(m_connection, &byte, 1, 0) != 1)
                return {};
            line.push_back(byte);
        }
        return line;
    }
    // True when the transport has closed its side of the connection.
    bool SeesEndOfStream(int timeoutMs = 2000)
    {
        pollfd entry{m_connection, POLLIN, 0};
        char byte = 0;
        return ::poll(&entry, 1, timeoutMs) == 1 && ::recv(m_connection, &byte, 1, 0) == 0;
    }
    void CloseConnection()
    {
        if (m_connection >= 0)
            ::close(m_connection);
        m_connection = -1;
    }
    void CloseListener()
    {
        if (m_listener >= 0)
            ::close(m_listener);
        m_listener = -1;
    }

private:
    int m_listener = -1;
    int m_connection = -1;
    USHORT m_port = 0;
};

// A line connected to a peer, with reconnecting off unless a test switches it on.
class IPTransport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_peer.IsListening());
        m_line.GetImpl()->SetAutoReconnect(false);
        ASSERT_EQ(m_line.Open(u"127.0.0.1", m_peer.Port()), S_OK);
        ASSERT_TRUE(m_peer.Accept());
    }

    // The peer's bytes have all reached the line (so that they arrive in separate segments).
    void Deliver(const std::string& bytes)
    {
        const ULONG before = BytesReceived(m_line);
        ASSERT_TRUE(m_peer.Send(bytes));
        ASSERT_TRUE(WaitUntil([&] { return BytesReceived(m_line) == before + bytes.size(); }));
    }

    AsciiPeer m_peer;
    CIPComm m_line;
};

// --- message assembly --------------------------------------------------------------------------

struct Assembly
{
    CByteBuffer raw;
    CByteBuffer received;
    std::vector<AsciiDiscard> discarded;

    sAsciiAssembly Feed(const std::string& bytes)
    {
        raw.Append(static_cast<uint32_t>(bytes.size()), bytes.data());
        return AssembleAsciiMessages(raw, received,
                                     [this](AsciiDiscard reason, const uint8_t*, uint32_t)
                                     { discarded.push_back(reason); });
    }
    std::string Next()
    {
        CByteBuffer message;
        return ExtractAsciiMessage(received, message) ? Text(message) : std::string("(none)");
    }
};

TEST(IPAsciiAssembly, MessagesAreKeptWhateverTheSegmentsCarry)
{
    Assembly line;
    EXPECT_EQ(line.Feed("noise:0103").Messages, 0u);
    EXPECT_EQ(Text(line.raw), ":0103"); // the noise can never become part of a message
    EXPECT_EQ(line.Feed("021234B4\r").Messages, 0u);
    const sAsciiAssembly done = line.Feed(std::string("\n") + kOtherReply + ":01");
    EXPECT_EQ(done.Messages, 2u);
    EXPECT_EQ(done.Delivered, 30u);
    EXPECT_EQ(line.Next(), kReply);
    EXPECT_EQ(line.Next(), kOtherReply);
    EXPECT_EQ(line.Next(), "(none)");
    EXPECT_EQ(Text(line.raw), ":01");
    EXPECT_TRUE(line.discarded.empty());
}

TEST(IPAsciiAssembly, BrokenLinesAreDroppedAndTheMessagesAfterThemKept)
{
    Assembly line;
    // An LF without CR, an LF without ':', and a message cut short by the next ':'.
    line.Feed(std::string(":0103\n") + "stray\r\n" + ":01:" + (kReply + 1));
    EXPECT_EQ(line.discarded,
              (std::vector<AsciiDiscard>{AsciiDiscard::CorruptLine, AsciiDiscard::CorruptLine}));
    EXPECT_EQ(line.Next(), kReply);
    EXPECT_EQ(line.Next(), "(none)");
    EXPECT_EQ(line.raw.GetLength(), 0u);
}

TEST(IPAsciiAssembly, BytesWithTheHighBitBecomeTwoCharacters)
{
    Assembly line;
    const sAsciiAssembly done = line.Feed(std::string(":01\x83\xFF\r\n"));
    EXPECT_EQ(done.Delivered, 9u);
    EXPECT_EQ(line.Next(), ":01037F\r\n");
}

TEST(IPAsciiAssembly, NeitherBufferGrowsWithoutBound)
{
    Assembly line;
    const std::string hex(IP_MAX_ASCII_MESSAGE_BYTES, 'A');
    line.Feed(":" + hex);
    EXPECT_EQ(line.raw.GetLength(), 0u);
    line.Feed(":" + hex + "\r\n");
    EXPECT_EQ(line.received.GetLength(), 0u);
    EXPECT_EQ(line.discarded,
              (std::vector<AsciiDiscard>{AsciiDiscard::MessageTooLong, AsciiDiscard::MessageTooLong}));

    line.discarded.clear();
    const std::string message = ":" + std::string(1000, 'B') + "\r\n";
    for (int i = 0; i < 100; ++i)
        line.Feed(message);
    EXPECT_LE(line.received.GetLength(), IP_MAX_RECEIVE_BUFFER_BYTES);
    EXPECT_FALSE(line.discarded.empty());
    EXPECT_EQ(line.discarded.front(), AsciiDiscard::ReceiveOverflow);
    EXPECT_EQ(line.Next(), message);
}

// --- the line ----------------------------------------------------------------------------------

TEST_F(IPTransport, OpensByAddressAndIsNamedAfterIt)
{
    EXPECT_TRUE(m_line.IsOpen());
    EXPECT_EQ(Name(m_line.GetName()), u"127.0.0.1-" + Name(CWideString(u"%u", m_peer.Port())));
    EXPECT_EQ(m_line.GetConnectionType(), NVTools::IOCONNECTION_IP);
    EXPECT_EQ(m_line.AsIP(), &m_line);
    EXPECT_EQ(m_line.AsSerial(), nullptr);
    EXPECT_EQ(m_line.AsModem(), nullptr);
    EXPECT_EQ(m_line.Open(u"127.0.0.1", m_peer.Port()), IPCOMM_E_OPEN);

    ASSERT_EQ(m_line.Write(Buffer(kRequest), 0), S_OK);
    EXPECT_EQ(m_peer.ReceiveLine(), kRequest);
    ULONG sent = 0;
    ASSERT_EQ(m_line.GetStatistics(&sent, nullptr, nullptr), S_OK);
    EXPECT_EQ(sent, std::strlen(kRequest));
    CByteBuffer reply;
    EXPECT_EQ(m_line.Read(0, reply, 10, nullptr), S_OK);
}

TEST_F(IPTransport, AReplySplitOverSegmentsIsReadWhole)
{
    CByteBuffer reply;
    Deliver(":0103");
    EXPECT_EQ(m_line.Read(15, reply, 20, nullptr), IPCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(reply.GetLength(), 0u);
    Deliver("021234");
    Deliver("B4\r");
    Deliver("\n");
    ASSERT_EQ(m_line.Read(15, reply, 1000, nullptr), S_OK);
    EXPECT_EQ(Text(reply), kReply);
    ULONG received = 0;
    ULONG delivered = 0;
    m_line.GetStatistics(nullptr, &received, &delivered);
    EXPECT_EQ(received, 15u);
    EXPECT_EQ(delivered, 15u);
}

TEST_F(IPTransport, TwoMessagesInOneSegmentAreReadOneEach)
{
    Deliver(std::string("junk\n") + kReply + kOtherReply);
    CByteBuffer reply;
    ASSERT_EQ(m_line.Read(15, reply, 1000, nullptr), S_OK);
    EXPECT_EQ(Text(reply), kReply);
    ASSERT_EQ(m_line.Read(15, reply, 1000, nullptr), S_OK);
    EXPECT_EQ(Text(reply), kOtherReply);
    EXPECT_EQ(m_line.Read(15, reply, 20, nullptr), IPCOMM_E_READ_TIMEOUT);
}

TEST_F(IPTransport, AWriteDropsRepliesLeftFromEarlierRequests)
{
    Deliver(kOtherReply);
    ASSERT_EQ(m_line.Write(Buffer(kRequest), 0), S_OK);
    ASSERT_EQ(m_peer.ReceiveLine(), kRequest);
    ASSERT_TRUE(m_peer.Send(kReply));
    CByteBuffer reply;
    ASSERT_EQ(m_line.Read(15, reply, 1000, nullptr), S_OK);
    EXPECT_EQ(Text(reply), kReply);
}

TEST_F(IPTransport, AReadEndsAtItsTimeOutOrWhenCancelled)
{
    CByteBuffer reply;
    auto start = Clock::now();
    EXPECT_EQ(m_line.Read(15, reply, 30, nullptr), IPCOMM_E_READ_TIMEOUT);
    EXPECT_GE(MsSince(start), 30);
    EXPECT_LT(MsSince(start), 1000);

    CTransferControl control;
    control.RequestCancel();
    start = Clock::now();
    EXPECT_EQ(m_line.Read(15, reply, 5000, &control), IPCOMM_E_READ_CANCELLED);
    EXPECT_LT(MsSince(start), 1000);
}

TEST_F(IPTransport, CloseWakesTheReceiveThreadAndAWaitingReader)
{
    HRESULT readResult = S_OK;
    long long readMs = 0;
    std::thread reader(
        [&]
        {
            CByteBuffer reply;
            const auto start = Clock::now();
            readResult = m_line.Read(15, reply, 5000, nullptr);
            readMs = MsSince(start);
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the reader is waiting by now
    const auto start = Clock::now();
    EXPECT_EQ(m_line.Close(), S_OK);
    reader.join();
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_LT(readMs, 1000);
    EXPECT_EQ(readResult, IPCOMM_E_CLOSED);
    EXPECT_FALSE(m_line.IsOpen());
    EXPECT_TRUE(m_peer.SeesEndOfStream());

    // The line opens again once closed.
    ASSERT_EQ(m_line.Open(u"127.0.0.1", m_peer.Port()), S_OK);
    ASSERT_TRUE(m_peer.Accept());
}

TEST_F(IPTransport, ThePeerClosingEndsTheLineAndAWriteReconnects)
{
    m_peer.CloseConnection();
    ASSERT_TRUE(WaitUntil([&] { return !m_line.IsOpen(); }));
    CByteBuffer reply;
    EXPECT_EQ(m_line.Read(15, reply, 1000, nullptr), IPCOMM_E_CLOSED);
    EXPECT_EQ(m_line.Write(Buffer(kRequest), 0), IPCOMM_E_CLOSED); // reconnecting is off

    CIPCommImpl& impl = *m_line.GetImpl();
    impl.SetAutoReconnect(true);
    impl.SetReconnectWaits({1, 1, 1});
    ASSERT_EQ(m_line.Write(Buffer(kRequest), 0), S_OK);
    ASSERT_TRUE(m_peer.Accept());
    EXPECT_EQ(m_peer.ReceiveLine(), kRequest);

    // With nobody listening the attempts give up.
    m_peer.CloseConnection();
    m_peer.CloseListener();
    ASSERT_TRUE(WaitUntil([&] { return !m_line.IsOpen(); }));
    const auto start = Clock::now();
    EXPECT_EQ(m_line.Write(Buffer(kRequest), 0), IPCOMM_E_CLOSED);
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_FALSE(m_line.IsOpen());
}

TEST_F(IPTransport, ATransactionRunsThroughTheNetworkObject)
{
    networktest::QuickTunables tunables;
    networktest::NetworkPtr network(CModbusComm::Create());
    ASSERT_EQ(network->AttachTransport(new CIPComm(m_line)), S_OK);
    ASSERT_EQ(network->SetTransmissionMode(1), S_OK);
    network->DisableAutoWakeUp();
    EXPECT_EQ(m_line.GetRefCount(), 2u);

    std::string request;
    std::thread slave(
        [&]
        {
            request = m_peer.ReceiveLine();
            m_peer.Send(kReply);
        });
    USHORT value = 0;
    const HRESULT hr = network->ReadUShort(1, 40001, value, 1000, 0);
    slave.join();
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(request, kRequest);
    EXPECT_EQ(value, 0x1234);

    std::unique_ptr<NVTools::IIOAbstract> copy(network->CloneCommLink());
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy->AsIP(), nullptr);
    EXPECT_EQ(copy->AsIP()->GetImpl(), m_line.GetImpl());
    EXPECT_EQ(m_line.GetRefCount(), 3u);
    copy.reset();
    network.reset();
    EXPECT_EQ(m_line.GetRefCount(), 1u);
    EXPECT_TRUE(m_line.IsOpen());
}

// --- addresses and names -----------------------------------------------------------------------

std::vector<std::string> g_asked;
std::vector<platform::IPv4Bytes> g_answer;

int ScriptedResolver(const std::string& name, std::vector<platform::IPv4Bytes>& addresses)
{
    g_asked.push_back(name);
    addresses = g_answer;
    return g_answer.empty() ? -2 : 0;
}

TEST(IPTransportAddress, MalformedAddressesAreRefusedWithoutALookup)
{
    g_asked.clear();
    CIPComm line;
    line.GetImpl()->SetHostResolver(&ScriptedResolver);
    const auto start = Clock::now();
    EXPECT_EQ(line.Open(nullptr, 502), IPCOMM_E_INVALID_ADDRESS);
    for (const char16_t* address :
         {u"", u"10.0.0.300", u"1.2.3", u"1.2.3.4.", u"1..2.3", u"-probe", u"probe-", u"probe.invalid",
          u"no-such-probe.invalid", u"probe 7", u"probe_7", u"пробa"})
        EXPECT_EQ(line.Open(address, 502), IPCOMM_E_INVALID_ADDRESS) << platform::Utf16ToUtf8(address);
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_TRUE(g_asked.empty());
    EXPECT_FALSE(line.IsOpen());
}

TEST(IPTransportAddress, HostNamesAreResolvedAndTheFirstAddressDialled)
{
    AsciiPeer peer;
    ASSERT_TRUE(peer.IsListening());
    CIPComm line;
    line.GetImpl()->SetHostResolver(&ScriptedResolver);
    g_asked.clear();
    g_answer.clear();
    EXPECT_EQ(line.Open(u"device-7", peer.Port()), IPCOMM_E_RESOLVE);
    EXPECT_EQ(g_asked, std::vector<std::string>{"device-7"});

    g_answer = {{127, 0, 0, 1}, {127, 0, 0, 3}};
    ASSERT_EQ(line.Open(u"probe-7", peer.Port()), S_OK);
    EXPECT_TRUE(peer.Accept());
    EXPECT_EQ(Name(line.GetName()), u"probe-7-" + Name(CWideString(u"%u", peer.Port())));
}

TEST(IPTransportAddress, EachOpenDialsItsOwnAddress)
{
    AsciiPeer first;
    AsciiPeer second("127.0.0.2");
    if (!second.IsListening())
        GTEST_SKIP() << "no 127.0.0.2 on this machine";
    CIPComm line;
    ASSERT_EQ(line.Open(u"127.0.0.1", first.Port()), S_OK);
    ASSERT_EQ(line.Close(), S_OK);
    // Nobody listens on 127.0.0.1 at the second port: the old address would be refused.
    ASSERT_EQ(line.Open(u"127.0.0.2", second.Port()), S_OK);
    EXPECT_TRUE(second.Accept());
}

TEST(IPTransportAddress, TheSystemResolverFindsLocalhost)
{
    std::ifstream hosts("/etc/hosts");
    std::string entry;
    bool listed = false;
    while (std::getline(hosts, entry))
        listed = listed || (entry.rfind("127.0.0.1", 0) == 0 && entry.find("localhost") != std::string::npos);
    if (!listed)
        GTEST_SKIP() << "localhost is not in the hosts file";
    AsciiPeer peer;
    CIPComm line;
    ASSERT_EQ(line.Open(u"localhost", peer.Port()), S_OK);
    EXPECT_TRUE(peer.Accept());
}

TEST(IPTransportAddress, ARefusedConnectionLeavesTheLineClosed)
{
    USHORT port = 0;
    {
        AsciiPeer gone;
        port = gone.Port();
    }
    CIPComm line;
    EXPECT_EQ(line.Open(u"127.0.0.1", port), IPCOMM_E_CONNECT);
    EXPECT_FALSE(line.IsOpen());
    EXPECT_EQ(line.GetLastErrorCode(), static_cast<ULONG>(ECONNREFUSED));
    EXPECT_FALSE(line.GetLastErrorText().IsEmpty());
}

// --- handles -----------------------------------------------------------------------------------

TEST(IPTransportHandle, AHandleWithoutALineAnswersWithoutTouchingAnything)
{
    CIPComm none(nullptr);
    EXPECT_FALSE(none.IsValid());
    EXPECT_FALSE(none.IsOpen());
    EXPECT_EQ(none.GetRefCount(), 0u);
    EXPECT_FALSE(none.IsTraceLogOpen());
    EXPECT_EQ(none.GetConnectionType(), NVTools::IOCONNECTION_IP);
    EXPECT_TRUE(none.GetName().IsEmpty());
    EXPECT_TRUE(none.GetLastErrorText().IsEmpty());
    CByteBuffer buffer;
    EXPECT_EQ(none.Write(Buffer(kRequest), 0), IPCOMM_E_OBJECT_INVALID);
    EXPECT_EQ(none.Read(15, buffer, 10, nullptr), IPCOMM_E_OBJECT_INVALID);
    EXPECT_EQ(none.Purge(), IPCOMM_E_OBJECT_INVALID);
    EXPECT_EQ(none.PurgeOutput(), IPCOMM_E_OBJECT_INVALID);
    EXPECT_EQ(none.Close(), IPCOMM_E_OBJECT_INVALID);
    EXPECT_EQ(none.DetachTraceLog(), IPCOMM_E_OBJECT_INVALID);

    // A copy of it, and attaching a trace to it, bring a fresh line.
    CIPComm copy(none);
    EXPECT_TRUE(copy.IsValid());
    EXPECT_EQ(copy.GetRefCount(), 1u);
    ULONG fileId = 0;
    ASSERT_EQ(copy.OpenTraceLog(u"ip-handle-test.txt", &fileId), S_OK);
    EXPECT_EQ(none.AttachTraceLog(fileId), S_OK);
    EXPECT_TRUE(none.IsValid());
    EXPECT_TRUE(none.IsTraceLogOpen());
    EXPECT_NE(none.GetImpl(), copy.GetImpl());
}

TEST(IPTransportHandle, HandlesShareALineUntilReset)
{
    AsciiPeer peer;
    auto line = std::make_unique<CIPComm>();
    ASSERT_EQ(line->Open(u"127.0.0.1", peer.Port()), S_OK);
    ASSERT_TRUE(peer.Accept());
    CIPComm other(*line);
    EXPECT_EQ(other.GetRefCount(), 2u);
    line.reset(); // the other handle keeps the line open
    EXPECT_TRUE(other.IsOpen());
    EXPECT_EQ(other.GetRefCount(), 1u);

    CIPCommImpl* const shared = other.GetImpl();
    CIPComm third(other);
    third.Reset();
    EXPECT_NE(third.GetImpl(), shared);
    EXPECT_FALSE(third.IsOpen());
    EXPECT_TRUE(other.IsOpen());
    other.Reset(); // the last reference closes the line
    EXPECT_TRUE(peer.SeesEndOfStream());
}

} // namespace
