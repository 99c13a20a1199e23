// The short names of the gauge and absolute pressure and PCTD sensors: every translation drops the
// (G)/(A) mark, and gives the range in metres or in feet as its table does.
#include <string>

#include <gtest/gtest.h>

#include "tests/strings/TranslatedTables.h"

namespace stringstest
{
namespace
{

struct ShortName
{
    StringId id;
    std::u16string feet;   // the range of the English name
    std::u16string metres; // the same range in metres, as the long sensor names give it
};

const ShortName kShortNames[] = {
    {10254, u"11.5", u"3.5"},    {10255, u"35", u"11"},       {10256, u"69", u"21"},
    {10257, u"231", u"70"},      {10258, u"692", u"211"},     {10259, u"1153", u"351"},
    {10260, u"2306.4", u"703"},  {10261, u"35.8", u"10.9"},   {10262, u"197.3", u"60.1"},
    {10263, u"658.7", u"200.7"}, {10264, u"1120", u"341.3"},  {10266, u"11.5", u"3.5"},
    {10267, u"35", u"11"},       {10268, u"69", u"21"},       {10269, u"231", u"70"},
    {10270, u"692", u"211"},     {10271, u"1153", u"351"},    {10273, u"35.8", u"10.9"},
    {10274, u"197.3", u"60.1"},  {10275, u"658.7", u"200.7"}, {10276, u"1120", u"341.3"},
    {10284, u"100", u"30"},      {10285, u"250", u"76"},      {10286, u"30", u"9"},
    {10295, u"35", u"11"},       {10296, u"70", u"21"},       {10297, u"173", u"52"},
};

bool IsDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || c == u'.';
}

// The number standing alone (not part of a longer one), followed by one of the unit's spellings,
// with or without a space between.
bool HasRange(const std::u16string& text, const std::u16string& number,
              std::initializer_list<std::u16string> units)
{
    for (size_t at = text.find(number); at != std::u16string::npos; at = text.find(number, at + 1))
    {
        if (at > 0 && IsDigit(text[at - 1]))
            continue;
        size_t end = at + number.size();
        if (end < text.size() && text[end] == u' ')
            ++end;
        for (const std::u16string& unit : units)
            if (text.compare(end, unit.size(), unit) == 0 &&
                (end + unit.size() == text.size() || !IsDigit(text[end + unit.size()])))
                return true;
    }
    return false;
}

bool InMetres(const std::u16string& text, const ShortName& name)
{
    return HasRange(text, name.metres, {u"m", u"м"}) && text.find(u"ft") == std::u16string::npos;
}

bool InFeet(const std::u16string& text, const ShortName& name)
{
    return HasRange(text, name.feet, {u"ft"});
}

TEST(PressureShortNames, CarryAMarkAndARangeInFeetInEnglish)
{
    for (const ShortName& name : kShortNames)
    {
        const std::u16string english = EnglishText(name.id);
        EXPECT_TRUE(english.find(u"(G)") != std::u16string::npos ||
                    english.find(u"(A)") != std::u16string::npos)
            << name.id;
        EXPECT_TRUE(InFeet(english, name)) << name.id;
    }
}

class PressureNames : public testing::TestWithParam<TranslatedTable>
{
};

TEST_P(PressureNames, DropTheMarkAndGiveTheRangeInTheTablesUnit)
{
    int metres = 0;
    for (const ShortName& name : kShortNames)
    {
        const std::u16string text = TextOf(GetParam().entries, name.id);
        EXPECT_EQ(text.find(u"(G)"), std::u16string::npos) << name.id << ": " << Utf8(text);
        EXPECT_EQ(text.find(u"(A)"), std::u16string::npos) << name.id << ": " << Utf8(text);
        switch (GetParam().pressureRange)
        {
        case PressureRange::Metres:
            EXPECT_TRUE(InMetres(text, name)) << name.id << ": " << Utf8(text);
            break;
        case PressureRange::Feet:
            EXPECT_TRUE(InFeet(text, name)) << name.id << ": " << Utf8(text);
            break;
        case PressureRange::MostlyMetres:
            EXPECT_TRUE(InMetres(text, name) || InFeet(text, name)) << name.id << ": " << Utf8(text);
            break;
        }
        metres += InMetres(text, name) ? 1 : 0;
    }
    if (GetParam().pressureRange == PressureRange::MostlyMetres)
    {
        EXPECT_GT(metres, static_cast<int>(std::size(kShortNames)) / 2);
        EXPECT_LT(metres, static_cast<int>(std::size(kShortNames)));
    }
}

INSTANTIATE_TEST_SUITE_P(AllTables, PressureNames, testing::ValuesIn(kTranslatedTables), TableName);

} // namespace
} // namespace stringstest
