// Main of every test binary: private folders for configuration and state, removed at the end.
#include <gtest/gtest.h>

#include "tests/support/TestEnvironment.h"

int main(int argc, char** argv)
{
    testsupport::PrepareProcessEnvironment();
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    testsupport::RemoveProcessTempDir();
    return result;
}
