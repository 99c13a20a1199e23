#include "platform/Folders.h"

#include <cstdlib>
#include <pwd.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace platform
{

namespace
{

// An environment variable that is set and not empty; XDG rules treat an empty value as unset.
const char* Env(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

// $HOME, else the home folder of the user database, else the root (never a relative path, so that
// nothing lands in whatever the working folder happens to be).
std::filesystem::path HomeDir()
{
    if (const char* home = Env("HOME"))
        return home;
    long hint = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<size_t>(hint) : 4096);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        *found->pw_dir)
        return found->pw_dir;
    return "/";
}

// XDG base folders must be absolute; a relative value is ignored as the XDG rules demand.
std::filesystem::path XdgDir(const char* variable, const char* fallbackBelowHome)
{
    if (const char* value = Env(variable))
    {
        std::filesystem::path path(value);
        if (path.is_absolute())
            return path;
    }
    return HomeDir() / fallbackBelowHome;
}

} // namespace

std::filesystem::path ConfigDir()
{
    if (const char* dir = Env("NORVANE_CONFIG_DIR"))
        return dir;
    return XdgDir("XDG_CONFIG_HOME", ".config") / "norvane";
}

std::filesystem::path StateDir()
{
    return XdgDir("XDG_STATE_HOME", ".local/state") / "norvane";
}

std::filesystem::path DocumentsDir()
{
    if (const char* dir = Env("XDG_DOCUMENTS_DIR"))
        return dir;
    return HomeDir() / "Documents";
}

std::filesystem::path ExecutableDir()
{
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && !exe.empty())
        return exe.parent_path();
    auto cwd = std::filesystem::current_path(ec);
    return ec ? std::filesystem::path("/") : cwd;
}

std::filesystem::path TempDir()
{
    if (const char* dir = Env("TMPDIR"))
        return dir;
    return "/tmp";
}

} // namespace platform
