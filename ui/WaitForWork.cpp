#include "ui/WaitForWork.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QWidget>

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

// Everything below lives on the user-interface thread.
int g_nWaits = 0;
// Per running wait, the windows that were open when it began.
std::vector<std::vector<QPointer<QWidget>>> g_blockedWindows;
std::vector<sHeldMessage> g_heldMessages;
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
        return widget != nullptr && IsBlockedWindow(widget->window());
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

} // namespace

void RunWaitingForWork(const std::function<void()>& work)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || QThread::currentThread() != application->thread())
    {
        work();
        return;
    }

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

bool IsWaitingForWork()
{
    return g_nWaits != 0;
}

void SetWaitObserverForTests(std::function<void()> observer)
{
    g_observer = std::move(observer);
}

} // namespace ui
