#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/Bytes.h"

#include "comm/ModbusAsciiFraming.h"
#include "comm/ModbusCrc.h"
#include "comm/ModbusFrameCheck.h"
#include "comm/ModbusMessage.h"
#include "comm/ModbusModes.h"
#include "comm/ModbusRtuFraming.h"
#include "comm/ModbusTcpFraming.h"
#include "foundation/ResultCodes.h"

namespace
{

using V = std::vector<uint8_t>;

CByteBuffer Buffer(const V& bytes)
{
    return testsupport::ToBuffer(bytes);
}

CByteBuffer Buffer(const std::string& text)
{
    return Buffer(V(text.begin(), text.end()));
}

V Bytes(const CByteBuffer& buffer)
{
    return testsupport::FromBuffer(buffer);
}

V WithCrc(V bytes)
{
    const std::array<BYTE, 2> crc = ComputeModbusCrc16(bytes.data(), bytes.size());
    bytes.insert(bytes.end(), crc.begin(), crc.end());
    return bytes;
}

// The ASCII line form of reply bytes (without CRC), written here independently of the encoder.
std::string Ascii(const V& bytes, bool lowerCase = false)
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
V Tcp(uint16_t transactionId, const V& bytes)
{
    V frame = {static_cast<uint8_t>(transactionId >> 8), static_cast<uint8_t>(transactionId), 0, 0,
               static_cast<uint8_t>(bytes.size() >> 8),  static_cast<uint8_t>(bytes.size())};
    frame.insert(frame.end(), bytes.begin(), bytes.end());
    return frame;
}

// A message that has framed a read of count registers from slave 1 in the mode.
struct Framed
{
    Framed(ULONG mode, USHORT count = 2, BYTE function = 3)
    {
        EXPECT_EQ(message.BuildReadRegisters(1, 1, count, function), S_OK);
        CByteBuffer frame;
        EXPECT_EQ(message.Encode(mode, frame), S_OK);
    }
    CModbusMessage message;
};

V Data(const CModbusMessage& message)
{
    CByteBuffer data;
    EXPECT_EQ(message.GetResponseData(data), S_OK);
    return Bytes(data);
}

const V kReadReply = {0x01, 0x03, 0x04, 0x12, 0x34, 0xAB, 0xCD};

} // namespace

TEST(ModbusReply, ReadReplyInEveryFraming)
{
    Framed rtu(MODBUS_MODE_RTU);
    EXPECT_EQ(rtu.message.ValidateResponse(Buffer(WithCrc(kReadReply))), S_OK);
    EXPECT_FALSE(rtu.message.IsException());
    EXPECT_EQ(rtu.message.GetExceptionResult(), S_OK);
    EXPECT_EQ(Data(rtu.message), (V{0x12, 0x34, 0xAB, 0xCD}));

    Framed ascii(MODBUS_MODE_ASCII);
    EXPECT_EQ(ascii.message.ValidateResponse(Buffer(Ascii(kReadReply))), S_OK);
    EXPECT_EQ(Bytes(ascii.message.GetDecodedReply()), WithCrc(kReadReply));
    EXPECT_EQ(Data(ascii.message), (V{0x12, 0x34, 0xAB, 0xCD}));

    Framed tcp(MODBUS_MODE_TCP);
    EXPECT_EQ(tcp.message.ValidateResponse(Buffer(Tcp(tcp.message.GetTransactionId(), kReadReply))), S_OK);
    EXPECT_EQ(Data(tcp.message), (V{0x12, 0x34, 0xAB, 0xCD}));
}

TEST(ModbusReply, FullReadOfOneHundredTwentyFiveRegisters)
{
    V reply = {0x01, 0x03, 250};
    for (int i = 0; i < 250; ++i)
        reply.push_back(static_cast<uint8_t>(i * 7 + 3));
    const V data(reply.begin() + 3, reply.end());
    for (ULONG mode : {MODBUS_MODE_RTU, MODBUS_MODE_ASCII, MODBUS_MODE_TCP})
    {
        Framed framed(mode, 125);
        USHORT expected = 0;
        ASSERT_EQ(framed.message.GetExpectedResponseLength(mode, expected), S_OK);
        CByteBuffer frame;
        if (mode == MODBUS_MODE_RTU)
            frame = Buffer(WithCrc(reply));
        else if (mode == MODBUS_MODE_ASCII)
            frame = Buffer(Ascii(reply, true));
        else
            frame = Buffer(Tcp(framed.message.GetTransactionId(), reply));
        EXPECT_EQ(frame.GetLength(), expected) << mode;
        EXPECT_EQ(framed.message.ValidateResponse(frame), S_OK) << mode;
        EXPECT_EQ(Data(framed.message), data) << mode;
    }
}

TEST(ModbusReply, AsciiAcceptsLowerCaseDataButNotALowerCaseLrc)
{
    // 0x7E is "7E" either way; the data pairs carry letters.
    const V reply = {0x01, 0x03, 0x02, 0xAB, 0xCD};
    Framed ascii(MODBUS_MODE_ASCII, 1);
    std::string text = Ascii(reply, true);
    EXPECT_EQ(ascii.message.ValidateResponse(Buffer(text)), S_OK);
    EXPECT_EQ(Data(ascii.message), (V{0xAB, 0xCD}));

    // The LRC of this reply has letters: written in lower case it no longer matches.
    const V lettered = {0x01, 0x03, 0x02, 0x00, 0x01};
    text = Ascii(lettered);
    ASSERT_EQ(text.substr(text.size() - 4, 2), "F9");
    text[text.size() - 4] = 'f';
    EXPECT_EQ(ascii.message.ValidateResponse(Buffer(text)), MODBUSCOMM_E_INVALID_RESPONSE_CRC);
    EXPECT_FALSE(ascii.message.IsResponseValid());
    text = Ascii(lettered);
    text[text.size() - 3] = '8';
    EXPECT_EQ(ascii.message.ValidateResponse(Buffer(text)), MODBUSCOMM_E_INVALID_RESPONSE_CRC);
}

TEST(ModbusReply, AsciiDecodingRefusesMalformedText)
{
    CByteBuffer reply;
    EXPECT_TRUE(DecodeAsciiFrame(Buffer(std::string(":0103020001F9\r\n")), reply));
    EXPECT_EQ(Bytes(reply), WithCrc({0x01, 0x03, 0x02, 0x00, 0x01}));
    // Even length, missing colon or CR LF, a character that is no hexadecimal digit.
    EXPECT_FALSE(DecodeAsciiFrame(Buffer(std::string(":0103020001F9\r\r\n")), reply));
    EXPECT_EQ(reply.GetLength(), 0u);
    EXPECT_FALSE(DecodeAsciiFrame(Buffer(std::string(";0103020001F9\r\n")), reply));
    EXPECT_FALSE(DecodeAsciiFrame(Buffer(std::string(":0103020001F9\n\n")), reply));
    EXPECT_FALSE(DecodeAsciiFrame(Buffer(std::string(":01030200G1F9\r\n")), reply));
    EXPECT_FALSE(DecodeAsciiFrame(Buffer(std::string(":\r\n")), reply));

    BYTE value = 0;
    const CByteBuffer frame = Buffer(std::string(":01x3\r\n"));
    EXPECT_TRUE(AsciiFrameByte(frame, 0, value));
    EXPECT_EQ(value, 0x01);
    EXPECT_FALSE(AsciiFrameByte(frame, 1, value));
    EXPECT_FALSE(AsciiFrameByte(frame, 3, value));
    EXPECT_FALSE(AsciiFrameByte(frame, 0xFFFFFFFFu, value));
}

TEST(ModbusReply, ShortFramesAreRefusedInEveryMode)
{
    Framed rtu(MODBUS_MODE_RTU);
    EXPECT_EQ(rtu.message.ValidateResponse(Buffer(V{0x01, 0x83, 0x02, 0xC0})),
              MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);
    EXPECT_EQ(rtu.message.ValidateResponse(Buffer(V{})), MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);
    EXPECT_TRUE(rtu.message.IsResponseReceived());
    Framed ascii(MODBUS_MODE_ASCII);
    EXPECT_EQ(ascii.message.ValidateResponse(Buffer(std::string(":0183027A\r\n").substr(1))),
              MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);
    Framed tcp(MODBUS_MODE_TCP);
    EXPECT_EQ(tcp.message.ValidateResponse(Buffer(V{0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x01, 0x83})),
              MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);
}

TEST(ModbusReply, RefusalsInCheckOrder)
{
    Framed rtu(MODBUS_MODE_RTU);
    V bad = WithCrc(kReadReply);
    bad.back() ^= 0x01;
    EXPECT_EQ(rtu.message.ValidateResponse(Buffer(bad)), MODBUSCOMM_E_INVALID_RESPONSE_CRC);
    EXPECT_EQ(rtu.message.ValidateResponse(Buffer(WithCrc({0x02, 0x03, 0x04, 0x12, 0x34, 0xAB, 0xCD}))),
              MODBUSCOMM_E_INVALID_RESPONSE_ADDRESS);
    EXPECT_EQ(rtu.message.ValidateResponse(Buffer(WithCrc({0x01, 0x04, 0x04, 0x12, 0x34, 0xAB, 0xCD}))),
              MODBUSCOMM_E_INVALID_RESPONSE_FUNCTION);
    // An exception for another function is no answer to this request.
    EXPECT_EQ(rtu.message.ValidateResponse(Buffer(WithCrc({0x01, 0x84, 0x02}))),
              MODBUSCOMM_E_INVALID_RESPONSE_FUNCTION);
    // The frame check comes before the CRC: a wrong length is a format error even with a bad CRC.
    EXPECT_EQ(rtu.message.ValidateResponse(Buffer(V{0x01, 0x03, 0x04, 0x12, 0x34, 0xAB, 0xCD, 0x00})),
              MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);

    Framed tcp(MODBUS_MODE_TCP);
    EXPECT_EQ(tcp.message.ValidateResponse(Buffer(Tcp(tcp.message.GetTransactionId() + 1, kReadReply))),
              MODBUSCOMM_E_IP_SEQUENCE);
    // The unit identifier stands for the slave address.
    EXPECT_EQ(tcp.message.ValidateResponse(Buffer(Tcp(tcp.message.GetTransactionId(), {0x07, 0x03, 0x00}))),
              MODBUSCOMM_E_INVALID_RESPONSE_ADDRESS);

    CModbusMessage unframed;
    EXPECT_EQ(unframed.ValidateResponse(Buffer(WithCrc(kReadReply))), MODBUSCOMM_E_MESSAGE_NOT_INITIALIZED);
    EXPECT_FALSE(unframed.IsResponseReceived());
}

TEST(ModbusReply, ByteCountMustMatchTheFrame)
{
    for (ULONG mode : {MODBUS_MODE_RTU, MODBUS_MODE_ASCII, MODBUS_MODE_TCP})
    {
        Framed framed(mode);
        // Claims four data bytes, carries three; then claims two and carries four.
        for (const V& reply :
             {V{0x01, 0x03, 0x04, 0x12, 0x34, 0xAB}, V{0x01, 0x03, 0x02, 0x12, 0x34, 0xAB, 0xCD}})
        {
            CByteBuffer frame;
            if (mode == MODBUS_MODE_RTU)
                frame = Buffer(WithCrc(reply));
            else if (mode == MODBUS_MODE_ASCII)
                frame = Buffer(Ascii(reply));
            else
                frame = Buffer(Tcp(framed.message.GetTransactionId(), reply));
            EXPECT_FALSE(CheckResponseFrame(mode, frame, 0)) << mode;
            EXPECT_EQ(framed.message.ValidateResponse(frame), MODBUSCOMM_E_INVALID_RESPONSE_FORMAT) << mode;
        }
    }
    // A reply with fewer registers than asked for is a well-formed frame; the caller sees its data.
    Framed rtu(MODBUS_MODE_RTU, 4);
    EXPECT_EQ(rtu.message.ValidateResponse(Buffer(WithCrc({0x01, 0x03, 0x00}))), S_OK);
    EXPECT_TRUE(Data(rtu.message).empty());
}

TEST(ModbusReply, ExceptionRepliesGiveTheExceptionCode)
{
    Framed rtu(MODBUS_MODE_RTU);
    ASSERT_EQ(rtu.message.ValidateResponse(Buffer(WithCrc({0x01, 0x83, 0x02}))), S_OK);
    EXPECT_TRUE(rtu.message.IsException());
    EXPECT_EQ(rtu.message.GetExceptionResult(), ResultCode(0x81010002u));
    EXPECT_TRUE(Data(rtu.message).empty());
    ASSERT_EQ(rtu.message.ValidateResponse(Buffer(WithCrc({0x01, 0x83, 0x06}))), S_OK);
    EXPECT_EQ(rtu.message.GetExceptionResult(), MODBUSCOMM_E_BUSY);
    ASSERT_EQ(rtu.message.ValidateResponse(Buffer(WithCrc({0x01, 0x83, 0x94}))), S_OK);
    EXPECT_EQ(rtu.message.GetExceptionResult(), MODBUSCOMM_E_PORT_NO_SENSOR);
    EXPECT_EQ(rtu.message.ValidateResponse(Buffer(WithCrc({0x01, 0x83, 0x02, 0x00}))),
              MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);
    EXPECT_FALSE(rtu.message.IsException());

    Framed ascii(MODBUS_MODE_ASCII);
    ASSERT_EQ(ascii.message.ValidateResponse(Buffer(Ascii({0x01, 0x83, 0x04}))), S_OK);
    EXPECT_EQ(ascii.message.GetExceptionResult(), ResultCode(0x81010004u));
    Framed tcp(MODBUS_MODE_TCP);
    ASSERT_EQ(tcp.message.ValidateResponse(Buffer(Tcp(tcp.message.GetTransactionId(), {0x01, 0x83, 0x0B}))),
              S_OK);
    EXPECT_EQ(tcp.message.GetExceptionResult(), ResultCode(0x8101000Bu));
}

TEST(ModbusReply, FailedValidationDropsTheEarlierReply)
{
    Framed rtu(MODBUS_MODE_RTU);
    ASSERT_EQ(rtu.message.ValidateResponse(Buffer(WithCrc(kReadReply))), S_OK);
    V bad = WithCrc(kReadReply);
    bad[3] ^= 0xFF;
    EXPECT_EQ(rtu.message.ValidateResponse(Buffer(bad)), MODBUSCOMM_E_INVALID_RESPONSE_CRC);
    EXPECT_FALSE(rtu.message.IsResponseValid());
    EXPECT_TRUE(Data(rtu.message).empty());

    // Framing again forgets the reply as well.
    ASSERT_EQ(rtu.message.ValidateResponse(Buffer(WithCrc({0x01, 0x83, 0x02}))), S_OK);
    CByteBuffer frame;
    ASSERT_EQ(rtu.message.Encode(MODBUS_MODE_RTU, frame), S_OK);
    EXPECT_FALSE(rtu.message.IsException());
}

TEST(ModbusReply, FileReadRepliesByFormat)
{
    CModbusMessage message;
    CByteBuffer frame;
    ASSERT_EQ(message.BuildReadFileBlock(1, 0, 3, 1, TRUE), S_OK);
    ASSERT_EQ(message.Encode(MODBUS_MODE_RTU, frame), S_OK);
    EXPECT_EQ(message.ValidateResponse(Buffer(WithCrc({0x01, 0x64, 0x00, 0x03, 0xAA, 0xBB, 0xCC}))), S_OK);
    EXPECT_EQ(Data(message), (V{0xAA, 0xBB, 0xCC}));
    // A length field that promises more than arrived.
    EXPECT_EQ(message.ValidateResponse(Buffer(WithCrc({0x01, 0x64, 0xFF, 0xFF, 0xAA, 0xBB, 0xCC}))),
              MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);

    ASSERT_EQ(message.BuildReadFileBlock(1, 0, 2, 2, TRUE), S_OK);
    ASSERT_EQ(message.Encode(MODBUS_MODE_ASCII, frame), S_OK);
    const V extended = {0x01, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0xAA, 0xBB, 0x5A};
    EXPECT_EQ(message.ValidateResponse(Buffer(Ascii(extended))), S_OK);
    EXPECT_EQ(Data(message), (V{0xAA, 0xBB, 0x5A}));
    // The short header's length position read as the extended one: the frame no longer adds up.
    EXPECT_EQ(message.ValidateResponse(Buffer(Ascii({0x01, 0x64, 0x00, 0x02, 0xAA, 0xBB}))),
              MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);
}

TEST(ModbusReply, FixedLengthRepliesOfTheOtherFunctions)
{
    CModbusMessage message;
    CByteBuffer frame;
    ASSERT_EQ(message.BuildReportSlaveId(1), S_OK);
    ASSERT_EQ(message.Encode(MODBUS_MODE_RTU, frame), S_OK);
    V identity = {0x01, 0x11, 23};
    for (int i = 0; i < 23; ++i)
        identity.push_back(static_cast<uint8_t>(i));
    EXPECT_EQ(message.ValidateResponse(Buffer(WithCrc(identity))), S_OK);
    EXPECT_EQ(Data(message).size(), 23u);
    // A consistent frame with one byte more passes here; its format is judged by the caller.
    identity[2] = 24;
    identity.push_back(0);
    EXPECT_EQ(message.ValidateResponse(Buffer(WithCrc(identity))), S_OK);
    EXPECT_EQ(Data(message).size(), 24u);
    EXPECT_EQ(message.ValidateResponse(Buffer(WithCrc({0x01, 0x11, 0x01, 0x4E}))),
              MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);

    ASSERT_EQ(message.BuildWriteRegisters(1, 1, 1, Buffer(V{0, 1})), S_OK);
    ASSERT_EQ(message.Encode(MODBUS_MODE_TCP, frame), S_OK);
    EXPECT_EQ(message.ValidateResponse(
                  Buffer(Tcp(message.GetTransactionId(), {0x01, 0x10, 0x00, 0x00, 0x00, 0x01}))),
              S_OK);
    EXPECT_EQ(Data(message), (V{0x00, 0x00, 0x00, 0x01}));

    sFileCommand record(0xF000, 1);
    ASSERT_EQ(message.BuildExtendedFileRequest(1, record, TRUE), S_OK);
    ASSERT_EQ(message.Encode(MODBUS_MODE_RTU, frame), S_OK);
    V reply = {0x01, 0x66};
    reply.resize(22, 0x33);
    EXPECT_EQ(message.ValidateResponse(Buffer(WithCrc(reply))), S_OK);
    EXPECT_EQ(Data(message).size(), 20u);
    reply.push_back(0);
    EXPECT_EQ(message.ValidateResponse(Buffer(WithCrc(reply))), MODBUSCOMM_E_INVALID_RESPONSE_FORMAT);
}

TEST(ModbusReply, FrameCheckOfFunctionsWithoutABuilder)
{
    const auto check = [](const V& reply)
    { return CheckResponseFrame(MODBUS_MODE_RTU, Buffer(WithCrc(reply)), 0); };
    EXPECT_TRUE(check({0x01, 0x06, 0x00, 0x01, 0x00, 0x02}));
    EXPECT_FALSE(check({0x01, 0x06, 0x00, 0x01, 0x00}));
    EXPECT_TRUE(check({0x01, 0x16, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(check({0x01, 0x16, 0, 0, 0, 0, 0, 0, 0}));
    V diagnostics = {0x01, 103};
    diagnostics.resize(226, 0);
    EXPECT_TRUE(check(diagnostics));
    EXPECT_TRUE(check({0x01, 0x2B, 0x00}));
    EXPECT_FALSE(CheckResponseFrame(3, Buffer(WithCrc(kReadReply)), 0));
}

TEST(ModbusReply, RtuAndTcpDecodersAlone)
{
    CByteBuffer reply;
    EXPECT_TRUE(DecodeRtuFrame(Buffer(WithCrc(kReadReply)), reply));
    EXPECT_EQ(Bytes(reply), WithCrc(kReadReply));
    EXPECT_FALSE(DecodeRtuFrame(Buffer(V{0x84}), reply));
    EXPECT_EQ(reply.GetLength(), 0u);
    EXPECT_TRUE(DecodeTcpFrame(Buffer(Tcp(9, kReadReply)), reply));
    EXPECT_EQ(Bytes(reply), WithCrc(kReadReply));
    EXPECT_FALSE(DecodeTcpFrame(Buffer(V{0, 1, 0, 0, 0}), reply));
}
