// Requests: the CRC-16 and LRC that close them, the bytes each builder puts on the wire, the
// refusals that leave nothing to send, the three framings, the reply lengths they expect and the
// length rules by function.
#include <random>

#include "comm/ModbusCrc.h"
#include "comm/ModbusLengthRules.h"
#include "comm/ModbusLrc.h"
#include "comm/ModbusMessage.h"
#include "comm/ModbusModes.h"
#include "foundation/ResultCodes.h"
#include "tests/comm/CommTestSupport.h"

namespace commtest
{
namespace
{

Bytes Crc(const Bytes& bytes)
{
    const std::array<BYTE, 2> crc = ComputeModbusCrc16(bytes.data(), bytes.size());
    return Bytes(crc.begin(), crc.end());
}

// The shift-and-xor definition, low byte first, against which the table must agree on every input.
Bytes BitwiseCrc(const Bytes& bytes)
{
    uint16_t crc = 0xFFFF;
    for (uint8_t b : bytes)
    {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>((crc & 1) != 0 ? (crc >> 1) ^ 0xA001 : crc >> 1);
    }
    return Bytes{static_cast<uint8_t>(crc & 0xFF), static_cast<uint8_t>(crc >> 8)};
}

TEST(ModbusChecksum, CrcAgreesWithTheBitwiseDefinitionLowByteFirst)
{
    EXPECT_EQ(Crc({0x01, 0x03, 0x00, 0x00, 0x00, 0x01}), (Bytes{0x84, 0x0A}));
    EXPECT_EQ(Crc({'1', '2', '3', '4', '5', '6', '7', '8', '9'}), (Bytes{0x37, 0x4B}));
    EXPECT_EQ(Crc({}), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(ComputeModbusCrc16(nullptr, 5), (std::array<BYTE, 2>{0xFF, 0xFF}));
    std::mt19937 random(20240501);
    for (size_t length : {1u, 2u, 7u, 255u, 256u, 1000u})
    {
        Bytes bytes(length);
        for (auto& b : bytes)
            b = static_cast<uint8_t>(random());
        EXPECT_EQ(Crc(bytes), BitwiseCrc(bytes)) << length;
    }

    // A frame followed by its own CRC has the residue 0 of this polynomial.
    CByteBuffer frame = ToBuffer(Bytes{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03});
    ASSERT_TRUE(AppendModbusCrc16(frame));
    EXPECT_EQ(ToBytes(frame), (Bytes{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x76, 0x87}));
    EXPECT_EQ(ComputeModbusCrc16(frame.GetData(), frame.GetLength()), (std::array<BYTE, 2>{0, 0}));
}

TEST(ModbusChecksum, LrcSumsAllButTheCrcAndWritesUpperCaseHex)
{
    // The last two bytes stand for the CRC (here deliberately not a real one) and are not summed.
    EXPECT_EQ(ComputeModbusLrc(ToBuffer(Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0xAA, 0xBB})), "FB");
    EXPECT_EQ(ComputeModbusLrc(ToBuffer(Bytes{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x00, 0x00})), "7E");
    EXPECT_EQ(ComputeModbusLrc(ToBuffer(Bytes{0x80, 0x80, 0x12, 0x34})), "00"); // the sum wraps
    EXPECT_EQ(ComputeModbusLrc(ToBuffer(Bytes{0xFF, 0x12, 0x34})), "01");
    EXPECT_EQ(ComputeModbusLrc(ToBuffer(Bytes{})), "");
    EXPECT_EQ(ComputeModbusLrc(ToBuffer(Bytes{0x01, 0x02})), "");
}

Bytes Request(const CModbusMessage& message)
{
    return ToBytes(message.GetRequest());
}

USHORT Expected(CModbusMessage& message, ULONG mode)
{
    CByteBuffer frame;
    EXPECT_EQ(message.Encode(mode, frame), S_OK);
    USHORT length = 0;
    EXPECT_EQ(message.GetExpectedResponseLength(mode, length), S_OK);
    return length;
}

TEST(ModbusRequest, RegisterReadsAndWrites)
{
    CModbusMessage message;
    ASSERT_EQ(message.BuildReadRegisters(1, 1, 10, 3), S_OK);
    EXPECT_EQ(Request(message), (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}));
    EXPECT_EQ(Expected(message, MODBUS_MODE_RTU), 25);
    EXPECT_EQ(Expected(message, MODBUS_MODE_ASCII), 51);
    EXPECT_EQ(Expected(message, MODBUS_MODE_TCP), 29);
    ASSERT_EQ(message.BuildReadRegisters(248, 9999, 125, 4), S_OK);
    EXPECT_EQ(Request(message), WithCrc({0xF8, 0x04, 0x27, 0x0E, 0x00, 0x7D}));
    EXPECT_EQ(Expected(message, MODBUS_MODE_RTU), 255);

    ASSERT_EQ(message.BuildWriteRegisters(2, 201, 2, ToBuffer(Bytes{0x12, 0x34, 0x56, 0x78})), S_OK);
    EXPECT_EQ(Request(message), WithCrc({0x02, 0x10, 0x00, 0xC8, 0x00, 0x02, 0x04, 0x12, 0x34, 0x56, 0x78}));
    EXPECT_FALSE(message.IsBroadcast());
    EXPECT_EQ(Expected(message, MODBUS_MODE_RTU), 8);
    ASSERT_EQ(message.BuildWriteRegisters(0, 9201, 1, ToBuffer(Bytes{0x00, 0x12})), S_OK);
    EXPECT_TRUE(message.IsBroadcast());

    ASSERT_EQ(message.BuildReportSlaveId(1), S_OK);
    EXPECT_EQ(Request(message), (Bytes{0x01, 0x11, 0xC0, 0x2C}));
    EXPECT_TRUE(message.IsFixedLengthSlaveId());
    EXPECT_EQ(Expected(message, MODBUS_MODE_RTU), 28);
    EXPECT_EQ(Expected(message, MODBUS_MODE_ASCII), 57);
    EXPECT_EQ(Expected(message, MODBUS_MODE_TCP), 32);
}

TEST(ModbusRequest, RefusalsLeaveNothingToSend)
{
    CModbusMessage message;
    CByteBuffer frame;
    // Encoding without a request, or after a refused one, is refused itself.
    EXPECT_EQ(message.Encode(MODBUS_MODE_RTU, frame), MODBUSCOMM_E_MESSAGE_NOT_INITIALIZED);
    USHORT length = 7;
    EXPECT_EQ(message.GetExpectedResponseLength(MODBUS_MODE_RTU, length),
              MODBUSCOMM_E_MESSAGE_NOT_INITIALIZED);
    EXPECT_EQ(length, 0);
    ASSERT_EQ(message.BuildReadRegisters(1, 1, 1, 3), S_OK);
    EXPECT_EQ(message.BuildReadRegisters(0, 1, 1, 3), MODBUSCOMM_E_INVALID_DEVICE_ADDRESS);
    EXPECT_EQ(message.GetRequest().GetLength(), 0u);
    EXPECT_EQ(message.Encode(MODBUS_MODE_RTU, frame), MODBUSCOMM_E_MESSAGE_NOT_INITIALIZED);

    EXPECT_EQ(message.BuildReadRegisters(249, 1, 1, 3), MODBUSCOMM_E_INVALID_DEVICE_ADDRESS);
    EXPECT_EQ(message.BuildReadRegisters(1, 0, 1, 3), MODBUSCOMM_E_INVALID_DATA_ADDRESS);
    EXPECT_EQ(message.BuildReadRegisters(1, 1, 126, 3), MODBUSCOMM_E_INVALID_REGISTER_COUNT);
    // Only the two register reads, and never a read of nothing.
    EXPECT_EQ(message.BuildReadRegisters(1, 1, 0, 3), MODBUSCOMM_E_INVALID_REGISTER_COUNT);
    for (BYTE function : {0, 1, 2, 5, 16, 17, 100})
        EXPECT_EQ(message.BuildReadRegisters(1, 1, 1, function), MODBUSCOMM_E_INVALID_PARAMETER) << +function;
    EXPECT_EQ(message.BuildWriteRegisters(256, 1, 1, ToBuffer(Bytes{0, 1})), MODBUSCOMM_E_INVALID_ADDRESS);
    EXPECT_EQ(message.BuildWriteRegisters(1, 1, 124, ToBuffer(Bytes(248))),
              MODBUSCOMM_E_INVALID_REGISTER_COUNT);
    EXPECT_EQ(message.BuildWriteRegisters(1, 1, 60, ToBuffer(Bytes(118))), MODBUSCOMM_E_INVALID_WRITE_DATA);
    EXPECT_EQ(message.BuildWriteRegisters(1, 1, 1, ToBuffer(Bytes(4))), MODBUSCOMM_E_INVALID_WRITE_DATA);
    EXPECT_EQ(message.BuildReadFileBlock(249, 0, 1, 1, TRUE), MODBUSCOMM_E_INVALID_DEVICE_ADDRESS);
    EXPECT_EQ(message.BuildWriteFileBlock(256, 0, ToBuffer(Bytes{1}), TRUE), MODBUSCOMM_E_INVALID_ADDRESS);
    // Write data whose length the request cannot state in 16 bits.
    EXPECT_EQ(message.BuildWriteFileBlock(1, 0, ToBuffer(Bytes(0x10000)), TRUE), MODBUSCOMM_E_MAX_PACKET);
    EXPECT_EQ(message.GetRequest().GetLength(), 0u);
    EXPECT_FALSE(message.IsBroadcast());

    ASSERT_EQ(message.BuildReadRegisters(1, 1, 1, 3), S_OK);
    EXPECT_EQ(message.Encode(3, frame), MODBUSCOMM_E_INVALID_TRANSMISSION_MODE);
    EXPECT_FALSE(message.IsEncoded());
    EXPECT_EQ(frame.GetLength(), 0u);
}

TEST(ModbusRequest, FileRequestsFollowTheWordOrder)
{
    CModbusMessage message;
    ASSERT_EQ(message.BuildReadFileBlock(3, 0x00010002, 0x0100, 1, TRUE), S_OK);
    EXPECT_EQ(Request(message), WithCrc({0x03, 0x64, 0x00, 0x01, 0x00, 0x02, 0x01, 0x00}));
    EXPECT_EQ(Expected(message, MODBUS_MODE_RTU), 0x100 + 6);
    ASSERT_EQ(message.BuildReadFileBlock(3, 0x00010002, 0x0100, 2, FALSE), S_OK);
    EXPECT_EQ(Request(message), WithCrc({0x03, 0x64, 0x00, 0x02, 0x00, 0x01, 0x01, 0x00}));
    EXPECT_EQ(Expected(message, MODBUS_MODE_RTU), 0x100 + 11); // the long header

    ASSERT_EQ(message.BuildWriteFileBlock(0, 0x0A0B0C0D, ToBuffer(Bytes{0xEE, 0xFF}), TRUE), S_OK);
    EXPECT_EQ(Request(message), WithCrc({0x00, 0x65, 0x0A, 0x0B, 0x0C, 0x0D, 0x00, 0x02, 0xEE, 0xFF}));
    EXPECT_TRUE(message.IsBroadcast());

    sFileCommand record(0xF000, 7, 0x11223344);
    record.Start.Set(0x55667788, 0x99AA);
    record.Stop.Set(0x01020304, 0x0506);
    ASSERT_EQ(message.BuildExtendedFileRequest(9, record, FALSE), S_OK);
    EXPECT_EQ(Request(message), WithCrc({0x09, 0x66, 0xF0, 0x00, 0x00, 0x07, 0x33, 0x44, 0x11, 0x22, 0x77,
                                         0x88, 0x55, 0x66, 0x99, 0xAA, 0x03, 0x04, 0x01, 0x02, 0x05, 0x06}));
    EXPECT_EQ(Expected(message, MODBUS_MODE_RTU), 24);
    EXPECT_EQ(message.BuildExtendedFileRequest(0, record, TRUE), MODBUSCOMM_E_INVALID_DEVICE_ADDRESS);
}

TEST(ModbusEncode, AsciiIsColonHexLrcCrLfAndTcpCountsTransactions)
{
    CModbusMessage message;
    CByteBuffer frame;
    ASSERT_EQ(message.BuildReadRegisters(0x11, 0x6C, 3, 3), S_OK);
    ASSERT_EQ(message.Encode(MODBUS_MODE_ASCII, frame), S_OK);
    EXPECT_EQ(ToText(frame), ":1103006B00037E\r\n");
    EXPECT_EQ(ToText(message.GetFramedRequest()), ToText(frame));
    EXPECT_EQ(frame.GetLength(), FrameLengthForMode(8, MODBUS_MODE_ASCII));

    ASSERT_EQ(message.BuildReportSlaveId(5), S_OK);
    ASSERT_EQ(message.Encode(MODBUS_MODE_TCP, frame), S_OK);
    EXPECT_EQ(ToBytes(frame), (Bytes{0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x05, 0x11}));
    ASSERT_EQ(message.BuildReadRegisters(1, 1, 10, 3), S_OK);
    ASSERT_EQ(message.Encode(MODBUS_MODE_TCP, frame), S_OK);
    EXPECT_EQ(ToBytes(frame),
              (Bytes{0x00, 0x02, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}));
    ASSERT_EQ(message.Encode(MODBUS_MODE_RTU, frame), S_OK); // uses up no identifier
    EXPECT_EQ(message.GetTransactionId(), 2);
    for (int i = 0; i < 0xFFFE; ++i)
        ASSERT_EQ(message.Encode(MODBUS_MODE_TCP, frame), S_OK);
    EXPECT_EQ(message.GetTransactionId(), 0);
    ASSERT_EQ(message.Encode(MODBUS_MODE_TCP, frame), S_OK);
    EXPECT_EQ(ToBytes(frame)[1], 0x01);
}

TEST(ModbusEncode, ReplyLengthsNearSixtyFourKiBDoNotWrap)
{
    CModbusMessage message;
    ASSERT_EQ(message.BuildReadFileBlock(1, 0, 0xFFF0, 1, TRUE), S_OK);
    EXPECT_EQ(Expected(message, MODBUS_MODE_RTU), 0xFFF6);
    CByteBuffer frame;
    ASSERT_EQ(message.Encode(MODBUS_MODE_ASCII, frame), S_OK);
    USHORT length = 1;
    EXPECT_EQ(message.GetExpectedResponseLength(MODBUS_MODE_ASCII, length), MODBUSCOMM_E_MAX_PACKET);
    EXPECT_EQ(length, 0);
    ASSERT_EQ(message.BuildReadFileBlock(1, 0, 0xFFFF, 2, TRUE), S_OK);
    ASSERT_EQ(message.Encode(MODBUS_MODE_RTU, frame), S_OK);
    EXPECT_EQ(message.GetExpectedResponseLength(MODBUS_MODE_RTU, length), MODBUSCOMM_E_MAX_PACKET);
}

TEST(ModbusLengthRules, RequestLengthsAndPayloadSizes)
{
    const auto valid = [](BYTE function, size_t length)
    { return IsValidRequestLength(function, ToBuffer(Bytes(length))) != FALSE; };
    EXPECT_TRUE(valid(3, 8) && !valid(3, 9) && valid(16, 9) && !valid(16, 8) && valid(17, 4) &&
                !valid(17, 5));
    EXPECT_TRUE(valid(100, 10) && !valid(100, 11) && valid(102, 24) && !valid(102, 23));

    EXPECT_EQ(GetMaxPayloadSize(1024, MODBUS_MODE_RTU, 3, 0), 1019);
    EXPECT_EQ(GetMaxPayloadSize(1024, MODBUS_MODE_RTU, 100, 2), 1013);
    EXPECT_EQ(GetMaxPayloadSize(1024, MODBUS_MODE_RTU, 101, 1), 1014);
    EXPECT_EQ(GetMaxPayloadSize(1024, MODBUS_MODE_ASCII, 3, 0), 506);
    EXPECT_EQ(GetMaxPayloadSize(1024, MODBUS_MODE_TCP, 3, 0), 1015);
    EXPECT_EQ(GetMaxPayloadSize(0xFFFF, MODBUS_MODE_RTU, 3, 0), 0xFFFA);
    // Nothing for a packet too small for the overhead, an unknown function or mode.
    EXPECT_EQ(GetMaxPayloadSize(4, MODBUS_MODE_RTU, 3, 0), 0);
    EXPECT_EQ(GetMaxPayloadSize(10, MODBUS_MODE_ASCII, 3, 0), 0);
    EXPECT_EQ(GetMaxPayloadSize(1024, MODBUS_MODE_RTU, 0, 0), 0);
    EXPECT_EQ(GetMaxPayloadSize(1024, 3, 3, 0), 0);
}

} // namespace
} // namespace commtest
