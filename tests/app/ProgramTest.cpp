// The program as a process: the executable started offscreen against the simulated probe entered
// in the port table, connecting through its ordinary port search, showing the probe on its
// information page, saving a picture of each page and closing the way the close box does.
#include <filesystem>

#include <QProcess>
#include <QProcessEnvironment>

#include "app/connection/AppProfile.h"
#include "app/connection/ConnectionString.h"
#include "tests/app/AppWindowTest.h"

namespace apptest
{
namespace
{

constexpr int kProgramTimeoutMs = 60000;
const char* const kPageNames[] = {"LiveData", "Communication", "SensorSetup", "ProbeInfo"};

class ProgramTest : public AppWindowTest
{
protected:
    // Runs the program with the arguments in this test's settings store; returns its exit code
    // (-1 when it did not end in time and was killed).
    int RunProgram(const QStringList& arguments)
    {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("NORVANE_CONFIG_DIR"),
                           QString::fromStdString(m_config.Path().string()));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(TARNWICK_PROGRAM), arguments);
        if (!program.waitForStarted())
            return -1;
        // The simulated probe answers from threads of its own: this thread may block.
        const bool ended = program.waitForFinished(kProgramTimeoutMs);
        if (!ended)
        {
            program.kill();
            program.waitForFinished();
        }
        m_output = QString::fromUtf8(program.readAllStandardOutput());
        m_errors = QString::fromUtf8(program.readAllStandardError());
        return ended && program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    }

    QString m_output;
    QString m_errors;
};

TEST_F(ProgramTest, FindsTheSimulatedProbeShowsItOnTheInformationPageAndSavesEveryPage)
{
    StartProbe(12);
    std::vector<std::filesystem::path> pictures;
    for (const char* page : kPageNames)
    {
        pictures.push_back(std::string(TARNWICK_PROGRAM_PICTURES) + page + ".png");
        std::filesystem::remove(pictures.back());
    }

    ASSERT_EQ(RunProgram({QStringLiteral("--save-page-pictures"), QStringLiteral(TARNWICK_PROGRAM_PICTURES)}),
              0)
        << m_errors.toStdString() << m_output.toStdString();
    EXPECT_TRUE(m_output.contains(QStringLiteral("Probe type: VOX PRO\n"))) << m_output.toStdString();
    EXPECT_TRUE(m_output.contains(QStringLiteral("Serial number: 4711\n"))) << m_output.toStdString();
    EXPECT_TRUE(m_output.contains(QStringLiteral("Firmware version: 1.00\n"))) << m_output.toStdString();
    for (const std::filesystem::path& picture : pictures)
        EXPECT_GT(std::filesystem::exists(picture) ? std::filesystem::file_size(picture) : 0u, 0u) << picture;
    // The connect stored where it found the probe, and the close stored the window's place.
    EXPECT_EQ(GetProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, 0),
              static_cast<int>(Port()));
    EXPECT_NE(GetProfileInt(u"", u"WinPos_x", -1), -1);
}

} // namespace
} // namespace apptest
