// The program as a process: the executable started offscreen against the simulated probe entered
// in the port table, connecting through its ordinary port search, showing the probe on its
// information page, saving a picture of each page and closing the way the close box does.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "connection/AppProfile.h"
#include "connection/ConnectionString.h"
#include "tests/app/AppWindowTest.h"

extern char** environ;

namespace apptest
{
namespace
{

constexpr std::chrono::seconds kProgramTimeout{60};
const char* const kPageNames[] = {"LiveData", "Communication", "SensorSetup", "ProbeInfo"};

class ProgramTest : public AppWindowTest
{
protected:
    // Runs the program with the arguments, offscreen and in this test's settings store, and returns
    // its exit code with its standard output and error in m_output; -1 when it did not end in time
    // (it is then killed). Spawned rather than forked: a fork of this threaded process is unsafe.
    int RunProgram(std::vector<std::string> arguments)
    {
        std::vector<std::string> environment = {"NORVANE_CONFIG_DIR=" + m_config.Path().string(),
                                                "QT_QPA_PLATFORM=offscreen"};
        for (char** entry = environ; *entry != nullptr; ++entry)
        {
            const std::string_view text(*entry);
            if (!text.starts_with("NORVANE_CONFIG_DIR=") && !text.starts_with("QT_QPA_PLATFORM="))
                environment.emplace_back(text);
        }
        arguments.insert(arguments.begin(), TARNWICK_PROGRAM);
        int output[2];
        if (pipe2(output, O_CLOEXEC) != 0)
            return -1;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
        pid_t pid = -1;
        const int spawned = posix_spawn(&pid, TARNWICK_PROGRAM, &actions, nullptr, Pointers(arguments).data(),
                                        Pointers(environment).data());
        posix_spawn_file_actions_destroy(&actions);
        close(output[1]);
        if (spawned != 0)
        {
            close(output[0]);
            return -1;
        }
        const bool ended = ReadUntilEnd(output[0], std::chrono::steady_clock::now() + kProgramTimeout);
        close(output[0]);
        if (!ended)
            kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string m_output;

private:
    static std::vector<char*> Pointers(std::vector<std::string>& texts)
    {
        std::vector<char*> pointers;
        for (std::string& text : texts)
            pointers.push_back(text.data());
        pointers.push_back(nullptr);
        return pointers;
    }
    // Collects the output until the program closes it; false when the deadline comes first.
    bool ReadUntilEnd(int fd, std::chrono::steady_clock::time_point deadline)
    {
        for (;;)
        {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd entry{fd, POLLIN, 0};
            if (left.count() <= 0 || poll(&entry, 1, static_cast<int>(left.count())) != 1)
                return false;
            char chunk[512];
            const ssize_t got = read(fd, chunk, sizeof chunk);
            if (got <= 0)
                return got == 0;
            m_output.append(chunk, static_cast<size_t>(got));
        }
    }
};

TEST_F(ProgramTest, FindsTheSimulatedProbeShowsItOnTheInformationPageAndSavesEveryPage)
{
    StartProbe(12);
    // The run saves into a folder of its own, so that runs of this test side by side cannot take
    // each other's pictures away; the pictures it saved then go to the build folder to be looked at.
    const std::filesystem::path own = testsupport::ProcessTempDir() / "pages";
    std::filesystem::create_directories(own);
    const std::string prefix = (own / "Program.").string();

    ASSERT_EQ(RunProgram({"--save-page-pictures", prefix}), 0) << m_output;
    EXPECT_NE(m_output.find("Probe type: VOX PRO\n"), std::string::npos) << m_output;
    EXPECT_NE(m_output.find("Serial number: 4711\n"), std::string::npos) << m_output;
    EXPECT_NE(m_output.find("Firmware version: 1.00\n"), std::string::npos) << m_output;
    for (const char* page : kPageNames)
    {
        const std::filesystem::path picture = prefix + page + ".png";
        EXPECT_GT(std::filesystem::exists(picture) ? std::filesystem::file_size(picture) : 0u, 0u) << picture;
        const std::filesystem::path shown = std::string(TARNWICK_PROGRAM_PICTURES) + page + ".png";
        std::error_code error;
        // Copied beside its final place and renamed over it, so that nobody sees half a picture.
        const std::filesystem::path copy = shown.string() + "." + std::to_string(getpid());
        if (std::filesystem::copy_file(picture, copy, std::filesystem::copy_options::overwrite_existing, error))
            std::filesystem::rename(copy, shown, error);
    }
    // The connect stored where it found the probe, and the close stored the window's place.
    EXPECT_EQ(GetProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, 0),
              static_cast<int>(Port()));
    EXPECT_NE(GetProfileInt(u"", u"WinPos_x", -1), -1);
}

} // namespace
} // namespace apptest
