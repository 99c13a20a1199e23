#include "tools/probe-sim/LineReader.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <system_error>
#include <unistd.h>
#include <utility>

#include "tools/probe-sim/RealTime.h"

namespace probesim
{

namespace
{

class PiLock
{
public:
    explicit PiLock(pthread_mutex_t& mutex) : m_mutex(mutex) { pthread_mutex_lock(&m_mutex); }
    ~PiLock() { pthread_mutex_unlock(&m_mutex); }
    PiLock(const PiLock&) = delete;
    PiLock& operator=(const PiLock&) = delete;

private:
    pthread_mutex_t& m_mutex;
};

void InitPriorityInheritingMutex(pthread_mutex_t& mutex)
{
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_INHERIT);
    const int error = pthread_mutex_init(&mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    if (error != 0)
        throw std::system_error(error, std::generic_category(), "pthread_mutex_init");
}

} // namespace

LineReader::LineReader(int fd, std::function<void()> arrived) : m_fd(fd), m_arrived(std::move(arrived))
{
    InitPriorityInheritingMutex(m_mutex);
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
    {
        const int error = errno;
        pthread_mutex_destroy(&m_mutex);
        throw std::system_error(error, std::generic_category(), "pipe2");
    }
    m_stopRead = fds[0];
    m_stopWrite = fds[1];
    try
    {
        m_thread = std::thread([this] { Run(); });
    }
    catch (...)
    {
        close(m_stopRead);
        close(m_stopWrite);
        pthread_mutex_destroy(&m_mutex);
        throw;
    }
}

LineReader::~LineReader()
{
    Stop();
    close(m_stopRead);
    close(m_stopWrite);
    pthread_mutex_destroy(&m_mutex);
}

void LineReader::Stop()
{
    if (!m_thread.joinable())
        return;
    m_stop = true;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(m_stopWrite, &byte, 1);
    m_thread.join();
}

std::vector<ArrivedBytes> LineReader::Take()
{
    PiLock lock(m_mutex);
    m_queuedBytes = 0;
    return std::exchange(m_queue, {});
}

bool LineReader::Queue(std::optional<ArrivedBytes> chunk)
{
    PiLock lock(m_mutex);
    if (chunk)
    {
        m_queuedBytes += chunk->bytes.size();
        m_bytesRead += chunk->bytes.size();
        m_queue.push_back(std::move(*chunk));
    }
    return m_queuedBytes < kMaxQueuedBytes;
}

bool LineReader::WaitForStop(int timeoutMs) const
{
    pollfd stop{m_stopRead, POLLIN, 0};
    poll(&stop, 1, timeoutMs);
    return m_stop.load();
}

void LineReader::Run()
{
    TryRealTimePriority();
    std::vector<uint8_t> buffer(4096);
    while (!m_stop.load())
    {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_stopRead, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            break; // nothing here can mend a broken descriptor: the line goes deaf
        if (m_stop.load())
            break;
        if (fds[0].revents & POLLIN)
        {
            bool queued = false;
            for (bool room = Queue(std::nullopt); room;)
            {
                const ssize_t n = read(m_fd, buffer.data(), buffer.size());
                if (n <= 0)
                    break;
                room = Queue(ArrivedBytes{Clock::now(), std::vector<uint8_t>(buffer.begin(), buffer.begin() + n)});
                queued = true;
            }
            if (queued)
                m_arrived();
            // A full queue leaves the bytes to the pseudo-terminal for now; and nothing here spins,
            // at a priority that nothing else on the machine could interrupt.
            else if (WaitForStop(10))
                break;
        }
        else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
        {
            // The slave side is held open, so this should not last; do not spin meanwhile.
            if (WaitForStop(10))
                break;
        }
    }
}

} // namespace probesim
