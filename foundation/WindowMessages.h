// The private messages that workers and the dialog registry send to windows, and the one way a
// thread below the windows reaches a window: it posts a message number through INotifyWindow,
// which the dialog base implements by posting an event (never touching the widget), and which a
// test implements with a queue.
#pragma once

#include <cstdint>

namespace windowmsg
{
inline constexpr uint32_t WM_DEVICE_CONNECTED = 0x40B;
inline constexpr uint32_t WM_CAL_ACCEPTED = 0x411;
inline constexpr uint32_t WM_DEVICE_DISCONNECTED = 0x417;
inline constexpr uint32_t WM_REQUEST_DISCONNECT = 0x425;
inline constexpr uint32_t WM_DEVICE_RESET = 0x42B;
inline constexpr uint32_t WM_NEW_DATA = 0x459;
inline constexpr uint32_t WM_SENSORS_CHANGED = 0x45B;
inline constexpr uint32_t WM_READ_ERROR = 0x461;
inline constexpr uint32_t WM_CAL_NEXT_POINT = 0x46B;
inline constexpr uint32_t WM_CAL_SAMPLES_READY = 0x47F;
inline constexpr uint32_t WM_CONNECTION_LOST = 0x4FD;
} // namespace windowmsg

// A window as a worker thread sees it. PostNotify may be called from any thread and returns at
// once; the window handles the message later on its own thread. The window outlives every thread
// that posts to it (it joins them before it goes).
class INotifyWindow
{
public:
    virtual void PostNotify(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0) = 0;

protected:
    ~INotifyWindow() = default;
};
