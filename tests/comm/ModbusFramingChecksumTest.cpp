#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/Bytes.h"

#include "comm/ModbusCrc.h"
#include "comm/ModbusLrc.h"

namespace
{

using V = std::vector<uint8_t>;

CByteBuffer Buffer(const V& bytes)
{
    return testsupport::ToBuffer(bytes);
}

V Crc(const V& bytes)
{
    const std::array<BYTE, 2> crc = ComputeModbusCrc16(bytes.data(), bytes.size());
    return V(crc.begin(), crc.end());
}

// The shift-and-xor definition, against which the table must agree on every input.
uint16_t BitwiseCrc(const V& bytes)
{
    uint16_t crc = 0xFFFF;
    for (uint8_t b : bytes)
    {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit)
            crc =
                (crc & 1) != 0 ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

} // namespace

TEST(ModbusCrc, KnownAnswersLowByteFirst)
{
    EXPECT_EQ(Crc({0x01, 0x03, 0x00, 0x00, 0x00, 0x01}), (V{0x84, 0x0A}));
    EXPECT_EQ(Crc({0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}), (V{0xC5, 0xCD}));
    EXPECT_EQ(Crc({0x01, 0x11}), (V{0xC0, 0x2C}));
    const std::string check = "123456789";
    EXPECT_EQ(Crc(V(check.begin(), check.end())), (V{0x37, 0x4B}));
    EXPECT_EQ(Crc({}), (V{0xFF, 0xFF}));
    EXPECT_EQ(ComputeModbusCrc16(nullptr, 5), (std::array<BYTE, 2>{0xFF, 0xFF}));
}

TEST(ModbusCrc, TableAgreesWithBitwiseDefinition)
{
    std::mt19937 random(20240501);
    for (size_t length : {1u, 2u, 7u, 255u, 256u, 1000u})
    {
        V bytes(length);
        for (auto& b : bytes)
            b = static_cast<uint8_t>(random());
        const uint16_t expected = BitwiseCrc(bytes);
        EXPECT_EQ(Crc(bytes), (V{static_cast<uint8_t>(expected & 0xFF), static_cast<uint8_t>(expected >> 8)}))
            << length;
    }
}

TEST(ModbusCrc, AppendedCrcMakesTheFrameCheckToZeroResidue)
{
    CByteBuffer frame = Buffer({0x11, 0x03, 0x00, 0x6B, 0x00, 0x03});
    ASSERT_TRUE(AppendModbusCrc16(frame));
    ASSERT_EQ(frame.GetLength(), 8u);
    EXPECT_EQ(frame.GetData()[6], 0x76);
    EXPECT_EQ(frame.GetData()[7], 0x87);
    // A frame followed by its own CRC has the CRC residue 0 of this polynomial.
    EXPECT_EQ(ComputeModbusCrc16(frame.GetData(), frame.GetLength()), (std::array<BYTE, 2>{0, 0}));
}

TEST(ModbusLrc, SumsAllButTheCrcAndWritesUpperCaseHex)
{
    // The CRC bytes (here deliberately not a real CRC) take no part in the sum.
    EXPECT_EQ(ComputeModbusLrc(Buffer({0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0xAA, 0xBB})), "FB");
    EXPECT_EQ(ComputeModbusLrc(Buffer({0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x00, 0x00})), "7E");
    // The sum wraps modulo 256: 0x80 + 0x80 = 0 gives 00; 0xFF gives 01.
    EXPECT_EQ(ComputeModbusLrc(Buffer({0x80, 0x80, 0x12, 0x34})), "00");
    EXPECT_EQ(ComputeModbusLrc(Buffer({0xFF, 0x12, 0x34})), "01");
    EXPECT_EQ(ComputeModbusLrc(Buffer({0x01, 0x0F, 0x00, 0x00})), "F0");
}

TEST(ModbusLrc, BufferWithoutDataGivesNothing)
{
    EXPECT_EQ(ComputeModbusLrc(Buffer({})), "");
    EXPECT_EQ(ComputeModbusLrc(Buffer({0x01, 0x02})), "");
}
