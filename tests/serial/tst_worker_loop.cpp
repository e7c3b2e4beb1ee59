// The worker's thread while the worker serves the line: whatever else lives
// on that thread (queued calls, timers, deferred deletion) still runs between
// the passes, and the thread ends when it is told to; a worker reports only
// an error of its own run.

#include "queued_spy.h"
#include "test_requests.h"
#include "worker_rig.h"

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
    QString error;
    QVERIFY2(rig->start(&error), qPrintable(error));
    std::atomic<int> answers{0};
    if (busy) {
        auto& item = rig->keep(new TX_Sched_Item_Protocol_Class);
        auto* request = new Packet_Get_DSA;
        request->AllocateData();
        Packet_Shared_Ptr handle(request);
        item.set_theTX_pkt(handle);
        item.setState(Protocol_Repeat);
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

    rig->sim.hang_up();
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
