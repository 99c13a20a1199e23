// The number popups of the sensor setup without their windows: the barometric entry with its two
// quantities, units and remembered choices, the salinity range and the value entry's limits.
#include <gtest/gtest.h>

#include <cfloat>

#include "calibration/data/BaroEntry.h"
#include "connection/AppProfile.h"
#include "tests/app_core/ConnectionTestSupport.h"
#include "tests/support/TestEnvironment.h"
#include "ui/NumberEntry.h"

namespace apptest
{
namespace
{

constexpr int kPsiIndex = 0;
constexpr int kMilliBarIndex = 4;
constexpr int kFootIndex = 4;

double Number(const CWideString& text)
{
    return ReadTypedNumber(text).value_or(-1e300);
}

class BaroEntryTest : public ::testing::Test
{
protected:
    CBaroEntry Opened(double mbar = 1013.25)
    {
        CBaroEntry entry;
        entry.SetPressureMbar(mbar);
        entry.Open();
        return entry;
    }

    testsupport::ScopedConfigDir m_config;
};

TEST_F(BaroEntryTest, EitherQuantityTypedGivesTheOtherByTheStandardAtmosphere)
{
    CBaroEntry entry = Opened(900.0);
    EXPECT_EQ(entry.GetMode(), BARO_MODE_PRESSURE);
    EXPECT_EQ(Text(entry.GetPressureText()), u"900.000") << "six significant digits";
    EXPECT_EQ(Text(entry.TypePressure(u"1013.25")), u"1013.25");
    EXPECT_NEAR(Number(entry.GetElevationText()), 0.0, 0.01);
    EXPECT_TRUE(entry.IsValid());

    entry.SelectMode(BARO_MODE_ELEVATION);
    entry.TypeElevation(u"1000");
    EXPECT_NEAR(Number(entry.GetPressureText()), 898.7, 0.1);
    EXPECT_NEAR(entry.GetPressureMbar(), 898.7, 0.1);
    EXPECT_TRUE(entry.IsValid());
    EXPECT_EQ(Text(entry.TypeElevation(u"-100")), u"-100") << "a site below sea level";
    EXPECT_GT(Number(entry.GetPressureText()), 1013.25);
}

TEST_F(BaroEntryTest, AnEntryOutOfRangeOrNotYetANumberEmptiesTheOtherAndRefusesOk)
{
    CBaroEntry entry = Opened();
    entry.TypePressure(u"2000");
    EXPECT_TRUE(entry.GetElevationText().IsEmpty());
    EXPECT_FALSE(entry.IsValid());
    entry.TypePressure(u"");
    EXPECT_FALSE(entry.IsValid());

    // 1013 stays in the edit, now in PSI: beyond the highest pressure.
    entry.TypePressure(u"1013");
    EXPECT_TRUE(entry.IsValid());
    entry.SelectPressureUnit(kPsiIndex);
    EXPECT_EQ(entry.GetPressureUnit(), 17);
    EXPECT_EQ(Text(entry.GetPressureText()), u"1013");
    EXPECT_TRUE(entry.GetElevationText().IsEmpty());
    EXPECT_FALSE(entry.IsValid());

    entry.SelectMode(BARO_MODE_ELEVATION);
    entry.TypeElevation(u"-");
    EXPECT_TRUE(entry.GetPressureText().IsEmpty()) << "a lone minus is no elevation yet";
    EXPECT_FALSE(entry.IsValid());
}

TEST_F(BaroEntryTest, LettersAndAMinusAreRefusedInThePressureButAMinusIsTakenInTheElevation)
{
    CBaroEntry entry = Opened();
    entry.TypePressure(u"950");
    EXPECT_EQ(Text(entry.TypePressure(u"950x")), u"950");
    EXPECT_EQ(Text(entry.TypePressure(u"-950")), u"950");
    EXPECT_EQ(Text(entry.TypePressure(u"950.5.")), u"950") << "one separator only";
    EXPECT_EQ(Text(entry.TypePressure(u"123456789")), u"950") << "eight characters at most";
    EXPECT_EQ(Text(entry.TypeElevation(u"-12")), u"-12");
    EXPECT_EQ(Text(entry.TypeElevation(u"-12e")), u"-12");
}

TEST_F(BaroEntryTest, TheRangesAreShownInTheChosenUnitsToFiveDigits)
{
    CBaroEntry entry = Opened();
    EXPECT_EQ(Text(entry.GetPressureRangeText()), u"(506.68 to 1114.5 mBar)");
    EXPECT_EQ(Text(entry.GetElevationRangeText()), u"(-811.03 to 5476.4 m)");
    entry.SelectElevationUnit(kFootIndex);
    EXPECT_EQ(Text(entry.GetElevationRangeText()), u"(-2660.9 to 17967 ft)");
    // A value typed from the label is taken.
    entry.TypePressure(u"1114.5");
    EXPECT_TRUE(entry.IsValid());
}

TEST_F(BaroEntryTest, ReopeningShowsTheUnitsAndModeLastChosenAndAStoredForeignUnitGivesWay)
{
    {
        CBaroEntry entry = Opened();
        entry.SelectPressureUnit(kPsiIndex);
        entry.SelectElevationUnit(kFootIndex);
        entry.SelectMode(BARO_MODE_ELEVATION);
    }
    CBaroEntry entry = Opened();
    EXPECT_EQ(entry.GetPressureUnitIndex(), kPsiIndex);
    EXPECT_EQ(entry.GetElevationUnit(), 38);
    EXPECT_EQ(entry.GetMode(), BARO_MODE_ELEVATION);
    EXPECT_NEAR(Number(entry.GetPressureText()), 14.6959, 1e-3);

    WriteProfileInt(PROFILE_SECTION_SENSORS, PROFILE_LAST_BARO_UNITS, 35);
    WriteProfileInt(PROFILE_SECTION_SENSORS, PROFILE_USE_BARO_TYPE, 7);
    entry = Opened();
    EXPECT_EQ(entry.GetPressureUnitIndex(), kMilliBarIndex);
    EXPECT_EQ(GetProfileInt(PROFILE_SECTION_SENSORS, PROFILE_LAST_BARO_UNITS, 0), 21);
    EXPECT_EQ(entry.GetMode(), BARO_MODE_PRESSURE);
}

TEST(NumberEntry, SalinityIsTakenFromZeroTo350)
{
    EXPECT_TRUE(IsSalinityTextValid(u"0"));
    EXPECT_TRUE(IsSalinityTextValid(u"350"));
    EXPECT_TRUE(IsSalinityTextValid(u"35."));
    EXPECT_FALSE(IsSalinityTextValid(u"350.5"));
    EXPECT_FALSE(IsSalinityTextValid(CWideString()));
    EXPECT_FALSE(IsSalinityTextValid(u"."));
}

TEST(NumberEntry, TheValueEntryTakesANumberWithinItsLimitsAndAnEmptyTextAsZero)
{
    EXPECT_FALSE(IsEntryValueAccepted(u"300", 1.0f, 247.0f));
    EXPECT_TRUE(IsEntryValueAccepted(u"30", 1.0f, 247.0f));
    EXPECT_TRUE(IsEntryValueAccepted(CWideString(), -FLT_MAX, FLT_MAX));
    EXPECT_EQ(ReadEntryValue(CWideString()), 0.0f);
    EXPECT_TRUE(IsEntryValueAccepted(u"-1234567.5", -FLT_MAX, FLT_MAX));
    EXPECT_FALSE(IsEntryValueAccepted(u"-", -FLT_MAX, FLT_MAX)) << "a sign alone is no number";
    EXPECT_FALSE(IsEntryValueAccepted(u"1e39", -FLT_MAX, FLT_MAX)) << "beyond a float";
}

} // namespace
} // namespace apptest
