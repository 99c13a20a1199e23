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
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }
    void Set(const std::string& name, const char* value)
    {
        const char* old = std::getenv(name.c_str());
        m_saved.try_emplace(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        value != nullptr ? setenv(name.c_str(), value, 1) : unsetenv(name.c_str());
    }

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

TEST(FoldersTest, EachFolderFollowsItsVariablesInOrder)
{
    ScopedEnv env;
    env.Set("HOME", "/home/tester");
    env.Set("NORVANE_CONFIG_DIR", "/srv/norvane-config");
    env.Set("XDG_CONFIG_HOME", "/xdg/config");
    env.Set("XDG_STATE_HOME", "/xdg/state");
    env.Set("XDG_DOCUMENTS_DIR", "/home/tester/Dokumente");
    env.Set("TMPDIR", "/scratch");
    EXPECT_EQ(platform::ConfigDir(), "/srv/norvane-config");
    EXPECT_EQ(platform::StateDir(), "/xdg/state/norvane");
    EXPECT_EQ(platform::DocumentsDir(), "/home/tester/Dokumente");
    EXPECT_EQ(platform::TempDir(), "/scratch");

    env.Set("NORVANE_CONFIG_DIR", "");
    EXPECT_EQ(platform::ConfigDir(), "/xdg/config/norvane");
    env.Set("XDG_CONFIG_HOME", "relative/config"); // the XDG rules say a relative base is ignored
    EXPECT_EQ(platform::ConfigDir(), "/home/tester/.config/norvane");
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_DOCUMENTS_DIR", "TMPDIR"})
        env.Set(name, nullptr);
    EXPECT_EQ(platform::ConfigDir(), "/home/tester/.config/norvane");
    EXPECT_EQ(platform::StateDir(), "/home/tester/.local/state/norvane");
    EXPECT_EQ(platform::DocumentsDir(), "/home/tester/Documents");
    EXPECT_EQ(platform::TempDir(), "/tmp");

    // Without HOME the user database gives the home folder.
    env.Set("HOME", nullptr);
    EXPECT_TRUE(platform::StateDir().is_absolute()) << platform::StateDir();
    EXPECT_EQ(platform::StateDir().filename(), "norvane");
    EXPECT_TRUE(std::filesystem::exists(platform::ExecutableDir() / "platform_tests"))
        << platform::ExecutableDir();
}

} // namespace
