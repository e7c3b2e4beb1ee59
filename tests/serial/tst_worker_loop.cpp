// The worker's thread while the worker serves the line: whatever else lives
// on that thread (queued calls, timers, deferred deletion) still runs between
// the passes, and the thread ends when it is told to; a worker reports only
// an error of its own run; a resume or a stop that comes while a suspension
// is still being taken wins over it.

#include "queued_spy.h"
#include "test_requests.h"
#include "worker_rig.h"

#include <QSemaphore>
#include <QtTest>

#include <atomic>
#include <memory>

using namespace Quillon;

class Worker_Loop : public QObject
{
    Q_OBJECT

private slots:
    void thread_events_between_passes_data();
    void thread_events_between_passes();
    void resume_or_stop_before_the_suspension_data();
    void resume_or_stop_before_the_suspension();
    void error_of_an_earlier_run_not_reported_data();
    void error_of_an_earlier_run_not_reported();
};

void Worker_Loop::thread_events_between_passes_data()
{
    QTest::addColumn<bool>("busy"); // a repeating item keeps the line busy
    QTest::newRow("idle line") << false;
    QTest::newRow("busy line") << true;
}

void Worker_Loop::thread_events_between_passes()
{
    QFETCH(bool, busy);
    auto rig = std::make_unique<Worker_Rig>();
    START_RIG(*rig);
    std::atomic<int> answers{0};
    if (busy) {
        auto& item = rig->repeating(new Packet_Get_DSA);
        connect(
            &item, &TX_Scheduler_Item_Class::Rx, &item, [&answers] { ++answers; },
            Qt::DirectConnection);
        rig->worker->TX_Scheduler->Schedule_Item(&item);
        QTRY_VERIFY(answers > 10);
    }

    std::atomic<bool> on_worker_thread{false};
    std::atomic<int> ticks{0};
    std::atomic<bool> deleted{false};
    QThread* const worker_thread = &rig->thread;
    auto* guest = new QObject;
    connect(
        guest, &QObject::destroyed, guest, [&deleted] { deleted = true; }, Qt::DirectConnection);
    guest->moveToThread(worker_thread);
    QMetaObject::invokeMethod(
        guest,
        [&, guest] {
            on_worker_thread = QThread::currentThread() == worker_thread;
            auto* timer = new QTimer(guest);
            connect(timer, &QTimer::timeout, timer, [&ticks] { ++ticks; });
            timer->start(5);
        },
        Qt::QueuedConnection);
    QTRY_VERIFY(ticks >= 3);
    QVERIFY(on_worker_thread);
    QMetaObject::invokeMethod(guest, &QObject::deleteLater, Qt::QueuedConnection);
    QTRY_VERIFY(deleted);

    // The line was served all along.
    const int before = answers;
    QTRY_VERIFY(!busy || answers > before + 10);
    QVERIFY(rig->worker->Stop_On(worker_thread, 5000));
}

void Worker_Loop::resume_or_stop_before_the_suspension_data()
{
    QTest::addColumn<bool>("stop"); // Stop_On rather than Resume
    QTest::newRow("suspend, resume") << false;
    QTest::newRow("suspend, stop") << true;
}

// The worker has taken the suspension from the control word but is still
// reporting its outstanding request (a receiver of Rx_Timeout_Expected holds
// it there) when the interface thread resumes it, or stops it. Either way the
// worker must not stay suspended: it serves the line again, or it ends.
void Worker_Loop::resume_or_stop_before_the_suspension()
{
    QFETCH(bool, stop);
    auto rig = std::make_unique<Worker_Rig>();
    QString error;
    QVERIFY2(rig->start(&error), qPrintable(error));
    COM_Resource* const resource = rig->resource;
    const QString device = QString::fromStdString(rig->sim.device_path());

    std::atomic<int> answers{0};
    auto& item = rig->repeating(new Packet_Get_DSA);
    connect(
        &item, &TX_Scheduler_Item_Class::Rx, &item, [&answers] { ++answers; },
        Qt::DirectConnection);

    // The suspension is asked for right after a request went out, so that a
    // request is outstanding when the worker takes it.
    std::atomic<COM_485_Class*> suspend_after_send{nullptr};
    std::atomic<bool> reporting{false};
    std::atomic<bool> interface_done{false};
    QSemaphore taken;
    auto& context = rig->keep(new QObject);
    connect(
        resource, &COM_Resource::Tx_Packet, &context,
        [&] {
            if (COM_485_Class* worker = suspend_after_send.exchange(nullptr)) {
                reporting = true;
                worker->setSuspend();
            }
        },
        Qt::DirectConnection);
    connect(
        resource, &COM_Resource::Rx_Timeout_Expected, &context,
        [&] {
            if (!reporting.exchange(false))
                return;
            taken.release();
            // Held until the interface thread has done its part; Stop_On
            // only returns once the worker has moved on, so for a stop the
            // hold ends shortly after the shutdown was asked for.
            QDeadlineTimer limit(5000);
            while (!limit.hasExpired() && !interface_done &&
                   int(resource->COM_Command) != COM_Resource::COM_Shutdown)
                QThread::usleep(200);
            if (!interface_done)
                QThread::msleep(20);
        },
        Qt::DirectConnection);

    for (int round = 0; round < 20; ++round) {
        if (round > 0) {
            // A fresh worker on the same resource, as after a lost connection.
            QVERIFY(resource->OpenComPort(&device, error));
            resource->COM_Command = COM_Resource::COM_Run;
            rig->worker = new COM_485_Class(resource);
            rig->worker->Start_On(&rig->thread);
        }
        COM_485_Class* const worker = rig->worker;
        worker->TX_Scheduler->Schedule_Item(&item);
        QTRY_VERIFY(answers > 0);
        interface_done = false;
        suspend_after_send = worker;
        QVERIFY2(taken.tryAcquire(1, 5000), qPrintable(QString::number(round)));
        if (stop) {
            QVERIFY2(worker->Stop_On(&rig->thread, 5000), qPrintable(QString::number(round)));
            QVERIFY(worker->Is_Shutdown() && !worker->Is_Suspended());
            rig->worker = nullptr;
            delete worker;
            continue;
        }
        worker->Resume();
        interface_done = true;
        const int before = answers;
        QTRY_VERIFY2(answers > before + 2, qPrintable(QString::number(round)));
        QVERIFY(!worker->Is_Suspended());
        QVERIFY(worker->Stop_On(&rig->thread, 5000));
        rig->worker = nullptr;
        delete worker;
        answers = 0;
    }
}

void Worker_Loop::error_of_an_earlier_run_not_reported_data()
{
    QTest::addColumn<bool>("left_over"); // the earlier error still recorded
    QTest::newRow("port opened anew") << false;
    QTest::newRow("error left over") << true;
}

// A worker ends on a lost line and reports it; the next worker on the same
// resource stops in order and reports nothing, whatever the resource still
// remembers of the earlier run.
void Worker_Loop::error_of_an_earlier_run_not_reported()
{
    QFETCH(bool, left_over);
    auto rig = std::make_unique<Worker_Rig>();
    QString error;
    QVERIFY2(rig->start(&error), qPrintable(error));
    COM_Resource* const resource = rig->resource;
    auto& errors = rig->keep(new Queued_Spy(resource, &COM_Resource::COM_Error));

    // The interface thread asks for the resource while the worker lets it go.
    QCOMPARE(rig->worker->Resource_In_Use(), resource);
    rig->sim.hang_up();
    QTRY_VERIFY(!rig->worker->Resource_In_Use());
    QTRY_COMPARE(errors.count(), 1);
    QTRY_VERIFY(rig->worker->Is_Shutdown());
    QCOMPARE(rig->worker->Shutdown_Error(), errors.arg<QString*>(0));
    QVERIFY(rig->worker->Stop_On(&rig->thread, 5000));
    delete rig->worker;
    rig->worker = nullptr;

    // The adapter plugged in again, and the same resource opens it.
    QVERIFY(rig->sim.start());
    const QString device = QString::fromStdString(rig->sim.device_path());
    QVERIFY2(resource->OpenComPort(&device, error), qPrintable(error));
    QVERIFY(!resource->Last_Error);
    if (left_over)
        resource->Set_Last_Error(*errors.arg<QString*>(0));
    resource->COM_Command = COM_Resource::COM_Run;
    rig->worker = new COM_485_Class(resource);
    rig->worker->Start_On(&rig->thread);
    QVERIFY(rig->worker->Stop_On(&rig->thread, 5000));
    QCoreApplication::processEvents();
    QCOMPARE(errors.count(), 1);
    QVERIFY(!rig->worker->Shutdown_Error());
}

QTEST_GUILESS_MAIN(Worker_Loop)
#include "tst_worker_loop.moc"
