// The modem transport: the answers of a line that nothing dials, a network object taking the line
// over, and the queue side against a connection side scripted by the test.
#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "comm/ModemComm.h"
#include "foundation/ResultCodes.h"
#include "tests/comm/CommTestSupport.h"

namespace commtest
{
namespace
{

using NVTools::CModemComm;
using NVTools::CModemCommImpl;

// A data handle for a connection side to hand over; the line owns it from then on.
int DataHandle()
{
    return ::open("/dev/null", O_RDWR | O_CLOEXEC);
}

TEST(ModemTransport, ALineThatNothingDialledAnswersPortClosedAlsoToANetwork)
{
    QuickTunables tunables;
    CModemComm line;
    EXPECT_EQ(std::u16string(line.GetName()), u"Phone-0");
    CByteBuffer buffer = ToBuffer("kept");
    EXPECT_EQ(line.Write(ToBuffer(kAsciiRequest), 0), TAPI_E_PORT_CLOSED);
    EXPECT_EQ(line.Read(15, buffer, 10, nullptr), TAPI_E_PORT_CLOSED);
    EXPECT_EQ(ToText(buffer), "kept");
    EXPECT_EQ(line.Close(), S_OK);
    CModemComm none(nullptr); // a handle without a line touches nothing; a copy of it has a line
    EXPECT_EQ(none.Write(ToBuffer(kAsciiRequest), 0), TAPI_E_OBJECT_INVALID);
    EXPECT_TRUE(CModemComm(none).IsValid());

    NetworkPtr network(CModbusComm::Create());
    ASSERT_EQ(network->AttachTransport(new CModemComm(line)), S_OK);
    std::unique_ptr<NVTools::IIOAbstract> copy(network->CloneCommLink());
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy->AsModem(), nullptr);
    EXPECT_EQ(copy->AsModem()->GetImpl(), line.GetImpl());
    EXPECT_EQ(line.GetRefCount(), 3u);
    // Every attempt of a transaction fails at its write.
    USHORT value = 0;
    EXPECT_EQ(network->ReadUShort(1, 40001, value, 20, 1), TAPI_E_PORT_CLOSED);
    ULONG counters[MODBUS_STAT_COUNT] = {};
    network->GetStatistics(counters);
    EXPECT_EQ(counters[MODBUS_STAT_WRITE_FAILURES], 2u);
    copy.reset();
    network.reset();
    EXPECT_EQ(line.GetRefCount(), 1u);
}

// --- the queue side, with a connection side scripted by the test ---------------------------------

class ModemQueueSide : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(Impl().AttachLine(DataHandle()), S_OK); }
    CModemCommImpl& Impl() { return *m_line.GetImpl(); }
    void Deliver(const std::string& bytes)
    {
        Impl().DeliverReceived(reinterpret_cast<const uint8_t*>(bytes.data()),
                               static_cast<uint32_t>(bytes.size()));
    }

    CModemComm m_line;
};

TEST_F(ModemQueueSide, OneReadOrWriteAtATimeAndAReplyBeforeTheReadIsKept)
{
    EXPECT_TRUE(m_line.IsOpen());
    const int extra = DataHandle();
    EXPECT_EQ(Impl().AttachLine(extra), TAPI_E_ALREADY_OPEN);
    ::close(extra);

    // The connection side takes the request; while the write holds the line a read must wait. The
    // reply comes back before anybody reads it.
    std::string sent;
    HRESULT blockedRead = S_OK;
    std::thread connection(
        [&]
        {
            CByteBuffer data;
            if (!Impl().TakeWriteRequest(data, 2000))
                return;
            sent = ToText(data);
            CByteBuffer early;
            blockedRead = m_line.Read(15, early, 30, nullptr);
            Impl().CompleteWrite(S_OK);
            Deliver(kAsciiReply);
        });
    ASSERT_EQ(m_line.Purge(), S_OK);
    EXPECT_EQ(m_line.Write(ToBuffer(kAsciiRequest), 5000), S_OK);
    connection.join();
    EXPECT_EQ(sent, kAsciiRequest);
    EXPECT_EQ(blockedRead, TAPI_E_IOQ_WAIT);

    CByteBuffer reply;
    ASSERT_EQ(m_line.Read(15, reply, 200, nullptr), S_OK);
    EXPECT_EQ(ToText(reply), kAsciiReply);
    ULONG written = 0;
    ULONG received = 0;
    ULONG delivered = 0;
    m_line.GetStatistics(&written, &received, &delivered);
    EXPECT_EQ(written, 17u);
    EXPECT_EQ(received, 15u);
    EXPECT_EQ(delivered, 15u);
}

TEST_F(ModemQueueSide, AReadKeepsTheBytesFromTheColonOnAndEndsAtCrLfItsTimeOutOrACancel)
{
    Deliver(std::string("\x00\xFFxx", 4) + ":018302\r\n");
    CByteBuffer reply;
    ASSERT_EQ(m_line.Read(15, reply, 200, nullptr), S_OK); // shorter than expected, ended by CR LF
    EXPECT_EQ(ToText(reply), ":018302\r\n");

    CByteBuffer partial;
    Deliver(":01");
    const auto start = Clock::now();
    EXPECT_EQ(m_line.Read(15, partial, 30, nullptr), TAPI_E_READ_TIMEOUT);
    EXPECT_GE(MsSince(start), 30);
    EXPECT_EQ(ToText(partial), ":01");

    CTransferControl control;
    control.RequestCancel();
    EXPECT_EQ(m_line.Read(15, partial, 5000, &control), TAPI_E_READ_CANCELLED);

    // A write that the connection side never takes ends at its own time-out (480 / 240 + 100 ms).
    const auto writeStart = Clock::now();
    EXPECT_EQ(m_line.Write(ToBuffer(std::string(480, 'A')), 0), TAPI_E_WRITE_TIMEOUT);
    EXPECT_GE(MsSince(writeStart), 100);
    ULONG written = 9;
    m_line.GetStatistics(&written, nullptr, nullptr);
    EXPECT_EQ(written, 0u);
}

TEST_F(ModemQueueSide, CloseEndsAWaitingReadAndTheConnectionSide)
{
    HRESULT readResult = S_OK;
    std::thread reader(
        [&]
        {
            CByteBuffer reply;
            readResult = m_line.Read(15, reply, 5000, nullptr);
        });
    bool served = true;
    std::thread connection(
        [&]
        {
            CByteBuffer data;
            served = Impl().TakeWriteRequest(data, 5000);
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // most likely both wait by now
    const auto start = Clock::now();
    EXPECT_EQ(m_line.Close(), S_OK);
    reader.join();
    connection.join();
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_EQ(readResult, TAPI_E_PORT_CLOSED);
    EXPECT_FALSE(served);
    EXPECT_FALSE(m_line.IsOpen());
    EXPECT_EQ(m_line.Write(ToBuffer(kAsciiRequest), 0), TAPI_E_PORT_CLOSED);
}

} // namespace
} // namespace commtest
