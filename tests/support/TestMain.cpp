// Main of every test binary: private folders for configuration and state, removed at the end.
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "tests/support/TestEnvironment.h"

int main(int argc, char** argv)
{
    const auto& dir = testsupport::ProcessTempDir();
    std::filesystem::create_directories(dir / "config");
    std::filesystem::create_directories(dir / "state");
    std::filesystem::create_directories(dir / "xdg-config");
    setenv("NORVANE_CONFIG_DIR", (dir / "config").c_str(), 1);
    setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "xdg-config").c_str(), 1);
    setenv("XDG_DOCUMENTS_DIR", (dir / "documents").c_str(), 1);

    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();

    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return result;
}
