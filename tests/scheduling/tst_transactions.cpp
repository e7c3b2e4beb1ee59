// The transmit scheduler, its items and the worker thread against the
// virtual controller over a pseudo-terminal: what a user of the library
// feels, one behaviour per case.

#include "queued_spy.h"
#include "sent_log.h"
#include "serial_error_text.h"
#include "worker_rig.h"

#include <QtTest>

#include <memory>

using namespace Quillon;

namespace {

Packet_Shared_Ptr get_request(Packet_Class* packet)
{
    packet->AllocateData();
    return Packet_Shared_Ptr(packet);
}

} // namespace

class Transactions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void repeating_items_served_in_rotation();
    void one_shot_slotted_into_rotation();
    void lone_repeating_item_resent_at_once();
    void held_item_listed_but_never_sent();
    void unanswered_request_sent_six_times_then_disconnected();
    void suspend_with_request_outstanding();
    void item_kept_when_its_focus_comes_back();
    void shutdown_while_suspended();
    void hang_up_is_a_serial_error();
    void shutdown_requested_twice();
    void items_without_a_port();

private:
    // Items outlive the worker that lists them.
    TX_Sched_Item_Protocol_Class* repeating(Packet_Class* request);
    TX_Sched_Item_Send_Once_Class* one_shot(Packet_Class* request);

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
    Packet_Shared_Ptr p = get_request(request);
    item->set_theTX_pkt(p);
    item->setState(Protocol_Repeat);
    return item;
}

TX_Sched_Item_Send_Once_Class* Transactions::one_shot(Packet_Class* request)
{
    Packet_Shared_Ptr p = get_request(request);
    auto item = new TX_Sched_Item_Send_Once_Class(p);
    items.emplace_back(item);
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

void Transactions::repeating_items_served_in_rotation()
{
    Sent_Log& log = sent_log();
    auto x = repeating(new Packet_Get_DSA);
    auto y = repeating(new Packet_Get_PSA);
    auto z = repeating(new Packet_Get_PXV);
    Queued_Spy& answers = spy(x, &TX_Scheduler_Item_Class::Rx);
    rig->worker->TX_Scheduler->Schedule_Item(x);
    rig->worker->TX_Scheduler->Schedule_Item(y);
    rig->worker->TX_Scheduler->Schedule_Item(z);
    QTRY_VERIFY(log.codes.size() >= 9);
    // One after the other in scheduling order, wherever the rotation begins.
    const QString order = log.codes.mid(0, 9).join(' ');
    QVERIFY2(QStringLiteral("DSA PSA PXV DSA PSA PXV DSA PSA PXV DSA PSA").contains(order),
             qPrintable(order));
    QTRY_VERIFY(!answers.isEmpty());
    auto angle = answers.arg<Packet_Shared_Ptr>(0);
    QCOMPARE(angle->ID(), int(Packet_Resp_DSA::packet_type));
    QVERIFY(angle->Valid);
    QCOMPARE(rig->worker->TX_Scheduler->Count(), 3);
}

void Transactions::one_shot_slotted_into_rotation()
{
    Sent_Log& log = sent_log();
    auto x = repeating(new Packet_Get_DSA);
    auto y = repeating(new Packet_Get_PSA);
    TX_Sched_Item_Send_Once_Class& once = *one_shot(new Packet_Get_MOD);
    Queued_Spy& finished = spy(&once, &TX_Scheduler_Item_Class::Finished);
    Queued_Spy& answered = spy(&once, &TX_Scheduler_Item_Class::Rx);

    TX_Scheduler_Class* scheduler = rig->worker->TX_Scheduler;
    scheduler->Schedule_Item(x);
    scheduler->Schedule_Item(y);
    QTRY_VERIFY(log.codes.size() >= 4);
    scheduler->Schedule_Item(&once);
    QCOMPARE(scheduler->Count(), 3);
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.arg<Disconnect_Enum>(0), Disconnect_None);
    QCOMPARE(answered.count(), 1);
    QCOMPARE(scheduler->Count(), 2);
    QVERIFY(!once.Is_Scheduled());
    QCOMPARE(once.Action(), Action_Start);

    // Sent once, in its turn; the rotation goes on with the other two.
    const int at = log.codes.indexOf("MOD");
    QTRY_VERIFY(log.codes.size() >= at + 5);
    QCOMPARE(log.count("MOD"), 1);
    const QStringList after = log.codes.mid(at + 1, 4);
    QVERIFY2(!after.contains("MOD"), qPrintable(after.join(' ')));
    QVERIFY2(after[0] != after[1] && after[1] != after[2], qPrintable(log.codes.join(' ')));
    QVERIFY(at >= 1 && log.codes[at - 1] != log.codes[at + 1]);
}

void Transactions::lone_repeating_item_resent_at_once()
{
    Sent_Log& log = sent_log();
    auto x = repeating(new Packet_Get_IGV);
    Queued_Spy& answers = spy(x, &TX_Scheduler_Item_Class::Rx);
    rig->worker->TX_Scheduler->Schedule_Item(x);
    QTRY_VERIFY(answers.count() >= 20);
    QCOMPARE(log.codes.count("IGV"), log.codes.size());
}

void Transactions::held_item_listed_but_never_sent()
{
    Sent_Log& log = sent_log();
    auto x = repeating(new Packet_Get_DSA);
    auto held = repeating(new Packet_Get_OAT);
    held->setAction(Action_Hold);
    rig->worker->TX_Scheduler->Schedule_Item(held);
    rig->worker->TX_Scheduler->Schedule_Item(x);
    QTRY_VERIFY(log.codes.size() >= 10);
    QCOMPARE(rig->worker->TX_Scheduler->Count(), 2);
    QCOMPARE(log.count("OAT"), 0);
    QCOMPARE(rig->sim.request_count("get OAT"), 0u);

    // Released from hold, it joins the rotation.
    held->setAction(Action_Start);
    QTRY_VERIFY(log.count("OAT") >= 2);
}

void Transactions::unanswered_request_sent_six_times_then_disconnected()
{
    rig->sim.set_silent_commands({"get DSA"});
    auto x = repeating(new Packet_Get_DSA);
    Queued_Spy& finished = spy(x, &TX_Scheduler_Item_Class::Finished);
    Queued_Spy& disconnected = spy(rig->resource, &COM_Resource::Item_Disconnected);
    Queued_Spy& timeouts = spy(rig->resource, &COM_Resource::Rx_Timeout_Expected);

    rig->worker->TX_Scheduler->Schedule_Item(x);
    QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 1, 10000);
    QCOMPARE(disconnected.arg<Disconnect_Enum>(0), Disconnect_Timeout);
    QCOMPARE(disconnected.arg<TX_Scheduler_Item_Class*>(0, 1),
             static_cast<TX_Scheduler_Item_Class*>(x));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.arg<Disconnect_Enum>(0), Disconnect_Timeout);
    QCOMPARE(rig->sim.request_count("get DSA"), 6u);
    QCOMPARE(timeouts.count(), 6);
    QCOMPARE(rig->worker->TX_Scheduler->Count(), 0);
    QCOMPARE(x->Retry_Count.load(), quint8(0));

    // Scheduled again, it gets six more sends.
    rig->worker->TX_Scheduler->Schedule_Item(x);
    QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 2, 10000);
    QCOMPARE(rig->sim.request_count("get DSA"), 12u);
}

void Transactions::suspend_with_request_outstanding()
{
    rig->sim.set_silent_commands({"get PXV"});
    auto x = repeating(new Packet_Get_PXV);
    Queued_Spy& timeouts = spy(rig->resource, &COM_Resource::Rx_Timeout_Expected);
    rig->worker->TX_Scheduler->Schedule_Item(x);
    QTRY_COMPARE(rig->sim.request_count("get PXV"), 1u);

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
    QCOMPARE(rig->sim.request_count("get PXV"), 1u);

    // After the resume the transmit pass comes first and sends it again.
    rig->sim.set_silent_commands({});
    Queued_Spy& answers = spy(x, &TX_Scheduler_Item_Class::Rx);
    rig->worker->Resume();
    QVERIFY(!rig->worker->Is_Suspended());
    QTRY_VERIFY(answers.count() >= 1);
    QVERIFY(rig->sim.request_count("get PXV") >= 2u);
    // The first request after the resume was answered, not lost to the
    // discard of stale input.
    QCOMPARE(timeouts.count(), 1);
}

void Transactions::item_kept_when_its_focus_comes_back()
{
    Sent_Log& log = sent_log();
    auto x = repeating(new Packet_Get_DSA);
    auto y = repeating(new Packet_Get_PSA);
    TX_Scheduler_Class* scheduler = rig->worker->TX_Scheduler;
    scheduler->Schedule_Item(x);
    scheduler->Schedule_Item(y);
    QTRY_VERIFY(log.count("DSA") >= 2);

    // Told to finish, then kept before the scheduler dropped it.
    rig->worker->setSuspend();
    rig->worker->waitForSuspend();
    x->setAction(Action_Done);
    QVERIFY(scheduler->Keep_Scheduled(x));
    QCOMPARE(x->Action(), Action_Repeat);
    rig->worker->Resume();
    const int before = log.count("DSA");
    QTRY_VERIFY(log.count("DSA") >= before + 3);
    QCOMPARE(scheduler->Count(), 2);

    // Once dropped, it is no longer listed and must be scheduled anew.
    x->setAction(Action_Done);
    QTRY_VERIFY(!x->Is_Scheduled());
    QVERIFY(!scheduler->Keep_Scheduled(x));
}

void Transactions::shutdown_while_suspended()
{
    auto x = repeating(new Packet_Get_DSA);
    Queued_Spy& finished = spy(x, &TX_Scheduler_Item_Class::Finished);
    Queued_Spy& down = spy(rig->worker, &COM_485_Class::shutdown);
    Queued_Spy& errors = spy(rig->resource, &COM_Resource::COM_Error);
    rig->worker->TX_Scheduler->Schedule_Item(x);
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
    QCOMPARE(rig->worker->TX_Scheduler->Count(), 0);
    QVERIFY(!x->Is_Scheduled());
    QVERIFY(!x->Is_Running());
    QCOMPARE(x->Reason.load(), Disconnect_Shutdown);
    QCOMPARE(finished.count(), 0);
    QCOMPARE(errors.count(), 0);
    QVERIFY(!rig->resource->Port_Handle.Is_Open());
}

void Transactions::hang_up_is_a_serial_error()
{
    auto x = repeating(new Packet_Get_DSA);
    auto y = repeating(new Packet_Get_PSA);
    Queued_Spy& errors = spy(rig->resource, &COM_Resource::COM_Error);
    Queued_Spy& down = spy(rig->worker, &COM_485_Class::shutdown);
    rig->worker->TX_Scheduler->Schedule_Item(x);
    rig->worker->TX_Scheduler->Schedule_Item(y);
    QTRY_VERIFY(rig->sim.total_requests() >= 4u);

    rig->sim.hang_up();
    rig->worker->waitForShutdown();
    QTRY_COMPARE(down.count(), 1);
    QCOMPARE(errors.count(), 1);
    const QString text = *errors.arg<QString*>(0);
    QVERIFY2(Is_Serial_Error_Text(text), qPrintable(text));
    QVERIFY(rig->worker->Is_Shutdown());
    QVERIFY(!rig->resource->Port_Handle.Is_Open());
    QCOMPARE(rig->worker->TX_Scheduler->Count(), 0);
    QVERIFY(!x->Is_Scheduled() && !y->Is_Scheduled());
}

void Transactions::shutdown_requested_twice()
{
    Queued_Spy& down = spy(rig->worker, &COM_485_Class::shutdown);
    rig->worker->setShutdown();
    rig->worker->setShutdown();
    QCOMPARE(int(rig->resource->COM_Command), int(COM_Resource::COM_Shutdown));
    rig->worker->waitForShutdown();
    QTRY_COMPARE(down.count(), 1);

    // A new worker on a new port still takes a shutdown request.
    rig.reset(new Worker_Rig);
    QVERIFY(rig->start());
    Queued_Spy& down_again = spy(rig->worker, &COM_485_Class::shutdown);
    rig->worker->setShutdown();
    rig->worker->waitForShutdown();
    QTRY_COMPARE(down_again.count(), 1);
}

void Transactions::items_without_a_port()
{
    // A state-driven item: one step announces itself after its answer and
    // parks; unscheduling gives each kind its starting action back.
    TX_Sched_Item_Protocol_Class step;
    QSignalSpy updates(&step, &TX_Sched_Item_Protocol_Class::Protocol_Update);
    step.setState(Protocol_Repeat);
    QCOMPARE(updates.count(), 1);
    QCOMPARE(step.Action(), Action_Start);
    step.setState(Protocol_Repeat);
    QCOMPARE(updates.count(), 1);
    step.setIs_Scheduled(true);
    step.setIs_Scheduled(false);
    QCOMPARE(step.Action(), Action_Repeat);

    step.setState(Protocol_Step);
    QCOMPARE(updates.count(), 2);
    Packet_Shared_Ptr answer(new Packet_Resp_MOD);
    step.Rx_Expected_Packet(answer);
    QCOMPARE(updates.count(), 3);
    QCOMPARE(step.State(), Protocol_Idle);
    QCOMPARE(step.Action(), Action_Hold);

    Packet_Shared_Ptr srh = get_request(new Packet_Set_SRH);
    TX_Sched_Item_Send_Once_Class once(srh);
    once.setAction(Action_Running);
    once.setIs_Scheduled(false);
    QCOMPARE(once.Action(), Action_Start);

    // A chained one-shot item switches to its next packet when scheduled.
    Packet_Shared_Ptr next = get_request(new Packet_Get_RHD);
    once.Set_Next_TX_Pkt(next);
    once.setIs_Scheduled(true);
    QCOMPARE(once.TX_message(), next);
    QVERIFY(once.Is_Scheduled());
}

QTEST_GUILESS_MAIN(Transactions)
#include "tst_transactions.moc"
