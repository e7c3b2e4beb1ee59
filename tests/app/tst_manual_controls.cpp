// The manual operation tab and its two press-and-hold movers against the
// virtual controller: what a press, a hold, a release and a refusal put on
// the line, the lock-out, the preset stores and moves, and the tab's names
// for assistive tools.

#include "app_test_main.h"
#include "test_responses.h"

#include "manual_ctrl.h"
#include "suspension_heights_class.h"

#include <queued_spy.h>
#include <worker_rig.h>

#include <QAccessible>
#include <QGroupBox>
#include <QPushButton>

#include <cmath>
#include <memory>

using namespace Quillon;

namespace {

const char* const Group_Names[] = {"gbxDump", "gbxFill", "gbxMoveToPreset", "gbxSaveAsPreset"};

// The angle the controller reports for a raw sensor value.
double angle_of(unsigned raw)
{
    return (raw - 102.3) / 9.1044 - 45.0;
}

bool all_groups_enabled(const ManualCtrl& ctrl, bool enabled)
{
    for (const char* name : Group_Names) {
        if (ctrl.findChild<QGroupBox*>(QLatin1String(name))->isEnabled() != enabled)
            return false;
    }
    return true;
}

} // namespace

class Manual_Controls : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void groups_are_named_after_their_own_titles();
    void lock_out_follows_faults_and_pressure();
    void both_buttons_move_both_sides_while_held_data();
    void both_buttons_move_both_sides_while_held();
    void release_before_the_answer_sends_one_move();
    void lower_while_raising_switches_the_command();
    void refusal_warns_and_releases_the_buttons_data();
    void refusal_warns_and_releases_the_buttons();
    void unanswered_move_ends_after_its_resends();
    void rapid_presses_end_at_rest();
    void live_lock_out_stops_a_movement_data();
    void live_lock_out_stops_a_movement();
    void preset_buttons_data();
    void preset_buttons();
    void store_dropped_by_a_shutdown_frees_its_button();
    void focus_gain_rereads_the_presets();

private:
    QPushButton* button(const QString& name) const { return ctrl->findChild<QPushButton*>(name); }
    unsigned sent(const QString& key) const { return rig->sim.request_count(key.toStdString()); }
    // Asks for the fault word FM1, as the main window does every two seconds,
    // and waits until the tab has the answer.
    void poll_fm1();
    // Waits until both movers are at rest and `key` goes out no more.
    void verify_at_rest(const QString& key);
    // Requests resent after a late answer on a busy machine.
    unsigned retries() const { return unsigned(timeouts->count()); }

    std::unique_ptr<Prompt_Answers> answers;
    std::unique_ptr<Worker_Rig> rig;
    std::unique_ptr<Queued_Spy> timeouts;
    std::unique_ptr<ManualCtrl> ctrl;
    std::unique_ptr<TX_Sched_Item_Send_Once_Class> fm1_item;
};

void Manual_Controls::init()
{
    answers.reset(new Prompt_Answers);
    rig.reset(new Worker_Rig);
    QString error;
    QVERIFY2(rig->start(&error), qPrintable(error));
    timeouts.reset(new Queued_Spy(rig->resource, &COM_Resource::Rx_Timeout_Expected));
    ctrl.reset(new ManualCtrl);
    ctrl->show();
    Packet_Shared_Ptr fm1(new Packet_Get_FM1);
    fm1->AllocateData();
    fm1_item.reset(new TX_Sched_Item_Send_Once_Class(fm1));
    connect(fm1_item.get(), SIGNAL(Rx(QSharedPointer<Quillon::Packet_Class>)), ctrl.get(),
            SLOT(Rx_FM1(QSharedPointer<Quillon::Packet_Class>)));

    ctrl->COM_Connect(rig->worker);
    ctrl->Has_Focus();
    poll_fm1();
    // Both flags start set: enabled now means a healthy FM1 and PXV were seen.
    QTRY_VERIFY(all_groups_enabled(*ctrl, true));
    QTRY_VERIFY(sent("get RHD") >= 1u);
}

void Manual_Controls::cleanup()
{
    // The worker must not outlive the items it lists.
    rig->stop();
    ctrl.reset();
    fm1_item.reset();
    timeouts.reset();
    rig.reset();
    answers.reset();
}

void Manual_Controls::poll_fm1()
{
    Queued_Spy finished(fm1_item.get(), &TX_Scheduler_Item_Class::Finished);
    rig->worker->TX_Scheduler->Schedule_Item(fm1_item.get());
    // The answer reaches the tab before the end of the exchange does.
    QTRY_COMPARE(finished.count(), 1);
}

void Manual_Controls::verify_at_rest(const QString& key)
{
    for (Move_Delegate_SI_Class* mover : {ctrl->Driver_Delegate(), ctrl->Curb_Delegate()}) {
        QCOMPARE(mover->getMove_state(), Move_Idle);
        QTRY_COMPARE(mover->getScheduler_Item()->State(), Protocol_Idle);
        QTRY_COMPARE(mover->getScheduler_Item()->Action(), Action_Hold);
    }
    // An answer still on its way may add one more after this.
    QTest::qWait(200);
    const unsigned settled = sent(key);
    QTest::qWait(400);
    QCOMPARE(sent(key), settled);
}

void Manual_Controls::groups_are_named_after_their_own_titles()
{
    // A group inside another would otherwise be announced with the outer title.
    for (QGroupBox* group : ctrl->findChildren<QGroupBox*>()) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(group);
        QVERIFY(accessible);
        QCOMPARE(accessible->text(QAccessible::Name), group->title());
    }
}

void Manual_Controls::lock_out_follows_faults_and_pressure()
{
    // Driven by hand on a tab of its own, so that no live answer interferes.
    ManualCtrl tab;
    // Raw 593 is 89.9 psi, 594 is 90.05; an x makes the answer invalid.
    const QStringList steps = {"PXV 00594", "FM1 00000", "PXV 0000x", "PXV 00593",
                               "PXV 00594", "FM1 00010", "FM1 0000x", "FM1 00000",
                               "FM1 00001", "LHC 00785", "FM1 11100"};
    const QString enabled = "01101001001";
    for (int i = 0; i < steps.size(); ++i) {
        const QByteArray slot = steps.at(i).startsWith("PXV") ? "Rx_ResPsi" : "Rx_FM1";
        QVERIFY(QMetaObject::invokeMethod(
            &tab, slot.constData(),
            Q_ARG(QSharedPointer<Quillon::Packet_Class>, response(steps.at(i).toLatin1()))));
        QVERIFY2(all_groups_enabled(tab, enabled.at(i) == '1'), qPrintable(steps.at(i)));
    }
}

void Manual_Controls::both_buttons_move_both_sides_while_held_data()
{
    QTest::addColumn<QString>("side");
    QTest::addColumn<QString>("driver_command");
    QTest::addColumn<QString>("curb_command");
    QTest::newRow("raise") << "Fill"
                           << "go MDP"
                           << "go MCP";
    QTest::newRow("lower") << "Dump"
                           << "go MDN"
                           << "go MCN";
}

void Manual_Controls::both_buttons_move_both_sides_while_held()
{
    QFETCH(QString, side);
    QFETCH(QString, driver_command);
    QFETCH(QString, curb_command);
    QPushButton* both = button("btn" + side + "Both");
    QPushButton* left = button("btn" + side + "Left");
    QPushButton* right = button("btn" + side + "Right");
    // Scheduled but never pressed, the movers send nothing.
    QCOMPARE(sent(driver_command) + sent(curb_command), 0u);

    QTest::mousePress(both, Qt::LeftButton);
    QVERIFY(left->isDown() && right->isDown());
    QTRY_VERIFY(sent(driver_command) >= 3u);
    QTRY_VERIFY(sent(curb_command) >= 3u);
    QTest::mouseRelease(both, Qt::LeftButton);
    QVERIFY(!left->isDown() && !right->isDown());
    verify_at_rest(driver_command);
    verify_at_rest(curb_command);
    // Each side only its own command.
    QCOMPARE(sent("go MDN") + sent("go MDP") + sent("go MCN") + sent("go MCP"),
             sent(driver_command) + sent(curb_command));
}

void Manual_Controls::release_before_the_answer_sends_one_move()
{
    Move_Delegate_SI_Class* mover = ctrl->Driver_Delegate();
    Queued_Spy answers(mover->getScheduler_Item(), &TX_Scheduler_Item_Class::Rx);
    // Released on the worker thread as the move goes out, so surely before
    // its answer is read.
    QObject releaser;
    connect(
        rig->resource, &COM_Resource::Tx_Packet, &releaser,
        [mover](QSharedPointer<Packet_Class> p) {
            if (p->toQString().endsWith(QLatin1String("MDP")))
                mover->setMove_state(Move_Idle);
        },
        Qt::DirectConnection);
    mover->setMove_state(Move_Raise);
    QTRY_COMPARE(answers.count(), 1);
    verify_at_rest("go MDP");
    QCOMPARE(sent("go MDP"), 1u + retries());
}

void Manual_Controls::lower_while_raising_switches_the_command()
{
    QTest::mousePress(button("btnFillLeft"), Qt::LeftButton);
    QTRY_VERIFY(sent("go MDP") >= 2u);
    QTest::mousePress(button("btnDumpLeft"), Qt::LeftButton);
    QTRY_VERIFY(sent("go MDN") >= 3u);
    // The repetition went on, with the new command only.
    QCOMPARE(ctrl->Driver_Delegate()->getScheduler_Item()->State(), Protocol_Repeat);
    const unsigned raises = sent("go MDP");
    QTest::qWait(300);
    QCOMPARE(sent("go MDP"), raises);
    QTest::mouseRelease(button("btnDumpLeft"), Qt::LeftButton);
    verify_at_rest("go MDN");
    QTest::mouseRelease(button("btnFillLeft"), Qt::LeftButton);
}

void Manual_Controls::refusal_warns_and_releases_the_buttons_data()
{
    QTest::addColumn<QString>("pressed");
    QTest::addColumn<int>("accepted_first"); // moves acknowledged before the refusals
    // Title and text of each warning, in alphabetical order.
    QTest::addColumn<QStringList>("warnings");
    const QString driver = "Driver's side move failed! / Driver's side %1 move failed!";
    const QString curb = "Curb side move failed! / Curb side %1 move failed!";
    QTest::newRow("driver lower") << "btnDumpLeft" << 0 << QStringList{driver.arg("lower")};
    QTest::newRow("curb raise") << "btnFillRight" << 0 << QStringList{curb.arg("raise")};
    QTest::newRow("both raise") << "btnFillBoth" << 0
                                << QStringList{curb.arg("raise"), driver.arg("raise")};
    QTest::newRow("while repeating") << "btnFillLeft" << 3 << QStringList{driver.arg("raise")};
}

void Manual_Controls::refusal_warns_and_releases_the_buttons()
{
    QFETCH(QString, pressed);
    QFETCH(int, accepted_first);
    QFETCH(QStringList, warnings);
    const QString group = pressed.left(7); // btnFill or btnDump
    rig->sim.set_refuse_moves(accepted_first == 0);
    QTest::mousePress(button(pressed), Qt::LeftButton);
    if (accepted_first > 0) {
        QTRY_VERIFY(sent("go MDP") >= unsigned(accepted_first));
        rig->sim.set_refuse_moves(true);
    }
    QTRY_COMPARE(answers->asked.size(), warnings.size());
    QStringList shown;
    for (const User_Prompt& prompt : qAsConst(answers->asked)) {
        QCOMPARE(prompt.icon, QMessageBox::Warning);
        QCOMPARE(prompt.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(prompt.parent, ctrl.get());
        shown << prompt.title + " / " + prompt.text;
    }
    shown.sort();
    QCOMPARE(shown, warnings);
    QVERIFY(!button(group + "Left")->isDown() && !button(group + "Right")->isDown());
    // Still held, yet nothing more goes out and no second warning comes.
    verify_at_rest("go MDP");
    verify_at_rest("go MDN");
    QCOMPARE(answers->asked.size(), warnings.size());
    if (accepted_first == 0) // one refused move per side
        QVERIFY(sent("go MDN") + sent("go MDP") + sent("go MCN") + sent("go MCP") <=
                unsigned(warnings.size()) + retries());
    QTest::mouseRelease(button(pressed), Qt::LeftButton);
}

void Manual_Controls::unanswered_move_ends_after_its_resends()
{
    TX_Sched_Item_Protocol_Class* item = ctrl->Driver_Delegate()->getScheduler_Item();
    Queued_Spy finished(item, &TX_Scheduler_Item_Class::Finished);
    rig->sim.set_silent_commands({"go MDP"});
    QTest::mousePress(button("btnFillLeft"), Qt::LeftButton);
    // Reported like any other unanswered request instead of holding the line.
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 15000);
    QCOMPARE(finished.arg<Disconnect_Enum>(0), Disconnect_Timeout);
    QCOMPARE(sent("go MDP"), 6u);
    QVERIFY(!item->Is_Scheduled());
    QTest::mouseRelease(button("btnFillLeft"), Qt::LeftButton);

    // Scheduled again (the retry the main window offers), it works as before.
    rig->sim.set_silent_commands({});
    rig->worker->TX_Scheduler->Schedule_Item(item);
    QTest::mousePress(button("btnFillLeft"), Qt::LeftButton);
    QTRY_VERIFY(sent("go MDP") >= 9u);
    QTest::mouseRelease(button("btnFillLeft"), Qt::LeftButton);
    verify_at_rest("go MDP");
}

void Manual_Controls::rapid_presses_end_at_rest()
{
    Move_Delegate_SI_Class* mover = ctrl->Driver_Delegate();
    // Presses and releases cross the answers arriving on the worker thread.
    for (int i = 0; i < 40; ++i) {
        mover->setMove_state(i % 3 == 0 ? Move_Lower : Move_Raise);
        QTest::qWait(i % 4 * 15);
        mover->setMove_state(Move_Idle);
        QTest::qWait(i % 3 * 5);
    }
    QVERIFY(sent("go MDP") > 0u && sent("go MDN") > 0u);
    verify_at_rest("go MDP");
    verify_at_rest("go MDN");
}

void Manual_Controls::live_lock_out_stops_a_movement_data()
{
    QTest::addColumn<int>("fault_flags"); // FM1's last digits; 0 for a low pressure
    QTest::newRow("pressure 89.9 psi") << 0;
    QTest::newRow("driver sensor") << 1;
    QTest::newRow("curb sensor") << 10;
}

void Manual_Controls::live_lock_out_stops_a_movement()
{
    QFETCH(int, fault_flags);
    rig->sim.set_compressor_enabled(false);
    QTest::mousePress(button("btnFillLeft"), Qt::LeftButton);
    QTRY_VERIFY(sent("go MDP") >= 2u);
    if (fault_flags) {
        QVERIFY(rig->sim.set_fault_flags(
            1, QString::number(fault_flags + 100000).mid(1).toStdString()));
        poll_fm1();
    } else {
        rig->sim.set_pressure_raw(593);
    }
    QTRY_VERIFY(all_groups_enabled(*ctrl, false));
    QVERIFY(!button("btnFillLeft")->isDown());
    verify_at_rest("go MDP");

    if (fault_flags) {
        QVERIFY(rig->sim.set_fault_flags(1, "00000"));
        poll_fm1();
    } else {
        rig->sim.set_pressure_raw(700);
    }
    QTRY_VERIFY(all_groups_enabled(*ctrl, true));
}

void Manual_Controls::preset_buttons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("reads"); // driver's side, curb side; none for a move
    QTest::addColumn<bool>("silent");       // the controller does not answer
    QTest::newRow("store dump") << "btnSaveDumpHeight"
                                << "set SLP" << QStringList{"get LHD", "get LHC"} << false;
    QTest::newRow("store ride") << "btnSaveRideHeight"
                                << "set SRH" << QStringList{"get RHD", "get RHC"} << false;
    QTest::newRow("store unanswered") << "btnSaveDumpHeight"
                                      << "set SLP" << QStringList{"get LHD", "get LHC"} << true;
    QTest::newRow("move to ride") << "btnMoveToRideHeight"
                                  << "go RDH" << QStringList() << false;
    QTest::newRow("move to dump") << "btnMoveToDumpHeight"
                                  << "go LSP" << QStringList() << false;
}

void Manual_Controls::preset_buttons()
{
    QFETCH(QString, name);
    QFETCH(QString, command);
    QFETCH(QStringList, reads);
    QFETCH(bool, silent);
    rig->sim.set_angle_raw(Sim::Side::Driver, 500);
    rig->sim.set_angle_raw(Sim::Side::Curb, 610);
    if (silent)
        rig->sim.set_silent_commands({command.toStdString()});
    QList<unsigned> before;
    for (const QString& read : reads)
        before << sent(read);

    QTest::mouseClick(button(name), Qt::LeftButton);
    if (reads.isEmpty()) {
        QTRY_VERIFY(sent(command) >= 1u);
        QTest::qWait(300);
        QVERIFY(sent(command) <= 1u + retries());
        return;
    }
    // A store keeps its button disabled until it has ended, however it ends.
    QVERIFY(!button(name)->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(button(name)->isEnabled(), 15000);
    if (silent) {
        QCOMPARE(sent(command), 6u);
        QTest::qWait(300);
        QCOMPARE(sent(reads.at(0)) + sent(reads.at(1)), before.at(0) + before.at(1));
        return;
    }
    QVERIFY(sent(command) <= 1u + retries());
    QTRY_VERIFY(sent(reads.at(0)) > before.at(0));
    QTRY_VERIFY(sent(reads.at(1)) > before.at(1));
    Suspension_Heights_Class* table =
        command.endsWith("SLP") ? ctrl->Dump_Heights() : ctrl->Ride_Heights();
    QTRY_VERIFY(std::fabs(table->Driver_Angle() - angle_of(500)) < 0.01);
    QTRY_VERIFY(std::fabs(table->Curb_Angle() - angle_of(610)) < 0.01);
}

void Manual_Controls::store_dropped_by_a_shutdown_frees_its_button()
{
    rig->sim.set_silent_commands({"set SRH"});
    QTest::mouseClick(button("btnSaveRideHeight"), Qt::LeftButton);
    QTRY_VERIFY(sent("set SRH") >= 1u);
    // The worker stops without reporting the store as finished.
    rig->stop();
    QTRY_VERIFY(button("btnSaveRideHeight")->isEnabled());
}

void Manual_Controls::focus_gain_rereads_the_presets()
{
    const QStringList reads{"get LHC", "get LHD", "get RHC", "get RHD"};
    QList<unsigned> before;
    for (const QString& read : reads)
        before << sent(read);
    ctrl->Lost_Focus();
    QTRY_VERIFY(!ctrl->Driver_Delegate()->getScheduler_Item()->Is_Scheduled());
    QTRY_VERIFY(!ctrl->Curb_Delegate()->getScheduler_Item()->Is_Scheduled());
    ctrl->Has_Focus();
    for (int i = 0; i < reads.size(); ++i)
        QTRY_VERIFY(sent(reads.at(i)) > before.at(i));

    // The movers were scheduled again with the focus.
    QTest::mousePress(button("btnFillRight"), Qt::LeftButton);
    QTRY_VERIFY(sent("go MCP") >= 2u);
    QTest::mouseRelease(button("btnFillRight"), Qt::LeftButton);
    verify_at_rest("go MCP");
}

VANTOR_TEST_MAIN(Manual_Controls)
#include "tst_manual_controls.moc"
