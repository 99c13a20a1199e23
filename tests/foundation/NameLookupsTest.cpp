#include <set>
#include <string>

#include <gtest/gtest.h>

#include "foundation/NameLookups.h"
#include "foundation/SystemStrings.h"

namespace
{

std::u16string S(const CWideString& text)
{
    return text.IsEmpty() ? std::u16string() : std::u16string(text);
}

class NameLookups : public testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(SetSystemStringTable(g_SystemStrings_English), S_OK); }
};

} // namespace

// A row left out of a generated table would leave a zero row at its end: every row is checked.
TEST(NameTables, EveryRowIsFilledAndPointsIntoTheStringTable)
{
    for (uint32_t row = 0; row < PARAMETER_NAME_ROWS; ++row)
    {
        if (row >= 64)
            EXPECT_EQ(ParameterNameIds[row], 0u) << row;
        else
            EXPECT_TRUE(ParameterNameIds[row] >= 10000 && ParameterNameIds[row] <= 10805) << row;
    }
    for (StringId id : SensorTypeNameIds)
        EXPECT_TRUE(id >= 10000 && id <= 10805) << id;
    for (StringId id : QualityNameIds)
        EXPECT_TRUE(id >= 10487 && id <= 10494) << id;
    for (StringId id : LogStatusNameIds)
        EXPECT_TRUE(id == 10045 || (id >= 10511 && id <= 10521)) << id;

    std::set<UnitId> units;
    for (const sUnitAbbreviationRow& row : UnitAbbreviationIds)
    {
        EXPECT_TRUE(units.insert(row.unitId).second) << row.unitId;
        EXPECT_TRUE(row.stringId >= 10000 && row.stringId <= 10805) << row.unitId;
    }
    EXPECT_EQ(units.size(), UNIT_ABBREVIATION_ROWS);
    EXPECT_EQ(*units.rbegin(), 257);

    std::set<DeviceTypeId> types;
    for (const sDeviceModelName& row : DeviceModelNames)
    {
        EXPECT_TRUE(types.insert(row.deviceTypeId).second) << row.deviceTypeId;
        ASSERT_NE(row.name, nullptr) << row.deviceTypeId;
    }
    EXPECT_EQ(types.size(), DEVICE_MODEL_NAME_ROWS);
    EXPECT_EQ(DeviceModelNames[0].deviceTypeId, 0);
    EXPECT_EQ(DeviceModelNames[DEVICE_MODEL_NAME_ROWS - 1].deviceTypeId, 32771);
}

TEST_F(NameLookups, SensorTypeNames)
{
    EXPECT_EQ(S(GetSensorTypeName(1)), u"Temperature");
    EXPECT_EQ(S(GetSensorTypeName(42)), u"Voxeline (VOX)");
    EXPECT_EQ(S(GetSensorTypeName(46)), u"pH"); // the ids placed ahead of their neighbours
    EXPECT_EQ(S(GetSensorTypeName(47)), u"ORP");
    EXPECT_EQ(S(GetSensorTypeName(85)), u"Conductivity");
    EXPECT_EQ(S(GetSensorTypeName(5000)), u"Baro-Adjustment Calc");
    for (SensorId unknown : {0, 73, 86, 4999, 5001, 65535})
        EXPECT_EQ(S(GetSensorTypeName(unknown)), u"Unknown") << unknown;
}

TEST_F(NameLookups, ParameterNames)
{
    EXPECT_EQ(S(GetParameterIdName(1)), u"Temperature");
    EXPECT_EQ(S(GetParameterIdName(22)), u"Nitrate (NO3\u0304 - N)");
    EXPECT_EQ(S(GetParameterIdName(30)), u"Partial Pressure Oxygen");
    EXPECT_EQ(S(GetParameterIdName(63)), u"BaroCalc Depth");
    EXPECT_EQ(S(GetParameterIdName(64)), u"");
    EXPECT_EQ(S(GetParameterIdName(5000)), u"");
    for (ParameterId unknown : {0, 65, 4999, 5001, 65535})
        EXPECT_EQ(S(GetParameterIdName(unknown)), u"Unknown") << unknown;
}

TEST_F(NameLookups, UnitAbbreviations)
{
    EXPECT_EQ(S(GetUnitAbbreviation(1)), u"C");
    EXPECT_EQ(S(GetUnitAbbreviation(27)), u"atm");
    EXPECT_EQ(S(GetUnitAbbreviation(65)), u"\u00B5S/cm");
    EXPECT_EQ(S(GetUnitAbbreviation(98)), u"ppt");
    EXPECT_EQ(S(GetUnitAbbreviation(177)), u"%Sat");
    EXPECT_EQ(S(GetUnitAbbreviation(231)), u"ml");
    EXPECT_EQ(S(GetUnitAbbreviation(257)), u"RFU");
    for (UnitId unknown : {0, 4, 28, 232, 258})
        EXPECT_EQ(S(GetUnitAbbreviation(unknown)), u"Unknown") << unknown;
}

TEST_F(NameLookups, ReadingQualityShowsTheCountUnlessItIsZero)
{
    EXPECT_EQ(S(FormatReadingQuality(0x0000)), u"Normal");
    EXPECT_EQ(S(FormatReadingQuality(0x0031)), u"User Cal Expired[3]");
    EXPECT_EQ(S(FormatReadingQuality(0x0002)), u"Factory Cal Expired");
    EXPECT_EQ(S(FormatReadingQuality(0x0A06)), u"Sensor Calibrating[160]");
    EXPECT_EQ(S(FormatReadingQuality(0xFFF7)), u"Sensor Offline[4095]");
    EXPECT_EQ(S(FormatReadingQuality(0x0009)), u"Unknown");
    EXPECT_EQ(S(FormatReadingQuality(0x00F8)), u"Unknown");
}

TEST_F(NameLookups, LogStatusNames)
{
    EXPECT_EQ(S(GetLogStatusName(1)), u"Invalid Header");
    EXPECT_EQ(S(GetLogStatusName(12)), u"Running");
    EXPECT_EQ(S(GetLogStatusName(15)), u"Deleted");
    for (uint32_t unknown : {0u, 6u, 9u, 16u, 0xFFFFFFFFu})
        EXPECT_EQ(S(GetLogStatusName(unknown)), u"Unknown") << unknown;
}

TEST(DeviceModelNames, GivesTheFirstRowOfATypeAndUnknownForTheRest)
{
    EXPECT_EQ(std::u16string(GetDeviceModelName(12)), u"VOX PRO");
    EXPECT_EQ(std::u16string(GetDeviceModelName(18)), u"Marisk 400");
    EXPECT_EQ(std::u16string(GetDeviceModelName(39)), u"VOX Instrument IC");
    EXPECT_EQ(std::u16string(GetDeviceModelName(32771)), u"Bluetooth Communication Device");
    EXPECT_EQ(std::u16string(GetDeviceModelName(28)), u"");
    for (DeviceTypeId unknown : {32, 38, 101, 32772, 65535})
        EXPECT_EQ(std::u16string(GetDeviceModelName(unknown)), u"Unknown") << unknown;
}
