#ifndef QUILLON_COM_485_CLASS_H
#define QUILLON_COM_485_CLASS_H

#include "quillon_global.h"

#include <QMutex>
#include <QObject>
#include <QThread>
#include <QWaitCondition>

#include <climits>

namespace Quillon {

class COM_Resource;
class RX_Scheduler_Class;
class TX_Scheduler_Class;

// The worker that owns the serial traffic once a port is open. It lives on a
// thread of its own and alternates a receive pass and a transmit pass, each
// queued after the last through the thread's event loop, so the half-duplex
// line never carries a request while an answer is being read. The user
// interface thread steers it only through the resource's control word and
// the suspend, resume and shutdown hand-shakes below.
class QUILLON_EXPORT COM_485_Class : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Is_Shutdown READ Is_Shutdown)
    Q_PROPERTY(bool Is_Suspended READ Is_Suspended)

public:
    COM_485_Class(COM_Resource* resource, QObject* parent = nullptr);
    ~COM_485_Class() override;

    RX_Scheduler_Class* RX_Scheduler;
    TX_Scheduler_Class* TX_Scheduler;
    // The open resource, not owned; null once the worker has shut down.
    COM_Resource* Resource;

    // Moves the worker to `thread`, starts the thread and the first pass.
    // Called on the user interface thread, which owns both.
    void Start_On(QThread* thread);
    // Shuts the worker down and waits up to `wait_ms` for `thread` to end;
    // true when it has ended (or was not running), so both may be deleted.
    bool Stop_On(QThread* thread, unsigned long wait_ms = ULONG_MAX);

    void setShutdown();
    void setSuspend();
    // Both block until the worker has suspended or shut down, whichever comes first.
    void waitForSuspend();
    void waitForShutdown();
    // Wakes a suspended worker. A suspension asked for but not yet in force
    // is called off, so that the worker never stops after a resume.
    void Resume();
    bool Is_Shutdown();
    bool Is_Suspended();
    // The resource while the worker uses it, null once it has shut down; safe
    // on any thread, unlike Resource, which the worker clears at shutdown.
    COM_Resource* Resource_In_Use();
    // The error the worker shut down on and sent with COM_Error, or null
    // when it shut down in order; an error of an earlier worker on the same
    // resource is never this worker's.
    QString* Shutdown_Error();

signals:
    void startWork();
    void shutdown();

public slots:
    void doWork();
    void Stop_COM();

private:
    // Returns true when the worker should carry on with its next pass.
    bool act_on_command();
    void suspend();
    void shut_down();

    // The control word's owner, kept for setShutdown/setSuspend from the user
    // interface thread, which must not read Resource while the worker clears it.
    COM_Resource* const Control;
    quint8 Turn = 0;
    // Shared by the worker and the waiters of both hand-shakes, so that a
    // wake-up cannot be lost between a waiter's check and its wait.
    QMutex State_Lock;
    QWaitCondition State_Changed;
    QWaitCondition Resume_Signal;
    bool Shutdown_Flag = false;
    bool Suspended_Flag = false;
    // A suspension has been taken from the control word and not yet ended.
    bool Suspending = false;
    bool Resume_Requested = false;
    // The resource's error text when the worker was made: older than its run.
    QString* const Error_Before;
    QString* Reported_Error = nullptr;
};

} // namespace Quillon

#endif // QUILLON_COM_485_CLASS_H
