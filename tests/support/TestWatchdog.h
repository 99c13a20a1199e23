// A time limit for every test of a binary: a test that is still running when its limit passes (a
// loop that never ends, a wait for an event that never comes) is named on standard error and ends
// the binary with a failure, so that the test run reports that test instead of waiting for the
// runner's own, much longer limit and reporting nothing.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include <gtest/gtest.h>

namespace testsupport
{

// The limit when the environment sets none.
inline constexpr std::chrono::seconds kDefaultTestTimeLimit{120};
// The environment variable that sets the limit in whole seconds; 0 lifts it (for a debugger).
inline constexpr const char* kTestTimeLimitVariable = "TARNWICK_TEST_TIME_LIMIT";

// The limit a value of the variable sets: nullopt when the text is not a whole number of seconds
// of at most a day.
std::optional<std::chrono::seconds> ParseTestTimeLimit(std::string_view text);

class TestWatchdog : public testing::EmptyTestEventListener
{
public:
    // No limit at all when limit is zero.
    explicit TestWatchdog(std::chrono::milliseconds limit);
    ~TestWatchdog() override;
    TestWatchdog(const TestWatchdog&) = delete;
    TestWatchdog& operator=(const TestWatchdog&) = delete;

    // The limit runs from the start of the test named ("Suite.Test") until its end.
    void Start(std::string test);
    void End();

    void OnTestStart(const testing::TestInfo& test) override;
    void OnTestEnd(const testing::TestInfo&) override { End(); }

private:
    void Watch();

    const std::chrono::milliseconds m_limit;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_test; // the running test, empty between tests
    std::chrono::steady_clock::time_point m_deadline;
    bool m_stop = false;
    std::thread m_thread; // last: starts when everything else exists
};

// The watchdog of a test main: appended to the binary's listeners with the limit the environment
// sets, for the lifetime of the object.
class ScopedTestWatchdog
{
public:
    ScopedTestWatchdog();
    ~ScopedTestWatchdog();
    ScopedTestWatchdog(const ScopedTestWatchdog&) = delete;
    ScopedTestWatchdog& operator=(const ScopedTestWatchdog&) = delete;

private:
    TestWatchdog* m_watchdog; // owned by the listener list while it is in there
};

} // namespace testsupport
