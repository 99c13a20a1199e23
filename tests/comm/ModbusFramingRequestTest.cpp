#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/Bytes.h"

#include "comm/ModbusLengthRules.h"
#include "comm/ModbusMessage.h"
#include "comm/ModbusModes.h"
#include "foundation/ResultCodes.h"

namespace
{

using V = std::vector<uint8_t>;

CByteBuffer Buffer(const V& bytes)
{
    return testsupport::ToBuffer(bytes);
}

V Bytes(const CByteBuffer& buffer)
{
    return testsupport::FromBuffer(buffer);
}

std::string Text(const CByteBuffer& buffer)
{
    return std::string(buffer.GetData(), buffer.GetData() + buffer.GetLength());
}

USHORT Expected(CModbusMessage& message, ULONG mode)
{
    CByteBuffer frame;
    EXPECT_EQ(message.Encode(mode, frame), S_OK);
    USHORT length = 0;
    EXPECT_EQ(message.GetExpectedResponseLength(mode, length), S_OK);
    return length;
}

} // namespace

TEST(ModbusRequest, ReadRegistersBytesAndReplyLengths)
{
    CModbusMessage message;
    ASSERT_EQ(message.BuildReadRegisters(1, 1, 10, 3), S_OK);
    EXPECT_EQ(Bytes(message.GetRequest()), (V{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}));
    EXPECT_EQ(message.GetSlaveAddress(), 1);
    EXPECT_FALSE(message.IsBroadcast());
    EXPECT_EQ(Expected(message, MODBUS_MODE_RTU), 25);
    EXPECT_EQ(Expected(message, MODBUS_MODE_ASCII), 51);
    EXPECT_EQ(Expected(message, MODBUS_MODE_TCP), 29);

    ASSERT_EQ(message.BuildReadRegisters(248, 9999, 125, 4), S_OK);
    const V request = Bytes(message.GetRequest());
    EXPECT_EQ(V(request.begin(), request.begin() + 6), (V{0xF8, 0x04, 0x27, 0x0E, 0x00, 0x7D}));
    EXPECT_EQ(Expected(message, MODBUS_MODE_RTU), 255);
}

TEST(ModbusRequest, ReadRegistersRefusalsLeaveTheMessageReset)
{
    CModbusMessage message;
    ASSERT_EQ(message.BuildReadRegisters(1, 1, 1, 3), S_OK);
    EXPECT_EQ(message.BuildReadRegisters(0, 1, 1, 3), MODBUSCOMM_E_INVALID_DEVICE_ADDRESS);
    EXPECT_EQ(message.GetRequest().GetLength(), 0u);
    EXPECT_EQ(message.BuildReadRegisters(249, 1, 1, 3), MODBUSCOMM_E_INVALID_DEVICE_ADDRESS);
    EXPECT_EQ(message.BuildReadRegisters(1, 0, 1, 3), MODBUSCOMM_E_INVALID_DATA_ADDRESS);
    EXPECT_EQ(message.BuildReadRegisters(1, 1, 126, 3), MODBUSCOMM_E_INVALID_REGISTER_COUNT);
    EXPECT_EQ(message.GetSlaveAddress(), 0);
    CByteBuffer frame;
    EXPECT_EQ(message.Encode(MODBUS_MODE_RTU, frame), MODBUSCOMM_E_MESSAGE_NOT_INITIALIZED);
    // A count of 0 is the caller's business.
    EXPECT_EQ(message.BuildReadRegisters(1, 1, 0, 3), S_OK);
}

TEST(ModbusRequest, WriteRegistersBytesAndBroadcast)
{
    CModbusMessage message;
    ASSERT_EQ(message.BuildWriteRegisters(2, 201, 2, Buffer({0x12, 0x34, 0x56, 0x78})), S_OK);
    const V request = Bytes(message.GetRequest());
    ASSERT_EQ(request.size(), 13u);
    EXPECT_EQ(V(request.begin(), request.begin() + 11),
              (V{0x02, 0x10, 0x00, 0xC8, 0x00, 0x02, 0x04, 0x12, 0x34, 0x56, 0x78}));
    EXPECT_FALSE(message.IsBroadcast());
    EXPECT_EQ(Expected(message, MODBUS_MODE_RTU), 8);

    ASSERT_EQ(message.BuildWriteRegisters(0, 9201, 1, Buffer({0x00, 0x12})), S_OK);
    EXPECT_TRUE(message.IsBroadcast());

    EXPECT_EQ(message.BuildWriteRegisters(256, 1, 1, Buffer({0, 1})), MODBUSCOMM_E_INVALID_ADDRESS);
    EXPECT_FALSE(message.IsBroadcast());
    EXPECT_EQ(message.BuildWriteRegisters(1, 0, 1, Buffer({0, 1})), MODBUSCOMM_E_INVALID_DATA_ADDRESS);
    EXPECT_EQ(message.BuildWriteRegisters(1, 1, 124, Buffer(V(248))), MODBUSCOMM_E_INVALID_REGISTER_COUNT);
    EXPECT_EQ(message.BuildWriteRegisters(1, 1, 60, Buffer(V(118))), MODBUSCOMM_E_INVALID_WRITE_DATA);
    EXPECT_EQ(message.GetRequest().GetLength(), 0u);
}

TEST(ModbusRequest, ReportSlaveIdExpectsItsFixedReply)
{
    CModbusMessage message;
    ASSERT_EQ(message.BuildReportSlaveId(0x105), S_OK);
    EXPECT_EQ(Bytes(message.GetRequest()).front(), 0x05);
    ASSERT_EQ(message.BuildReportSlaveId(1), S_OK);
    EXPECT_EQ(Bytes(message.GetRequest()), (V{0x01, 0x11, 0xC0, 0x2C}));
    EXPECT_TRUE(message.IsFixedLengthSlaveId());
    EXPECT_EQ(Expected(message, MODBUS_MODE_RTU), 28);
    EXPECT_EQ(Expected(message, MODBUS_MODE_ASCII), 57);
    EXPECT_EQ(Expected(message, MODBUS_MODE_TCP), 32);
    ASSERT_EQ(message.BuildReadRegisters(1, 1, 1, 3), S_OK);
    EXPECT_FALSE(message.IsFixedLengthSlaveId());
}

TEST(ModbusRequest, FileBlockRequestsFollowTheWordOrder)
{
    CModbusMessage message;
    ASSERT_EQ(message.BuildReadFileBlock(3, 0x00010002, 0x0100, 1, TRUE), S_OK);
    V request = Bytes(message.GetRequest());
    ASSERT_EQ(request.size(), 10u);
    EXPECT_EQ(V(request.begin(), request.begin() + 8), (V{0x03, 0x64, 0x00, 0x01, 0x00, 0x02, 0x01, 0x00}));
    EXPECT_EQ(message.GetReadFileFormat(), 1);
    EXPECT_EQ(Expected(message, MODBUS_MODE_RTU), 0x100 + 6);

    ASSERT_EQ(message.BuildReadFileBlock(3, 0x00010002, 0x0100, 2, FALSE), S_OK);
    request = Bytes(message.GetRequest());
    EXPECT_EQ(V(request.begin() + 2, request.begin() + 6), (V{0x00, 0x02, 0x00, 0x01}));
    EXPECT_EQ(Expected(message, MODBUS_MODE_RTU), 0x100 + 11);
    EXPECT_EQ(message.BuildReadFileBlock(249, 0, 1, 1, TRUE), MODBUSCOMM_E_INVALID_DEVICE_ADDRESS);
    EXPECT_EQ(message.GetReadFileFormat(), 0);

    ASSERT_EQ(message.BuildWriteFileBlock(0, 0x0A0B0C0D, Buffer({0xEE, 0xFF}), TRUE), S_OK);
    request = Bytes(message.GetRequest());
    ASSERT_EQ(request.size(), 12u);
    EXPECT_EQ(V(request.begin(), request.begin() + 10),
              (V{0x00, 0x65, 0x0A, 0x0B, 0x0C, 0x0D, 0x00, 0x02, 0xEE, 0xFF}));
    EXPECT_TRUE(message.IsBroadcast());
    EXPECT_EQ(Expected(message, MODBUS_MODE_RTU), 10);
    EXPECT_EQ(message.BuildWriteFileBlock(256, 0, Buffer({1}), TRUE), MODBUSCOMM_E_INVALID_ADDRESS);
    EXPECT_EQ(message.BuildWriteFileBlock(1, 0, Buffer(V(0x10000)), TRUE), MODBUSCOMM_E_MAX_PACKET);
}

TEST(ModbusRequest, ExtendedFileRequestCarriesTheRecord)
{
    sFileCommand record(0xF000, 7, 0x11223344);
    record.Start.Set(0x55667788, 0x99AA);
    record.Stop.Set(0x01020304, 0x0506);
    CModbusMessage message;
    ASSERT_EQ(message.BuildExtendedFileRequest(9, record, FALSE), S_OK);
    const V request = Bytes(message.GetRequest());
    ASSERT_EQ(request.size(), 24u);
    EXPECT_EQ(V(request.begin(), request.begin() + 22),
              (V{0x09, 0x66, 0xF0, 0x00, 0x00, 0x07, 0x33, 0x44, 0x11, 0x22, 0x77,
                 0x88, 0x55, 0x66, 0x99, 0xAA, 0x03, 0x04, 0x01, 0x02, 0x05, 0x06}));
    EXPECT_EQ(Expected(message, MODBUS_MODE_RTU), 24);
    EXPECT_EQ(message.BuildExtendedFileRequest(0, record, TRUE), MODBUSCOMM_E_INVALID_DEVICE_ADDRESS);
}

TEST(ModbusEncode, AsciiFrameIsColonHexLrcCrLf)
{
    CModbusMessage message;
    ASSERT_EQ(message.BuildReadRegisters(0x11, 0x6C, 3, 3), S_OK);
    CByteBuffer frame;
    ASSERT_EQ(message.Encode(MODBUS_MODE_ASCII, frame), S_OK);
    EXPECT_EQ(Text(frame), ":1103006B00037E\r\n");
    EXPECT_EQ(Text(message.GetFramedRequest()), Text(frame));
    EXPECT_EQ(frame.GetLength(), FrameLengthForMode(8, MODBUS_MODE_ASCII));

    ASSERT_EQ(message.BuildWriteFileBlock(0xAB, 0, Buffer({0xCD}), TRUE), S_OK);
    ASSERT_EQ(message.Encode(MODBUS_MODE_ASCII, frame), S_OK);
    EXPECT_EQ(Text(frame).substr(0, 19), ":AB65000000000001CD");
}

TEST(ModbusEncode, TcpHeaderCountsTransactionsAcrossResets)
{
    CModbusMessage message;
    ASSERT_EQ(message.BuildReportSlaveId(5), S_OK);
    CByteBuffer frame;
    ASSERT_EQ(message.Encode(MODBUS_MODE_TCP, frame), S_OK);
    EXPECT_EQ(Bytes(frame), (V{0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x05, 0x11}));

    ASSERT_EQ(message.BuildReadRegisters(1, 1, 10, 3), S_OK);
    ASSERT_EQ(message.Encode(MODBUS_MODE_TCP, frame), S_OK);
    EXPECT_EQ(Bytes(frame), (V{0x00, 0x02, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}));
    // RTU and ASCII framings do not use up identifiers.
    ASSERT_EQ(message.Encode(MODBUS_MODE_RTU, frame), S_OK);
    EXPECT_EQ(message.GetTransactionId(), 2);

    for (int i = 0; i < 0xFFFE; ++i)
        ASSERT_EQ(message.Encode(MODBUS_MODE_TCP, frame), S_OK);
    EXPECT_EQ(message.GetTransactionId(), 0);
    ASSERT_EQ(message.Encode(MODBUS_MODE_TCP, frame), S_OK);
    EXPECT_EQ(Bytes(frame)[1], 0x01);
}

TEST(ModbusEncode, RefusesBadModesAndMalformedRequests)
{
    CModbusMessage message;
    CByteBuffer frame;
    USHORT length = 7;
    EXPECT_EQ(message.GetExpectedResponseLength(MODBUS_MODE_RTU, length),
              MODBUSCOMM_E_MESSAGE_NOT_INITIALIZED);
    EXPECT_EQ(length, 0);
    ASSERT_EQ(message.BuildReadRegisters(1, 1, 1, 3), S_OK);
    EXPECT_EQ(message.Encode(3, frame), MODBUSCOMM_E_INVALID_TRANSMISSION_MODE);
    EXPECT_FALSE(message.IsEncoded());
    ASSERT_EQ(message.Encode(MODBUS_MODE_RTU, frame), S_OK);
    EXPECT_EQ(message.GetExpectedResponseLength(3, length), MODBUSCOMM_E_INVALID_TRANSMISSION_MODE);

    // Function 17 with a register read's body: RTU sends it as built, the other framings refuse.
    ASSERT_EQ(message.BuildReadRegisters(1, 1, 1, 17), S_OK);
    EXPECT_EQ(message.Encode(MODBUS_MODE_RTU, frame), S_OK);
    EXPECT_EQ(message.Encode(MODBUS_MODE_ASCII, frame), MODBUSCOMM_E_INVALID_RTU_MESSAGE);
    EXPECT_EQ(message.Encode(MODBUS_MODE_TCP, frame), MODBUSCOMM_E_INVALID_RTU_MESSAGE);
    EXPECT_EQ(frame.GetLength(), 0u);
}

TEST(ModbusEncode, FileReadNearSixtyFourKiBDoesNotWrapTheLength)
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

TEST(ModbusLengthRules, RequestLengthsByFunction)
{
    const auto valid = [](BYTE function, size_t length)
    { return IsValidRequestLength(function, Buffer(V(length))) != FALSE; };
    EXPECT_FALSE(valid(0x42, 3));
    EXPECT_TRUE(valid(0x42, 4));
    for (BYTE function : {1, 2, 3, 4, 5, 6})
    {
        EXPECT_TRUE(valid(function, 8));
        EXPECT_FALSE(valid(function, 9));
    }
    EXPECT_FALSE(valid(16, 8));
    EXPECT_TRUE(valid(16, 9));
    EXPECT_TRUE(valid(15, 200));
    EXPECT_TRUE(valid(17, 4));
    EXPECT_FALSE(valid(17, 5));
    EXPECT_TRUE(valid(100, 10));
    EXPECT_FALSE(valid(100, 11));
    EXPECT_TRUE(valid(101, 11));
    EXPECT_FALSE(valid(101, 9));
    EXPECT_TRUE(valid(102, 24));
    EXPECT_FALSE(valid(102, 23));
    EXPECT_TRUE(valid(103, 6));
    EXPECT_TRUE(valid(22, 10));
}

TEST(ModbusLengthRules, PayloadSizePerFunctionAndMode)
{
    EXPECT_EQ(GetMaxPayloadSize(1024, MODBUS_MODE_RTU, 3, 0), 1019);
    EXPECT_EQ(GetMaxPayloadSize(1024, MODBUS_MODE_RTU, 100, 1), 1018);
    EXPECT_EQ(GetMaxPayloadSize(1024, MODBUS_MODE_RTU, 100, 2), 1013);
    EXPECT_EQ(GetMaxPayloadSize(1024, MODBUS_MODE_RTU, 101, 1), 1014);
    EXPECT_EQ(GetMaxPayloadSize(1024, MODBUS_MODE_RTU, 16, 0), 1015);
    EXPECT_EQ(GetMaxPayloadSize(1024, MODBUS_MODE_ASCII, 3, 0), 506);
    EXPECT_EQ(GetMaxPayloadSize(1024, MODBUS_MODE_ASCII, 100, 1), 505);
    EXPECT_EQ(GetMaxPayloadSize(1024, MODBUS_MODE_TCP, 3, 0), 1015);
    EXPECT_EQ(GetMaxPayloadSize(1024, MODBUS_MODE_TCP, 17, 0), 1016);

    // Nothing for a packet too small for the overhead, an unknown function or mode, or a
    // function without overhead whose payload would be the whole packet.
    EXPECT_EQ(GetMaxPayloadSize(4, MODBUS_MODE_RTU, 3, 0), 0);
    EXPECT_EQ(GetMaxPayloadSize(10, MODBUS_MODE_ASCII, 3, 0), 0);
    EXPECT_EQ(GetMaxPayloadSize(0, MODBUS_MODE_TCP, 3, 0), 0);
    EXPECT_EQ(GetMaxPayloadSize(1024, MODBUS_MODE_RTU, 102, 0), 0);
    EXPECT_EQ(GetMaxPayloadSize(1024, MODBUS_MODE_RTU, 0, 0), 0);
    EXPECT_EQ(GetMaxPayloadSize(1024, 3, 3, 0), 0);
    EXPECT_EQ(GetMaxPayloadSize(1024, MODBUS_MODE_RTU, 5, 0), 0);
    EXPECT_EQ(GetMaxPayloadSize(1024, MODBUS_MODE_ASCII, 5, 0), 511);
    EXPECT_EQ(GetMaxPayloadSize(0xFFFF, MODBUS_MODE_RTU, 3, 0), 0xFFFA);
}
