// The choices that let a calibration page go on and the elapsed-time text, without a window.
#include <gtest/gtest.h>

#include "calibration/data/CalTypes.h"
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

} // namespace
