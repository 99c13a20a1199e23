// The registered-window base: the registry and its broadcasts, private messages across threads,
// the window's life, Enter and Esc, commands, sizes and centring.
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "foundation/WindowMessages.h"
#include "tests/support/QtTestSupport.h"
#include "ui/NVDialog.h"

namespace
{

using namespace windowmsg;

struct Delivery
{
    std::string dialog;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Records every message and command it gets into a log shared by all of them.
class RecordingDialog : public CNVDialog
{
public:
    RecordingDialog(std::string name, std::vector<Delivery>& log, QWidget* parent = nullptr)
        : CNVDialog(0, parent), m_name(std::move(name)), m_log(log)
    {
    }

    std::function<void(UINT)> onMessage;
    std::vector<UINT> commands;
    int initCount = 0;
    std::vector<BOOL> shows;
    std::optional<int> endInInit;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        m_log.push_back({m_name, message, wParam, lParam});
        // A copy: the handler may destroy this dialog, and its own closure with it.
        if (const auto handler = onMessage)
            handler(message);
        return static_cast<LRESULT>(message) + 1;
    }
    BOOL OnCommand(UINT id) override
    {
        commands.push_back(id);
        return id == 4711 ? FALSE : CNVDialog::OnCommand(id);
    }
    BOOL OnInitDialog() override
    {
        CNVDialog::OnInitDialog();
        ++initCount;
        if (endInInit)
            EndDialog(*endInInit);
        return TRUE;
    }
    void OnShowWindow(BOOL bShow) override
    {
        shows.push_back(bShow);
        CNVDialog::OnShowWindow(bShow);
    }

private:
    std::string m_name;
    std::vector<Delivery>& m_log;
};

std::vector<std::string> Receivers(const std::vector<Delivery>& log)
{
    std::vector<std::string> names;
    for (const Delivery& delivery : log)
        names.push_back(delivery.dialog);
    return names;
}

TEST(DialogRegistry, BroadcastsReachTheDialogsWithAWindowInConstructionOrder)
{
    std::vector<Delivery> log;
    auto first = std::make_unique<RecordingDialog>("first", log);
    RecordingDialog neverCreated("never created", log);
    auto third = std::make_unique<RecordingDialog>("third", log);
    const auto open = CNVDialog::GetOpenDialogs();
    ASSERT_EQ(open.size(), 3u);
    EXPECT_EQ(open[0], first.get());
    EXPECT_EQ(open[2], third.get());

    third->Create(nullptr);
    first->Create(nullptr);
    CNVDialog::BroadcastPostMessage(WM_DEVICE_CONNECTED);
    EXPECT_TRUE(log.empty()) << "a post is delivered later";
    testsupport::PumpEvents();
    EXPECT_EQ(Receivers(log), (std::vector<std::string>{"first", "third"}));
    EXPECT_EQ(log[0].message, WM_DEVICE_CONNECTED);
    EXPECT_EQ(log[0].wParam, 0u);

    // A destroyed dialog leaves the registry; one whose window went stays but gets nothing.
    log.clear();
    third.reset();
    first->DestroyWindow();
    EXPECT_EQ(CNVDialog::GetOpenDialogs().size(), 2u);
    CNVDialog::BroadcastPostMessage(WM_DEVICE_DISCONNECTED);
    CNVDialog::BroadcastRequestDisconnect();
    testsupport::PumpEvents();
    EXPECT_TRUE(log.empty());
}

TEST(DialogRegistry, ADisconnectRequestSurvivesHandlersThatDestroyAndCreateDialogs)
{
    std::vector<Delivery> log;
    auto first = std::make_unique<RecordingDialog>("first", log);
    auto second = std::make_unique<RecordingDialog>("second", log);
    auto third = std::make_unique<RecordingDialog>("third", log);
    std::unique_ptr<RecordingDialog> added;
    for (RecordingDialog* dialog : {first.get(), second.get(), third.get()})
        dialog->Create(nullptr);
    first->onMessage = [&](UINT)
    {
        second.reset();
        added = std::make_unique<RecordingDialog>("added", log);
        added->Create(nullptr);
    };
    CNVDialog::BroadcastRequestDisconnect();
    // Sent, not posted: every handler has run when the call returns.
    EXPECT_EQ(Receivers(log), (std::vector<std::string>{"first", "third", "added"}));
    for (const Delivery& delivery : log)
        EXPECT_EQ(delivery.message, WM_REQUEST_DISCONNECT);
}

TEST(DialogRegistry, AHandlerThatDestroysItsOwnDialogEndsThatDialogsTurnOnly)
{
    std::vector<Delivery> log;
    auto first = std::make_unique<RecordingDialog>("first", log);
    auto second = std::make_unique<RecordingDialog>("second", log);
    first->Create(nullptr);
    second->Create(nullptr);
    second->onMessage = [&](UINT) { second.reset(); };
    CNVDialog::BroadcastRequestDisconnect();
    EXPECT_EQ(Receivers(log), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(CNVDialog::GetOpenDialogs().size(), 1u);
}

TEST(DialogRegistry, AHandlerThatDestroysItsOwnOrAnEarlierDialogMakesTheWalkSkipNoOne)
{
    std::vector<Delivery> log;
    auto first = std::make_unique<RecordingDialog>("first", log);
    auto second = std::make_unique<RecordingDialog>("second", log);
    auto third = std::make_unique<RecordingDialog>("third", log);
    auto fourth = std::make_unique<RecordingDialog>("fourth", log);
    for (RecordingDialog* dialog : {first.get(), second.get(), third.get(), fourth.get()})
        dialog->Create(nullptr);
    // The first goes during its own turn; the third destroys the second, which had its turn.
    first->onMessage = [&](UINT) { first.reset(); };
    third->onMessage = [&](UINT) { second.reset(); };
    CNVDialog::BroadcastRequestDisconnect();
    EXPECT_EQ(Receivers(log), (std::vector<std::string>{"first", "second", "third", "fourth"}));

    // A dialog that takes the place (and perhaps the address) of one destroyed in a handler is new
    // to the walk and is reached once.
    log.clear();
    std::unique_ptr<RecordingDialog> successor;
    third->onMessage = [&](UINT)
    {
        if (successor != nullptr)
            return;
        third.reset();
        successor = std::make_unique<RecordingDialog>("successor", log);
        successor->Create(nullptr);
    };
    CNVDialog::BroadcastRequestDisconnect();
    EXPECT_EQ(Receivers(log), (std::vector<std::string>{"third", "fourth", "successor"}));
}

TEST(PrivateMessages, WorkersPostFromTheirThreadsAndEachThreadsOrderHolds)
{
    std::vector<Delivery> log;
    RecordingDialog dialog("window", log);
    dialog.Create(nullptr);
    constexpr int kPerThread = 200;
    INotifyWindow* window = &dialog;
    std::thread newData(
        [window]
        {
            for (int i = 0; i < kPerThread; ++i)
                window->PostNotify(WM_NEW_DATA, static_cast<uintptr_t>(i), -i);
        });
    std::thread samples(
        [window]
        {
            for (int i = 0; i < kPerThread; ++i)
                window->PostNotify(WM_CAL_SAMPLES_READY, static_cast<uintptr_t>(i), i);
        });
    newData.join();
    samples.join();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return log.size() == 2 * kPerThread; }));
    WPARAM nextNewData = 0;
    WPARAM nextSamples = 0;
    for (const Delivery& delivery : log)
    {
        WPARAM& next = delivery.message == WM_NEW_DATA ? nextNewData : nextSamples;
        EXPECT_EQ(delivery.wParam, next);
        EXPECT_EQ(delivery.lParam,
                  delivery.message == WM_NEW_DATA ? -static_cast<LPARAM>(next) : static_cast<LPARAM>(next));
        ++next;
    }
    // Sent messages return the handler's result.
    EXPECT_EQ(dialog.SendNotify(WM_READ_ERROR), static_cast<LRESULT>(WM_READ_ERROR) + 1);
}

TEST(PrivateMessages, NoMessageReachesADialogWithoutItsWindowOrAfterItsEnd)
{
    std::vector<Delivery> log;
    {
        RecordingDialog notYetCreated("not yet", log);
        notYetCreated.PostNotify(WM_NEW_DATA);
        notYetCreated.Create(nullptr);
        testsupport::PumpEvents();
        EXPECT_TRUE(log.empty()) << "a post before the window exists is lost";

        // Queued, then destroyed: the queued messages die with it.
        notYetCreated.PostNotify(WM_NEW_DATA);
        notYetCreated.PostNotify(WM_READ_ERROR);
    }
    testsupport::PumpEvents();
    EXPECT_TRUE(log.empty());

    RecordingDialog ended("ended", log);
    ended.Create(nullptr);
    ended.PostNotify(WM_NEW_DATA);
    ended.DestroyWindow();
    testsupport::PumpEvents();
    EXPECT_TRUE(log.empty()) << "a message queued before the window went is dropped";
    // Numbers outside the private range do not travel.
    ended.Create(nullptr);
    ended.PostNotify(0x10);
    testsupport::PumpEvents();
    EXPECT_TRUE(log.empty());
}

TEST(DialogWindow, EnterAndEscInsideAPageEndNeitherThePageNorItsWindow)
{
    std::vector<Delivery> log;
    RecordingDialog mainWindow("main", log);
    QPushButton defaultButton(QStringLiteral("Default"), &mainWindow);
    defaultButton.setDefault(true);
    int defaultClicks = 0;
    QObject::connect(&defaultButton, &QPushButton::clicked, [&] { ++defaultClicks; });
    RecordingDialog page("page", log);
    QLineEdit edit(&page);
    mainWindow.Create(nullptr);
    page.Create(&mainWindow);
    EXPECT_TRUE(page.IsEmbedded());
    ASSERT_TRUE(testsupport::ShowAndActivate(mainWindow));
    page.show();
    edit.setFocus();

    QTest::keyClick(&edit, Qt::Key_Return);
    QTest::keyClick(&edit, Qt::Key_Enter);
    QTest::keyClick(&edit, Qt::Key_Escape);
    EXPECT_TRUE(page.isVisible());
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_EQ(defaultClicks, 0);
    EXPECT_TRUE(mainWindow.commands.empty());

    // In the top-level window itself Esc is the Cancel command, which ends the window.
    QTest::keyClick(&mainWindow, Qt::Key_Escape);
    EXPECT_EQ(mainWindow.commands, std::vector<UINT>{IDCANCEL});
    EXPECT_FALSE(mainWindow.isVisible());
    EXPECT_EQ(mainWindow.result(), IDCANCEL);
}

// A page created inside a modeless window.
class PageInWindow : public testing::Test
{
protected:
    void SetUp() override
    {
        outer.Create(nullptr);
        page.Create(&outer);
    }

    std::vector<Delivery> log;
    RecordingDialog outer{"outer", log};
    RecordingDialog page{"page", log};
};

TEST_F(PageInWindow, APageHandsOnTheCommandsItDoesNotHandle)
{
    page.SendCommand(4711);
    EXPECT_EQ(page.commands, std::vector<UINT>{4711});
    EXPECT_EQ(outer.commands, std::vector<UINT>{4711});
    // A top-level popup does not hand its commands to its owner.
    RecordingDialog popup("popup", log, &outer);
    popup.Create(nullptr);
    popup.SendCommand(4711);
    EXPECT_EQ(outer.commands.size(), 1u);
}

TEST(DialogWindow, AModalRunEndsWithItsResultAndTakesTheWindowAlong)
{
    std::vector<Delivery> log;
    RecordingDialog popup("popup", log);
    RecordingDialog page("page", log);
    page.Create(&popup);
    EXPECT_EQ(testsupport::RunModal(popup, [&] { popup.accept(); }), IDOK);
    EXPECT_EQ(popup.initCount, 1);
    EXPECT_FALSE(popup.HasWindow());
    EXPECT_FALSE(page.HasWindow());

    // Ended while it initialises: the run returns at once, the window never shows.
    popup.endInInit = 7;
    EXPECT_EQ(popup.DoModal(), 7);
    EXPECT_EQ(popup.initCount, 2);
    EXPECT_FALSE(popup.isVisible());
}

TEST_F(PageInWindow, APostedCloseReachesOnlyTheWindowItWasPostedTo)
{
    page.show();
    page.PostClose();
    // The window goes and a new one comes before the close is delivered.
    page.DestroyWindow();
    page.Create(&outer);
    page.show();
    testsupport::PumpEvents();
    EXPECT_TRUE(page.isVisibleTo(&outer));
    EXPECT_TRUE(page.commands.empty());

    page.PostClose();
    testsupport::PumpEvents();
    EXPECT_FALSE(page.isVisibleTo(&outer));
    EXPECT_EQ(page.commands, std::vector<UINT>{IDCANCEL});
}

TEST(DialogWindow, AModalPopupBlocksTheMainWindowForItsWorkersToSee)
{
    std::vector<Delivery> log;
    RecordingDialog mainWindow("main", log);
    mainWindow.Create(nullptr);
    ASSERT_TRUE(testsupport::ShowAndActivate(mainWindow));
    EXPECT_FALSE(mainWindow.IsBlockedByModal());
    RecordingDialog popup("popup", log, &mainWindow);
    std::atomic<bool> blockedDuringRun{false};
    testsupport::RunModal(popup,
                          [&]
                          {
                              // Read from another thread, as the keep-alive worker reads it.
                              std::thread worker([&] { blockedDuringRun = mainWindow.IsBlockedByModal(); });
                              worker.join();
                              popup.reject();
                          });
    EXPECT_TRUE(blockedDuringRun);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return !mainWindow.IsBlockedByModal(); }));
}

TEST_F(PageInWindow, OnlyTheProgramsShowAndHideReachOnShowWindow)
{
    page.show();
    EXPECT_EQ(page.shows, std::vector<BOOL>{TRUE}) << "shown by the program, even inside a hidden window";
    outer.show();
    outer.hide();
    EXPECT_EQ(page.shows, std::vector<BOOL>{TRUE}) << "the window around it is no business of the page";
    page.hide();
    page.hide();
    EXPECT_EQ(page.shows, (std::vector<BOOL>{TRUE, FALSE}));
}

TEST(DialogWindow, AWindowThatGoesLeavesTheDialogsItHostsToTheirOwners)
{
    std::vector<Delivery> log;
    RecordingDialog page("page", log);
    {
        RecordingDialog outer("outer", log);
        outer.Create(nullptr);
        page.Create(&outer);
    }
    // Still alive (the sanitizer would see a second deletion at the end of the test otherwise).
    EXPECT_EQ(page.parentWidget(), nullptr);
    EXPECT_EQ(CNVDialog::GetOpenDialogs(), std::vector<CNVDialog*>{&page});
}

TEST(DialogSize, TheWindowSizeIsHeldWithinTheTrackSizes)
{
    std::vector<Delivery> log;
    RecordingDialog dialog("dialog", log);
    EXPECT_FALSE(dialog.SetWindowSize(300, 200)) << "no window yet";
    dialog.Create(nullptr);
    ASSERT_TRUE(dialog.SetWindowSize(300, 200));
    EXPECT_FALSE(dialog.SetWindowSize(0, 100));
    EXPECT_EQ(dialog.size(), QSize(300, 200));
    dialog.SetMinTrackSize(QSize(400, 300));
    EXPECT_TRUE(dialog.SetWindowSize(0, 100));
    EXPECT_EQ(dialog.size(), QSize(400, 300));
    dialog.SetMaxTrackSize(QSize(500, 350));
    EXPECT_TRUE(dialog.SetClientSize(900, 900));
    EXPECT_EQ(dialog.size(), QSize(500, 350));
}

TEST(DialogSize, ADialogIsCentredOnALargerWindowAndAlignedToASmallerOne)
{
    std::vector<Delivery> log;
    RecordingDialog target("target", log);
    target.Create(nullptr);
    target.setGeometry(100, 50, 600, 400);
    RecordingDialog narrow("narrow", log);
    narrow.Create(nullptr);
    narrow.SetWindowSize(200, 100);
    ASSERT_TRUE(narrow.CenterOnWindow(&target));
    EXPECT_EQ(narrow.geometry(), QRect(300, 200, 200, 100));

    RecordingDialog wide("wide", log);
    wide.Create(nullptr);
    wide.SetWindowSize(800, 100);
    ASSERT_TRUE(wide.CenterOnWindow(&target));
    EXPECT_EQ(wide.geometry(), QRect(100, 200, 800, 100));

    // A page is centred in its parent's coordinates.
    RecordingDialog page("page", log);
    page.resize(200, 100);
    page.Create(&target);
    ASSERT_TRUE(page.CenterOnParent());
    EXPECT_EQ(page.geometry(), QRect(200, 150, 200, 100));
    EXPECT_FALSE(wide.CenterOnWindow(nullptr));
}

} // namespace
