// The communication settings word, against words worked out by hand from the documented layout.
#include <gtest/gtest.h>

#include <stdexcept>

#include "tools/probe-sim/LineSettings.h"

namespace probesim_test
{
namespace
{

using probesim::FramingMode;
using probesim::LineSettings;

TEST(LineSettingsWord, EncodesAndDecodesKnownWords)
{
    const struct
    {
        LineSettings settings;
        uint16_t word;
        const char* text;
    } cases[] = {
        {{FramingMode::Rtu, 6, 1, 0, 0}, 0x0012, "19200 8E1 RTU"},
        {{FramingMode::Ascii, 5, 0, 0, 0}, 0x0001, "9600 7E1 ASCII"},
        {{FramingMode::Rtu, 8, 1, 2, 1}, 0x00D6, "57600 8N2 RTU"},
        {{FramingMode::Ascii, 7, 1, 1, 0}, 0x0035, "38400 8O1 ASCII"},
        // Above 57600 baud the third bit of the baud field sits in bit 3.
        {{FramingMode::Rtu, 9, 1, 0, 0}, 0x0018, "115200 8E1 RTU"},
        {{FramingMode::Rtu, 12, 1, 0, 0}, 0x001E, "256000 8E1 RTU"},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(probesim::EncodeLineSettings(c.settings), c.word) << c.text;
        std::string problem;
        EXPECT_EQ(probesim::DecodeLineSettings(c.word, 12, problem), c.settings) << c.text << ": " << problem;
        EXPECT_EQ(probesim::Describe(c.settings), c.text);
    }
}

TEST(LineSettingsWord, RefusesWordsTheInstrumentCannotTake)
{
    std::string problem;
    EXPECT_FALSE(probesim::DecodeLineSettings(0x0002, 12, problem)); // RTU with 7 data bits
    EXPECT_EQ(problem, "RTU with 7 data bits");
    EXPECT_TRUE(probesim::DecodeLineSettings(0x0003, 12, problem));  // the same in ASCII is fine
    EXPECT_FALSE(probesim::DecodeLineSettings(0x0072, 12, problem)); // parity id 3
    EXPECT_FALSE(probesim::DecodeLineSettings(0x0112, 12, problem)); // a stop-bits id above 1
    // 57600 baud on an instrument that goes up to 19200 only.
    EXPECT_FALSE(probesim::DecodeLineSettings(0x0016, 6, problem));
    EXPECT_NE(problem.find("above the maximum 6"), std::string::npos) << problem;
    EXPECT_TRUE(probesim::DecodeLineSettings(0x0016, 8, problem));

    EXPECT_THROW(probesim::EncodeLineSettings({FramingMode::Rtu, 4, 1, 0, 0}), std::out_of_range);
    EXPECT_THROW(probesim::EncodeLineSettings({FramingMode::Rtu, 13, 1, 0, 0}), std::out_of_range);
    EXPECT_THROW(probesim::EncodeLineSettings({FramingMode::Rtu, 6, 1, 3, 0}), std::out_of_range);
}

} // namespace
} // namespace probesim_test
