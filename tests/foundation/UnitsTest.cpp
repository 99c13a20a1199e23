#include <cmath>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/NameLookups.h"
#include "foundation/Units.h"

namespace
{

double Convert(UnitId from, UnitId to, double value)
{
    double out = NAN;
    EXPECT_TRUE(ConvertUnits(FromUnit{from}, out, ToUnit{to}, value)) << from << " -> " << to;
    return out;
}

void ExpectRelative(double actual, double expected, double tolerance)
{
    EXPECT_NEAR(actual, expected, std::fabs(expected) * tolerance);
}

// The groups within which every pair converts; every other pair of distinct ids is refused.
const std::vector<std::vector<UnitId>> kConvertibleGroups = {
    {1, 2, 3},                                                              // temperature
    {17, 18, 19, 20, 21, 22, 23, 24, 25},                                   // pressure but Torr, atm
    {33, 34, 35, 36, 37, 38},                                               // length
    {49, 50, 51},                                                           // angle
    {65, 66},                                                               // conductivity
    {113, 114},                                                             // ppm, ppt
    {117, 118},                                                             // mg/L, µg/L
    {161, 162, 163},                                                        // voltage
    {193, 194, 195},                                                        // turbidity
    {209, 210, 211, 212, 213, 214, 215, 216, 217, 218, 219, 220, 221, 222}, // flow rate
    {225, 226, 227, 228, 229, 230},                                         // volume but ml
};

} // namespace

TEST(ConvertUnits, AgreesWithThePublishedDefinitions)
{
    // The source unit comes first, the target after the output.
    ExpectRelative(Convert(17, 19, 1.0), 6.894757, 1e-9); // 1 psi = 6.894757 kPa
    ExpectRelative(Convert(20, 22, 1.0), 750.0616, 1e-6); // 1 bar = 750.0616 mmHg
    ExpectRelative(Convert(25, 24, 1.0), 2.54, 1e-5);     // an inch of water is 2.54 cm of it
    EXPECT_NEAR(Convert(2, 1, 212.0), 100.0, 1e-12);      // water boils
    EXPECT_NEAR(Convert(1, 2, -40.0), -40.0, 1e-12);      // the scales cross
    ExpectRelative(Convert(38, 35, 1.0), 0.3048, 1e-7);   // 1 ft = 0.3048 m
    ExpectRelative(Convert(38, 37, 1.0), 12.0, 1e-6);     // between two non-base units
    ExpectRelative(Convert(66, 65, 1.413), 1413.0, 1e-12);
    ExpectRelative(Convert(226, 229, 1.0), 3.7856, 1e-3); // a U.S. gallon is 3.785 l
    EXPECT_EQ(Convert(193, 195, 5.0), 5.0);               // turbidity units are one quantity
    for (UnitId unit : {0, 26, 231, 999, 65535})
        EXPECT_EQ(Convert(unit, unit, -12.5), -12.5) << "equal ids copy the value: " << unit;
}

TEST(ConvertUnits, ConvertsExactlyWithinTheDocumentedGroupsAndRefusesEveryOtherPair)
{
    std::set<std::pair<UnitId, UnitId>> convertible;
    for (const auto& group : kConvertibleGroups)
        for (UnitId a : group)
            for (UnitId b : group)
                convertible.insert({a, b});

    for (UnitId from = 0; from <= 260; ++from)
    {
        for (UnitId to = 0; to <= 260; ++to)
        {
            if (from == to)
                continue;
            double out = 1234.5;
            const BOOL converted = ConvertUnits(FromUnit{from}, out, ToUnit{to}, 10.0);
            ASSERT_EQ(converted != FALSE, convertible.count({from, to}) != 0) << from << " -> " << to;
            ASSERT_TRUE(converted || out == 1234.5)
                << "a refused conversion wrote its output: " << from << " -> " << to;
        }
    }
}

TEST(GetUnitClassBase, GivesANamedBaseUnitForEachParameterWithAClass)
{
    EXPECT_EQ(GetUnitClassBase(30), 17); // partial pressure oxygen
    EXPECT_EQ(GetUnitClassBase(27), 33); // head
    EXPECT_EQ(GetUnitClassBase(61), 257);
    for (ParameterId none : {0, 15, 43, 62, 64, 5000, 65535})
        EXPECT_EQ(GetUnitClassBase(none), 0) << none;

    for (ParameterId parameter = 1; parameter <= 61; ++parameter)
    {
        const UnitId base = GetUnitClassBase(parameter);
        if (base == 0)
            continue;
        EXPECT_EQ((base - 1) % 16, 0) << parameter;
        EXPECT_NE(std::u16string(GetUnitAbbreviation(base)), u"Unknown") << parameter;
    }
}
