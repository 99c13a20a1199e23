#include <bit>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/Bytes.h"

#include "foundation/ParameterRecords.h"
#include "foundation/ResultCodes.h"

namespace
{

// A field of 2 or 4 bytes, high byte first as the device sends it.
void Put(std::vector<uint8_t>& out, uint32_t value, int bytes = 2)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutFloat(std::vector<uint8_t>& out, float value)
{
    Put(out, std::bit_cast<uint32_t>(value), 4);
}

using testsupport::ToBuffer;

} // namespace

TEST(ParameterReading, DecodesTheBlockInRegisterOrder)
{
    CDynArray<sParameterReading> readings;
    readings.SetSize(2);
    EXPECT_EQ(readings[1].Status, E_FAIL) << "new elements are reset readings";
    EXPECT_EQ(readings[1].ReadingTime, (SYSTEMTIME{1970, 1, 4, 1, 0, 0, 0, 0}));
    std::vector<uint8_t> bytes;
    PutFloat(bytes, 12.25f);
    for (uint16_t word : {1, 2, 0x14}) // parameter id, unit id, quality
        Put(bytes, word);
    PutFloat(bytes, -99999.0f);
    Put(bytes, 0x0003); // available units
    CBufferReader reader(ToBuffer(bytes));
    sParameterReading r;
    ASSERT_EQ(DecodeParameterBlock(reader, r), S_OK);
    EXPECT_EQ(r.Value, 12.25f);
    EXPECT_EQ(r.ParameterId, 1);
    EXPECT_EQ(r.UnitId, 2);
    EXPECT_EQ(r.Quality, 0x14);
    EXPECT_EQ(r.Sentinel, -99999.0f);
    EXPECT_EQ(r.AvailableUnits, 3);
    const CDynArray<USHORT> units = GetParameterUnitIds(r);
    ASSERT_EQ(units.GetCount(), 2u);
    EXPECT_EQ(units[1], 2);
    bytes.pop_back();
    CBufferReader shortReader(ToBuffer(bytes));
    EXPECT_EQ(DecodeParameterBlock(shortReader, r), E_BUFFER_EXTRACTION_OVERRUN);
}

TEST(SensorInfo, DecodesTheHeaderWithItsCalibrationOrder)
{
    std::vector<uint8_t> bytes;
    Put(bytes, 21);           // sensor id
    Put(bytes, 123456789, 4); // serial number
    Put(bytes, 0xFFFF);       // dropped
    for (uint32_t stamp = 1; stamp <= 4; ++stamp)
    {
        Put(bytes, 1000 * stamp, 4);
        Put(bytes, stamp);
    }
    for (uint16_t word : {500, 250, 4, 19, 20}) // warm-up, fastest rate, parameters, words 19 and 20
        Put(bytes, word);
    for (int i = 1; i <= 8; ++i)
        PutFloat(bytes, static_cast<float>(i));
    ASSERT_EQ(bytes.size(), 74u);
    sSensorInfo info;
    info.Address = 9;
    CBufferReader reader(ToBuffer(bytes));
    ASSERT_EQ(DecodeSensorHeader(reader, info), S_OK);
    EXPECT_EQ(info.Address, 9); // not part of the block
    EXPECT_EQ(info.SensorId, 21);
    EXPECT_EQ(info.SerialNumber, 123456789u);
    EXPECT_EQ(info.FirstTimestamp, CDeviceTimestamp(1000, 1));
    EXPECT_EQ(info.NextFactoryCalDate, CDeviceTimestamp(2000, 2));
    EXPECT_EQ(info.LastUserCalDate, CDeviceTimestamp(3000, 3));
    EXPECT_EQ(info.FourthTimestamp, CDeviceTimestamp(4000, 4));
    EXPECT_EQ(info.WarmupTime, 500);
    EXPECT_EQ(info.FastestSampleRate, 250);
    EXPECT_EQ(info.ParameterCount, 4);
    EXPECT_EQ(info.HeaderWord19, 19);
    EXPECT_EQ(info.HeaderWord20, 20);
    // The n-th float read goes to calibration value 7, 8, 5, 6, 2, 1, 4, 3.
    const float expected[8] = {6, 5, 8, 7, 3, 4, 1, 2};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(info.CalValues[i], expected[i]) << i;
    bytes.resize(40);
    CBufferReader shortReader(ToBuffer(bytes));
    EXPECT_EQ(DecodeSensorHeader(shortReader, info), E_BUFFER_EXTRACTION_OVERRUN);
}

TEST(ParameterRecords, SensorInfoCopiesSmallRecordsAndDeviceWords)
{
    sSensorInfo info;
    info.SensorId = 3;
    info.Parameters.SetSize(3);
    info.Parameters[1].ParameterNumber = 7;
    EXPECT_EQ(info.FindParameter(7), 1);
    sSensorInfo copy;
    copy = info;
    copy = *&copy;
    info.Clear();
    EXPECT_EQ(info.SensorId, 0);
    EXPECT_EQ(info.FindParameter(7), -1);
    EXPECT_EQ(copy.SensorId, 3);
    EXPECT_EQ(copy.FindParameter(7), 1);
    EXPECT_EQ(sFileCommand(FILECMD_READ, 3).Command, 0xF000);
    // Device words: the serial configuration and version numbers.
    uint32_t mode = 9, baud = 9, dataBits = 9, parity = 9, stopBits = 9;
    DecodeSerialConfigWord(0x0003, mode, baud, dataBits, parity, stopBits);
    EXPECT_EQ(mode, 1u);
    EXPECT_EQ(baud, 6u);
    EXPECT_EQ(dataBits, 0u);
    DecodeSerialConfigWord(0x00F6, mode, baud, dataBits, parity, stopBits);
    EXPECT_EQ(mode, 0u);
    EXPECT_EQ(baud, 8u);
    EXPECT_EQ(dataBits, 1u);
    EXPECT_EQ(parity, 3u);
    EXPECT_EQ(stopBits, 1u);
    DecodeSerialConfigWord(0x000E, mode, baud, dataBits, parity, stopBits);
    EXPECT_EQ(baud, 12u) << "the rates above 57600 baud keep their id through bit 3";
    EXPECT_EQ(std::u16string(FormatVersionText(7)), u"0.07");
    EXPECT_EQ(std::u16string(FormatVersionText(65535)), u"Unknown");
    EXPECT_EQ(std::u16string(GetVersionText(12345)), u"123.45");
}
