// Status texts of both register-map generations and the parameter display names.
#include <gtest/gtest.h>

#include <string>

#include "connection/SensorStatusText.h"
#include "foundation/NameLookups.h"
#include "foundation/SystemStrings.h"
#include "tests/app_core/ConnectionTestSupport.h"

namespace apptest
{
namespace
{

TEST(StatusText, NamesTheCodeOfItsGeneration)
{
    const struct
    {
        USHORT code;
        USHORT version;
        const char16_t* text;
    } cases[] = {{0, 1, u"Normal"},
                 {4, 1, u"4 - Sensor Warm-Up"},
                 {4, 3, u"4 - Wiper Warning"},
                 {7, 3, u"7 - Sensor Missing"},
                 {8, 1, u"8 - Sensor Warning"},
                 {9, 3, u"9 - Probe Missing"},
                 // Past the version's table, or a version without one.
                 {9, 1, u"9 - Unknown"},
                 {10, 3, u"10 - Unknown"},
                 {5, 2, u"5 - Unknown"},
                 {0, 2, u"Unknown"}};
    for (const auto& expected : cases)
        EXPECT_EQ(Text(FormatSensorStatusText(expected.code, expected.version)), expected.text)
            << expected.code << " of version " << expected.version;
}

TEST(ParameterDisplayName, TheOpticalSensorsPartialPressureHasItsOwnName)
{
    LoadSystemStringTable();
    EXPECT_EQ(Text(GetParameterDisplayName(42, 2)), u"Partial Pressure Oxygen");
    EXPECT_NE(Text(GetParameterIdName(2)), u"Partial Pressure Oxygen");
    EXPECT_EQ(Text(GetParameterDisplayName(43, 2)), Text(GetParameterIdName(2)));
    // Without the string, the parameter's own name.
    ClearSystemStringTable();
    EXPECT_EQ(Text(GetParameterDisplayName(42, 2)), Text(GetParameterIdName(2)));
    LoadSystemStringTable();
}

} // namespace
} // namespace apptest
