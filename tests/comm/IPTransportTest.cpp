// The TCP/IP transport against a Modbus ASCII peer on the loopback interface: message assembly
// from whatever segments arrive, opening by address and by name, a transaction of the network
// object over the line, a peer that goes away, and closing while the receive thread waits.
#include <cerrno>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "comm/IPAsciiAssembly.h"
#include "comm/IPComm.h"
#include "foundation/ResultCodes.h"
#include "platform/Utf.h"
#include "tests/comm/CommTestSupport.h"

namespace commtest
{
namespace
{

using NVTools::CIPComm;
using platform::Utf8ToUtf16;

constexpr const char* kOtherReply = ":01030256782C\r\n"; // the value 0x5678

bool WaitUntil(const std::function<bool()>& condition)
{
    const auto start = Clock::now();
    while (!condition())
    {
        if (MsSince(start) > 2000)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
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
            CloseListener();
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

    // Takes the next connection, letting go of the one before; its reads wait at most 2 s.
    bool Accept()
    {
        CloseConnection();
        pollfd entry{m_listener, POLLIN, 0};
        if (::poll(&entry, 1, 2000) == 1)
            m_connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        const timeval limit{2, 0};
        return m_connection >= 0 &&
               ::setsockopt(m_connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0;
    }
    bool Send(const std::string& bytes)
    {
        return ::send(m_connection, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    // The next request (all of them are as long as kAsciiRequest); empty when none comes.
    std::string ReceiveRequest()
    {
        std::string request(std::string_view(kAsciiRequest).size(), '\0');
        const ssize_t got = ::recv(m_connection, request.data(), request.size(), MSG_WAITALL);
        return got == static_cast<ssize_t>(request.size()) ? request : std::string();
    }
    // True when the transport has closed its side of the connection.
    bool SeesEndOfStream()
    {
        char byte = 0;
        return ::recv(m_connection, &byte, 1, 0) == 0;
    }
    void CloseConnection() { Close(m_connection); }
    void CloseListener() { Close(m_listener); }

private:
    static void Close(int& fd)
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

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
        const ULONG before = Received();
        ASSERT_TRUE(m_peer.Send(bytes));
        ASSERT_TRUE(WaitUntil([&] { return Received() == before + bytes.size(); }));
    }
    ULONG Received()
    {
        ULONG received = 0;
        m_line.GetStatistics(nullptr, &received, nullptr);
        return received;
    }
    std::string ReadText(HRESULT expected = S_OK)
    {
        CByteBuffer reply;
        EXPECT_EQ(m_line.Read(15, reply, expected == S_OK ? 1000 : 20, nullptr), expected);
        return ToText(reply);
    }

    AsciiPeer m_peer;
    CIPComm m_line;
};

// --- message assembly --------------------------------------------------------------------------

struct Assembly
{
    CByteQueue raw;
    CByteQueue received;
    std::vector<AsciiDiscard> discarded;

    sAsciiAssembly Feed(const std::string& bytes)
    {
        return AssembleAsciiMessages(
            raw, reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()),
            received, [this](AsciiDiscard reason, const uint8_t*, uint32_t) { discarded.push_back(reason); });
    }
    std::string Raw() const
    {
        return std::string(reinterpret_cast<const char*>(raw.GetData()), raw.GetLength());
    }
    std::string Next()
    {
        CByteBuffer message;
        return ExtractAsciiMessage(received, message) ? ToText(message) : std::string("(none)");
    }
};

TEST(IPAsciiAssembly, EveryMessageOfASegmentIsKeptAndBrokenLinesDropped)
{
    Assembly line;
    EXPECT_EQ(line.Feed("noise:0103").Messages, 0u);
    EXPECT_EQ(line.Raw(), ":0103"); // the noise can never join a message
    EXPECT_EQ(line.Feed("021234B4\r").Messages, 0u);
    const sAsciiAssembly done = line.Feed(std::string("\n") + kOtherReply + ":01");
    EXPECT_EQ(done.Messages, 2u);
    EXPECT_EQ(done.Delivered, 30u);
    EXPECT_EQ(line.Next(), kAsciiReply);
    EXPECT_EQ(line.Next(), kOtherReply);
    EXPECT_EQ(line.Next(), "(none)");
    EXPECT_EQ(line.Raw(), ":01");
    EXPECT_TRUE(line.discarded.empty());

    // An LF without CR, an LF without ':', and a message cut short by the next ':'.
    Assembly broken;
    broken.Feed(std::string(":0103\n") + "stray\r\n" + ":01:" + (kAsciiReply + 1));
    EXPECT_EQ(broken.discarded,
              (std::vector<AsciiDiscard>{AsciiDiscard::CorruptLine, AsciiDiscard::CorruptLine}));
    EXPECT_EQ(broken.Next(), kAsciiReply);
    EXPECT_EQ(broken.Next(), "(none)");
    EXPECT_EQ(broken.raw.GetLength(), 0u);
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
    ASSERT_FALSE(line.discarded.empty());
    EXPECT_EQ(line.discarded.front(), AsciiDiscard::ReceiveOverflow);
    EXPECT_EQ(line.Next(), message);
}

// A peer that sends its messages a byte at a time, and a reader that takes them one by one: the time
// must grow with the length of the stream, not with its square (a quarter of a million bytes took
// minutes that way).
TEST(IPAsciiAssembly, ManySmallPiecesCostTimeInProportionToTheirLength)
{
    const std::string pair = std::string(kAsciiReply) + ":" + std::string(1200, 'C') + "\r\n";
    std::string stream;
    while (stream.size() < 256 * 1024)
        stream += pair;
    const auto start = Clock::now();
    Assembly line;
    size_t messages = 0;
    for (char byte : stream)
    {
        line.Feed(std::string(1, byte));
        CByteBuffer message;
        while (ExtractAsciiMessage(line.received, message))
            ++messages;
    }
    EXPECT_EQ(messages, 2 * stream.size() / pair.size());
    // All at once, read only at the end: the receive buffer overflows again and again.
    Assembly whole;
    whole.Feed(stream);
    while (whole.Next() != "(none)")
        ++messages;
    EXPECT_LT(MsSince(start), 10000);
}

// --- the line ----------------------------------------------------------------------------------

TEST_F(IPTransport, MessagesAreReadWholeWhateverTheSegmentsAndAReadEndsInTime)
{
    Deliver(":0103");
    auto start = Clock::now();
    EXPECT_EQ(ReadText(IPCOMM_E_READ_TIMEOUT), "");
    EXPECT_GE(MsSince(start), 20);
    Deliver("021234");
    Deliver("B4\r");
    Deliver("\n");
    EXPECT_EQ(ReadText(), kAsciiReply);
    ULONG received = 0;
    ULONG delivered = 0;
    m_line.GetStatistics(nullptr, &received, &delivered);
    EXPECT_EQ(received, 15u);
    EXPECT_EQ(delivered, 15u);

    CTransferControl control;
    control.RequestCancel();
    CByteBuffer reply;
    start = Clock::now();
    EXPECT_EQ(m_line.Read(15, reply, 5000, &control), IPCOMM_E_READ_CANCELLED);
    EXPECT_LT(MsSince(start), 1000);

    // Two messages in one segment are read one each.
    Deliver(std::string("junk\n") + kAsciiReply + kOtherReply);
    EXPECT_EQ(ReadText(), kAsciiReply);
    EXPECT_EQ(ReadText(), kOtherReply);
    EXPECT_EQ(ReadText(IPCOMM_E_READ_TIMEOUT), "");

    // A reply left from an earlier request is gone once the next request is written.
    Deliver(kOtherReply);
    ASSERT_EQ(m_line.Write(ToBuffer(kAsciiRequest), 0), S_OK);
    ASSERT_EQ(m_peer.ReceiveRequest(), kAsciiRequest);
    ASSERT_TRUE(m_peer.Send(kAsciiReply));
    EXPECT_EQ(ReadText(), kAsciiReply);
}

TEST_F(IPTransport, CloseWakesTheReceiveThreadAndAWaitingReader)
{
    EXPECT_EQ(std::u16string(m_line.GetName()), u"127.0.0.1-" + Utf8ToUtf16(std::to_string(m_peer.Port())));
    EXPECT_EQ(m_line.Open(u"127.0.0.1", m_peer.Port()), IPCOMM_E_OPEN); // open already
    HRESULT readResult = S_OK;
    std::thread reader(
        [&]
        {
            CByteBuffer reply;
            readResult = m_line.Read(15, reply, 5000, nullptr);
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // most likely waiting by now
    // The read ends soon after the close, not at its time-out: measured from the close, not from
    // the start of a read that waited for it for as long as this thread was held off.
    const auto start = Clock::now();
    EXPECT_EQ(m_line.Close(), S_OK);
    reader.join();
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_EQ(readResult, IPCOMM_E_CLOSED);
    EXPECT_FALSE(m_line.IsOpen());
    EXPECT_TRUE(m_peer.SeesEndOfStream());

    ASSERT_EQ(m_line.Open(u"127.0.0.1", m_peer.Port()), S_OK);
    ASSERT_TRUE(m_peer.Accept());
}

TEST_F(IPTransport, ThePeerClosingEndsTheLineAndAWriteReconnects)
{
    m_peer.CloseConnection();
    ASSERT_TRUE(WaitUntil([&] { return !m_line.IsOpen(); }));
    EXPECT_EQ(ReadText(IPCOMM_E_CLOSED), "");
    EXPECT_EQ(m_line.Write(ToBuffer(kAsciiRequest), 0), IPCOMM_E_CLOSED); // reconnecting is off

    m_line.GetImpl()->SetAutoReconnect(true);
    m_line.GetImpl()->SetReconnectWaits({1, 1, 1});
    ASSERT_EQ(m_line.Write(ToBuffer(kAsciiRequest), 0), S_OK);
    ASSERT_TRUE(m_peer.Accept());
    EXPECT_EQ(m_peer.ReceiveRequest(), kAsciiRequest);

    // With nobody listening the attempts give up.
    m_peer.CloseConnection();
    m_peer.CloseListener();
    ASSERT_TRUE(WaitUntil([&] { return !m_line.IsOpen(); }));
    const auto start = Clock::now();
    EXPECT_EQ(m_line.Write(ToBuffer(kAsciiRequest), 0), IPCOMM_E_CLOSED);
    EXPECT_LT(MsSince(start), 1000);
}

TEST_F(IPTransport, ATransactionRunsThroughTheNetworkObject)
{
    QuickTunables tunables;
    NetworkPtr network(CModbusComm::Create());
    ASSERT_EQ(network->AttachTransport(new CIPComm(m_line)), S_OK);
    ASSERT_EQ(network->SetTransmissionMode(1), S_OK);
    network->DisableAutoWakeUp();

    std::string request;
    std::thread slave(
        [&]
        {
            request = m_peer.ReceiveRequest();
            m_peer.Send(kAsciiReply);
        });
    USHORT value = 0;
    const HRESULT hr = network->ReadUShort(1, 40001, value, 1000, 0);
    slave.join();
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(request, kAsciiRequest);
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
    m_line.Reset(); // the last reference closes the line; the handle takes a fresh one
    EXPECT_TRUE(m_peer.SeesEndOfStream());
    EXPECT_TRUE(m_line.IsValid());
    EXPECT_FALSE(m_line.IsOpen());
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

TEST(IPTransportAddress, MalformedNamesAreRefusedAndOthersResolved)
{
    AsciiPeer peer;
    CIPComm line;
    line.GetImpl()->SetHostResolver(&ScriptedResolver);
    g_asked.clear();
    g_answer.clear();
    EXPECT_EQ(line.Open(nullptr, 502), IPCOMM_E_INVALID_ADDRESS);
    for (const char16_t* address : {u"", u"10.0.0.300", u"1.2.3", u"1.2.3.4.", u"1..2.3", u"-probe",
                                    u"probe-", u"probe.invalid", u"probe 7", u"probe_7", u"пробa"})
        EXPECT_EQ(line.Open(address, 502), IPCOMM_E_INVALID_ADDRESS) << platform::Utf16ToUtf8(address);
    EXPECT_TRUE(g_asked.empty()); // refused without a lookup
    EXPECT_EQ(line.Open(u"device-7", peer.Port()), IPCOMM_E_RESOLVE);
    EXPECT_EQ(g_asked, std::vector<std::string>{"device-7"});

    g_answer = {{127, 0, 0, 1}, {127, 0, 0, 3}};
    ASSERT_EQ(line.Open(u"probe-7", peer.Port()), S_OK);
    EXPECT_TRUE(peer.Accept());
    EXPECT_EQ(std::u16string(line.GetName()), u"probe-7-" + Utf8ToUtf16(std::to_string(peer.Port())));

    // The system's own resolver, where the hosts file names localhost.
    std::stringstream hosts;
    hosts << std::ifstream("/etc/hosts").rdbuf();
    if (!std::regex_search(hosts.str(), std::regex("(^|\n)127\\.0\\.0\\.1\\s.*\\blocalhost\\b")))
        return;
    CIPComm system;
    ASSERT_EQ(system.Open(u"localhost", peer.Port()), S_OK);
    EXPECT_TRUE(peer.Accept());
}

TEST(IPTransportAddress, ARefusedConnectionKeepsItsErrorAndEachOpenDialsItsOwnAddress)
{
    USHORT gonePort = 0;
    {
        AsciiPeer gone;
        gonePort = gone.Port();
    }
    CIPComm line;
    EXPECT_EQ(line.Open(u"127.0.0.1", gonePort), IPCOMM_E_CONNECT);
    EXPECT_FALSE(line.IsOpen());
    EXPECT_EQ(line.GetLastErrorCode(), static_cast<ULONG>(ECONNREFUSED));
    EXPECT_FALSE(line.GetLastErrorText().IsEmpty());

    AsciiPeer first;
    AsciiPeer second("127.0.0.2");
    if (!second.IsListening())
        GTEST_SKIP() << "no 127.0.0.2 on this machine";
    ASSERT_EQ(line.Open(u"127.0.0.1", first.Port()), S_OK);
    ASSERT_EQ(line.Close(), S_OK);
    // Nobody listens on 127.0.0.1 at the second port: the old address would be refused.
    ASSERT_EQ(line.Open(u"127.0.0.2", second.Port()), S_OK);
    EXPECT_TRUE(second.Accept());
}

} // namespace
} // namespace commtest
