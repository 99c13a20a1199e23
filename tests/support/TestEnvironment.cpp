#include "tests/support/TestEnvironment.h"

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

#include "platform/SettingsStore.h"

#include <gtest/gtest.h>

namespace testsupport
{

namespace
{

std::filesystem::path MakeTempDir(const char* pattern)
{
    std::string templ = (std::filesystem::temp_directory_path() / pattern).string();
    if (!mkdtemp(templ.data()))
        throw std::runtime_error("mkdtemp failed");
    return templ;
}

} // namespace

const std::filesystem::path& ProcessTempDir()
{
    static const std::filesystem::path dir = MakeTempDir("tarnwick-test-XXXXXX");
    return dir;
}

void PrepareProcessEnvironment()
{
    const auto& dir = ProcessTempDir();
    std::filesystem::create_directories(dir / "config");
    std::filesystem::create_directories(dir / "state");
    std::filesystem::create_directories(dir / "xdg-config");
    setenv("NORVANE_CONFIG_DIR", (dir / "config").c_str(), 1);
    setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "xdg-config").c_str(), 1);
    setenv("XDG_DOCUMENTS_DIR", (dir / "documents").c_str(), 1);
}

void RemoveProcessTempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(ProcessTempDir(), ec);
}

ScopedConfigDir::ScopedConfigDir()
{
    static std::atomic<unsigned> counter{0};
    m_path = ProcessTempDir() / ("config-" + std::to_string(++counter));
    std::filesystem::create_directories(m_path);
    if (const char* previous = std::getenv("NORVANE_CONFIG_DIR"))
        m_previous = previous;
    setenv("NORVANE_CONFIG_DIR", m_path.c_str(), 1);
    platform::settings::ResetForTests();
}

ScopedConfigDir::~ScopedConfigDir()
{
    setenv("NORVANE_CONFIG_DIR", m_previous.c_str(), 1);
    platform::settings::ResetForTests();
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

ScriptedMessageBox::ScriptedMessageBox() : m_previous(platform::SetMessageBoxHook(this)) {}

ScriptedMessageBox::~ScriptedMessageBox()
{
    platform::SetMessageBoxHook(m_previous);
}

void ScriptedMessageBox::QueueAnswer(int answer)
{
    std::lock_guard lock(m_mutex);
    m_answers.push_back(answer);
}

std::vector<ScriptedMessageBox::Shown> ScriptedMessageBox::Shown_() const
{
    std::lock_guard lock(m_mutex);
    return m_shown;
}

int ScriptedMessageBox::Show(const void*, const std::u16string& text, const std::u16string& caption,
                             uint32_t flags)
{
    std::lock_guard lock(m_mutex);
    m_shown.push_back({text, caption, flags});
    if (m_answers.empty())
        return platform::IDOK;
    int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

void FillUserHiveTo(const std::filesystem::path& userFile, size_t spare, std::u16string_view key)
{
    FillHiveTo(platform::Hive::CurrentUser, userFile, spare, key);
}

void FillHiveTo(platform::Hive hive, const std::filesystem::path& file, size_t spare, std::u16string_view key)
{
    namespace settings = platform::settings;
    settings::SetSizeBoundForTests(1);
    ASSERT_TRUE(settings::SetString(hive, key, u"Filler", u"x"));
    // Three bytes of the file a unit: the file grows quickly.
    const size_t fill = (1u << 20) - spare - (std::filesystem::file_size(file) - 1);
    const std::u16string text = std::u16string(fill / 3, u'\u20AC') + std::u16string(fill % 3, u'x');
    ASSERT_TRUE(settings::SetString(hive, key, u"Filler", text)) << settings::LastProblem(hive);
    ASSERT_EQ(std::filesystem::file_size(file), (1u << 20) - spare);
}

} // namespace testsupport
