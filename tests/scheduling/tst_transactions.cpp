// The transmit scheduler, its items and the worker thread against the
// virtual controller over a pseudo-terminal: what a user of the library
// feels, one behaviour per case.

#include "../serial/test_requests.h"
#include "queued_spy.h"
#include "sent_log.h"
#include "serial_error_text.h"
#include "worker_rig.h"

#include <QtTest>

#include <memory>

using namespace Quillon;

class Transactions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void items_served_in_rotation();
    void unanswered_request_sent_six_times_then_disconnected_data();
    void unanswered_request_sent_six_times_then_disconnected();
    void next_packet_changed_while_running();
    void suspend_with_request_outstanding();
    void item_kept_when_its_focus_comes_back();
    void shutdown_while_suspended();
    void hang_up_is_a_serial_error();
    void shutdown_not_undone_by_a_suspend();
    void items_without_a_port();

private:
    // Items outlive the worker that lists them.
    TX_Sched_Item_Protocol_Class* repeating(Packet_Class* request);
    TX_Scheduler_Class* scheduler() { return rig->worker->TX_Scheduler; }

    // Receivers of the worker's signals, kept until the worker has stopped:
    // one destroyed while the worker still emits to it races inside Qt.
    template <class Sender, class Signal> Queued_Spy& spy(Sender* sender, Signal signal)
    {
        receivers.emplace_back(new Queued_Spy(sender, signal));
        return static_cast<Queued_Spy&>(*receivers.back());
    }
    Sent_Log& sent_log()
    {
        receivers.emplace_back(new Sent_Log(rig->resource));
        return static_cast<Sent_Log&>(*receivers.back());
    }

    std::unique_ptr<Worker_Rig> rig;
    std::vector<std::unique_ptr<TX_Scheduler_Item_Class>> items;
    std::vector<std::unique_ptr<QObject>> receivers;
};

TX_Sched_Item_Protocol_Class* Transactions::repeating(Packet_Class* request)
{
    auto item = new TX_Sched_Item_Protocol_Class;
    items.emplace_back(item);
    request->AllocateData();
    Packet_Shared_Ptr p(request);
    item->set_theTX_pkt(p);
    item->setState(Protocol_Repeat);
    return item;
}

void Transactions::init()
{
    rig.reset(new Worker_Rig);
    QString error;
    QVERIFY2(rig->start(&error), qPrintable(error));
}

void Transactions::cleanup()
{
    rig.reset();
    receivers.clear();
    items.clear();
}

void Transactions::items_served_in_rotation()
{
    Sent_Log& log = sent_log();
    auto x = repeating(new Packet_Get_DSA);
    auto held = repeating(new Packet_Get_OAT);
    held->setAction(Action_Hold);
    Queued_Spy& answers = spy(x, &TX_Scheduler_Item_Class::Rx);
    for (auto item : {x, held, repeating(new Packet_Get_PSA), repeating(new Packet_Get_PXV)})
        scheduler()->Schedule_Item(item);
    scheduler()->Schedule_Item(x); // listed once
    QTRY_VERIFY(log.codes.size() >= 9);
    // One after the other in scheduling order, wherever the rotation begins;
    // a held item stays listed but is never sent.
    const QString order = log.codes.mid(0, 9).join(' ');
    QVERIFY2(QStringLiteral("DSA PSA PXV DSA PSA PXV DSA PSA PXV DSA PSA").contains(order),
             qPrintable(order));
    QCOMPARE(scheduler()->Count(), 4);
    QTRY_VERIFY(!answers.isEmpty());
    const auto angle = answers.arg<Packet_Shared_Ptr>(0);
    QVERIFY(angle->ID() == Packet_Resp_DSA::packet_type && angle->Valid);

    // A one-shot item goes out once, in its turn; the rotation goes on.
    Packet_Shared_Ptr mod(new Packet_Get_MOD);
    mod->AllocateData();
    TX_Sched_Item_Send_Once_Class once(mod);
    Queued_Spy& finished = spy(&once, &TX_Scheduler_Item_Class::Finished);
    held->setAction(Action_Start);
    scheduler()->Schedule_Item(&once);
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.arg<Disconnect_Enum>(0), Disconnect_None);
    QCOMPARE(scheduler()->Count(), 4);
    QVERIFY(!once.Is_Scheduled());
    const int at = log.codes.indexOf("MOD");
    QTRY_VERIFY(log.codes.size() >= at + 5 && log.count("OAT") >= 1);
    QCOMPARE(log.count("MOD"), 1);
    QVERIFY(at >= 1 && log.codes[at - 1] != log.codes[at + 1]);
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
    Packet_Shared_Ptr next = x->TX_message();
    if (chained)
        x->Set_Next_TX_Pkt(next);
    Queued_Spy& finished = spy(x, &TX_Scheduler_Item_Class::Finished);
    Queued_Spy& disconnected = spy(rig->resource, &COM_Resource::Item_Disconnected);
    Queued_Spy& timeouts = spy(rig->resource, &COM_Resource::Rx_Timeout_Expected);

    scheduler()->Schedule_Item(x);
    QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 1, 10000);
    QCOMPARE(disconnected.arg<Disconnect_Enum>(0), Disconnect_Timeout);
    QCOMPARE(disconnected.arg<TX_Scheduler_Item_Class*>(0, 1),
             static_cast<TX_Scheduler_Item_Class*>(x));
    QCOMPARE(finished.arg<Disconnect_Enum>(0), Disconnect_Timeout);
    QCOMPARE(rig->sim.request_count("get DSA"), 6u);
    QCOMPARE(timeouts.count(), 6);
    QCOMPARE(scheduler()->Count(), 0);

    // Scheduled again, it gets six more sends.
    scheduler()->Schedule_Item(x);
    QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 2, 10000);
    QCOMPARE(rig->sim.request_count("get DSA"), 12u);
}

void Transactions::next_packet_changed_while_running()
{
    // As a move button's press changes the command while the worker sends it.
    Sent_Log& log = sent_log();
    auto x = repeating(new Packet_Get_DSA);
    Packet_Shared_Ptr chain[] = {x->TX_message(), Packet_Shared_Ptr(new Packet_Get_PSA)};
    chain[1]->AllocateData();
    scheduler()->Schedule_Item(x);
    for (int i = 0; i < 200 && log.count("PSA") < 3; ++i) {
        x->Set_Next_TX_Pkt(chain[i % 2 == 0 ? 1 : 0]);
        QTest::qWait(2);
    }
    QTRY_VERIFY(log.count("PSA") >= 3 && log.count("DSA") >= 3);
}

void Transactions::suspend_with_request_outstanding()
{
    rig->sim.set_silent_commands({"get DSA"});
    auto request = new Timed_Request(100);
    auto x = repeating(request);
    Queued_Spy& timeouts = spy(rig->resource, &COM_Resource::Rx_Timeout_Expected);
    scheduler()->Schedule_Item(x);
    QTRY_COMPARE(rig->sim.request_count("get DSA"), 1u);

    rig->worker->setSuspend();
    rig->worker->waitForSuspend();
    QVERIFY(rig->worker->Is_Suspended());
    QVERIFY(!rig->resource->Tracker.Is_Tracking());
    QTRY_COMPARE(timeouts.count(), 1);
    QCOMPARE(timeouts.arg<Packet_Shared_Ptr>(0), x->TX_message());
    // The item was not told; nothing goes out while suspended.
    QCOMPARE(x->Retry_Count.load(), quint8(0));
    QCOMPARE(x->Action(), Action_Running);
    QTest::qWait(300);
    QCOMPARE(rig->sim.request_count("get DSA"), 1u);

    // After the resume the transmit pass comes first and sends it again,
    // with a deadline long enough for any busy machine: only a lost answer
    // would expire.
    rig->sim.set_silent_commands({});
    request->timeout = 5000;
    Queued_Spy& answers = spy(x, &TX_Scheduler_Item_Class::Rx);
    rig->worker->Resume();
    QVERIFY(!rig->worker->Is_Suspended());
    QTRY_VERIFY(answers.count() >= 1);
    // The first request after the resume was answered, not lost to the
    // discard of stale input.
    QCOMPARE(timeouts.count(), 1);
}

void Transactions::item_kept_when_its_focus_comes_back()
{
    Sent_Log& log = sent_log();
    auto x = repeating(new Packet_Get_DSA);
    scheduler()->Schedule_Item(x);
    scheduler()->Schedule_Item(repeating(new Packet_Get_PSA));
    QTRY_VERIFY(log.count("DSA") >= 2);

    // Told to finish, then kept before the scheduler dropped it.
    rig->worker->setSuspend();
    rig->worker->waitForSuspend();
    x->setAction(Action_Done);
    QVERIFY(scheduler()->Keep_Scheduled(x));
    QCOMPARE(x->Action(), Action_Repeat);
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
    rig->worker->setShutdown();
    rig->worker->Resume();
    rig->worker->waitForShutdown();
    QVERIFY(rig->worker->Is_Shutdown());
    QTRY_COMPARE(down.count(), 1);
    QCOMPARE(rig->sim.request_count("get DSA"), sent);
    QCOMPARE(scheduler()->Count(), 0);
    QVERIFY(!x->Is_Scheduled() && !x->Is_Running());
    QCOMPARE(x->Reason.load(), Disconnect_Shutdown);
    QCOMPARE(finished.count(), 0);
    QCOMPARE(errors.count(), 0);
    QVERIFY(!rig->resource->Port_Handle.Is_Open());

    // A worker that has shut down sends nothing again: an item scheduled on
    // it now is left free for the next worker.
    scheduler()->Schedule_Item(x);
    QVERIFY(!x->Is_Scheduled());
    QCOMPARE(scheduler()->Count(), 0);
}

void Transactions::hang_up_is_a_serial_error()
{
    auto x = repeating(new Packet_Get_DSA);
    Queued_Spy& errors = spy(rig->resource, &COM_Resource::COM_Error);
    Queued_Spy& down = spy(rig->worker, &COM_485_Class::shutdown);
    scheduler()->Schedule_Item(x);
    scheduler()->Schedule_Item(repeating(new Packet_Get_PSA));
    QTRY_VERIFY(rig->sim.total_requests() >= 4u);

    rig->sim.hang_up();
    rig->worker->waitForShutdown();
    QTRY_COMPARE(down.count(), 1);
    QCOMPARE(errors.count(), 1);
    const QString text = *errors.arg<QString*>(0);
    QVERIFY2(Is_Serial_Error_Text(text), qPrintable(text));
    QVERIFY(rig->worker->Is_Shutdown());
    QVERIFY(!rig->resource->Port_Handle.Is_Open());
    QCOMPARE(scheduler()->Count(), 0);
    QVERIFY(!x->Is_Scheduled());
}

void Transactions::shutdown_not_undone_by_a_suspend()
{
    for (int round = 0; round < 2; ++round) {
        // Asked twice, and a suspend after it does not cancel it.
        Queued_Spy& down = spy(rig->worker, &COM_485_Class::shutdown);
        rig->worker->setShutdown();
        rig->worker->setShutdown();
        rig->worker->setSuspend();
        rig->worker->waitForShutdown();
        QVERIFY(rig->worker->Is_Shutdown());
        QTRY_COMPARE(down.count(), 1);
        QVERIFY(!rig->resource->Port_Handle.Is_Open());
        // A new worker on a new port still takes a shutdown request.
        rig.reset(new Worker_Rig);
        QVERIFY(rig->start());
    }
}

void Transactions::items_without_a_port()
{
    // A state-driven item: one step announces itself after its answer and
    // parks; unscheduling gives each kind its starting action back.
    TX_Sched_Item_Protocol_Class step;
    QSignalSpy updates(&step, &TX_Sched_Item_Protocol_Class::Protocol_Update);
    step.setState(Protocol_Repeat);
    step.setState(Protocol_Repeat);
    QCOMPARE(updates.count(), 1);
    QCOMPARE(step.Action(), Action_Start);
    step.setIs_Scheduled(true);
    step.setIs_Scheduled(false);
    QCOMPARE(step.Action(), Action_Repeat);
    step.setState(Protocol_Step);
    step.Rx_Expected_Packet(Packet_Shared_Ptr(new Packet_Resp_MOD));
    QCOMPARE(updates.count(), 3);
    QCOMPARE(step.State(), Protocol_Idle);
    QCOMPARE(step.Action(), Action_Hold);

    // A chained one-shot item switches to its next packet when scheduled.
    Packet_Shared_Ptr srh(new Packet_Set_SRH), next(new Packet_Get_RHD);
    TX_Sched_Item_Send_Once_Class once(srh);
    once.setAction(Action_Running);
    once.setIs_Scheduled(false);
    QCOMPARE(once.Action(), Action_Start);
    once.Set_Next_TX_Pkt(next);
    once.setIs_Scheduled(true);
    QCOMPARE(once.TX_message(), next);
}

QTEST_GUILESS_MAIN(Transactions)
#include "tst_transactions.moc"
