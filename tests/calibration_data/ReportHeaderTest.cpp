// The lines every report starts with, and the date of the last calibration in the user's format.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "calibration/data/CalReport.h"
#include "tests/calibration_data/CalTestSupport.h"

namespace caltest
{
namespace
{

// The C locale for the length of a test, whatever the machine's environment names.
class CLocaleDates : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* old = std::getenv("LC_ALL");
        m_old = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        setenv("LC_ALL", "C", 1);
    }
    void TearDown() override
    {
        if (m_old)
            setenv("LC_ALL", m_old->c_str(), 1);
        else
            unsetenv("LC_ALL");
    }

    std::optional<std::string> m_old;
};

TEST_F(CLocaleDates, TheShortDateCarriesAFourDigitYear)
{
    EXPECT_EQ(Utf8(CalibrationDateText(CDeviceTimestamp())), "01/01/1970") << "a date the device never set";
    SYSTEMTIME time;
    time.wYear = 2031;
    time.wMonth = 11;
    time.wDay = 9;
    EXPECT_EQ(Utf8(CalibrationDateText(CDeviceTimestamp(time))), "11/09/2031");
}

TEST_F(CLocaleDates, ASensorWithoutSerialNumberAndADeviceWithoutDateStillGetTheirLines)
{
    TestConnection disconnected;
    CCalReport::Lines lines;
    AppendProbeHeader(lines, disconnected, 0, 1);
    EXPECT_EQ(Lines(lines), (std::vector<std::string>{"Probe Type:                   \tMarisk 400",
                                                      "Probe Serial Number:          \t4711",
                                                      "Probe Manufacture Date:       \t03/04/2024",
                                                      "Sensor Serial Number:         \t#N/A",
                                                      "Last Calibration Date:        \t01/01/1970"}));
}

} // namespace
} // namespace caltest
