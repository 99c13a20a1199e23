// Replies: decoding in the three framings, every check against the request in its order, exception
// replies, and length fields from the device that promise more or less than arrived.
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "comm/ModbusAsciiFraming.h"
#include "comm/ModbusFrameCheck.h"
#include "comm/ModbusMessage.h"
#include "comm/ModbusModes.h"
#include "comm/ModbusRtuFraming.h"
#include "comm/ModbusTcpFraming.h"
#include "foundation/ResultCodes.h"
#include "tests/comm/CommTestSupport.h"

namespace commtest
{
namespace
{

constexpr ULONG kModes[] = {MODBUS_MODE_RTU, MODBUS_MODE_ASCII, MODBUS_MODE_TCP};

// The ASCII line form of reply bytes (without CRC), written here independently of the encoder.
std::string Ascii(const Bytes& bytes, bool lowerCase = false)
{
    std::string text = ":";
    uint8_t sum = 0;
    char pair[3];
    for (uint8_t b : bytes)
    {
        std::snprintf(pair, sizeof pair, lowerCase ? "%02x" : "%02X", b);
        text += pair;
        sum = static_cast<uint8_t>(sum + b);
    }
    std::snprintf(pair, sizeof pair, "%02X", static_cast<uint8_t>(-sum));
    return text + pair + "\r\n";
}

// The TCP line form of reply bytes (without CRC) under a transaction identifier.
Bytes Tcp(uint16_t transactionId, const Bytes& bytes)
{
    const uint8_t header[] = {
        static_cast<uint8_t>(transactionId >> 8), static_cast<uint8_t>(transactionId), 0, 0,
        static_cast<uint8_t>(bytes.size() >> 8),  static_cast<uint8_t>(bytes.size())};
    // Sized once and filled: g++ 12 warns falsely about inserting into a vector this small.
    Bytes frame(sizeof header + bytes.size());
    std::copy(std::begin(header), std::end(header), frame.begin());
    std::copy(bytes.begin(), bytes.end(), frame.begin() + sizeof header);
    return frame;
}

// A message that has framed a request in a mode, and the replies to it in that mode.
struct Framed
{
    explicit Framed(ULONG framing, USHORT count = 2, BYTE function = 3) : mode(framing)
    {
        EXPECT_EQ(message.BuildReadRegisters(1, 1, count, function), S_OK);
        Encode();
    }
    void Encode()
    {
        CByteBuffer frame;
        EXPECT_EQ(message.Encode(mode, frame), S_OK);
    }
    CByteBuffer Reply(const Bytes& bytes, bool lowerCase = false) const
    {
        if (mode == MODBUS_MODE_ASCII)
            return ToBuffer(Ascii(bytes, lowerCase));
        return ToBuffer(mode == MODBUS_MODE_TCP ? Tcp(message.GetTransactionId(), bytes) : WithCrc(bytes));
    }
    HRESULT Validate(const Bytes& bytes) { return message.ValidateResponse(Reply(bytes)); }
    Bytes Data() const
    {
        CByteBuffer data;
        EXPECT_EQ(message.GetResponseData(data), S_OK);
        return ToBytes(data);
    }

    ULONG mode;
    CModbusMessage message;
};

const Bytes kReadReply = {0x01, 0x03, 0x04, 0x12, 0x34, 0xAB, 0xCD};

TEST(ModbusReply, AFullReadInEveryFraming)
{
    Bytes reply = {0x01, 0x03, 250};
    for (int i = 0; i < 250; ++i)
        reply.push_back(static_cast<uint8_t>(i * 7 + 3));
    for (ULONG mode : kModes)
    {
        Framed framed(mode, 125);
        USHORT expected = 0;
        ASSERT_EQ(framed.message.GetExpectedResponseLength(mode, expected), S_OK);
        const CByteBuffer frame = framed.Reply(reply, true); // ASCII data may come in lower case
        EXPECT_EQ(frame.GetLength(), expected) << mode;
        EXPECT_EQ(framed.message.ValidateResponse(frame), S_OK) << mode;
        EXPECT_FALSE(framed.message.IsException());
        EXPECT_EQ(framed.Data(), Bytes(reply.begin() + 3, reply.end())) << mode;
    }
}

TEST(ModbusReply, RefusalsInCheckOrder)
{
    Framed rtu(MODBUS_MODE_RTU);
    Bytes bad = WithCrc(kReadReply);
    bad.back() ^= 0x01;
    EXPECT_EQ(rtu.message.ValidateResponse(ToBuffer(bad)), MODBUSCOMM_E_INVALID_RESPONSE_CRC);
    EXPECT_EQ(rtu.Validate({0x02, 0x03, 0x04, 0x12, 0x34, 0xAB, 0xCD}),
              MODBUSCOMM_E_INVALID_RESPONSE_ADDRESS);
    EXPECT_EQ(rtu.Validate({0x01, 0x04, 0x04, 0x12, 0x34, 0xAB, 0xCD}),
              MODBUSCOMM_E_INVALID_RESPONSE_FUNCTION);
    // An exception for another function is no answer to this request.
    EXPECT_EQ(rtu.Validate({0x01, 0x84, 0x02}), MODBUSCOMM_E_INVALID_RESPONSE_FUNCTION);
    // The frame check comes before the CRC: a wrong length is a format error even with a bad CRC.
    EXPECT_EQ(rtu.message.ValidateResponse(ToBuffer(Bytes{0x01, 0x03, 0x04, 0x12, 0x34, 0xAB, 0xCD, 0x00})),
              MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);
    EXPECT_EQ(rtu.message.ValidateResponse(ToBuffer(Bytes{0x01, 0x83, 0x02, 0xC0})),
              MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);
    EXPECT_EQ(rtu.message.ValidateResponse(CByteBuffer()), MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);

    Framed ascii(MODBUS_MODE_ASCII);
    EXPECT_EQ(ascii.message.ValidateResponse(ToBuffer("0183027A\r\n")), MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);
    // A lower-case LRC with letters no longer matches; nor does a changed digit.
    std::string text = Ascii({0x01, 0x03, 0x02, 0x00, 0x01});
    ASSERT_EQ(text.substr(text.size() - 4, 2), "F9");
    text[text.size() - 4] = 'f';
    EXPECT_EQ(ascii.message.ValidateResponse(ToBuffer(text)), MODBUSCOMM_E_INVALID_RESPONSE_CRC);
    text[text.size() - 4] = 'F';
    text[text.size() - 3] = '8';
    EXPECT_EQ(ascii.message.ValidateResponse(ToBuffer(text)), MODBUSCOMM_E_INVALID_RESPONSE_CRC);

    Framed tcp(MODBUS_MODE_TCP);
    EXPECT_EQ(tcp.message.ValidateResponse(ToBuffer(Tcp(tcp.message.GetTransactionId() + 1, kReadReply))),
              MODBUSCOMM_E_IP_SEQUENCE);
    EXPECT_EQ(tcp.Validate({0x07, 0x03, 0x00}), MODBUSCOMM_E_INVALID_RESPONSE_ADDRESS); // the unit identifier
    EXPECT_EQ(tcp.message.ValidateResponse(ToBuffer(Bytes{0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x01, 0x83})),
              MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);

    CModbusMessage unframed;
    EXPECT_EQ(unframed.ValidateResponse(ToBuffer(WithCrc(kReadReply))), MODBUSCOMM_E_MESSAGE_NOT_INITIALIZED);
    EXPECT_FALSE(unframed.IsResponseReceived());
}

TEST(ModbusReply, TheByteCountMustMatchTheFrame)
{
    for (ULONG mode : kModes)
    {
        Framed framed(mode);
        // Claims four data bytes, carries three; then claims two and carries four.
        for (const Bytes& reply :
             {Bytes{0x01, 0x03, 0x04, 0x12, 0x34, 0xAB}, Bytes{0x01, 0x03, 0x02, 0x12, 0x34, 0xAB, 0xCD}})
        {
            EXPECT_FALSE(CheckResponseFrame(mode, framed.Reply(reply), 0)) << mode;
            EXPECT_EQ(framed.Validate(reply), MODBUSCOMM_E_INVALID_RESPONSE_FORMAT) << mode;
        }
    }
    // Fewer registers than asked for is a well-formed frame; the register operations judge it.
    Framed rtu(MODBUS_MODE_RTU, 4);
    EXPECT_EQ(rtu.Validate({0x01, 0x03, 0x00}), S_OK);
    EXPECT_TRUE(rtu.Data().empty());
}

TEST(ModbusReply, ExceptionRepliesGiveTheirCodeAndNoReplyOutlivesTheNext)
{
    for (ULONG mode : kModes)
    {
        Framed framed(mode);
        ASSERT_EQ(framed.Validate({0x01, 0x83, 0x02}), S_OK) << mode;
        EXPECT_TRUE(framed.message.IsException());
        EXPECT_EQ(framed.message.GetExceptionResult(), ResultCode(0x81010002u));
        EXPECT_TRUE(framed.Data().empty());
    }
    Framed rtu(MODBUS_MODE_RTU);
    ASSERT_EQ(rtu.Validate({0x01, 0x83, 0x06}), S_OK);
    EXPECT_EQ(rtu.message.GetExceptionResult(), MODBUSCOMM_E_BUSY);
    ASSERT_EQ(rtu.Validate({0x01, 0x83, 0x94}), S_OK);
    EXPECT_EQ(rtu.message.GetExceptionResult(), MODBUSCOMM_E_PORT_NO_SENSOR);
    EXPECT_EQ(rtu.Validate({0x01, 0x83, 0x02, 0x00}), MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);
    EXPECT_FALSE(rtu.message.IsException());

    // A failed validation, or framing again, drops the reply before.
    ASSERT_EQ(rtu.Validate(kReadReply), S_OK);
    Bytes bad = WithCrc(kReadReply);
    bad[3] ^= 0xFF;
    EXPECT_EQ(rtu.message.ValidateResponse(ToBuffer(bad)), MODBUSCOMM_E_INVALID_RESPONSE_CRC);
    EXPECT_FALSE(rtu.message.IsResponseValid());
    EXPECT_TRUE(rtu.Data().empty());

    ASSERT_EQ(rtu.Validate({0x01, 0x83, 0x02}), S_OK);
    rtu.Encode();
    EXPECT_FALSE(rtu.message.IsException());
    EXPECT_FALSE(rtu.message.IsResponseValid());
}

TEST(ModbusReply, FileAndFixedLengthReplies)
{
    Framed file(MODBUS_MODE_RTU);
    ASSERT_EQ(file.message.BuildReadFileBlock(1, 0, 3, 1, TRUE), S_OK);
    file.Encode();
    EXPECT_EQ(file.Validate({0x01, 0x64, 0x00, 0x03, 0xAA, 0xBB, 0xCC}), S_OK);
    EXPECT_EQ(file.Data(), (Bytes{0xAA, 0xBB, 0xCC}));
    // A length field that promises more than arrived.
    EXPECT_EQ(file.Validate({0x01, 0x64, 0xFF, 0xFF, 0xAA, 0xBB, 0xCC}),
              MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);

    Framed extended(MODBUS_MODE_ASCII);
    ASSERT_EQ(extended.message.BuildReadFileBlock(1, 0, 2, 2, TRUE), S_OK);
    extended.Encode();
    EXPECT_EQ(extended.Validate({0x01, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0xAA, 0xBB, 0x5A}), S_OK);
    EXPECT_EQ(extended.Data(), (Bytes{0xAA, 0xBB, 0x5A}));
    // The short header read as the extended one no longer adds up.
    EXPECT_EQ(extended.Validate({0x01, 0x64, 0x00, 0x02, 0xAA, 0xBB}), MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);

    Framed identity(MODBUS_MODE_RTU);
    ASSERT_EQ(identity.message.BuildReportSlaveId(1), S_OK);
    identity.Encode();
    Bytes block = {0x01, 0x11, 23};
    block.resize(26, 0x42);
    EXPECT_EQ(identity.Validate(block), S_OK);
    EXPECT_EQ(identity.Data().size(), 23u);
    EXPECT_EQ(identity.Validate({0x01, 0x11, 0x01, 0x4E}), MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);

    Framed command(MODBUS_MODE_RTU);
    ASSERT_EQ(command.message.BuildExtendedFileRequest(1, sFileCommand(0xF000, 1), TRUE), S_OK);
    command.Encode();
    Bytes record = {0x01, 0x66};
    record.resize(22, 0x33);
    EXPECT_EQ(command.Validate(record), S_OK);
    record.push_back(0);
    EXPECT_EQ(command.Validate(record), MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);
    EXPECT_FALSE(CheckResponseFrame(3, ToBuffer(WithCrc(kReadReply)), 0)); // no such mode
}

TEST(ModbusReply, DecodersRefuseMalformedFrames)
{
    CByteBuffer reply;
    EXPECT_TRUE(DecodeAsciiFrame(ToBuffer(":0103020001F9\r\n"), reply));
    EXPECT_EQ(ToBytes(reply), WithCrc({0x01, 0x03, 0x02, 0x00, 0x01}));
    // Odd length, missing colon or CR LF, a character that is no hexadecimal digit, no data.
    for (const char* bad :
         {":0103020001F9\r\r\n", ";0103020001F9\r\n", ":0103020001F9\n\n", ":01030200G1F9\r\n", ":\r\n"})
    {
        EXPECT_FALSE(DecodeAsciiFrame(ToBuffer(bad), reply)) << bad;
        EXPECT_EQ(reply.GetLength(), 0u);
    }
    BYTE value = 0;
    const CByteBuffer frame = ToBuffer(":01x3\r\n");
    EXPECT_TRUE(AsciiFrameByte(frame, 0, value) && value == 0x01);
    EXPECT_FALSE(AsciiFrameByte(frame, 1, value) || AsciiFrameByte(frame, 3, value) ||
                 AsciiFrameByte(frame, 0xFFFFFFFFu, value));

    EXPECT_TRUE(DecodeRtuFrame(ToBuffer(WithCrc(kReadReply)), reply));
    EXPECT_EQ(ToBytes(reply), WithCrc(kReadReply));
    EXPECT_FALSE(DecodeRtuFrame(ToBuffer(Bytes{0x84}), reply));
    EXPECT_TRUE(DecodeTcpFrame(ToBuffer(Tcp(9, kReadReply)), reply));
    EXPECT_EQ(ToBytes(reply), WithCrc(kReadReply));
    EXPECT_FALSE(DecodeTcpFrame(ToBuffer(Bytes{0, 1, 0, 0, 0}), reply));
}

} // namespace
} // namespace commtest
