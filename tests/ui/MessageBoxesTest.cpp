// The message boxes of the windows and of the layers below them, the file filters of the file
// dialogs, and dialog units.
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "platform/MessageBox.h"
#include "platform/SettingsStore.h"
#include "tests/support/QtTestSupport.h"
#include "tests/support/TestEnvironment.h"
#include "ui/Application.h"
#include "ui/DialogService.h"
#include "ui/DialogUnits.h"
#include "ui/MessageBoxes.h"
#include "ui/NVDialog.h"

namespace
{

using testsupport::ScriptedDialogs;

// The main window for the boxes that name no owner; forgotten at the end of the test.
class MainWindowScope
{
public:
    explicit MainWindowScope(QWidget* window) { ui::SetMainWindow(window); }
    ~MainWindowScope() { ui::SetMainWindow(nullptr); }
};

TEST(MessageBoxes, BoxesCarryTheApplicationsCaptionAndBelongToTheMainWindow)
{
    ScriptedDialogs dialogs;
    ShowErrorBox(nullptr, QStringLiteral("Failed to set live salinity."));
    ShowErrorBox(nullptr, QString());
    CNVDialog mainWindow;
    CNVDialog popup;
    {
        const MainWindowScope scope(&mainWindow);
        ShowErrorBox(nullptr, QStringLiteral("Device connection lost."));
        ShowErrorBox(&popup, QStringLiteral("Owned by the popup"));
    }
    const auto& shown = dialogs.MessageBoxes();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].text, QStringLiteral("Failed to set live salinity."));
    EXPECT_EQ(shown[0].caption, QStringLiteral("Tarnwick Software Error"));
    EXPECT_EQ(shown[0].flags, platform::MB_OK | platform::MB_ICONERROR);
    EXPECT_EQ(shown[0].owner, nullptr);
    EXPECT_EQ(shown[1].text, QStringLiteral("Error"));
    EXPECT_EQ(shown[2].owner, &mainWindow);
    EXPECT_EQ(shown[3].owner, &popup);

    // A warning has the bare name and the information icon, and gives the answer back.
    dialogs.QueueAnswer(platform::IDCANCEL);
    EXPECT_EQ(ShowWarningBox(nullptr, QStringLiteral("Firmware is not loaded on the probe")),
              platform::IDCANCEL);
    ASSERT_EQ(shown.size(), 5u);
    EXPECT_EQ(shown[4].caption, QStringLiteral("Tarnwick Software"));
    EXPECT_EQ(shown[4].flags, platform::MB_OK | platform::MB_ICONINFORMATION);
}

TEST(MessageBoxes, ACodeIsShownInHexadecimalWithItsMessage)
{
    ScriptedDialogs dialogs;
    ShowErrorCodeBox(nullptr, QStringLiteral("Failed to read manufacture date."), ResultCode(0x810F0009u));
    ShowErrorCodeBox(nullptr, QStringLiteral("Failed to update."), ResultCode(0x8123ABCDu));
    ShowErrorDetailBox(nullptr, QStringLiteral("Failed to load the file."), QStringLiteral("It is empty."));
    const auto& shown = dialogs.MessageBoxes();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(
        shown[0].text,
        QStringLiteral("Failed to read manufacture date.\nError Code: 810F0009\nBuffer Extraction Overrun."));
    EXPECT_EQ(shown[1].text, QStringLiteral("Failed to update.\nError Code: 8123ABCD\nUnknown Error"));
    EXPECT_EQ(shown[2].text, QStringLiteral("Failed to load the file.\n\nIt is empty."));
    for (const auto& box : shown)
        EXPECT_EQ(box.caption, QStringLiteral("Tarnwick Software Error"));
}

TEST(MessageBoxes, TheLayersBelowReachTheDialogServiceFromAnyThread)
{
    ScriptedDialogs dialogs;
    CNVDialog owner;
    dialogs.QueueAnswer(platform::IDYES);
    EXPECT_EQ(platform::ShowMessageBox(ui::OwnerHandle(&owner), u"Overwrite?", u"Tarnwick Software",
                                       platform::MB_YESNO | platform::MB_ICONQUESTION),
              platform::IDYES);
    ASSERT_EQ(dialogs.MessageBoxes().size(), 1u);
    EXPECT_EQ(dialogs.MessageBoxes()[0].owner, &owner);
    EXPECT_EQ(dialogs.MessageBoxes()[0].text, QStringLiteral("Overwrite?"));

    // A plain box of a worker is queued for the user-interface thread; the worker goes on at once.
    int plainAnswer = 0;
    std::thread plain([&] { plainAnswer = platform::ShowMessageBox(nullptr, u"Read failed.", u"Error", 0); });
    plain.join();
    EXPECT_EQ(plainAnswer, platform::IDOK);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return dialogs.MessageBoxes().size() == 2; }));
    EXPECT_EQ(dialogs.MessageBoxes()[1].text, QStringLiteral("Read failed."));

    // A question waits for its answer.
    dialogs.QueueAnswer(platform::IDNO);
    std::atomic<int> answer{0};
    std::thread question([&]
                         { answer = platform::ShowMessageBox(nullptr, u"Retry?", u"", platform::MB_YESNO); });
    EXPECT_TRUE(testsupport::WaitUntil([&] { return answer.load() != 0; }));
    question.join();
    EXPECT_EQ(answer.load(), platform::IDNO);
}

// A box of the layers below that names no owner stands over the main window once that is shown.
// Before, the window has not been placed yet: a box over it would stand alone in the screen's
// corner, so the box has no owner and stands in the middle of the screen.
TEST(MessageBoxes, ABoxOfTheLayersBelowWithoutOwnerIsOverTheMainWindowOnlyOnceThatIsShown)
{
    ScriptedDialogs dialogs;
    CNVDialog mainWindow;
    const MainWindowScope scope(&mainWindow);
    const auto show = [](const char16_t* text)
    {
        platform::ShowMessageBox(nullptr, text, platform::ErrorCaption(),
                                 platform::MB_OK | platform::MB_ICONERROR);
    };
    show(u"Before");
    std::thread worker([&] { show(u"From a worker"); });
    worker.join();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return dialogs.MessageBoxes().size() == 2; }));
    mainWindow.Create(nullptr);
    ASSERT_TRUE(testsupport::ShowAndActivate(mainWindow));
    show(u"After");

    const auto& shown = dialogs.MessageBoxes();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].owner, nullptr);
    EXPECT_EQ(shown[1].owner, nullptr);
    EXPECT_EQ(shown[2].owner, &mainWindow);
    for (const auto& box : shown)
        EXPECT_EQ(box.caption, QStringLiteral("Tarnwick Software Error"));
}

// Puts a dialog service in place for the scope, and the one before it back after.
class ServiceScope
{
public:
    explicit ServiceScope(ui::CDialogService& service) : m_previous(ui::SetDialogService(&service)) {}
    ~ServiceScope() { ui::SetDialogService(m_previous); }

private:
    ui::CDialogService* m_previous;
};

// The settings file's refusal as the user sees it, in the window system's own box: one of the
// program's error boxes, saying that the change was not saved to the file, the size in one piece.
TEST(MessageBoxes, TheSettingsFilesRefusalIsOneOfTheProgramsErrorBoxes)
{
    const testsupport::ScopedConfigDir config;
    const std::filesystem::path file = config.Path() / "user.reg";
    testsupport::FillUserHiveTo(file, 5);

    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, &closer,
                     [&]
                     {
                         auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                         if (box == nullptr || !box->isVisible())
                             return;
                         closer.stop();
                         title = box->windowTitle();
                         text = box->text();
                         icon = box->icon();
                         testsupport::SavePicture(*box, "MessageBoxes.SettingsFileRefusal");
                         box->button(QMessageBox::Ok)->click();
                     });
    closer.start(10);
    ui::CDialogService windowSystemBoxes;
    {
        const ServiceScope real(windowSystemBoxes);
        EXPECT_FALSE(platform::settings::SetDword(platform::Hive::CurrentUser,
                                                  u"Software\\Norvane\\Tarnwick Software\\Logging",
                                                  u"LogRate_Sec", 10));
    }
    EXPECT_EQ(title, QStringLiteral("Tarnwick Software Error"));
    EXPECT_EQ(text, "The change was not saved to the settings file " + QString::fromStdString(file.string()) +
                        ": the file would exceed 1\u00A0MiB.");
    EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST(FileDialogs, WindowsFiltersBecomeQtFilters)
{
    EXPECT_EQ(ui::QtFileFilter(QStringLiteral("Firmware Files (*.bin)|*.bin|All Files (*.*)|*.*||")),
              QStringLiteral("Firmware Files (*.bin);;All Files (*)"));
    EXPECT_EQ(ui::QtFileFilter(QStringLiteral("tiff image file (*.tiff)|*.tiff||")),
              QStringLiteral("tiff image file (*.tiff)"));
    EXPECT_EQ(ui::QtFileFilter(QStringLiteral("Logs|*.csv;*.txt||")), QStringLiteral("Logs (*.csv *.txt)"));
    EXPECT_EQ(ui::QtFileFilter(QString()), QString());
    EXPECT_EQ(ui::QtFileFilter(QStringLiteral("Dangling description")), QString());
}

TEST(DialogUnits, PixelsAndDialogUnitsConvertBothWays)
{
    CNVDialog dialog;
    RECT unit{0, 0, 4, 8};
    ASSERT_TRUE(MapDialogRect(&dialog, &unit));
    const QFontMetrics metrics(dialog.font());
    EXPECT_EQ(unit.bottom, metrics.height());
    EXPECT_GT(unit.right, 3);

    RECT page{0, 0, 350, 230};
    const QRect pixels = DialogUnitsToPixels(&dialog, 0, 0, 350, 230);
    RECT back{pixels.left(), pixels.top(), pixels.left() + pixels.width(), pixels.top() + pixels.height()};
    ASSERT_TRUE(PixelsToDialogUnits(&dialog, &back));
    EXPECT_NEAR(back.right, page.right, 1);
    EXPECT_NEAR(back.bottom, page.bottom, 1);

    RECT untouched{1, 2, 3, 4};
    EXPECT_FALSE(PixelsToDialogUnits(nullptr, &untouched));
    EXPECT_EQ(untouched, (RECT{1, 2, 3, 4}));
}

} // namespace
