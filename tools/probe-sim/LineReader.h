// The receive side of the simulated probe's line: a thread of its own that takes the master's bytes
// off the pseudo-terminal as they come and stamps them with their arrival, as an instrument's UART
// takes them off the wire whatever its firmware is busy with.
//
// A pseudo-terminal is no wire: what the master wrote waits in it until this side reads it, and the
// master's purge before its next request (TCIOFLUSH on the slave side) throws away whatever is still
// waiting there. Read by the worker, which also answers and can be held off for a while by the
// device model, a request that the master gave up on could vanish unheard, and requests that came
// while nobody read ran into one another. So this thread does nothing but read, at real-time
// priority where the process may have it (RealTime.h), and never waits for a lock that a thread of
// lower priority could hold for long: the queue's lock passes its priority on to its holder.
#pragma once

#include <pthread.h>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "tools/probe-sim/FrameReceiver.h"

namespace probesim
{

struct ArrivedBytes
{
    Clock::time_point at;
    std::vector<uint8_t> bytes;
};

class LineReader
{
public:
    // Starts reading the non-blocking descriptor fd; `arrived` is called on the reader's thread
    // after bytes were queued. Throws std::system_error when the thread cannot be had.
    LineReader(int fd, std::function<void()> arrived);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // What arrived since the last call, oldest first.
    std::vector<ArrivedBytes> Take();
    // Bytes taken off the line so far.
    uint64_t BytesRead() const { return m_bytesRead.load(); }
    void Stop(); // idempotent

private:
    // Bytes read but not taken, beyond which the reader waits for the worker instead of reading on:
    // the pseudo-terminal then holds back the master, as it would with no reader at all.
    static constexpr size_t kMaxQueuedBytes = 64 * 1024;

    void Run();
    // Queues the chunk, if any; whether the queue has room for more.
    bool Queue(std::optional<ArrivedBytes> chunk);
    bool WaitForStop(int timeoutMs) const;

    int m_fd;
    std::function<void()> m_arrived;
    pthread_mutex_t m_mutex; // priority inheritance; guards the two below
    std::vector<ArrivedBytes> m_queue;
    size_t m_queuedBytes = 0;
    std::atomic<uint64_t> m_bytesRead{0};
    std::atomic<bool> m_stop{false};
    int m_stopRead = -1;
    int m_stopWrite = -1;
    std::thread m_thread; // last: starts when everything else exists
};

} // namespace probesim
