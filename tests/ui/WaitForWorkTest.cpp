// Serial work the user waits for: done on a worker while the window keeps painting with the wait
// cursor, its input blocked, the boxes the work raises shown with the normal cursor, the messages of
// other workers held until the end.
#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>

#include <QCursor>
#include <QGuiApplication>
#include <QPushButton>
#include <QShortcut>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "platform/MessageBox.h"
#include "tests/support/QtTestSupport.h"
#include "ui/Application.h"
#include "ui/MessageBoxes.h"
#include "ui/NVDialog.h"
#include "ui/WaitCursor.h"
#include "ui/ThreadHandover.h"
#include "ui/WaitForWork.h"

namespace
{

using namespace std::chrono_literals;

bool WaitCursorShown()
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}

// A flag the worker waits for, set on the user-interface thread.
class Gate
{
public:
    void Open() { m_open = true; }
    // False when it stayed shut for the whole time-out.
    bool WaitOpen(std::chrono::milliseconds timeout = 10s) const
    {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!m_open.load())
        {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

private:
    std::atomic<bool> m_open{false};
};

// A window that counts its paints and what reaches it.
class CountingWindow : public CNVDialog
{
public:
    CountingWindow()
    {
        resize(200, 100);
        m_button.setParent(this);
        m_button.setText(QStringLiteral("Connect"));
        QObject::connect(&m_button, &QPushButton::clicked, [this] { ++m_clicks; });
        auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_C), this);
        QObject::connect(shortcut, &QShortcut::activated, [this] { ++m_shortcuts; });
    }

    std::atomic<int> m_paints{0};
    int m_clicks = 0;
    int m_shortcuts = 0;
    int m_closes = 0;
    std::vector<UINT> m_messages;
    QPushButton m_button;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        ++m_paints;
        CNVDialog::paintEvent(event);
    }
    void OnClose() override { ++m_closes; }
    LRESULT OnMessage(UINT message, WPARAM, LPARAM) override
    {
        m_messages.push_back(message);
        return 0;
    }
};

class WaitForWorkTest : public ::testing::Test
{
protected:
    WaitForWorkTest()
    {
        m_window.Create(nullptr);
        EXPECT_TRUE(testsupport::ShowAndActivate(m_window));
        testsupport::PumpEvents();
    }
    ~WaitForWorkTest() override { ui::SetWaitObserverForTests(nullptr); }

    CountingWindow m_window;
    testsupport::ScriptedDialogs m_dialogs;
};

TEST_F(WaitForWorkTest, TheWorkRunsOnAWorkerWhileTheWindowKeepsPaintingUnderTheWaitCursor)
{
    const std::thread::id uiThread = std::this_thread::get_id();
    std::thread::id workThread;
    const int paintsBefore = m_window.m_paints.load();
    m_window.update();
    // The work ends only once the window has painted again: a frozen window would keep it waiting.
    const bool painted = ui::WaitForWork(
        [&]
        {
            workThread = std::this_thread::get_id();
            const auto end = std::chrono::steady_clock::now() + 10s;
            while (m_window.m_paints.load() == paintsBefore && std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(1ms);
            return m_window.m_paints.load() > paintsBefore;
        });
    EXPECT_TRUE(painted);
    EXPECT_NE(workThread, uiThread);
    EXPECT_FALSE(ui::IsWaitingForWork());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // What the wait looks like once it has begun, before the work starts.
    bool cursorShown = false;
    bool waiting = false;
    std::atomic<bool> workStarted{false};
    bool startedBeforeObserver = true;
    ui::SetWaitObserverForTests(
        [&]
        {
            cursorShown = WaitCursorShown();
            waiting = ui::IsWaitingForWork();
            startedBeforeObserver = workStarted.load();
        });
    ui::WaitForWork([&] { workStarted = true; });
    EXPECT_TRUE(cursorShown);
    EXPECT_TRUE(waiting);
    EXPECT_FALSE(startedBeforeObserver);
    EXPECT_TRUE(workStarted);
}

TEST_F(WaitForWorkTest, ClicksKeysShortcutsAndTheCloseBoxNeverReachTheWindowNorComeLater)
{
    // A window opened during the wait (a box the work asked for) still takes its input.
    std::unique_ptr<QPushButton> lateButton;
    int lateClicks = 0;
    Gate gate;
    QTimer::singleShot(0, &m_window,
                       [&]
                       {
                           QTest::mouseClick(&m_window.m_button, Qt::LeftButton);
                           QTest::keyClick(&m_window, Qt::Key_C, Qt::AltModifier);
                           QTest::keyClick(&m_window.m_button, Qt::Key_Space);
                           testsupport::ClickCloseBox(m_window);
                           lateButton = std::make_unique<QPushButton>(QStringLiteral("OK"));
                           QObject::connect(lateButton.get(), &QPushButton::clicked, [&] { ++lateClicks; });
                           lateButton->show();
                           QTest::mouseClick(lateButton.get(), Qt::LeftButton);
                           lateButton.reset();
                           gate.Open();
                       });
    EXPECT_TRUE(ui::WaitForWork([&] { return gate.WaitOpen(); }));
    testsupport::PumpEvents();
    EXPECT_EQ(m_window.m_clicks, 0);
    EXPECT_EQ(m_window.m_shortcuts, 0);
    EXPECT_EQ(m_window.m_closes, 0);
    EXPECT_TRUE(m_window.isVisible());
    EXPECT_EQ(lateClicks, 1);

    // Afterwards the window is the user's again, and a close by the program was never held back.
    ASSERT_TRUE(testsupport::ShowAndActivate(m_window));
    QTest::mouseClick(&m_window.m_button, Qt::LeftButton);
    QTest::keyClick(&m_window, Qt::Key_C, Qt::AltModifier);
    testsupport::ClickCloseBox(m_window);
    EXPECT_EQ(m_window.m_clicks, 1);
    EXPECT_EQ(m_window.m_shortcuts, 1);
    EXPECT_EQ(m_window.m_closes, 1);
    ui::WaitForWork([&] { ui::RunOnUiThread([&] { m_window.close(); }); });
    EXPECT_EQ(m_window.m_closes, 2);
}

TEST_F(WaitForWorkTest, InputTakenDuringWaitsAsksForItsCommandInsteadOfBeingSwallowed)
{
    // The button and the shortcut are taken; the window's other input is still swallowed.
    QShortcut* shortcut = m_window.findChild<QShortcut*>();
    ASSERT_NE(shortcut, nullptr);
    std::vector<QString> taken;
    ui::TakeInputDuringWaits(m_window.m_button, [&] { taken.push_back(QStringLiteral("click")); });
    ui::TakeInputDuringWaits(*shortcut, [&] { taken.push_back(QStringLiteral("keys")); });
    Gate gate;
    QTimer::singleShot(0, &m_window,
                       [&]
                       {
                           QTest::mouseClick(&m_window.m_button, Qt::LeftButton);
                           QTest::mouseClick(&m_window.m_button, Qt::RightButton);
                           QTest::keyClick(&m_window, Qt::Key_C, Qt::AltModifier);
                           QTest::keyClick(&m_window.m_button, Qt::Key_Space);
                           gate.Open();
                       });
    ui::WaitForWork([&] { gate.WaitOpen(); });
    testsupport::PumpEvents();
    EXPECT_EQ(taken, (std::vector<QString>{QStringLiteral("click"), QStringLiteral("keys")}));
    EXPECT_EQ(m_window.m_clicks, 0) << "the input's own handling waits for nothing";
    EXPECT_EQ(m_window.m_shortcuts, 0);

    // Outside a wait the input is the window's as ever.
    taken.clear();
    QTest::mouseClick(&m_window.m_button, Qt::LeftButton);
    QTest::keyClick(&m_window, Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(taken.empty());
    EXPECT_EQ(m_window.m_clicks, 1);
    EXPECT_EQ(m_window.m_shortcuts, 1);
}

TEST_F(WaitForWorkTest, BoxesOfTheWorkComeUpInTurnWithTheNormalCursorBeforeTheWaitEnds)
{
    ui::SetMainWindow(&m_window);
    m_dialogs.QueueAnswer(platform::IDOK);
    m_dialogs.QueueAnswer(platform::IDYES);
    const int answer = ui::WaitForWork(
        [&]
        {
            platform::ShowMessageBox(nullptr, u"Failed to find probe", u"",
                                     platform::MB_OK | platform::MB_ICONERROR);
            // A question: the worker gets the user's answer; a window blocked on the worker would
            // never show it.
            return platform::ShowMessageBox(nullptr, u"Continue?", u"", platform::MB_YESNO);
        });
    ui::SetMainWindow(nullptr);
    EXPECT_EQ(answer, platform::IDYES);
    const auto& shown = m_dialogs.MessageBoxes();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "Failed to find probe");
    EXPECT_EQ(shown[1].text, "Continue?");
    for (const auto& box : shown)
    {
        EXPECT_FALSE(box.underWaitCursor) << box.text.toStdString();
        EXPECT_EQ(box.owner, &m_window);
    }

    // A box of the window's own and a popup during an ordinary wait cursor: the normal cursor too.
    {
        const CWaitCursor wait;
        ShowErrorBox(nullptr, QStringLiteral("Failed"));
        CNVDialog popup(0, &m_window);
        bool popupUnderWaitCursor = true;
        testsupport::RunModal(popup,
                              [&]
                              {
                                  popupUnderWaitCursor = WaitCursorShown();
                                  popup.EndDialog(IDOK);
                              });
        EXPECT_FALSE(popupUnderWaitCursor);
        EXPECT_TRUE(WaitCursorShown());
    }
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_FALSE(shown[2].underWaitCursor);
}

TEST_F(WaitForWorkTest, MessagesOfOtherWorkersWaitForTheEndInTheirOrderAndDieWithTheirDialog)
{
    auto doomed = std::make_unique<CountingWindow>();
    doomed->Create(nullptr);
    std::atomic<bool> posted{false};
    Gate gate;
    std::vector<UINT> seenDuring{0};
    QTimer::singleShot(0, &m_window,
                       [&]
                       {
                           EXPECT_TRUE(testsupport::WaitUntil([&] { return posted.load(); }));
                           testsupport::PumpEvents();
                           seenDuring = m_window.m_messages;
                           doomed.reset();
                           gate.Open();
                       });
    ui::WaitForWork(
        [&]
        {
            m_window.PostNotify(windowmsg::WM_NEW_DATA);
            doomed->PostNotify(windowmsg::WM_NEW_DATA);
            m_window.PostNotify(windowmsg::WM_READ_ERROR);
            posted = true;
            gate.WaitOpen();
        });
    EXPECT_TRUE(seenDuring.empty());
    testsupport::PumpEvents();
    EXPECT_EQ(m_window.m_messages, (std::vector<UINT>{windowmsg::WM_NEW_DATA, windowmsg::WM_READ_ERROR}));
}

TEST_F(WaitForWorkTest, HeldWorkWaitsForEveryLoopOpenedAboveItsWindowAndRunsInOrder)
{
    std::vector<int> ran;
    // Nothing above the window: a queued call, run once the handler has returned.
    m_window.PostHeld([&] { ran.push_back(0); });
    EXPECT_TRUE(ran.empty());
    ASSERT_TRUE(testsupport::DeliverHeldWork());
    EXPECT_EQ(ran, std::vector<int>{0});

    // Held through a wait, whose loop delivers queued calls, and then run in the order posted.
    ran.clear();
    std::vector<int> seenDuring{-1};
    Gate gate;
    m_window.PostHeld([&] { ran.push_back(1); });
    m_window.PostHeld([&] { ran.push_back(2); });
    QTimer::singleShot(0, &m_window,
                       [&]
                       {
                           testsupport::PumpEvents();
                           seenDuring = ran;
                           gate.Open();
                       });
    ui::WaitForWork([&] { gate.WaitOpen(); });
    EXPECT_TRUE(seenDuring.empty());
    ASSERT_TRUE(testsupport::DeliverHeldWork());
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));

    // A box over the window holds its work and every message posted to it; a popup over it runs
    // its own work meanwhile; a window gone by then has its work dropped.
    ran.clear();
    CountingWindow holding;
    holding.Create(nullptr);
    auto doomed = std::make_unique<CountingWindow>();
    doomed->Create(nullptr);
    m_dialogs.DeliverEventsWhileShown(true);
    m_window.PostHeld([&] { ran.push_back(3); });
    doomed->PostHeld([&] { ran.push_back(9); });
    holding.PostNotify(windowmsg::WM_DEVICE_CONNECTED);
    holding.PostNotify(windowmsg::WM_NEW_DATA);
    ShowErrorBox(&m_window, QStringLiteral("Failed"));
    EXPECT_TRUE(ran.empty());
    EXPECT_TRUE(holding.m_messages.empty()) << "a worker's report waits for the box over its window";
    doomed.reset();
    CNVDialog popup(0, &m_window);
    testsupport::RunModal(popup,
                          [&]
                          {
                              m_window.PostHeld([&] { ran.push_back(4); });
                              popup.PostHeld(
                                  [&]
                                  {
                                      ran.push_back(5);
                                      popup.EndDialog(IDOK);
                                  });
                          });
    ASSERT_TRUE(testsupport::DeliverHeldWork());
    EXPECT_EQ(ran, (std::vector<int>{5, 3, 4}));
    EXPECT_EQ(holding.m_messages, (std::vector<UINT>{windowmsg::WM_DEVICE_CONNECTED, windowmsg::WM_NEW_DATA}));
}

TEST_F(WaitForWorkTest, TheMainWindowsCloseBoxDuringAWaitIsTakenOnceAfterIt)
{
    ui::SetMainWindow(&m_window);
    int closesDuring = -1;
    bool visibleDuring = false;
    Gate gate;
    QTimer::singleShot(0, &m_window,
                       [&]
                       {
                           testsupport::ClickCloseBox(m_window);
                           testsupport::ClickCloseBox(m_window);
                           testsupport::PumpEvents();
                           closesDuring = m_window.m_closes;
                           visibleDuring = m_window.isVisible();
                           gate.Open();
                       });
    ui::WaitForWork([&] { gate.WaitOpen(); });
    ASSERT_TRUE(testsupport::DeliverHeldWork());
    ui::SetMainWindow(nullptr);
    EXPECT_EQ(closesDuring, 0);
    EXPECT_TRUE(visibleDuring);
    EXPECT_EQ(m_window.m_closes, 1);
}

TEST_F(WaitForWorkTest, AMainWindowThatTakesItsCloseBoxIsAskedAtOnceAndNotClosedAfterTheWait)
{
    ui::SetMainWindow(&m_window);
    int taken = 0;
    ui::TakeInputDuringWaits(m_window, [&] { ++taken; });
    int takenDuring = -1;
    bool visibleDuring = false;
    Gate gate;
    QTimer::singleShot(0, &m_window,
                       [&]
                       {
                           testsupport::ClickCloseBox(m_window);
                           testsupport::PumpEvents();
                           takenDuring = taken;
                           visibleDuring = m_window.isVisible();
                           gate.Open();
                       });
    ui::WaitForWork([&] { gate.WaitOpen(); });
    ASSERT_TRUE(testsupport::DeliverHeldWork());
    ui::SetMainWindow(nullptr);
    EXPECT_EQ(takenDuring, 1);
    EXPECT_TRUE(visibleDuring);
    EXPECT_EQ(m_window.m_closes, 0) << "what the close does is the window's to decide";

    // Outside a wait the close box is the window's own.
    testsupport::ClickCloseBox(m_window);
    EXPECT_EQ(m_window.m_closes, 1);
    EXPECT_EQ(taken, 1);
}

TEST_F(WaitForWorkTest, WhatTheWorkThrowsIsThrownToTheWaiterAndOffTheWindowsThreadTheWorkRunsInPlace)
{
    EXPECT_THROW(ui::WaitForWork([]() -> int { throw std::runtime_error("line lost"); }), std::runtime_error);
    EXPECT_FALSE(ui::IsWaitingForWork());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    std::thread::id ran;
    std::thread other([&] { ui::WaitForWork([&] { ran = std::this_thread::get_id(); }); });
    const std::thread::id otherId = other.get_id();
    other.join();
    EXPECT_EQ(ran, otherId);
}

} // namespace
