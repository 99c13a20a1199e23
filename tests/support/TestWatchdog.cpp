#include "tests/support/TestWatchdog.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace testsupport
{

namespace
{

constexpr std::chrono::seconds kLongestLimit{24 * 60 * 60};

std::chrono::milliseconds LimitFromEnvironment()
{
    const char* text = std::getenv(kTestTimeLimitVariable);
    if (text == nullptr)
        return kDefaultTestTimeLimit;
    if (const std::optional<std::chrono::seconds> limit = ParseTestTimeLimit(text))
        return *limit;
    std::fprintf(stderr, "%s=\"%s\" is not a number of seconds up to %lld; the limit stays %lld s\n",
                 kTestTimeLimitVariable, text, static_cast<long long>(kLongestLimit.count()),
                 static_cast<long long>(kDefaultTestTimeLimit.count()));
    return kDefaultTestTimeLimit;
}

} // namespace

std::optional<std::chrono::seconds> ParseTestTimeLimit(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    unsigned long long seconds = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, seconds);
    if (error != std::errc() || at != end || seconds > static_cast<unsigned long long>(kLongestLimit.count()))
        return std::nullopt;
    return std::chrono::seconds(seconds);
}

TestWatchdog::TestWatchdog(std::chrono::milliseconds limit) : m_limit(limit)
{
    if (m_limit.count() > 0)
        m_thread = std::thread([this] { Watch(); });
}

TestWatchdog::~TestWatchdog()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void TestWatchdog::Start(std::string test)
{
    {
        std::lock_guard lock(m_mutex);
        m_test = std::move(test);
        m_deadline = std::chrono::steady_clock::now() + m_limit;
    }
    m_changed.notify_all();
}

void TestWatchdog::End()
{
    {
        std::lock_guard lock(m_mutex);
        m_test.clear();
    }
    m_changed.notify_all();
}

void TestWatchdog::OnTestStart(const testing::TestInfo& test)
{
    Start(std::string(test.test_suite_name()) + "." + test.name());
}

void TestWatchdog::Watch()
{
    std::unique_lock lock(m_mutex);
    while (!m_stop)
    {
        if (m_test.empty())
        {
            m_changed.wait(lock);
            continue;
        }
        if (std::chrono::steady_clock::now() < m_deadline)
        {
            m_changed.wait_until(lock, m_deadline);
            continue;
        }
        // The test's own thread is stuck, so nothing but this thread can end the run; exit
        // handlers would only wait on that thread or report its objects as leaked.
        std::fprintf(stderr,
                     "\n[  TIMEOUT ] %s still runs after %lld ms (the limit; %s sets it in seconds): the "
                     "test binary ends here\n",
                     m_test.c_str(), static_cast<long long>(m_limit.count()), kTestTimeLimitVariable);
        std::fflush(stderr);
        std::fflush(stdout);
        std::_Exit(EXIT_FAILURE);
    }
}

ScopedTestWatchdog::ScopedTestWatchdog() : m_watchdog(new TestWatchdog(LimitFromEnvironment()))
{
    testing::UnitTest::GetInstance()->listeners().Append(m_watchdog);
}

ScopedTestWatchdog::~ScopedTestWatchdog()
{
    delete testing::UnitTest::GetInstance()->listeners().Release(m_watchdog);
}

} // namespace testsupport
