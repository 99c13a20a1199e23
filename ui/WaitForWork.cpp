#include "ui/WaitForWork.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <QWindow>

#include "platform/SettingsStore.h"
#include "ui/Application.h"
#include "ui/NVDialog.h"
#include "ui/ThreadHandover.h"
#include "ui/WaitCursor.h"

namespace ui
{
namespace
{

// A private message held back while a wait runs.
struct sHeldMessage
{
    QPointer<CNVDialog> dialog;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Input that a wait takes instead of swallowing (TakeInputDuringWaits).
struct sTakenInput
{
    QPointer<QObject> input;
    std::function<void()> taken;
};

// Work held until the nested loops that opened after it have ended.
struct sHeldWork
{
    QPointer<QObject> context;
    int depth;
    std::function<void()> work;
};

// Everything below lives on the user-interface thread.
int g_nWaits = 0;
int g_nLoops = 0;
std::deque<sHeldWork> g_heldWork;
bool g_bMainCloseHeld = false;
// Per running wait, the windows that were open when it began.
std::vector<std::vector<QPointer<QWidget>>> g_blockedWindows;
std::vector<sHeldMessage> g_heldMessages;
std::vector<sTakenInput> g_takenInput;
std::function<void()> g_observer;

bool IsBlockedWindow(const QWidget* window)
{
    for (const auto& windows : g_blockedWindows)
        for (const QPointer<QWidget>& blocked : windows)
            if (blocked == window)
                return true;
    return false;
}

bool IsUserInput(const QEvent& event)
{
    switch (event.type())
    {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::NativeGesture:
    case QEvent::InputMethod:
        return true;
    case QEvent::Close:
        // The close box; a close that the program itself makes (a page closed with its wizard)
        // goes ahead.
        return event.spontaneous();
    default:
        return false;
    }
}

// The widget an event is for: the receiver, or the widget that owns it (a shortcut's, an action's).
const QWidget* OwningWidget(const QObject* receiver)
{
    for (const QObject* object = receiver; object != nullptr; object = object->parent())
        if (object->isWidgetType())
            return static_cast<const QWidget*>(object);
    return nullptr;
}

const sTakenInput* TakenInputOf(const QObject* receiver)
{
    for (const sTakenInput& entry : g_takenInput)
        if (entry.input == receiver)
            return &entry;
    return nullptr;
}

// Whether the event is the input's own activation: the shortcut's keys, the release of the left
// button over the button (the end of a click), or the close box of the window.
bool IsActivation(const QObject& input, const QEvent& event)
{
    if (event.type() == QEvent::Shortcut)
        return true;
    if (event.type() == QEvent::Close)
        return input.isWidgetType() && static_cast<const QWidget&>(input).isWindow();
    if (event.type() != QEvent::MouseButtonRelease)
        return false;
    const auto* button = qobject_cast<const QAbstractButton*>(&input);
    const auto& mouse = static_cast<const QMouseEvent&>(event);
    return button != nullptr && mouse.button() == Qt::LeftButton && button->isEnabled() &&
           button->isVisible() && button->rect().contains(mouse.position().toPoint());
}

// Runs, in order, the held work that may run now.
void RunHeldWork()
{
    for (;;)
    {
        const auto next = std::find_if(g_heldWork.begin(), g_heldWork.end(),
                                       [](const sHeldWork& held)
                                       { return held.context.isNull() || !MustHoldWork(held.depth); });
        if (next == g_heldWork.end())
            return;
        sHeldWork held = std::move(*next);
        g_heldWork.erase(next);
        if (!held.context.isNull())
            held.work();
    }
}

void PostRunHeldWork()
{
    if (!g_heldWork.empty())
        PostToUiThread(RunHeldWork);
}

// The window system asks to close the main window while a wait runs, and the window does not
// take its close box itself (TakeInputDuringWaits): once the wait is over, the window is closed
// as its close box would.
void HoldMainWindowClose(CNVDialog& mainWindow)
{
    if (g_bMainCloseHeld)
        return;
    g_bMainCloseHeld = true;
    PostHeldWork(&mainWindow, mainWindow.LoopDepth(),
                 [window = QPointer<CNVDialog>(&mainWindow)]
                 {
                     g_bMainCloseHeld = false;
                     if (window != nullptr && window->HasWindow())
                         window->close();
                 });
}

// The dialog whose native window the receiver is, while that dialog handles a close: the window
// system's close request reaches the native window first, which takes it as done while the
// dialog is still busy closing (its OnClose waits) and destroys itself.
CNVDialog* ClosingDialogOfNativeWindow(const QObject* receiver)
{
    if (receiver == nullptr || !receiver->isWindowType())
        return nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->windowHandle() == receiver)
        {
            auto* dialog = qobject_cast<CNVDialog*>(window);
            return dialog != nullptr && dialog->IsInClose() ? dialog : nullptr;
        }
    return nullptr;
}

class CWaitFilter : public QObject
{
protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        // The filter sees events that other threads posted (a worker's wake-up of the hand-over,
        // its messages) before their receivers do.
        AcquireHandover();
        const QEvent::Type type = event->type();
        if (CNotifyEvent::IsNotifyType(type))
        {
            auto* dialog = qobject_cast<CNVDialog*>(receiver);
            if (dialog == nullptr)
                return false;
            const auto* notify = static_cast<const CNotifyEvent*>(event);
            g_heldMessages.push_back({dialog, notify->Message(), notify->WParam(), notify->LParam()});
            return true;
        }
        if (!IsUserInput(*event))
            return false;
        const QWidget* widget = OwningWidget(receiver);
        if (widget == nullptr && type == QEvent::Close)
            widget = ClosingDialogOfNativeWindow(receiver);
        if (widget == nullptr || !IsBlockedWindow(widget->window()))
            return false;
        // A close box is the window's, whichever of its native window and itself receives it.
        const QObject& target = type == QEvent::Close ? static_cast<const QObject&>(*widget) : *receiver;
        if (const sTakenInput* input = TakenInputOf(&target);
            input != nullptr && IsActivation(target, *event))
        {
            // Left accepted, a close event hides the window all the same.
            if (type == QEvent::Close)
                event->ignore();
            // A copy: what it asks for may register or drop input.
            const std::function<void()> taken = input->taken;
            taken();
            return true;
        }
        if (type == QEvent::Close)
        {
            // Swallowed is not enough: a close event left accepted hides the window all the same.
            event->ignore();
            if (widget->window() == GetMainWindow())
                if (auto* mainWindow = qobject_cast<CNVDialog*>(GetMainWindow()))
                    HoldMainWindowClose(*mainWindow);
        }
        return true;
    }
};

CWaitFilter* g_pFilter = nullptr;

// The rules of a running wait, from its beginning to its end.
class CWaitRules
{
public:
    CWaitRules()
    {
        if (g_nWaits++ == 0)
        {
            g_pFilter = new CWaitFilter;
            QCoreApplication::instance()->installEventFilter(g_pFilter);
        }
        std::vector<QPointer<QWidget>> windows;
        for (QWidget* window : QApplication::topLevelWidgets())
            windows.emplace_back(window);
        g_blockedWindows.push_back(std::move(windows));
    }
    ~CWaitRules()
    {
        g_blockedWindows.pop_back();
        if (--g_nWaits != 0)
            return;
        delete g_pFilter;
        g_pFilter = nullptr;
        std::vector<sHeldMessage> held;
        held.swap(g_heldMessages);
        for (const sHeldMessage& message : held)
            if (message.dialog != nullptr)
                message.dialog->PostNotify(message.message, message.wParam, message.lParam);
    }
    CWaitRules(const CWaitRules&) = delete;
    CWaitRules& operator=(const CWaitRules&) = delete;

private:
    CNestedLoop m_loop;
    CWaitCursor m_cursor;
};

// What the worker and the waiting thread share.
struct sWorkState
{
    // The worker begins once the wait is open (at once, unless a test observes the wait first).
    void Open()
    {
        std::lock_guard lock(gateLock);
        open = true;
        gateOpened.notify_one();
    }
    void WaitUntilOpen()
    {
        std::unique_lock lock(gateLock);
        gateOpened.wait(lock, [this] { return open; });
    }

    std::mutex gateLock;
    std::condition_variable gateOpened;
    bool open = false; // under gateLock
    // User-interface thread only.
    bool done = false;
    QEventLoop* loop = nullptr;
};

// The wait itself: the work on a worker under the rules of a wait (user-interface thread).
void WaitForWorker(const std::function<void()>& work)
{
    const CWaitRules rules;
    auto state = std::make_shared<sWorkState>();
    const std::function<void()> observer = g_observer;
    if (!observer)
        state->Open();
    std::exception_ptr failure;
    std::thread worker;
    try
    {
        worker = std::thread(
            [state, &work, &failure]
            {
                state->WaitUntilOpen();
                try
                {
                    work();
                }
                catch (...)
                {
                    failure = std::current_exception();
                }
                // Behind the message boxes the work has raised, which are thus shown first.
                PostToUiThread(
                    [state]
                    {
                        state->done = true;
                        if (state->loop != nullptr)
                            state->loop->quit();
                    });
            });
    }
    catch (const std::system_error&)
    {
        // No thread to be had: the work is done here, the window frozen meanwhile.
        work();
        return;
    }

    QEventLoop loop;
    state->loop = &loop;
    if (observer)
        PostToUiThread(
            [state, observer]
            {
                observer();
                state->Open();
            });
    while (!state->done)
    {
        loop.exec();
        // An application that is ending leaves every loop; the worker is still waited for.
        if (!state->done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    state->loop = nullptr;
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace

void RunWaitingForWork(const std::function<void()>& work)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || QThread::currentThread() != application->thread())
    {
        work();
        return;
    }
    // A settings write that the work could not keep is told here after the wait, over the window
    // whose change it was (a CChangeScope of this thread), not by the worker inside the wait; and
    // only once the wait's rules have ended, so that its box is no part of the wait.
    std::vector<std::string> refused;
    std::exception_ptr failure;
    try
    {
        WaitForWorker(
            [&work, &refused]
            {
                const platform::settings::CChangeScope change(refused);
                work();
            });
    }
    catch (...)
    {
        failure = std::current_exception();
    }
    platform::settings::TellRefusals(refused);
    if (failure)
        std::rethrow_exception(failure);
}

bool IsWaitingForWork()
{
    return g_nWaits != 0;
}

int WaitDepth()
{
    return g_nWaits;
}

CNestedLoop::CNestedLoop()
{
    ++g_nLoops;
}

CNestedLoop::~CNestedLoop()
{
    --g_nLoops;
    PostRunHeldWork();
}

int NestedLoopDepth()
{
    return g_nLoops;
}

bool MustHoldWork(int depth)
{
    return g_nWaits != 0 || g_nLoops > depth;
}

void PostHeldWork(QObject* context, int depth, std::function<void()> work)
{
    g_heldWork.push_back({context, depth, std::move(work)});
    PostRunHeldWork();
}

bool HasHeldWork()
{
    return !g_heldWork.empty();
}

void TakeInputDuringWaits(QObject& input, std::function<void()> taken)
{
    std::erase_if(g_takenInput, [](const sTakenInput& entry) { return entry.input.isNull(); });
    g_takenInput.push_back({&input, std::move(taken)});
}

void SetWaitObserverForTests(std::function<void()> observer)
{
    g_observer = std::move(observer);
}

} // namespace ui
