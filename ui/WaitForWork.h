// Serial work that the user waits for, done on a thread of its own while the user-interface thread
// keeps the windows alive.
//
// WaitForWork runs the work on a worker and waits for it in an event loop of its own, the way a
// modal popup waits for the user, with these rules for as long as the work runs:
// - the wait cursor is shown;
// - the windows keep painting (exposed, resized, updated);
// - no user input reaches a window that was open when the wait began: mouse, wheel, keys,
//   shortcuts, context menus and the close box of the window system are swallowed, not kept for
//   later, so that nobody can start a second operation or close a window under the worker (the
//   main window's close box and the input given to TakeInputDuringWaits alone are kept, see
//   below);
// - the private messages that workers post to the dialogs (CNotifyEvent) are held back and posted
//   again once the last wait has ended, as they would wait for a busy thread;
// - message boxes that the work raises through the message-box hook (ui/MessageBoxes.h) come up
//   in turn, with the normal cursor, and are answered before the wait ends; a settings write of the
//   work refused at the settings file's size bound is told after the wait instead, on the waiting
//   thread: as part of its open CChangeScope (over that scope's window), else at once.
// Timers and queued calls still run, as they do under a modal popup; what would start serial work
// or change the connection goes through PostHeldWork instead and waits for the end.
//
// Workers never touch widgets: the work may use the connection, the device and plain objects that
// the window does not touch while it waits, and the window shows the outcome afterwards.
#pragma once

#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

class QObject;

namespace ui
{

// Runs the work as described above and returns when it has ended; an exception it throws is
// thrown again here. On another thread than the user-interface thread, or without an
// application, the work runs on the calling thread.
void RunWaitingForWork(const std::function<void()>& work);

// The same for work with a result.
template <typename Work>
std::invoke_result_t<Work&> WaitForWork(Work&& work)
{
    using Result = std::invoke_result_t<Work&>;
    if constexpr (std::is_void_v<Result>)
    {
        RunWaitingForWork(std::function<void()>(std::ref(work)));
    }
    else
    {
        std::optional<Result> result;
        RunWaitingForWork([&result, &work] { result.emplace(work()); });
        return std::move(*result);
    }
}

// True while a wait runs (user-interface thread). A timer's or a posted command that would close
// the window under the worker tries again later instead.
bool IsWaitingForWork();
// How many waits run now, one inside the other.
int WaitDepth();

// ---- Nested loops and held work ----
//
// A request of the window system to close the main window while a wait runs is taken once, after
// the wait, as a close of the main window (a second request meanwhile adds nothing); the close box
// of any other window does nothing during a wait.
//
// Every nested event loop of the user-interface thread (a wait, a modal dialog, a message box or
// file dialog of the dialog service) is a place where queued work may run. Work that starts
// serial work or changes the connection must not run inside one that opened after it was asked
// for: it is held instead and carried out, in the order it was asked for, once that loop has
// ended. The messages that workers post to a window are held the same way (CNVDialog), and a
// window's timers skip their work while it must hold work (CNVDialog::IsHoldingWork).
//
// Which of a worker's messages wait: one whose handling talks to the probe or may open a box (a
// read error, an operation's end) waits, for inside another box it would start a second operation
// or put a box under that box. Data that only goes to a file or the display (a live-data round) is
// taken at once under a box or popup (CNVDialog::TakeWhileHolding): a box may stay open for hours,
// and data kept waiting for it would pile up or be lost. Only a wait, which ends with its serial
// work, holds it too, and posts it again in order when it ends.

// Counts one nested loop for as long as it lives (user-interface thread).
class CNestedLoop
{
public:
    CNestedLoop();
    ~CNestedLoop();
    CNestedLoop(const CNestedLoop&) = delete;
    CNestedLoop& operator=(const CNestedLoop&) = delete;
};

// How many nested loops are open now (user-interface thread).
int NestedLoopDepth();

// Runs the work on the user-interface thread, later, once no wait runs and no nested loop deeper
// than `depth` is open: the depth of the loop that runs the window asking (CNVDialog::LoopDepth).
// Held work runs in the order it was posted; work whose context object has gone is dropped.
// User-interface thread.
void PostHeldWork(QObject* context, int depth, std::function<void()> work);

// Whether any work is held or waiting to run.
bool HasHeldWork();

// Input that a wait takes instead of swallowing: a click on the button (or the shortcut's keys,
// or the close box of the window given as the input) given during a wait calls `taken` at once in
// place of the input's own handling. `taken` starts nothing itself: it asks for held work
// (CNVDialog::PostHeld), which runs once the wait has ended, the way a command given while the
// user-interface thread was busy would run after it. For the commands that the user can give at
// any time, such as Connect and Disconnect; a main window that takes its close box this way
// decides itself what the close does, and is not closed for it after the wait. The registration
// ends with the input object. User-interface thread.
void TakeInputDuringWaits(QObject& input, std::function<void()> taken);

// True when work for a window at `depth` must be held now.
bool MustHoldWork(int depth);

// Tests: called on the user-interface thread once every wait has begun (cursor, input rules in
// place), before its work starts; null for none.
void SetWaitObserverForTests(std::function<void()> observer);

} // namespace ui
