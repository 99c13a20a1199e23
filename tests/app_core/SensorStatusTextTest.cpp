// Status texts of both register-map generations and the parameter display names.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "app/connection/SensorStatusText.h"
#include "foundation/NameLookups.h"
#include "foundation/SystemStrings.h"
#include "tests/app_core/ConnectionTestSupport.h"

namespace apptest
{
namespace
{

struct StatusCase
{
    USHORT code;
    USHORT version;
    const char16_t* text;
};

void PrintTo(const StatusCase& statusCase, std::ostream* os)
{
    *os << "code " << statusCase.code << " of version " << statusCase.version;
}

class StatusText : public ::testing::TestWithParam<StatusCase>
{
};

TEST_P(StatusText, NamesTheCodeOfItsGeneration)
{
    EXPECT_EQ(Text(FormatSensorStatusText(GetParam().code, GetParam().version)), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, StatusText,
    ::testing::Values(StatusCase{0, 1, u"Normal"}, StatusCase{0, 3, u"Normal"},
                      StatusCase{4, 1, u"4 - Sensor Warm-Up"}, StatusCase{4, 3, u"4 - Wiper Warning"},
                      StatusCase{5, 1, u"5 - Sensor Disabled"}, StatusCase{7, 3, u"7 - Sensor Missing"},
                      StatusCase{8, 1, u"8 - Sensor Warning"}, StatusCase{8, 3, u"8 - Probe Missing"},
                      StatusCase{9, 3, u"9 - Probe Missing"},
                      // Past the version's table, or a version without one.
                      StatusCase{9, 1, u"9 - Unknown"}, StatusCase{10, 3, u"10 - Unknown"},
                      StatusCase{5, 2, u"5 - Unknown"}, StatusCase{0, 2, u"Unknown"},
                      StatusCase{65535, 3, u"65535 - Unknown"}));

TEST(StatusText, TheWidestTextOfBothTablesSetsTheColumn)
{
    std::u16string widest;
    const int width = GetMaxStatusTextWidth(
        [&](const CWideString& text)
        {
            const std::u16string candidate = Text(text);
            if (candidate.size() > widest.size())
                widest = candidate;
            return static_cast<int>(candidate.size()) * 7;
        });
    EXPECT_EQ(widest, u"2 - Factory Cal. Expired");
    EXPECT_EQ(width, 7 * 24);
}

TEST(StatusText, EveryNamedCodeOfTheNewerTableHasItsDescriptionSlot)
{
    // The live data page finds a description by the index of the name it matched.
    EXPECT_EQ(std::u16string(g_StatusDescriptions[7]).rfind(u"Sensor communication failed", 0), 0u);
    EXPECT_EQ(std::u16string(g_StatusDescriptions[0]), u"");
    EXPECT_EQ(std::u16string(g_StatusDescriptions[9]), u"");
}

TEST(ParameterDisplayName, TheOpticalSensorsPartialPressureHasItsOwnName)
{
    LoadSystemStringTable();
    EXPECT_EQ(Text(GetParameterDisplayName(42, 2)), u"Partial Pressure Oxygen");
    EXPECT_EQ(Text(GetParameterDisplayName(43, 2)), Text(GetParameterIdName(2)));
    EXPECT_EQ(Text(GetParameterDisplayName(42, 20)), Text(GetParameterIdName(20)));
    EXPECT_NE(Text(GetParameterIdName(2)), u"Partial Pressure Oxygen");
    // Without the string, the parameter's own name.
    ClearSystemStringTable();
    EXPECT_EQ(Text(GetParameterDisplayName(42, 2)), Text(GetParameterIdName(2)));
    LoadSystemStringTable();
}

} // namespace
} // namespace apptest
