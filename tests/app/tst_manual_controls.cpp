// The manual operation tab and its press-and-hold movers against the virtual
// controller: what presses, holds, releases and refusals put on the line.

#include "app_test_main.h"
#include "test_responses.h"

#include "tabs/manual_ctrl.h"
#include "tabs/suspension_heights_class.h"

#include <queued_spy.h>
#include <worker_rig.h>

#include <QtWidgets>

#include <atomic>
#include <cmath>

using namespace Quillon;

namespace {

bool all_groups_enabled(const ManualCtrl& ctrl, bool enabled)
{
    for (const char* name : {"gbxDump", "gbxFill", "gbxMoveToPreset", "gbxSaveAsPreset"})
        if (ctrl.findChild<QGroupBox*>(QLatin1String(name))->isEnabled() != enabled)
            return false;
    return true;
}

void deliver(ManualCtrl& ctrl, const QString& body)
{
    const char* slot = body.startsWith(QLatin1String("PXV")) ? "Rx_ResPsi" : "Rx_FM1";
    QMetaObject::invokeMethod(
        &ctrl, slot, Q_ARG(QSharedPointer<Quillon::Packet_Class>, response(body.toLatin1())));
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
    void movers_end_at_rest_whatever_the_timing();
    void refusals_warn_and_release_the_buttons();
    void preset_buttons_data();
    void preset_buttons();
    void focus_gain_rereads_presets_and_reschedules_movers();

private:
    QPushButton* button(const QString& name) const { return ctrl->findChild<QPushButton*>(name); }
    unsigned sent(const QString& key) const { return rig->sim.request_count(key.toStdString()); }
    // Waits until both movers are at rest and no move command goes out any more.
    void verify_at_rest();
    unsigned moves() const
    {
        return sent("go MDN") + sent("go MDP") + sent("go MCN") + sent("go MCP");
    }
    // Requests resent after a late answer on a busy machine.
    unsigned retries() const { return unsigned(timeouts->count()); }

    std::unique_ptr<Prompt_Answers> answers;
    std::unique_ptr<Worker_Rig> rig;
    std::unique_ptr<Queued_Spy> timeouts;
    std::unique_ptr<ManualCtrl> ctrl;
};

void Manual_Controls::init()
{
    answers.reset(new Prompt_Answers);
    rig.reset(new Worker_Rig);
    START_RIG(*rig);
    timeouts.reset(new Queued_Spy(rig->resource, &COM_Resource::Rx_Timeout_Expected));
    ctrl.reset(new ManualCtrl);
    ctrl->show();
    ctrl->COM_Connect(rig->worker);
    ctrl->Has_Focus();
    deliver(*ctrl, "FM1 00000"); // as the main window forwards it
    // Both flags start set: enabled now means a healthy pressure was read too.
    QTRY_VERIFY(all_groups_enabled(*ctrl, true));
    QTRY_VERIFY(sent("get RHD") >= 1u);
}

void Manual_Controls::cleanup()
{
    // The worker must not outlive the items it lists.
    rig->stop();
    ctrl.reset();
    timeouts.reset();
    rig.reset();
    answers.reset();
}

void Manual_Controls::verify_at_rest()
{
    for (Move_Delegate_SI_Class* mover : {ctrl->Driver_Delegate(), ctrl->Curb_Delegate()}) {
        QCOMPARE(mover->getMove_state(), Move_Idle);
        QTRY_COMPARE(mover->getScheduler_Item()->State(), Protocol_Idle);
        QTRY_COMPARE(mover->getScheduler_Item()->Action(), Action_Hold);
    }
    // An answer still on its way may add one more after this.
    QTest::qWait(200);
    const unsigned settled = moves();
    QTest::qWait(400);
    QCOMPARE(moves(), settled);
}

void Manual_Controls::groups_are_named_after_their_own_titles()
{
    // A group inside another would otherwise be announced with the outer title.
    for (QGroupBox* group : ctrl->findChildren<QGroupBox*>())
        QCOMPARE(QAccessible::queryAccessibleInterface(group)->text(QAccessible::Name),
                 group->title());
}

void Manual_Controls::lock_out_follows_faults_and_pressure()
{
    // On a tab of its own no live answer interferes. A sensor fault stops a
    // movement in progress. Raw 593 is 89.9 psi, 594 is 90.05; an x makes the
    // answer invalid.
    ManualCtrl tab;
    QTest::mousePress(tab.findChild<QPushButton*>("btnFillLeft"), Qt::LeftButton);
    QCOMPARE(tab.Driver_Delegate()->getMove_state(), Move_Raise);
    deliver(tab, "FM1 00001");
    QCOMPARE(tab.Driver_Delegate()->getMove_state(), Move_Idle);
    QVERIFY(!tab.findChild<QPushButton*>("btnFillLeft")->isDown());
    const QStringList steps = {"PXV 00594", "FM1 00000", "PXV 0000x", "PXV 00593", "PXV 00594",
                               "FM1 00010", "FM1 0000x", "FM1 00000", "FM1 00001", "FM1 11100"};
    const QString enabled = "0110100101";
    for (int i = 0; i < steps.size(); ++i) {
        deliver(tab, steps.at(i));
        QVERIFY2(all_groups_enabled(tab, enabled.at(i) == '1'), qPrintable(steps.at(i)));
    }
}

void Manual_Controls::movers_end_at_rest_whatever_the_timing()
{
    Move_Delegate_SI_Class* mover = ctrl->Driver_Delegate();
    Queued_Spy answered(mover->getScheduler_Item(), &TX_Scheduler_Item_Class::Rx);
    // Released on the worker thread as the move goes out, so surely before
    // its answer is read: one move only. The receiver stays until the worker
    // stops and is disarmed instead: destroyed while the worker may be
    // calling it, it would race inside Qt. The lambda keeps no state of its
    // own for the same reason: Qt hands a connection made now to the running
    // worker under a lock ThreadSanitizer cannot see.
    static std::atomic<Move_Delegate_SI_Class*> release;
    release = mover;
    connect(
        rig->resource, &COM_Resource::Tx_Packet, &rig->keep(new QObject),
        [](QSharedPointer<Packet_Class>) {
            if (Move_Delegate_SI_Class* m = release)
                m->setMove_state(Move_Idle);
        },
        Qt::DirectConnection);
    mover->setMove_state(Move_Raise);
    QTRY_COMPARE(answered.count(), 1);
    verify_at_rest();
    QCOMPARE(sent("go MDP"), 1u + retries());
    release = nullptr;

    for (int i = 0; i < 40; ++i) { // presses and releases crossing the answers
        mover->setMove_state(i % 3 == 0 ? Move_Lower : Move_Raise);
        QTest::qWait(i % 4 * 15);
        mover->setMove_state(Move_Idle);
        QTest::qWait(i % 3 * 5);
    }
    verify_at_rest();
}

void Manual_Controls::refusals_warn_and_release_the_buttons()
{
    // Refused at the first answer on both sides: still held, yet nothing more goes out.
    rig->sim.set_refuse_moves(true);
    QTest::mousePress(button("btnDumpBoth"), Qt::LeftButton);
    QTRY_COMPARE(answers->asked.size(), 2);
    QVERIFY(!button("btnDumpLeft")->isDown() && !button("btnDumpRight")->isDown());
    verify_at_rest();
    QVERIFY(moves() <= 2u + retries());
    QTest::mouseRelease(button("btnDumpBoth"), Qt::LeftButton);
    // Refused while the curb side repeats.
    rig->sim.set_refuse_moves(false);
    QTest::mousePress(button("btnFillRight"), Qt::LeftButton);
    QTRY_VERIFY(sent("go MCP") >= 3u);
    rig->sim.set_refuse_moves(true);
    QTRY_COMPARE(answers->asked.size(), 3);
    QVERIFY(!button("btnFillRight")->isDown());
    verify_at_rest();
    QTest::mouseRelease(button("btnFillRight"), Qt::LeftButton);
    QStringList shown;
    for (const User_Prompt& prompt : qAsConst(answers->asked)) {
        QVERIFY(prompt.icon == QMessageBox::Warning && prompt.buttons == QMessageBox::Ok &&
                prompt.parent == ctrl.get());
        shown << prompt.title + " / " + prompt.text;
    }
    shown.sort();
    QCOMPARE(shown, QStringList({"Curb side move failed! / Curb side lower move failed!",
                                 "Curb side move failed! / Curb side raise move failed!",
                                 "Driver's side move failed! / Driver's side lower move failed!"}));
}

void Manual_Controls::preset_buttons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("reads"); // driver's side, curb side; none for a move
    QTest::addColumn<QString>("ending");    // answered, unanswered, or the worker stops
    const QStringList dump{"get LHD", "get LHC"}, ride{"get RHD", "get RHC"}, none;
    QTest::newRow("store dump") << "btnSaveDumpHeight"
                                << "set SLP" << dump << "answered";
    QTest::newRow("store ride") << "btnSaveRideHeight"
                                << "set SRH" << ride << "answered";
    QTest::newRow("store unanswered") << "btnSaveDumpHeight"
                                      << "set SLP" << dump << "unanswered";
    // Dropped without Finished: the button must not stay disabled for good.
    QTest::newRow("store, worker stopped") << "btnSaveRideHeight"
                                           << "set SRH" << ride << "stop";
    QTest::newRow("move to ride") << "btnMoveToRideHeight"
                                  << "go RDH" << none << "answered";
    QTest::newRow("move to dump") << "btnMoveToDumpHeight"
                                  << "go LSP" << none << "answered";
}

void Manual_Controls::preset_buttons()
{
    QFETCH(QString, name);
    QFETCH(QString, command);
    QFETCH(QStringList, reads);
    QFETCH(QString, ending);
    rig->sim.set_angle_raw(Sim::Side::Driver, 500);
    rig->sim.set_angle_raw(Sim::Side::Curb, 610);
    if (ending != "answered")
        rig->sim.set_silent_commands({command.toStdString()});
    const unsigned reads_before = reads.isEmpty() ? 0 : sent(reads.at(0)) + sent(reads.at(1));
    QTest::mouseClick(button(name), Qt::LeftButton);
    // A store keeps its button disabled until it has ended, however it ends.
    QCOMPARE(button(name)->isEnabled(), reads.isEmpty());
    QTRY_VERIFY(sent(command) >= 1u);
    if (reads.isEmpty()) {
        QTest::qWait(300);
        QVERIFY(sent(command) <= 1u + retries());
        return;
    }
    if (ending == "stop")
        rig->stop();
    QTRY_VERIFY_WITH_TIMEOUT(button(name)->isEnabled(), 15000);
    if (ending != "answered") { // nothing is read again
        QTest::qWait(300);
        QCOMPARE(sent(reads.at(0)) + sent(reads.at(1)), reads_before);
        QVERIFY(ending == "stop" || sent(command) == 6u);
        return;
    }
    QVERIFY(sent(command) <= 1u + retries());
    // The table shows the angles read again; raw r is (r - 102.3) / 9.1044 - 45 degrees.
    Suspension_Heights_Class* table =
        command.endsWith("SLP") ? ctrl->Dump_Heights() : ctrl->Ride_Heights();
    QTRY_VERIFY(std::fabs(table->Driver_Angle() - ((500 - 102.3) / 9.1044 - 45.0)) < 0.01);
    QTRY_VERIFY(std::fabs(table->Curb_Angle() - ((610 - 102.3) / 9.1044 - 45.0)) < 0.01);
}

void Manual_Controls::focus_gain_rereads_presets_and_reschedules_movers()
{
    // Scheduled but never pressed, the movers send nothing.
    QCOMPARE(moves(), 0u);
    const auto reads = [this] {
        return sent("get LHC") + sent("get LHD") + sent("get RHC") + sent("get RHD");
    };
    const unsigned before = reads();
    ctrl->Lost_Focus();
    QTRY_VERIFY(!ctrl->Curb_Delegate()->getScheduler_Item()->Is_Scheduled());
    ctrl->Has_Focus();
    QTRY_VERIFY(reads() >= before + 4);

    // Both raise buttons held; then lower pressed on the curb side, whose
    // repetition goes on with the new command only.
    QTest::mousePress(button("btnFillBoth"), Qt::LeftButton);
    QVERIFY(button("btnFillLeft")->isDown() && button("btnFillRight")->isDown());
    QTRY_VERIFY(sent("go MDP") >= 3u && sent("go MCP") >= 3u);
    QTest::mousePress(button("btnDumpRight"), Qt::LeftButton);
    QTRY_VERIFY(sent("go MCN") >= 3u);
    QCOMPARE(ctrl->Curb_Delegate()->getScheduler_Item()->State(), Protocol_Repeat);
    const unsigned raises = sent("go MCP");
    QTest::qWait(300);
    QCOMPARE(sent("go MCP"), raises);
    QCOMPARE(sent("go MDN"), 0u);
    QTest::mouseRelease(button("btnDumpRight"), Qt::LeftButton);
    QTest::mouseRelease(button("btnFillBoth"), Qt::LeftButton);
    QVERIFY(!button("btnFillLeft")->isDown() && !button("btnFillRight")->isDown());
    verify_at_rest();
}

VANTOR_TEST_MAIN(Manual_Controls)
#include "tst_manual_controls.moc"
