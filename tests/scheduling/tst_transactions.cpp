// The transmit scheduler, its items and the worker thread against the
// virtual controller over a pseudo-terminal: what a user of the library
// feels, one behaviour per case.

#include "queued_spy.h"
#include "sent_log.h"
#include "test_requests.h"
#include "worker_rig.h"

#include <QtTest>

#include <memory>

using namespace Quillon;

class Transactions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { rig.reset(); }
    void items_served_in_rotation();
    void unanswered_request_sent_six_times_then_disconnected_data();
    void unanswered_request_sent_six_times_then_disconnected();
    void suspend_with_request_outstanding();
    void item_kept_when_its_focus_comes_back();
    void shutdown_while_suspended();
    void finish_told_while_an_answer_is_handled();

private:
    TX_Sched_Item_Protocol_Class* repeating(Packet_Class* request)
    {
        return &rig->repeating(request);
    }
    TX_Scheduler_Class* scheduler() { return rig->worker->TX_Scheduler; }
    template <class Sender, class Signal> Queued_Spy& spy(Sender* sender, Signal signal)
    {
        return rig->keep(new Queued_Spy(sender, signal));
    }

    std::unique_ptr<Worker_Rig> rig;
};

void Transactions::init()
{
    rig.reset(new Worker_Rig);
    START_RIG(*rig);
}

void Transactions::items_served_in_rotation()
{
    Sent_Log& log = rig->keep(new Sent_Log(rig->resource));
    auto x = repeating(new Packet_Get_DSA);
    auto held = repeating(new Packet_Get_OAT);
    held->setAction(Action_Hold);
    for (auto item : {x, held, repeating(new Packet_Get_PSA), repeating(new Packet_Get_PXV)})
        scheduler()->Schedule_Item(item);
    scheduler()->Schedule_Item(x); // listed once
    QTRY_VERIFY(log.codes().size() >= 9);
    // One after the other in scheduling order, wherever the rotation begins;
    // a held item stays listed but is never sent.
    const QString order = log.codes().mid(0, 9).join(' ');
    QVERIFY2(QStringLiteral("DSA PSA PXV DSA PSA PXV DSA PSA PXV DSA PSA").contains(order),
             qPrintable(order));
    QCOMPARE(scheduler()->Count(), 4);

    // A one-shot item goes out once, in its turn; the rotation goes on.
    Packet_Shared_Ptr mod(new Packet_Get_MOD);
    mod->AllocateData();
    auto& once = rig->keep(new TX_Sched_Item_Send_Once_Class(mod));
    Queued_Spy& finished = spy(&once, &TX_Scheduler_Item_Class::Finished);
    held->setAction(Action_Start);
    scheduler()->Schedule_Item(&once);
    QTRY_COMPARE(finished.count(), 1);
    QVERIFY(finished.arg<Disconnect_Enum>(0) == Disconnect_None && !once.Is_Scheduled());
    const int at = log.codes().indexOf("MOD");
    QTRY_VERIFY(log.codes().size() >= at + 5 && log.count("OAT") >= 1);
    const QStringList codes = log.codes();
    QVERIFY(log.count("MOD") == 1 && at >= 1 && codes[at - 1] != codes[at + 1]);
}

void Transactions::unanswered_request_sent_six_times_then_disconnected_data()
{
    QTest::addColumn<bool>("chained");
    QTest::newRow("plain") << false;
    // Its next packet is the same request again, as a held move button's is.
    QTest::newRow("chained") << true;
}

void Transactions::unanswered_request_sent_six_times_then_disconnected()
{
    QFETCH(bool, chained);
    rig->sim.set_silent_commands({"get DSA"});
    auto x = repeating(new Packet_Get_DSA);
    Queued_Spy& finished = spy(x, &TX_Scheduler_Item_Class::Finished);
    Queued_Spy& disconnected = spy(rig->resource, &COM_Resource::Item_Disconnected);
    Queued_Spy& timeouts = spy(rig->resource, &COM_Resource::Rx_Timeout_Expected);

    scheduler()->Schedule_Item(x);
    // Given while the worker sends it, as a move button's press is.
    Packet_Shared_Ptr next = x->TX_message();
    if (chained)
        x->Set_Next_TX_Pkt(next);
    QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 1, 10000);
    QVERIFY(disconnected.arg<Disconnect_Enum>(0) == Disconnect_Timeout && finished.count() == 1);
    QCOMPARE(rig->sim.request_count("get DSA"), 6u);
    QVERIFY(timeouts.count() == 6 && scheduler()->Count() == 0);

    // Scheduled again, it gets six more sends.
    scheduler()->Schedule_Item(x);
    QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 2, 10000);
    QCOMPARE(rig->sim.request_count("get DSA"), 12u);
}

void Transactions::suspend_with_request_outstanding()
{
    rig->sim.set_silent_commands({"get DSA"});
    auto request = new Timed_Request(100);
    auto x = repeating(request);
    Queued_Spy& timeouts = spy(rig->resource, &COM_Resource::Rx_Timeout_Expected);
    scheduler()->Schedule_Item(x);
    QTRY_COMPARE(rig->sim.request_count("get DSA"), 1u);

    // Reported as timed out (a busy machine may let it expire first).
    rig->worker->setSuspend();
    rig->worker->waitForSuspend();
    QVERIFY(rig->worker->Is_Suspended() && !rig->resource->Tracker.Is_Tracking());
    QTest::qWait(300);
    const unsigned sent = rig->sim.request_count("get DSA");
    const int timed_out = timeouts.count();
    QVERIFY(timed_out >= 1 && timeouts.arg<Packet_Shared_Ptr>(0) == x->TX_message());
    QTest::qWait(200); // nothing goes out while suspended
    QCOMPARE(rig->sim.request_count("get DSA"), sent);

    // After the resume the transmit pass comes first and sends it again, with
    // a deadline no busy machine misses: only a lost answer would expire.
    rig->sim.set_silent_commands({});
    request->timeout = 5000;
    rig->worker->Resume();
    // The lone item goes out again as soon as it is answered: the first
    // request after the resume was not lost to the discard of stale input.
    QTRY_VERIFY(rig->sim.request_count("get DSA") >= sent + 2);
    QCOMPARE(timeouts.count(), timed_out);
}

void Transactions::item_kept_when_its_focus_comes_back()
{
    Sent_Log& log = rig->keep(new Sent_Log(rig->resource));
    auto x = repeating(new Packet_Get_DSA);
    scheduler()->Schedule_Item(x);
    scheduler()->Schedule_Item(repeating(new Packet_Get_PSA));
    QTRY_VERIFY(log.count("DSA") >= 2);

    // Told to finish, then kept before the scheduler dropped it.
    rig->worker->setSuspend();
    rig->worker->waitForSuspend();
    x->setAction(Action_Done);
    QVERIFY(scheduler()->Keep_Scheduled(x) && x->Action() == Action_Repeat);
    rig->worker->Resume();
    const int before = log.count("DSA");
    QTRY_VERIFY(log.count("DSA") >= before + 3);
    QCOMPARE(scheduler()->Count(), 2);

    // Once dropped, it is no longer listed and must be scheduled anew.
    x->setAction(Action_Done);
    QTRY_VERIFY(!x->Is_Scheduled());
    QVERIFY(!scheduler()->Keep_Scheduled(x));
}

void Transactions::shutdown_while_suspended()
{
    auto x = repeating(new Packet_Get_DSA);
    Queued_Spy& finished = spy(x, &TX_Scheduler_Item_Class::Finished);
    Queued_Spy& down = spy(rig->worker, &COM_485_Class::shutdown);
    Queued_Spy& errors = spy(rig->resource, &COM_Resource::COM_Error);
    scheduler()->Schedule_Item(x);
    QTRY_VERIFY(rig->sim.request_count("get DSA") >= 2u);

    rig->worker->setSuspend();
    rig->worker->waitForSuspend();
    // A request written just before the suspend may still be on its way.
    QTest::qWait(100);
    const unsigned sent = rig->sim.request_count("get DSA");
    // Asked twice, and a suspend after it does not cancel it.
    rig->worker->setShutdown();
    rig->worker->setShutdown();
    rig->worker->setSuspend();
    rig->worker->Resume();
    rig->worker->waitForShutdown();
    QVERIFY(rig->worker->Is_Shutdown());
    QTRY_COMPARE(down.count(), 1);
    QCOMPARE(rig->sim.request_count("get DSA"), sent);
    QVERIFY(!x->Is_Scheduled() && !x->Is_Running() && x->Reason == Disconnect_Shutdown);
    QVERIFY(finished.isEmpty() && errors.isEmpty() && !rig->resource->Port_Handle.Is_Open());

    // A worker that has shut down sends nothing again: an item scheduled on
    // it now is left free for the next worker.
    scheduler()->Schedule_Item(x);
    QVERIFY(!x->Is_Scheduled() && scheduler()->Count() == 0);
}

// The interface thread tells an item to finish (a tab losing the focus) just
// as the worker handles its answer: here, while the worker announces that the
// one step is done. The finish is never undone by the worker, so the item is
// dropped rather than left listed.
void Transactions::finish_told_while_an_answer_is_handled()
{
    auto x = repeating(new Packet_Get_DSA);
    x->setState(Protocol_Step);
    Queued_Spy& finished = spy(x, &TX_Scheduler_Item_Class::Finished);
    QThread* const interface_thread = QThread::currentThread();
    connect(
        x, &TX_Sched_Item_Protocol_Class::Protocol_Update, x,
        [x, interface_thread] {
            if (QThread::currentThread() != interface_thread && x->State() == Protocol_Idle)
                x->setAction(Action_Done);
        },
        Qt::DirectConnection);
    scheduler()->Schedule_Item(x);
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.arg<Disconnect_Enum>(0), Disconnect_None);
    QCOMPARE(scheduler()->Count(), 0);
    QCOMPARE(rig->sim.request_count("get DSA"), 1u);
}

QTEST_GUILESS_MAIN(Transactions)
#include "tst_transactions.moc"
