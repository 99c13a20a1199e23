// Main of every test binary: private folders for configuration and state, removed at the end, and a
// time limit for each test.
#include <gtest/gtest.h>

#include "tests/support/TestEnvironment.h"
#include "tests/support/TestWatchdog.h"

int main(int argc, char** argv)
{
    testsupport::PrepareProcessEnvironment();
    testing::InitGoogleTest(&argc, argv);
    const testsupport::ScopedTestWatchdog watchdog;
    const int result = RUN_ALL_TESTS();
    testsupport::RemoveProcessTempDir();
    return result;
}
