// The press-and-hold mover of one side against the virtual controller: what a
// press, a hold, a release and a refusal put on the line.

#include "app_test_main.h"

#include "move_delegate_si_class.h"

#include <queued_spy.h>
#include <worker_rig.h>

#include <memory>
#include <string>

using namespace Quillon;

class Move_Delegate : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void each_side_sends_its_own_commands_data();
    void each_side_sends_its_own_commands();
    void idle_delegate_sends_nothing();
    void press_and_release_before_the_answer_sends_one_move();
    void holding_repeats_until_the_release();
    void lower_while_raising_switches_the_command();
    void refusal_reports_once_and_stops_data();
    void refusal_reports_once_and_stops();
    void unanswered_move_ends_with_a_timeout();
    void rapid_presses_end_at_rest();

private:
    // A mover of one side, scheduled as its owner would.
    void make(int side);
    unsigned sent(const char* key) const { return rig->sim.request_count(key); }
    // Waits until the mover is at rest and nothing more goes out.
    void verify_at_rest(const char* key);

    // Requests resent after a late answer on a busy machine.
    unsigned retries() const { return unsigned(timeouts->count()); }

    std::unique_ptr<Worker_Rig> rig;
    std::unique_ptr<Queued_Spy> timeouts;
    std::unique_ptr<Move_Delegate_SI_Class> delegate;
};

void Move_Delegate::init()
{
    rig.reset(new Worker_Rig);
    QString error;
    QVERIFY2(rig->start(&error), qPrintable(error));
    timeouts.reset(new Queued_Spy(rig->resource, &COM_Resource::Rx_Timeout_Expected));
}

void Move_Delegate::cleanup()
{
    // The worker must not outlive the item it lists.
    rig->stop();
    delegate.reset();
    timeouts.reset();
    rig.reset();
}

void Move_Delegate::make(int side)
{
    delegate.reset(new Move_Delegate_SI_Class(side));
    rig->worker->TX_Scheduler->Schedule_Item(delegate->getScheduler_Item());
}

void Move_Delegate::verify_at_rest(const char* key)
{
    QTRY_COMPARE(delegate->getScheduler_Item()->State(), Protocol_Idle);
    QTRY_COMPARE(delegate->getScheduler_Item()->Action(), Action_Hold);
    // An answer still on its way may add nothing more after this.
    QTest::qWait(200);
    const unsigned settled = sent(key);
    QTest::qWait(400);
    QCOMPARE(sent(key), settled);
}

void Move_Delegate::each_side_sends_its_own_commands_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<Move_State_Enum>("state");
    QTest::addColumn<QString>("command");
    QTest::newRow("driver lower") << 0 << Move_Lower << "go MDN";
    QTest::newRow("driver raise") << 0 << Move_Raise << "go MDP";
    QTest::newRow("curb lower") << 1 << Move_Lower << "go MCN";
    QTest::newRow("curb raise") << 1 << Move_Raise << "go MCP";
}

void Move_Delegate::each_side_sends_its_own_commands()
{
    QFETCH(int, side);
    QFETCH(Move_State_Enum, state);
    QFETCH(QString, command);
    make(side);
    delegate->setMove_state(state);
    QCOMPARE(delegate->getMove_state(), state);
    QTRY_VERIFY(sent(command.toLatin1()) >= 2u);
    delegate->setMove_state(Move_Idle);
    verify_at_rest(command.toLatin1());
    const unsigned moves = sent("go MDN") + sent("go MDP") + sent("go MCN") + sent("go MCP");
    QCOMPARE(moves, sent(command.toLatin1()));
}

void Move_Delegate::idle_delegate_sends_nothing()
{
    make(0);
    QTRY_VERIFY(delegate->getScheduler_Item()->Is_Scheduled());
    QTest::qWait(400);
    QCOMPARE(sent("go MDN") + sent("go MDP"), 0u);
    QCOMPARE(delegate->getScheduler_Item()->Action(), Action_Hold);
}

void Move_Delegate::press_and_release_before_the_answer_sends_one_move()
{
    make(0);
    Queued_Spy answers(delegate->getScheduler_Item(), &TX_Scheduler_Item_Class::Rx);
    // Released on the worker thread as the move goes out, so surely before
    // its answer is read.
    QObject releaser;
    connect(
        rig->resource, &COM_Resource::Tx_Packet, &releaser,
        [this](QSharedPointer<Packet_Class>) { delegate->setMove_state(Move_Idle); },
        Qt::DirectConnection);
    delegate->setMove_state(Move_Raise);

    QTRY_COMPARE(answers.count(), 1);
    verify_at_rest("go MDP");
    QCOMPARE(sent("go MDP"), 1u + retries());
}

void Move_Delegate::holding_repeats_until_the_release()
{
    make(0);
    Queued_Spy answers(delegate->getScheduler_Item(), &TX_Scheduler_Item_Class::Rx);
    const unsigned start_angle = rig->sim.readings().driver_angle;
    delegate->setMove_state(Move_Raise);
    QTRY_VERIFY(sent("go MDP") >= 5u);
    QCOMPARE(delegate->getScheduler_Item()->State(), Protocol_Repeat);
    delegate->setMove_state(Move_Idle);
    verify_at_rest("go MDP");
    // One request per acknowledgement, and the side went up meanwhile.
    QTRY_COMPARE(unsigned(answers.count()), sent("go MDP"));
    QVERIFY(rig->sim.readings().driver_angle > start_angle);
}

void Move_Delegate::lower_while_raising_switches_the_command()
{
    make(0);
    delegate->setMove_state(Move_Raise);
    QTRY_VERIFY(sent("go MDP") >= 2u);
    delegate->setMove_state(Move_Lower);
    QTRY_VERIFY(sent("go MDN") >= 3u);
    // The repetition went on, with the new command only.
    QCOMPARE(delegate->getScheduler_Item()->State(), Protocol_Repeat);
    const unsigned raises = sent("go MDP");
    QTest::qWait(300);
    QCOMPARE(sent("go MDP"), raises);
    delegate->setMove_state(Move_Idle);
    verify_at_rest("go MDN");
}

void Move_Delegate::refusal_reports_once_and_stops_data()
{
    QTest::addColumn<int>("accepted_first");
    QTest::newRow("first answer") << 0;
    QTest::newRow("while repeating") << 3;
}

void Move_Delegate::refusal_reports_once_and_stops()
{
    make(0);
    QFETCH(int, accepted_first);
    Queued_Spy failed(delegate.get(), &Move_Delegate_SI_Class::Move_Failed);
    rig->sim.set_refuse_moves(accepted_first == 0);
    delegate->setMove_state(Move_Raise);
    if (accepted_first > 0) {
        QTRY_VERIFY(sent("go MDP") >= unsigned(accepted_first));
        rig->sim.set_refuse_moves(true);
    }
    // Still held: the refusal alone stops the movement.
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(failed.arg<Move_State_Enum>(0), Move_Raise);
    QCOMPARE(delegate->getMove_state(), Move_Idle);
    verify_at_rest("go MDP");
    QCOMPARE(failed.count(), 1);
    if (accepted_first == 0)
        QCOMPARE(sent("go MDP"), 1u + retries());
}

void Move_Delegate::unanswered_move_ends_with_a_timeout()
{
    make(0);
    Queued_Spy finished(delegate->getScheduler_Item(), &TX_Scheduler_Item_Class::Finished);
    rig->sim.set_silent_commands({"go MDP"});
    delegate->setMove_state(Move_Raise);
    // Reported like any other unanswered request instead of holding the line.
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 15000);
    QCOMPARE(finished.arg<Disconnect_Enum>(0), Disconnect_Timeout);
    QCOMPARE(sent("go MDP"), 6u);
    QVERIFY(!delegate->getScheduler_Item()->Is_Scheduled());
    delegate->setMove_state(Move_Idle);

    // Scheduled again (the retry the main window offers), it works as before.
    rig->sim.set_silent_commands({});
    rig->worker->TX_Scheduler->Schedule_Item(delegate->getScheduler_Item());
    delegate->setMove_state(Move_Raise);
    QTRY_VERIFY(sent("go MDP") >= 9u);
    delegate->setMove_state(Move_Idle);
    verify_at_rest("go MDP");
}

void Move_Delegate::rapid_presses_end_at_rest()
{
    make(0);
    // Presses and releases cross the answers arriving on the worker thread.
    for (int i = 0; i < 40; ++i) {
        delegate->setMove_state(i % 3 == 0 ? Move_Lower : Move_Raise);
        QTest::qWait(i % 4 * 15);
        delegate->setMove_state(Move_Idle);
        QTest::qWait(i % 3 * 5);
    }
    QVERIFY(sent("go MDP") > 0u);
    QVERIFY(sent("go MDN") > 0u);
    QCOMPARE(delegate->getMove_state(), Move_Idle);
    verify_at_rest("go MDP");
    verify_at_rest("go MDN");
}

VANTOR_TEST_MAIN(Move_Delegate)
#include "tst_move_delegate.moc"
