// The per-test time limit: what the environment may set, and that an overrunning test is named and
// ends the binary while one that ended in time is never blamed.
#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/TestWatchdog.h"

namespace testsupport
{
namespace
{

using namespace std::chrono_literals;

TEST(TestTimeLimit, IsAWholeNumberOfSecondsUpToADay)
{
    EXPECT_EQ(ParseTestTimeLimit("30"), 30s);
    EXPECT_EQ(ParseTestTimeLimit("0"), 0s);
    EXPECT_EQ(ParseTestTimeLimit("86400"), 86400s);
    for (const char* bad :
         {"", "86401", "-5", "+5", " 5", "5 ", "12s", "1.5", "abc", "99999999999999999999999"})
        EXPECT_EQ(ParseTestTimeLimit(bad), std::nullopt) << '"' << bad << '"';
}

// A test that ended long ago is not blamed; the one that runs past the limit after it is, by name,
// and the binary ends with a failure while that test still hangs.
TEST(TestWatchdog, AnEndedTestIsNeverBlamedAndTheOneThatOverrunsEndsTheBinary)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            TestWatchdog watchdog(50ms);
            watchdog.Start("Earlier.EndsInTime");
            watchdog.End();
            // Well past the ended test's limit: a watchdog that still held it would end the process
            // here, blaming it.
            std::this_thread::sleep_for(300ms);
            watchdog.Start("Later.Hangs");
            std::promise<void>().get_future().wait();
        },
        testing::ExitedWithCode(EXIT_FAILURE), "\\[  TIMEOUT \\] Later\\.Hangs still runs after 50 ms");
}

} // namespace
} // namespace testsupport
