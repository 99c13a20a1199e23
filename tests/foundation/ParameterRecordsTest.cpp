#include <bit>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/Bytes.h"

#include "foundation/ParameterRecords.h"
#include "foundation/ResultCodes.h"

namespace
{

void PutU16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    PutU16(out, static_cast<uint16_t>(v >> 16));
    PutU16(out, static_cast<uint16_t>(v));
}

void PutFloat(std::vector<uint8_t>& out, float v)
{
    PutU32(out, std::bit_cast<uint32_t>(v));
}

CByteBuffer Buffer(const std::vector<uint8_t>& bytes)
{
    return testsupport::ToBuffer(bytes);
}

sParameterReading Reading(USHORT number)
{
    sParameterReading r;
    r.ParameterNumber = number;
    return r;
}

} // namespace

TEST(ParameterReading, StartsInvalidAndCopiesEveryField)
{
    const sParameterReading fresh;
    EXPECT_EQ(fresh.Status, E_FAIL);
    EXPECT_EQ(fresh.ReadingTime, (SYSTEMTIME{1970, 1, 4, 1, 0, 0, 0, 0}));
    EXPECT_EQ(fresh.Value, 0.0f);
    EXPECT_EQ(fresh.UnitId, 0);

    // Arrays value-initialise their new elements: each is a reset reading.
    CDynArray<sParameterReading> readings;
    readings.SetSize(2);
    EXPECT_EQ(readings[1].Status, E_FAIL);

    sParameterReading r;
    r.Address = 7;
    r.SerialNumber = 0xDEADBEEF;
    r.Value = 21.5f;
    r.ReadingTime.wYear = 2024;
    r.Status = S_OK;
    const sParameterReading copy = r;
    EXPECT_EQ(copy.Address, 7);
    EXPECT_EQ(copy.SerialNumber, 0xDEADBEEFu);
    EXPECT_EQ(copy.Value, 21.5f);
    EXPECT_EQ(copy.ReadingTime.wYear, 2024);
    EXPECT_EQ(copy.Status, S_OK);
    r.Reset();
    EXPECT_EQ(r.Status, E_FAIL);
    EXPECT_EQ(r.Address, 0);
}

TEST(ParameterReading, DecodesTheBlockInRegisterOrder)
{
    std::vector<uint8_t> bytes;
    PutFloat(bytes, 12.25f);
    PutU16(bytes, 1);      // parameter id
    PutU16(bytes, 2);      // unit id
    PutU16(bytes, 0x0014); // quality
    PutFloat(bytes, -99999.0f);
    PutU16(bytes, 0x0003);
    CBufferReader reader(Buffer(bytes));
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
    EXPECT_EQ(units[0], 1);
    EXPECT_EQ(units[1], 2);
    r.AvailableUnits = 0;
    EXPECT_EQ(GetParameterUnitIds(r).GetCount(), 0u);

    bytes.pop_back();
    CBufferReader shortReader(Buffer(bytes));
    EXPECT_EQ(DecodeParameterBlock(shortReader, r), E_BUFFER_EXTRACTION_OVERRUN);
}

TEST(SensorInfo, DecodesTheHeaderWithItsCalibrationOrder)
{
    std::vector<uint8_t> bytes;
    PutU16(bytes, 21);        // sensor id
    PutU32(bytes, 123456789); // serial number
    PutU16(bytes, 0xFFFF);    // dropped
    for (uint32_t stamp = 1; stamp <= 4; ++stamp)
    {
        PutU32(bytes, 1000 * stamp);
        PutU16(bytes, static_cast<uint16_t>(stamp));
    }
    PutU16(bytes, 500); // warm-up
    PutU16(bytes, 250); // fastest sample rate
    PutU16(bytes, 4);   // parameters
    PutU16(bytes, 19);
    PutU16(bytes, 20);
    for (int i = 1; i <= 8; ++i)
        PutFloat(bytes, static_cast<float>(i));
    ASSERT_EQ(bytes.size(), 74u);

    sSensorInfo info;
    info.Address = 9;
    CBufferReader reader(Buffer(bytes));
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
    CBufferReader shortReader(Buffer(bytes));
    EXPECT_EQ(DecodeSensorHeader(shortReader, info), E_BUFFER_EXTRACTION_OVERRUN);
}

TEST(SensorInfo, CopiesClearsAndFindsParameters)
{
    sSensorInfo info;
    info.SensorId = 3;
    info.CalValues[7] = 1.5f;
    info.LastUserCalDate.Set(55, 1);
    for (USHORT n : {1, 2, 3})
        info.Parameters.Add(Reading(n));
    EXPECT_EQ(info.FindParameter(2), 1);
    EXPECT_EQ(info.FindParameter(5), -1);

    sSensorInfo copy;
    copy.Parameters.Add(Reading(9));
    copy = info;
    EXPECT_EQ(copy.SensorId, 3);
    EXPECT_EQ(copy.CalValues[7], 1.5f);
    EXPECT_EQ(copy.LastUserCalDate, CDeviceTimestamp(55, 1));
    ASSERT_EQ(copy.Parameters.GetCount(), 3u);
    EXPECT_EQ(copy.Parameters[2].ParameterNumber, 3);
    const sSensorInfo& alias = copy;
    copy = alias;
    EXPECT_EQ(copy.Parameters.GetCount(), 3u);

    const sSensorInfo constructed(info);
    EXPECT_EQ(constructed.Parameters.GetCount(), 3u);

    info.Clear();
    EXPECT_EQ(info.SensorId, 0);
    EXPECT_EQ(info.CalValues[7], 0.0f);
    EXPECT_EQ(info.LastUserCalDate, CDeviceTimestamp());
    EXPECT_EQ(info.FindParameter(1), -1);
    EXPECT_EQ(copy.Parameters.GetCount(), 3u);
}

TEST(ParameterRecords, SmallRecordsStartAsDocumented)
{
    CDynArray<sParamSelection> selections;
    selections.SetSize(2);
    EXPECT_EQ(selections[1].Connection, 1);
    EXPECT_EQ(selections[1].ParameterNumber, 1);

    const sFileCommand read(FILECMD_READ, 3);
    EXPECT_EQ(read.Command, 0xF000);
    EXPECT_EQ(read.FileNumber, 3);
    EXPECT_EQ(read.Size, 0u);
    EXPECT_EQ(read.Start, CDeviceTimestamp());
    const sFileCommand write(FILECMD_WRITE, 65003, 4096);
    EXPECT_EQ(write.Size, 4096u);
}

TEST(ParameterRecords, DeviceWordDecoders)
{
    uint32_t mode = 9, baud = 9, dataBits = 9, parity = 9, stopBits = 9;
    DecodeSerialConfigWord(0x0003, mode, baud, dataBits, parity, stopBits);
    EXPECT_EQ(mode, 1u);
    EXPECT_EQ(baud, 6u);
    EXPECT_EQ(dataBits, 0u);
    EXPECT_EQ(parity, 0u);
    EXPECT_EQ(stopBits, 0u);
    DecodeSerialConfigWord(0x00F6, mode, baud, dataBits, parity, stopBits);
    EXPECT_EQ(mode, 0u);
    EXPECT_EQ(baud, 8u);
    EXPECT_EQ(dataBits, 1u);
    EXPECT_EQ(parity, 3u);
    EXPECT_EQ(stopBits, 1u);

    EXPECT_EQ(std::u16string(FormatVersionText(150)), u"1.50");
    EXPECT_EQ(std::u16string(FormatVersionText(65534)), u"655.34");
    EXPECT_EQ(std::u16string(FormatVersionText(65535)), u"Unknown");
    EXPECT_EQ(std::u16string(FormatVersionText(7)), u"0.07");
    EXPECT_EQ(std::u16string(GetVersionText(5)), u"0.05");
    EXPECT_EQ(std::u16string(GetVersionText(12345)), u"123.45");
    // The rates above 57600 baud keep their id through bit 3.
    DecodeSerialConfigWord(0x000E, mode, baud, dataBits, parity, stopBits);
    EXPECT_EQ(baud, 12u);
}
