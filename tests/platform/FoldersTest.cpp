#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/Folders.h"

namespace
{

// Sets environment variables for one test and puts the previous values back afterwards.
class ScopedEnv
{
public:
    ~ScopedEnv()
    {
        for (const auto& [name, value] : m_saved)
        {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    void Set(const std::string& name, const char* value)
    {
        if (!m_saved.count(name))
        {
            const char* old = std::getenv(name.c_str());
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            setenv(name.c_str(), value, 1);
        else
            unsetenv(name.c_str());
    }

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

TEST(FoldersTest, ConfigDirFollowsTheVariablesInOrder)
{
    ScopedEnv env;
    env.Set("HOME", "/home/tester");
    env.Set("NORVANE_CONFIG_DIR", "/srv/norvane-config");
    env.Set("XDG_CONFIG_HOME", "/xdg/config");
    EXPECT_EQ(platform::ConfigDir(), "/srv/norvane-config");

    env.Set("NORVANE_CONFIG_DIR", "");
    EXPECT_EQ(platform::ConfigDir(), "/xdg/config/norvane");

    env.Set("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(platform::ConfigDir(), "/home/tester/.config/norvane");

    // The XDG rules say a relative base folder is to be ignored.
    env.Set("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(platform::ConfigDir(), "/home/tester/.config/norvane");
}

TEST(FoldersTest, StateDocumentsAndTemp)
{
    ScopedEnv env;
    env.Set("HOME", "/home/tester");
    env.Set("XDG_STATE_HOME", "/xdg/state");
    env.Set("XDG_DOCUMENTS_DIR", "/home/tester/Dokumente");
    env.Set("TMPDIR", "/scratch");
    EXPECT_EQ(platform::StateDir(), "/xdg/state/norvane");
    EXPECT_EQ(platform::DocumentsDir(), "/home/tester/Dokumente");
    EXPECT_EQ(platform::TempDir(), "/scratch");

    env.Set("XDG_STATE_HOME", nullptr);
    env.Set("XDG_DOCUMENTS_DIR", nullptr);
    env.Set("TMPDIR", nullptr);
    EXPECT_EQ(platform::StateDir(), "/home/tester/.local/state/norvane");
    EXPECT_EQ(platform::DocumentsDir(), "/home/tester/Documents");
    EXPECT_EQ(platform::TempDir(), "/tmp");
}

TEST(FoldersTest, HomeFallsBackToTheUserDatabase)
{
    ScopedEnv env;
    env.Set("HOME", nullptr);
    env.Set("XDG_STATE_HOME", nullptr);
    const auto state = platform::StateDir();
    EXPECT_TRUE(state.is_absolute()) << state;
    EXPECT_EQ(state.filename(), "norvane");
}

TEST(FoldersTest, ExecutableDirHoldsTheRunningProgram)
{
    const auto dir = platform::ExecutableDir();
    EXPECT_TRUE(dir.is_absolute());
    EXPECT_TRUE(std::filesystem::exists(dir / "platform_tests")) << dir;
}

} // namespace
