// Sets an environment variable (TZ, LC_ALL, ...) for one test and puts the old value back; the
// time-zone rules of the C library and the cached locale numbers are reloaded on both sides.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "foundation/LocaleNumbers.h"

namespace testsupport
{

class ScopedEnv
{
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_previous = old;
        setenv(name, value, 1);
        Reload();
    }
    ~ScopedEnv()
    {
        if (m_previous)
            setenv(m_name.c_str(), m_previous->c_str(), 1);
        else
            unsetenv(m_name.c_str());
        Reload();
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    static void Reload()
    {
        tzset();
        ResetLocaleNumbersForTests();
    }

    std::string m_name;
    std::optional<std::string> m_previous;
};

// Zone rules that need no zone database: Central Europe (UTC+1, daylight saving from the last Sunday
// of March to the last Sunday of October) and US Eastern (UTC-5).
inline constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";
inline constexpr const char* kUsEastern = "EST5EDT,M3.2.0,M11.1.0";

} // namespace testsupport
