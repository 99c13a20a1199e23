#include <set>
#include <string>

#include <gtest/gtest.h>

#include "foundation/NameLookups.h"
#include "foundation/SystemStrings.h"
#include "tests/foundation/WideText.h"

using testsupport::Text;

namespace
{

bool InStringTable(StringId id)
{
    return id >= 10000 && id <= 10805;
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
    EXPECT_EQ(PARAMETER_NAME_ROWS, 66u);
    EXPECT_EQ(SENSOR_TYPE_NAME_ROWS, 87u);
    EXPECT_EQ(UNIT_ABBREVIATION_ROWS, 68u);
    EXPECT_EQ(QUALITY_NAME_ROWS, 8u);
    EXPECT_EQ(LOG_STATUS_NAME_ROWS, 16u);
    EXPECT_EQ(DEVICE_MODEL_NAME_ROWS, 44u);

    for (uint32_t row = 0; row < PARAMETER_NAME_ROWS; ++row)
        EXPECT_TRUE(row >= 64 ? ParameterNameIds[row] == 0 : InStringTable(ParameterNameIds[row])) << row;
    for (StringId id : SensorTypeNameIds)
        EXPECT_TRUE(InStringTable(id)) << id;
    for (StringId id : QualityNameIds)
        EXPECT_TRUE(id >= 10487 && id <= 10494) << id;
    for (StringId id : LogStatusNameIds)
        EXPECT_TRUE(id == 10045 || (id >= 10511 && id <= 10521)) << id;

    std::set<UnitId> units;
    for (const sUnitAbbreviationRow& row : UnitAbbreviationIds)
    {
        EXPECT_TRUE(units.insert(row.unitId).second) << row.unitId;
        EXPECT_TRUE(InStringTable(row.stringId)) << row.unitId;
    }
    EXPECT_EQ(*units.rbegin(), 257);

    std::set<DeviceTypeId> types;
    for (const sDeviceModelName& row : DeviceModelNames)
    {
        EXPECT_TRUE(types.insert(row.deviceTypeId).second) << row.deviceTypeId;
        ASSERT_NE(row.name, nullptr) << row.deviceTypeId;
    }
    EXPECT_EQ(DeviceModelNames[DEVICE_MODEL_NAME_ROWS - 1].deviceTypeId, 32771);
}

TEST_F(NameLookups, GiveTheNamesOfKnownIdsAndUnknownForTheRest)
{
    EXPECT_EQ(Text(GetSensorTypeName(46)), u"pH"); // the ids placed ahead of their neighbours
    EXPECT_EQ(Text(GetSensorTypeName(85)), u"Conductivity");
    EXPECT_EQ(Text(GetSensorTypeName(5000)), u"Baro-Adjustment Calc");
    for (SensorId unknown : {0, 73, 86, 4999, 65535})
        EXPECT_EQ(Text(GetSensorTypeName(unknown)), u"Unknown") << unknown;
    EXPECT_EQ(Text(GetParameterIdName(22)), u"Nitrate (NO3\u0304 - N)");
    EXPECT_EQ(Text(GetParameterIdName(64)), u"");
    EXPECT_EQ(Text(GetParameterIdName(5000)), u"");
    for (ParameterId unknown : {0, 65, 4999, 65535})
        EXPECT_EQ(Text(GetParameterIdName(unknown)), u"Unknown") << unknown;
    EXPECT_EQ(Text(GetUnitAbbreviation(65)), u"\u00B5S/cm");
    EXPECT_EQ(Text(GetUnitAbbreviation(177)), u"%Sat");
    EXPECT_EQ(Text(GetUnitAbbreviation(257)), u"RFU");
    for (UnitId unknown : {0, 4, 28, 258})
        EXPECT_EQ(Text(GetUnitAbbreviation(unknown)), u"Unknown") << unknown;
    EXPECT_EQ(Text(FormatReadingQuality(0x0000)), u"Normal");
    EXPECT_EQ(Text(FormatReadingQuality(0x0031)), u"User Cal Expired[3]");
    EXPECT_EQ(Text(FormatReadingQuality(0xFFF7)), u"Sensor Offline[4095]");
    EXPECT_EQ(Text(FormatReadingQuality(0x0009)), u"Unknown");
    EXPECT_EQ(Text(GetLogStatusName(1)), u"Invalid Header");
    EXPECT_EQ(Text(GetLogStatusName(15)), u"Deleted");
    for (uint32_t unknown : {0u, 6u, 16u, 0xFFFFFFFFu})
        EXPECT_EQ(Text(GetLogStatusName(unknown)), u"Unknown") << unknown;
    EXPECT_EQ(std::u16string(GetDeviceModelName(12)), u"VOX PRO");
    EXPECT_EQ(std::u16string(GetDeviceModelName(32771)), u"Bluetooth Communication Device");
    EXPECT_EQ(std::u16string(GetDeviceModelName(28)), u"");
    for (DeviceTypeId unknown : {32, 38, 32772, 65535})
        EXPECT_EQ(std::u16string(GetDeviceModelName(unknown)), u"Unknown") << unknown;
}
