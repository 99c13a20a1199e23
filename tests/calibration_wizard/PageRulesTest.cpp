// The choices that let a calibration page go on, the barometric entry behind its page, and the
// elapsed-time text, without a window.
#include <gtest/gtest.h>

#include "calibration/data/CalTypes.h"
#include "calibration/wizard/BaroEntry.h"
#include "calibration/wizard/CalPageRules.h"
#include "platform/Utf.h"

namespace
{

std::string Utf8(const CWideString& text)
{
    const char16_t* units = text;
    return units != nullptr ? platform::Utf16ToUtf8(units) : std::string();
}

TEST(StandardChoice, EachKindTakesOnlyItsOwnStandardsAndOrpAValueThatIsMoreThanSigns)
{
    EXPECT_FALSE(IsConductivityStandardValid(CAL_SOLUTION_ZOBELL, u"500")) << "not a conductivity standard";
    EXPECT_TRUE(IsOrpStandardValid(CAL_SOLUTION_ZOBELL, u""));
    EXPECT_TRUE(IsOrpStandardValid(CAL_SOLUTION_USER, u"-250"));
    for (const char16_t* refused : {u"", u"-", u".", u"-."})
        EXPECT_FALSE(IsOrpStandardValid(CAL_SOLUTION_USER, refused)) << platform::Utf16ToUtf8(refused);
}

TEST(VoxChoice, PointTwoIsNoneOrTheOtherSaturation)
{
    EXPECT_TRUE(IsVoxPointChoiceValid(CAL_SOLUTION_DO_100, CAL_SOLUTION_NONE));
    EXPECT_TRUE(IsVoxPointChoiceValid(CAL_SOLUTION_DO_100, CAL_SOLUTION_DO_0));
    EXPECT_FALSE(IsVoxPointChoiceValid(CAL_SOLUTION_DO_100, CAL_SOLUTION_DO_100));
    EXPECT_FALSE(IsVoxPointChoiceValid(-1, CAL_SOLUTION_NONE));
    EXPECT_FALSE(IsVoxPointChoiceValid(CAL_SOLUTION_DO_100, -1));

    EXPECT_EQ(ParseSalinity(u"350"), 350.0f);
    EXPECT_EQ(ParseSalinity(u"0"), 0.0f);
    for (const char16_t* refused : {u"350.1", u"-1", u"", u"35 PSU", u"nan"})
        EXPECT_FALSE(ParseSalinity(refused).has_value()) << platform::Utf16ToUtf8(refused);
}

TEST(ElapsedText, MinutesAndSeconds)
{
    EXPECT_EQ(Utf8(DurationText(0)), "00:00");
    EXPECT_EQ(Utf8(DurationText(59999)), "00:59");
    EXPECT_EQ(Utf8(DurationText(61000)), "01:01");
    EXPECT_EQ(Utf8(DurationText(100ull * 60000)), "100:00");
    EXPECT_EQ(StabilityColor(CAL_STABILITY_NONE), 255u);
    EXPECT_EQ(StabilityColor(CAL_STABILITY_NOMINAL), 65535u);
    EXPECT_EQ(StabilityColor(CAL_STABILITY_FULL), 32768u);
    EXPECT_EQ(StabilityColor(5), 32768u);
}

TEST(BaroEntry, RangesFollowTheUnitToFiveDigits)
{
    CBaroEntry entry;
    EXPECT_EQ(Utf8(entry.PressureRangeText()), "(506.68 to 1114.5 mBar)");
    EXPECT_EQ(Utf8(entry.ElevationRangeText()), "(-811.03 to 5476.4 m)");
    entry.ChangePressureUnit(18);
    EXPECT_EQ(Utf8(entry.PressureRangeText()), "(50668 to 111450 Pa)");
    // Units the page does not offer fall back to the defaults.
    const CBaroEntry stored(26, 33, true);
    EXPECT_EQ(stored.PressureUnit(), 21);
    EXPECT_EQ(stored.ElevationUnit(), 35);
}

TEST(BaroEntry, TheCalibrationPressureIsInMillibarWhateverTheEntry)
{
    CBaroEntry entry;
    entry.Start(1013.25f);
    entry.SetPressureMode(false);
    entry.EnterElevation(u"1000");
    EXPECT_NEAR(entry.CalibrationPressureMbar(), 898.75f, 0.01f);
    // The number is kept and read in the new unit.
    entry.ChangeElevationUnit(38);
    EXPECT_EQ(Utf8(entry.ElevationText()), "1000");
    EXPECT_NEAR(entry.CalibrationPressureMbar(), 977.17f, 0.01f);
    EXPECT_TRUE(entry.IsValid());
    entry.SetPressureMode(true);
    entry.ChangePressureUnit(23);
    EXPECT_EQ(Utf8(entry.PressureText()), "") << "977 inHg is no site's pressure";
    EXPECT_FALSE(entry.IsValid());
}

TEST(BaroEntry, AnEntryEmptiedWhileTheOtherQuantityWasEnteredDoesNotPass)
{
    CBaroEntry entry;
    entry.Start(1013.25f);
    entry.ChangePressureUnit(18); // 1013.25 Pa: far above any site
    EXPECT_EQ(Utf8(entry.PressureText()), "");
    entry.SetPressureMode(false);
    EXPECT_EQ(Utf8(entry.PressureText()), "1013.25");
    EXPECT_EQ(Utf8(entry.ElevationText()), "");
    EXPECT_FALSE(entry.IsValid()) << "the kept pressure, 10 mBar, is no calibration pressure";
}

} // namespace
