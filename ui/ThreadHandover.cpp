#include "ui/ThreadHandover.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace ui
{
namespace
{
std::atomic<uint64_t> g_nHandovers{0};

std::mutex g_queueLock;
std::deque<std::function<void()>> g_queue;

// Runs on the user-interface thread once per posted piece of work; takes the oldest one.
void RunNextQueued()
{
    std::function<void()> work;
    {
        std::lock_guard<std::mutex> lock(g_queueLock);
        if (g_queue.empty())
            return;
        work = std::move(g_queue.front());
        g_queue.pop_front();
    }
    work();
}

const QEvent::Type kRunQueuedEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// Lives on the user-interface thread; each wake-up event it gets runs one piece of queued work.
class CQueuedWorkRunner : public QObject
{
protected:
    bool event(QEvent* event) override
    {
        AcquireHandover();
        if (event->type() != kRunQueuedEvent)
            return QObject::event(event);
        RunNextQueued();
        return true;
    }
};

// Under g_queueLock. Made on first use for the application of the moment, and kept with it.
QObject* Runner()
{
    static QPointer<QObject> runner;
    QCoreApplication* application = QCoreApplication::instance();
    if (runner.isNull() || runner->parent() != application)
    {
        auto* created = new CQueuedWorkRunner;
        created->moveToThread(application->thread());
        created->setParent(application);
        runner = created;
    }
    return runner.data();
}
} // namespace

void PublishHandover()
{
    g_nHandovers.fetch_add(1, std::memory_order_release);
}

void AcquireHandover()
{
    static_cast<void>(g_nHandovers.load(std::memory_order_acquire));
}

void PostToUiThread(std::function<void()> work)
{
    std::lock_guard<std::mutex> lock(g_queueLock);
    g_queue.push_back(std::move(work));
    // The wake-up carries nothing of ours: the work is taken from the queue under its lock.
    auto* wakeUp = new QEvent(kRunQueuedEvent);
    PublishHandover();
    QCoreApplication::postEvent(Runner(), wakeUp);
}

void RunOnUiThread(const std::function<void()>& work)
{
    std::mutex doneLock;
    std::condition_variable doneSignal;
    bool done = false;
    PostToUiThread(
        [&]
        {
            work();
            std::lock_guard<std::mutex> lock(doneLock);
            done = true;
            doneSignal.notify_one();
        });
    std::unique_lock<std::mutex> lock(doneLock);
    doneSignal.wait(lock, [&] { return done; });
}

} // namespace ui
