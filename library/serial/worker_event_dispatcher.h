#ifndef QUILLON_WORKER_EVENT_DISPATCHER_H
#define QUILLON_WORKER_EVENT_DISPATCHER_H

#include <QAbstractEventDispatcher>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace Quillon {

// The event loop of the worker's thread. Each pass of the worker is queued
// after the last through this loop, thousands of times a second. The
// platform's loop pays a wake-up write, a poll and a read for every event
// the thread posts to itself; this one blocks only when nothing is pending
// and is woken through a condition variable, so an event posted by the
// thread that will run it costs no system call at all. It serves posted
// events and timers; the worker's thread has no sockets to watch.
class Worker_Event_Dispatcher : public QAbstractEventDispatcher
{
    Q_OBJECT

public:
    explicit Worker_Event_Dispatcher(QObject* parent = nullptr);
    ~Worker_Event_Dispatcher() override;

    bool processEvents(QEventLoop::ProcessEventsFlags flags) override;
    bool hasPendingEvents() override;

    void registerSocketNotifier(QSocketNotifier* notifier) override;
    void unregisterSocketNotifier(QSocketNotifier* notifier) override;

    void registerTimer(int timerId, int interval, Qt::TimerType timerType,
                       QObject* object) override;
    bool unregisterTimer(int timerId) override;
    bool unregisterTimers(QObject* object) override;
    QList<TimerInfo> registeredTimers(QObject* object) const override;
    int remainingTime(int timerId) override;

    void wakeUp() override;
    void interrupt() override;
    void flush() override;

private:
    using Clock = std::chrono::steady_clock;
    struct Timer
    {
        int id;
        int interval_ms;
        Qt::TimerType type;
        QObject* object;
        Clock::time_point due;
        bool firing;
    };

    // Sends the posted events; true when any had been posted.
    bool send_posted();
    // Sends a timer event for every timer that is due; true when any was.
    bool fire_due_timers();
    // Blocks until an event is posted, the loop is interrupted or a timer
    // falls due.
    void wait_for_more();

    // Timers belong to the dispatcher's own thread only.
    std::vector<Timer> timers;

    std::mutex lock;
    std::condition_variable woken;
    bool posted = false;   // under lock: wakeUp() since the last send
    bool sleeping = false; // under lock: wait_for_more() is blocked
    std::atomic<bool> interrupted{false};
};

} // namespace Quillon

#endif // QUILLON_WORKER_EVENT_DISPATCHER_H
