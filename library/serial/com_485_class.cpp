#include "com_485_class.h"

#include "com_resource.h"
#include "rx_scheduler_class.h"
#include "sanitizer_locks.h"
#include "scheduling/tx_scheduler_class.h"
#include "worker_event_dispatcher.h"

namespace Quillon {

COM_485_Class::COM_485_Class(COM_Resource* resource, QObject* parent)
    : QObject(parent), RX_Scheduler(new RX_Scheduler_Class(resource, this)),
      TX_Scheduler(new TX_Scheduler_Class(resource, this)), Resource(resource), Control(resource),
      Error_Before(resource->Last_Error)
{
    connect(Resource, SIGNAL(COM_Error(QString*)), this, SLOT(Stop_COM()));
    connect(this, &COM_485_Class::startWork, this, &COM_485_Class::doWork, Qt::QueuedConnection);
}

COM_485_Class::~COM_485_Class() = default;

void COM_485_Class::doWork()
{
    // A worker that has shut down has no resource and runs no more passes, so
    // Shutdown_Flag is always false here and each pass takes no lock for it.
    if (!Resource)
        return;
    if (Turn == 0)
        RX_Scheduler->Body();
    else
        TX_Scheduler->Body();
    if (act_on_command())
        emit startWork();
}

bool COM_485_Class::act_on_command()
{
    for (;;) {
        switch (int(Resource->COM_Command)) {
        case COM_Resource::COM_Run:
            Turn ^= 1;
            return true;
        case COM_Resource::COM_Shutdown:
            shut_down();
            return false;
        case COM_Resource::COM_Suspend:
            suspend();
            // A shutdown asked for while suspended is acted on now;
            // otherwise the transmit pass runs first.
            break;
        default:
            Resource->COM_Command = COM_Resource::COM_Shutdown;
            break;
        }
    }
}

void COM_485_Class::suspend()
{
    {
        // Taken under the lock, so that Resume() either calls the request off
        // before the worker sees it or knows that a suspension is under way.
        // A shutdown that came meanwhile stays in the control word, and the
        // caller acts on it instead.
        detail::Locker lock(State_Lock);
        int suspending = COM_Resource::COM_Suspend;
        if (!Resource->COM_Command.compare_exchange_strong(suspending, COM_Resource::COM_Run))
            return;
        Suspending = true;
    }

    // The outstanding request is reported as timed out to listeners of the
    // resource; its item hears nothing and is sent again after the resume.
    Packet_Shared_Ptr outstanding = Resource->Tracker.Tracked_Request();
    if (outstanding) {
        Resource->Tracker.Stop_Tracking();
        emit Resource->Rx_Timeout_Expected(outstanding);
    }

    detail::lock(State_Lock);
    // A resume or a shutdown asked for while the request was being reported
    // wins: the worker never stops, and nobody waits in vain.
    if (!Resume_Requested && int(Resource->COM_Command) != COM_Resource::COM_Shutdown) {
        Suspended_Flag = true;
        State_Changed.wakeAll();
        while (!Resume_Requested)
            detail::wait(Resume_Signal, State_Lock);
    }
    Resume_Requested = false;
    Suspending = false;
    Suspended_Flag = false;
    detail::unlock(State_Lock);

    // Stale bytes go now, before the transmit pass that comes first: left to
    // the next receive pass, the discard would also take the answer to the
    // request sent in between.
    RX_Scheduler->Phase = 0;
    if (int(Resource->COM_Command) == COM_Resource::COM_Run)
        RX_Scheduler->Discard_Buffers();
    Turn = 0;
}

void COM_485_Class::shut_down()
{
    RX_Scheduler->Phase = 0;
    TX_Scheduler->Phase = TX_Scheduler_Class::Select;
    TX_Scheduler->Close(Disconnect_Shutdown);
    // A request still tracked holds its deadline and the deadline holds it.
    Resource->Tracker.Stop_Tracking();

    // Only an error of this worker's own run is reported: the resource keeps
    // its last error text, and one from an earlier worker would end the next,
    // healthy connection. Texts are never reused while the resource lives.
    QString* const error = Resource->Last_Error;
    if (error && error != Error_Before) {
        {
            detail::Locker lock(State_Lock);
            Reported_Error = error;
        }
        emit Resource->COM_Error(error);
    }
    // The port is released before the waiters are told, so that a waiter
    // may drop the resource as soon as it wakes.
    Resource->CloseComPort();
    Resource = nullptr;

    {
        detail::Locker lock(State_Lock);
        Shutdown_Flag = true;
        State_Changed.wakeAll();
    }
    emit shutdown();
}

void COM_485_Class::Start_On(QThread* thread)
{
    moveToThread(thread);
    // The thread owns its loop and deletes it when it finishes, so a thread
    // started again gets a new one; a loop it was given elsewhere is kept.
    if (!thread->isRunning() && !thread->eventDispatcher())
        thread->setEventDispatcher(new Worker_Event_Dispatcher);
    connect(
        thread, &QThread::finished, thread, [thread] { detail::thread_finished(thread); },
        Qt::DirectConnection);
    thread->start();
    emit startWork();
}

bool COM_485_Class::Stop_On(QThread* thread, unsigned long wait_ms)
{
    if (!thread->isRunning())
        return true;
    setShutdown();
    Resume();
    waitForShutdown();
    thread->quit();
    if (!thread->wait(wait_ms))
        return false;
    detail::thread_joined(thread);
    return true;
}

void COM_485_Class::Stop_COM()
{
    setShutdown();
}

void COM_485_Class::setShutdown()
{
    // Under the worker's own lock: requests to one worker are served one
    // after the other, and requests to different workers never meet. Once
    // shut down, the resource may already belong to someone else.
    detail::Locker lock(State_Lock);
    if (!Shutdown_Flag)
        Control->COM_Command = COM_Resource::COM_Shutdown;
}

void COM_485_Class::setSuspend()
{
    // A suspension only replaces a run, so that it never cancels a shutdown
    // already asked for.
    detail::Locker lock(State_Lock);
    int running = COM_Resource::COM_Run;
    if (!Shutdown_Flag)
        Control->COM_Command.compare_exchange_strong(running, COM_Resource::COM_Suspend);
}

void COM_485_Class::waitForSuspend()
{
    detail::Locker lock(State_Lock);
    while (!Suspended_Flag && !Shutdown_Flag)
        detail::wait(State_Changed, State_Lock);
}

void COM_485_Class::waitForShutdown()
{
    detail::Locker lock(State_Lock);
    while (!Shutdown_Flag && !Suspended_Flag)
        detail::wait(State_Changed, State_Lock);
}

void COM_485_Class::Resume()
{
    detail::Locker lock(State_Lock);
    if (Shutdown_Flag)
        return;
    // A suspension the worker has not taken yet is called off.
    int suspending = COM_Resource::COM_Suspend;
    Control->COM_Command.compare_exchange_strong(suspending, COM_Resource::COM_Run);
    // One under way, or in force, ends. Suspended_Flag is cleared here
    // rather than by the worker, so that a waitForShutdown() right after
    // Resume() waits for the worker's next state.
    if (!Suspending)
        return;
    Suspended_Flag = false;
    Resume_Requested = true;
    Resume_Signal.wakeAll();
}

COM_Resource* COM_485_Class::Resource_In_Use()
{
    detail::Locker lock(State_Lock);
    return Shutdown_Flag ? nullptr : Control;
}

QString* COM_485_Class::Shutdown_Error()
{
    detail::Locker lock(State_Lock);
    return Reported_Error;
}

bool COM_485_Class::Is_Shutdown()
{
    detail::Locker lock(State_Lock);
    return Shutdown_Flag;
}

bool COM_485_Class::Is_Suspended()
{
    detail::Locker lock(State_Lock);
    return Suspended_Flag;
}

} // namespace Quillon
