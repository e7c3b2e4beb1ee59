#include "worker_event_dispatcher.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimerEvent>

#include <algorithm>

namespace Quillon {

Worker_Event_Dispatcher::Worker_Event_Dispatcher(QObject* parent) : QAbstractEventDispatcher(parent)
{}

Worker_Event_Dispatcher::~Worker_Event_Dispatcher()
{
    // The thread deletes its loop as soon as the loop has returned, which an
    // interrupt() from another thread may cause before that call has let go
    // of the lock: it is waited for here.
    std::lock_guard<std::mutex> guard(lock);
}

bool Worker_Event_Dispatcher::processEvents(QEventLoop::ProcessEventsFlags flags)
{
    interrupted = false;
    emit awake();
    bool handled = send_posted();
    handled = fire_due_timers() || handled;
    if (handled || !(flags & QEventLoop::WaitForMoreEvents) || interrupted)
        return handled;

    emit aboutToBlock();
    wait_for_more();
    emit awake();
    handled = send_posted();
    handled = fire_due_timers() || handled;
    return handled;
}

bool Worker_Event_Dispatcher::send_posted()
{
    bool was_posted = false;
    {
        std::lock_guard<std::mutex> guard(lock);
        was_posted = posted;
        posted = false;
    }
    // Events posted while these are sent call wakeUp() again and are sent
    // in the next round, before the loop may block.
    QCoreApplication::sendPostedEvents();
    return was_posted;
}

bool Worker_Event_Dispatcher::fire_due_timers()
{
    if (timers.empty())
        return false;
    const Clock::time_point now = Clock::now();
    std::vector<int> due;
    for (const Timer& timer : timers) {
        if (!timer.firing && timer.due <= now)
            due.push_back(timer.id);
    }
    for (int id : due) {
        // A timer event may stop, start or delete any timer, this one included.
        auto found =
            std::find_if(timers.begin(), timers.end(), [id](const Timer& t) { return t.id == id; });
        if (found == timers.end())
            continue;
        found->due = now + std::chrono::milliseconds(found->interval_ms);
        found->firing = true;
        QObject* object = found->object;
        QTimerEvent event(id);
        QCoreApplication::sendEvent(object, &event);
        found =
            std::find_if(timers.begin(), timers.end(), [id](const Timer& t) { return t.id == id; });
        if (found != timers.end())
            found->firing = false;
    }
    return !due.empty();
}

void Worker_Event_Dispatcher::wait_for_more()
{
    Clock::time_point until = Clock::time_point::max();
    for (const Timer& timer : timers) {
        if (!timer.firing)
            until = std::min(until, timer.due);
    }
    std::unique_lock<std::mutex> guard(lock);
    sleeping = true;
    while (!posted && !interrupted && Clock::now() < until) {
        if (until == Clock::time_point::max())
            woken.wait(guard);
        else
            woken.wait_until(guard, until);
    }
    sleeping = false;
}

bool Worker_Event_Dispatcher::hasPendingEvents()
{
    std::lock_guard<std::mutex> guard(lock);
    return posted;
}

void Worker_Event_Dispatcher::registerSocketNotifier(QSocketNotifier* notifier)
{
    qWarning("The worker's thread watches no sockets; notifier for %lld ignored",
             static_cast<long long>(notifier->socket()));
}

void Worker_Event_Dispatcher::unregisterSocketNotifier(QSocketNotifier*) {}

void Worker_Event_Dispatcher::registerTimer(int timerId, int interval, Qt::TimerType timerType,
                                            QObject* object)
{
    timers.push_back(Timer{timerId, interval, timerType, object,
                           Clock::now() + std::chrono::milliseconds(interval), false});
}

bool Worker_Event_Dispatcher::unregisterTimer(int timerId)
{
    const auto end = std::remove_if(timers.begin(), timers.end(),
                                    [timerId](const Timer& t) { return t.id == timerId; });
    const bool found = end != timers.end();
    timers.erase(end, timers.end());
    return found;
}

bool Worker_Event_Dispatcher::unregisterTimers(QObject* object)
{
    const auto end = std::remove_if(timers.begin(), timers.end(),
                                    [object](const Timer& t) { return t.object == object; });
    const bool found = end != timers.end();
    timers.erase(end, timers.end());
    return found;
}

QList<QAbstractEventDispatcher::TimerInfo>
Worker_Event_Dispatcher::registeredTimers(QObject* object) const
{
    QList<TimerInfo> list;
    for (const Timer& timer : timers) {
        if (timer.object == object)
            list.append(TimerInfo(timer.id, timer.interval_ms, timer.type));
    }
    return list;
}

int Worker_Event_Dispatcher::remainingTime(int timerId)
{
    for (const Timer& timer : timers) {
        if (timer.id == timerId) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(timer.due - Clock::now());
            return int(std::max<long long>(0, left.count()));
        }
    }
    return -1;
}

void Worker_Event_Dispatcher::wakeUp()
{
    std::lock_guard<std::mutex> guard(lock);
    posted = true;
    if (sleeping)
        woken.notify_one();
}

void Worker_Event_Dispatcher::interrupt()
{
    std::lock_guard<std::mutex> guard(lock);
    interrupted = true;
    // Also counted as a wake-up: an interruption that comes just before the
    // loop's next round, which clears `interrupted`, must still keep that
    // round from blocking, so that the loop sees its exit.
    posted = true;
    if (sleeping)
        woken.notify_one();
}

void Worker_Event_Dispatcher::flush() {}

} // namespace Quillon
