// Main of every test binary of the windows: the private folders of TestMain, and every test run
// inside one QApplication on the offscreen platform with the program's look, each within its time
// limit.
#include <filesystem>
#include <optional>

#include <QApplication>
#include <QUrl>

#include <gtest/gtest.h>

#include "tests/support/TestEnvironment.h"
#include "tests/support/TestWatchdog.h"
#include "tests/support/UiThreadWatch.h"
#include "ui/Application.h"
#include "ui/DialogService.h"
#include "ui/MessageBoxes.h"

namespace
{

// The service under every test that scripts none: a dialog that would wait for a person fails the
// test instead of blocking it.
class UnexpectedDialogs : public ui::CDialogService
{
public:
    int MessageBox(QWidget*, const QString& text, const QString& caption, uint32_t flags) override
    {
        ADD_FAILURE() << "unexpected message box \"" << caption.toStdString() << "\": " << text.toStdString();
        return platform::CautiousAnswer(flags);
    }
    std::optional<QString> GetOpenFileName(QWidget*, const ui::sFileDialogRequest& request) override
    {
        ADD_FAILURE() << "unexpected open-file dialog: " << request.title.toStdString();
        return std::nullopt;
    }
    std::optional<QString> GetSaveFileName(QWidget*, const ui::sFileDialogRequest& request) override
    {
        ADD_FAILURE() << "unexpected save-file dialog: " << request.title.toStdString();
        return std::nullopt;
    }
    std::optional<QString> BrowseForFolder(QWidget*, const QString& title, const QString&) override
    {
        ADD_FAILURE() << "unexpected folder dialog: " << title.toStdString();
        return std::nullopt;
    }
    bool RunPrintDialog(QWidget*, QPrinter&) override
    {
        ADD_FAILURE() << "unexpected print dialog";
        return false;
    }
    bool OpenUrl(const QUrl& url) override
    {
        ADD_FAILURE() << "unexpected link opened: " << url.toString().toStdString();
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    testsupport::PrepareProcessEnvironment();
    // Always offscreen: the pictures and metrics of the tests must not depend on a desktop.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::filesystem::path runtime = testsupport::ProcessTempDir() / "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.string()));
    testing::InitGoogleTest(&argc, argv);
    const testsupport::ScopedTestWatchdog watchdog;
    int result = 0;
    {
        QApplication application(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Tarnwick Software"));
        ui::PrepareApplication();
        UnexpectedDialogs unexpected;
        ui::SetDialogService(&unexpected);
        const ui::CQtMessageBoxHook hook;
        // No test lets the windows talk to the probe on their own thread, nor take the device lock.
        testsupport::WatchUiThread();
        result = RUN_ALL_TESTS();
        platform::WatchThisThreadAsUi({});
        ui::SetDialogService(nullptr);
    }
    testsupport::RemoveProcessTempDir();
    return result;
}
