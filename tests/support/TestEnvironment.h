// What every test binary shares: a private configuration and state folder, and a scripted
// message-box hook, so that no test touches the user's files or blocks on a dialog.
#pragma once

#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/SettingsStore.h"

namespace testsupport
{

// The folder that NORVANE_CONFIG_DIR, XDG_STATE_HOME and XDG_CONFIG_HOME point into for this
// process; removed when the binary ends.
const std::filesystem::path& ProcessTempDir();

// What every test main does first: points the configuration, state, XDG and documents folders
// into ProcessTempDir. RemoveProcessTempDir is its last step.
void PrepareProcessEnvironment();
void RemoveProcessTempDir();

// Points NORVANE_CONFIG_DIR at a fresh empty folder for the lifetime of the object and forgets
// everything the settings store cached, so each test starts with empty hives.
class ScopedConfigDir
{
public:
    ScopedConfigDir();
    ~ScopedConfigDir();
    ScopedConfigDir(const ScopedConfigDir&) = delete;
    ScopedConfigDir& operator=(const ScopedConfigDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
    std::string m_previous;
};

// Lowers the settings files' size bound to 1 MiB (the 16 MiB one costs seconds a write under the
// thread sanitizer) and fills the user hive file, through a value "Filler" under the key, to
// `spare` bytes below it.
void FillUserHiveTo(const std::filesystem::path& userFile, size_t spare,
                    std::u16string_view key = u"Software\\Filler");
// The same for the hive given, through its file.
void FillHiveTo(platform::Hive hive, const std::filesystem::path& file, size_t spare,
                std::u16string_view key = u"Software\\Filler");

// Records every message box and answers from a script (IDOK when the script is empty).
class ScriptedMessageBox : public platform::IMessageBoxHook
{
public:
    struct Shown
    {
        std::u16string text;
        std::u16string caption;
        uint32_t flags;
    };

    ScriptedMessageBox();  // installs itself
    ~ScriptedMessageBox(); // restores the previous hook

    void QueueAnswer(int answer);
    std::vector<Shown> Shown_() const;
    int Show(const void* owner, const std::u16string& text, const std::u16string& caption,
             uint32_t flags) override;

private:
    mutable std::mutex m_mutex;
    std::deque<int> m_answers;
    std::vector<Shown> m_shown;
    platform::IMessageBoxHook* m_previous;
};

} // namespace testsupport
