// The modem transport: the answers of a line that nothing dials, its handles, a network object
// taking the line over, and the queue side against a scripted connection side.
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

#include "comm/ModbusComm.h"
#include "comm/ModemComm.h"
#include "foundation/ResultCodes.h"
#include "foundation/TraceLog.h"
#include "tests/comm/NetworkTestSupport.h"

namespace
{

using Clock = std::chrono::steady_clock;
using NVTools::CModemComm;
using NVTools::CModemCommImpl;

constexpr const char* kRequest = ":010300000001FB\r\n";
constexpr const char* kReply = ":0103021234B4\r\n";

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

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string ReadTrace(const char16_t* path)
{
    std::ifstream in(CTraceLogFile::ResolvePath(path));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A data handle for a connection side to hand over; the line owns it from then on.
int DataHandle()
{
    return ::open("/dev/null", O_RDWR | O_CLOEXEC);
}

TEST(ModemTransport, ALineThatNothingDialledAnswersPortClosed)
{
    CModemComm line;
    EXPECT_TRUE(line.IsValid());
    EXPECT_FALSE(line.IsOpen());
    EXPECT_EQ(line.GetRefCount(), 1u);
    EXPECT_EQ(line.GetConnectionType(), NVTools::IOCONNECTION_MODEM);
    EXPECT_EQ(line.AsModem(), &line);
    EXPECT_EQ(line.AsSerial(), nullptr);
    EXPECT_EQ(line.AsIP(), nullptr);
    EXPECT_EQ(std::u16string(static_cast<const char16_t*>(line.GetName())), u"Phone-0");

    CByteBuffer buffer = Buffer("kept");
    EXPECT_EQ(line.Write(Buffer(kRequest), 0), TAPI_E_PORT_CLOSED);
    EXPECT_EQ(line.Write(CByteBuffer(), 0), TAPI_E_PORT_CLOSED);
    EXPECT_EQ(line.Read(15, buffer, 10, nullptr), TAPI_E_PORT_CLOSED);
    EXPECT_EQ(line.Read(0, buffer, 10, nullptr), TAPI_E_PORT_CLOSED);
    EXPECT_EQ(Text(buffer), "kept");
    EXPECT_EQ(line.Purge(), S_OK);
    EXPECT_EQ(line.PurgeInput(), S_OK);
    EXPECT_EQ(line.PurgeOutput(), S_OK);
    ULONG sent = 9;
    ULONG received = 9;
    ULONG delivered = 9;
    ASSERT_EQ(line.GetStatistics(&sent, &received, &delivered), S_OK);
    EXPECT_EQ(sent + received + delivered, 0u);

    ULONG fileId = 0;
    ASSERT_EQ(line.OpenTraceLog(u"modem-closed-test.txt", &fileId), S_OK);
    EXPECT_EQ(line.Close(), S_OK);
    EXPECT_NE(ReadTrace(u"modem-closed-test.txt").find("Modem:  connection already closed"),
              std::string::npos);
    EXPECT_EQ(line.CloseTraceLog(), S_OK);
    EXPECT_FALSE(line.IsTraceLogOpen());
}

TEST(ModemTransport, AHandleWithoutALineAnswersWithoutTouchingAnything)
{
    CModemComm none(nullptr);
    EXPECT_FALSE(none.IsValid());
    EXPECT_FALSE(none.IsOpen());
    EXPECT_EQ(none.GetRefCount(), 0u);
    EXPECT_FALSE(none.IsTraceLogOpen());
    EXPECT_EQ(none.GetConnectionType(), NVTools::IOCONNECTION_MODEM);
    EXPECT_TRUE(none.GetName().IsEmpty());
    EXPECT_TRUE(none.GetLastErrorText().IsEmpty());
    CByteBuffer buffer;
    EXPECT_EQ(none.Write(Buffer(kRequest), 0), TAPI_E_OBJECT_INVALID);
    EXPECT_EQ(none.Read(15, buffer, 10, nullptr), TAPI_E_OBJECT_INVALID);
    EXPECT_EQ(none.Purge(), TAPI_E_OBJECT_INVALID);
    EXPECT_EQ(none.Close(), TAPI_E_OBJECT_INVALID);
    EXPECT_EQ(none.AttachTraceLog(1), TAPI_E_OBJECT_INVALID);
    EXPECT_EQ(none.ResetStatistics(), TAPI_E_OBJECT_INVALID);

    CModemComm copy(none);
    EXPECT_TRUE(copy.IsValid());
    none.Reset();
    EXPECT_TRUE(none.IsValid());
    EXPECT_NE(none.GetImpl(), copy.GetImpl());
}

TEST(ModemTransport, ANetworkObjectTakesTheLineOver)
{
    networktest::QuickTunables tunables;
    CModemComm line;
    CModemComm shared(line);
    EXPECT_EQ(line.GetRefCount(), 2u);
    shared.Reset(); // a fresh line in its place
    EXPECT_EQ(line.GetRefCount(), 1u);
    EXPECT_NE(shared.GetImpl(), line.GetImpl());

    networktest::NetworkPtr network(CModbusComm::Create());
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
    EXPECT_EQ(counters[MODBUS_STAT_VALID_REPLIES], 0u);

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

    CModemComm m_line;
};

TEST_F(ModemQueueSide, AReplyThatArrivedBeforeTheReadIsKept)
{
    EXPECT_TRUE(m_line.IsOpen());
    const int extra = DataHandle();
    EXPECT_EQ(Impl().AttachLine(extra), TAPI_E_ALREADY_OPEN);
    ::close(extra);

    // The connection side sends the request and the reply comes back before anybody reads.
    std::string sent;
    std::thread connection(
        [&]
        {
            CByteBuffer data;
            if (!Impl().TakeWriteRequest(data, 2000))
                return;
            sent = Text(data);
            Impl().CompleteWrite(S_OK);
            Impl().DeliverReceived(reinterpret_cast<const uint8_t*>(kReply), 15);
        });
    ASSERT_EQ(m_line.Purge(), S_OK);
    ASSERT_EQ(m_line.Write(Buffer(kRequest), 0), S_OK);
    connection.join();
    EXPECT_EQ(sent, kRequest);

    CByteBuffer reply;
    ASSERT_EQ(m_line.Read(15, reply, 200, nullptr), S_OK);
    EXPECT_EQ(Text(reply), kReply);
    ULONG written = 0;
    ULONG received = 0;
    ULONG delivered = 0;
    m_line.GetStatistics(&written, &received, &delivered);
    EXPECT_EQ(written, 17u);
    EXPECT_EQ(received, 15u);
    EXPECT_EQ(delivered, 15u);
}

TEST_F(ModemQueueSide, AReadKeepsTheBytesFromTheColonOnAndEndsAtCrLf)
{
    const std::string noisy = std::string("\x00\xFFxx", 4) + ":0183" + "02\r\n";
    Impl().DeliverReceived(reinterpret_cast<const uint8_t*>(noisy.data()),
                           static_cast<uint32_t>(noisy.size()));
    CByteBuffer reply;
    ASSERT_EQ(m_line.Read(15, reply, 200, nullptr), S_OK); // shorter than expected, ended by CR LF
    EXPECT_EQ(Text(reply), ":018302\r\n");

    // A read ends at its total time-out with what it has.
    CByteBuffer partial;
    Impl().DeliverReceived(reinterpret_cast<const uint8_t*>(":01"), 3);
    const auto start = Clock::now();
    EXPECT_EQ(m_line.Read(15, partial, 30, nullptr), TAPI_E_READ_TIMEOUT);
    EXPECT_GE(MsSince(start), 30);
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_EQ(Text(partial), ":01");

    CTransferControl control;
    control.RequestCancel();
    EXPECT_EQ(m_line.Read(15, partial, 5000, &control), TAPI_E_READ_CANCELLED);
}

TEST_F(ModemQueueSide, OneReadOrWriteAtATimeAndAHangUpEndsThem)
{
    // 480 bytes without a time-out of their own: 102 ms for write-done, which nobody sets.
    const CByteBuffer block = Buffer(std::string(480, 'A'));
    auto start = Clock::now();
    EXPECT_EQ(m_line.Write(block, 0), TAPI_E_WRITE_TIMEOUT);
    EXPECT_GE(MsSince(start), 100);
    EXPECT_LT(MsSince(start), 1000);
    ULONG written = 0;
    m_line.GetStatistics(&written, nullptr, nullptr);
    EXPECT_EQ(written, 0u);

    HRESULT readResult = S_OK;
    std::thread reader(
        [&]
        {
            CByteBuffer reply;
            readResult = m_line.Read(15, reply, 5000, nullptr);
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(30)); // the reader holds the line by now
    start = Clock::now();
    EXPECT_EQ(m_line.Write(block, 0), TAPI_E_IOQ_WAIT);
    EXPECT_GE(MsSince(start), 100);

    Impl().HangUp();
    reader.join();
    EXPECT_EQ(readResult, TAPI_E_PORT_CLOSED);
    EXPECT_FALSE(m_line.IsOpen());
    EXPECT_EQ(m_line.Write(block, 0), TAPI_E_PORT_CLOSED);
}

TEST_F(ModemQueueSide, CloseHangsUpAndStopsTheConnectionSide)
{
    ULONG fileId = 0;
    ASSERT_EQ(m_line.OpenTraceLog(u"modem-open-test.txt", &fileId), S_OK);
    bool served = true;
    std::thread connection(
        [&]
        {
            CByteBuffer data;
            served = Impl().TakeWriteRequest(data, 5000);
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto start = Clock::now();
    EXPECT_EQ(m_line.Close(), S_OK);
    connection.join();
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_FALSE(served);
    EXPECT_FALSE(m_line.IsOpen());
    const std::string trace = ReadTrace(u"modem-open-test.txt");
    EXPECT_NE(trace.find("Modem:  port closed"), std::string::npos);
    EXPECT_NE(trace.find("Modem connection closed"), std::string::npos);
}

} // namespace
