// Serial work that the user waits for, done on a thread of its own while the user-interface thread
// keeps the windows alive.
//
// WaitForWork runs the work on a worker and waits for it in an event loop of its own, the way a
// modal popup waits for the user, with these rules for as long as the work runs:
// - the wait cursor is shown;
// - the windows keep painting (exposed, resized, updated);
// - no user input reaches a window that was open when the wait began: mouse, wheel, keys,
//   shortcuts, context menus and the close box of the window system are swallowed, not kept for
//   later, so that nobody can start a second operation or close a window under the worker;
// - the private messages that workers post to the dialogs (CNotifyEvent) are held back and posted
//   again once the last wait has ended, as they would wait for a busy thread;
// - message boxes that the work raises through the message-box hook (ui/MessageBoxes.h) come up
//   in turn, with the normal cursor, and are answered before the wait ends.
// Timers and queued calls still run, as they do under a modal popup.
//
// Workers never touch widgets: the work may use the connection, the device and plain objects that
// the window does not touch while it waits, and the window shows the outcome afterwards.
#pragma once

#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

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

// Tests: called on the user-interface thread once every wait has begun (cursor, input rules in
// place), before its work starts; null for none.
void SetWaitObserverForTests(std::function<void()> observer);

} // namespace ui
