// The manual operation tab against the virtual controller: the press-and-hold
// buttons, the lock-out, the refusal warnings and the preset stores.

#include "app_test_main.h"

#include "manual_ctrl.h"
#include "suspension_heights_class.h"

#include <queued_spy.h>
#include <worker_rig.h>

#include <QGroupBox>
#include <QPushButton>

#include <cmath>
#include <memory>

using namespace Quillon;

namespace {

const char* const group_names[] = {"gbxDump", "gbxFill", "gbxMoveToPreset", "gbxSaveAsPreset"};

// The angle the controller reports for a raw sensor value.
double angle_of(unsigned raw)
{
    return (raw - 102.3) / 9.1044 - 45.0;
}

} // namespace

class Manual_Ctrl : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void both_moves_both_sides_data();
    void both_moves_both_sides();
    void refusal_warns_and_releases_the_buttons_data();
    void refusal_warns_and_releases_the_buttons();
    void low_pressure_locks_out_and_stops_a_movement();
    void pressure_of_90_keeps_the_controls();
    void sensor_fault_locks_out_data();
    void sensor_fault_locks_out();
    void storing_a_preset_rereads_it_data();
    void storing_a_preset_rereads_it();
    void store_that_times_out_is_not_reread();
    void store_dropped_by_a_shutdown_frees_its_button();
    void move_to_preset_data();
    void move_to_preset();
    void focus_gain_rereads_the_presets();

private:
    QPushButton* button(const QString& name) const { return ctrl->findChild<QPushButton*>(name); }
    unsigned sent(const QString& key) const { return rig->sim.request_count(key.toStdString()); }
    bool all_groups_enabled(bool enabled) const;
    // Asks for the fault word FM1, as the main window does every two seconds,
    // and waits until the tab has the answer.
    void poll_fm1();
    void verify_at_rest(const QString& key);
    // Requests resent after a late answer on a busy machine.
    unsigned retries() const { return unsigned(timeouts->count()); }

    std::unique_ptr<Prompt_Answers> answers;
    std::unique_ptr<Worker_Rig> rig;
    std::unique_ptr<Queued_Spy> timeouts;
    std::unique_ptr<ManualCtrl> ctrl;
    Packet_Shared_Ptr fm1_pkt;
    std::unique_ptr<TX_Sched_Item_Send_Once_Class> fm1_item;
};

void Manual_Ctrl::init()
{
    answers.reset(new Prompt_Answers);
    rig.reset(new Worker_Rig);
    QString error;
    QVERIFY2(rig->start(&error), qPrintable(error));
    timeouts.reset(new Queued_Spy(rig->resource, &COM_Resource::Rx_Timeout_Expected));
    ctrl.reset(new ManualCtrl);
    ctrl->show();
    fm1_pkt = Packet_Shared_Ptr(new Packet_Get_FM1);
    fm1_pkt->AllocateData();
    fm1_item.reset(new TX_Sched_Item_Send_Once_Class(fm1_pkt));
    connect(fm1_item.get(), SIGNAL(Rx(QSharedPointer<Quillon::Packet_Class>)), ctrl.get(),
            SLOT(Rx_FM1(QSharedPointer<Quillon::Packet_Class>)));

    ctrl->COM_Connect(rig->worker);
    ctrl->Has_Focus();
    poll_fm1();
    // Both flags start set: enabled now means a healthy FM1 and PXV were seen.
    QTRY_VERIFY(all_groups_enabled(true));
    QTRY_VERIFY(sent("get RHD") >= 1u);
}

void Manual_Ctrl::cleanup()
{
    rig->stop();
    ctrl.reset();
    fm1_item.reset();
    timeouts.reset();
    rig.reset();
    answers.reset();
}

bool Manual_Ctrl::all_groups_enabled(bool enabled) const
{
    for (const char* name : group_names) {
        if (ctrl->findChild<QGroupBox*>(QLatin1String(name))->isEnabled() != enabled)
            return false;
    }
    return true;
}

void Manual_Ctrl::poll_fm1()
{
    Queued_Spy finished(fm1_item.get(), &TX_Scheduler_Item_Class::Finished);
    rig->worker->TX_Scheduler->Schedule_Item(fm1_item.get());
    // The answer reaches the tab before the end of the exchange does.
    QTRY_COMPARE(finished.count(), 1);
}

void Manual_Ctrl::verify_at_rest(const QString& key)
{
    for (Move_Delegate_SI_Class* mover : {ctrl->Driver_Delegate(), ctrl->Curb_Delegate()}) {
        QCOMPARE(mover->getMove_state(), Move_Idle);
        QTRY_COMPARE(mover->getScheduler_Item()->State(), Protocol_Idle);
    }
    QTest::qWait(200);
    const unsigned settled = sent(key);
    QTest::qWait(400);
    QCOMPARE(sent(key), settled);
}

void Manual_Ctrl::both_moves_both_sides_data()
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

void Manual_Ctrl::both_moves_both_sides()
{
    QFETCH(QString, side);
    QFETCH(QString, driver_command);
    QFETCH(QString, curb_command);
    QPushButton* both = button("btn" + side + "Both");
    QPushButton* left = button("btn" + side + "Left");
    QPushButton* right = button("btn" + side + "Right");
    QVERIFY(!both->autoRepeat());

    QTest::mousePress(both, Qt::LeftButton);
    QVERIFY(left->isDown());
    QVERIFY(right->isDown());
    QTRY_VERIFY(sent(driver_command) >= 3u);
    QTRY_VERIFY(sent(curb_command) >= 3u);
    QTest::mouseRelease(both, Qt::LeftButton);
    QVERIFY(!left->isDown());
    QVERIFY(!right->isDown());
    verify_at_rest(driver_command);
    verify_at_rest(curb_command);
}

void Manual_Ctrl::refusal_warns_and_releases_the_buttons_data()
{
    QTest::addColumn<QString>("pressed");
    // Title and text of each warning, in alphabetical order.
    QTest::addColumn<QStringList>("warnings");
    const QString driver = "Driver's side move failed! / Driver's side %1 move failed!";
    const QString curb = "Curb side move failed! / Curb side %1 move failed!";
    QTest::newRow("driver lower") << "btnDumpLeft" << QStringList{driver.arg("lower")};
    QTest::newRow("curb raise") << "btnFillRight" << QStringList{curb.arg("raise")};
    QTest::newRow("both raise") << "btnFillBoth"
                                << QStringList{curb.arg("raise"), driver.arg("raise")};
}

void Manual_Ctrl::refusal_warns_and_releases_the_buttons()
{
    QFETCH(QString, pressed);
    QFETCH(QStringList, warnings);
    const QString group = pressed.left(7); // btnFill or btnDump
    rig->sim.set_refuse_moves(true);
    QTest::mousePress(button(pressed), Qt::LeftButton);
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
    QVERIFY(!button(group + "Left")->isDown());
    QVERIFY(!button(group + "Right")->isDown());
    // Still held, yet nothing more goes out and no second warning comes.
    verify_at_rest("go MDP");
    verify_at_rest("go MDN");
    QCOMPARE(answers->asked.size(), warnings.size());
    QTest::mouseRelease(button(pressed), Qt::LeftButton);
}

void Manual_Ctrl::low_pressure_locks_out_and_stops_a_movement()
{
    rig->sim.set_compressor_enabled(false);
    QTest::mousePress(button("btnFillLeft"), Qt::LeftButton);
    QTRY_VERIFY(sent("go MDP") >= 2u);

    rig->sim.set_pressure_raw(593); // 89.9 PSI
    QTRY_VERIFY(all_groups_enabled(false));
    QVERIFY(!button("btnFillLeft")->isDown());
    verify_at_rest("go MDP");

    rig->sim.set_pressure_raw(700);
    QTRY_VERIFY(all_groups_enabled(true));
}

void Manual_Ctrl::pressure_of_90_keeps_the_controls()
{
    rig->sim.set_compressor_enabled(false);
    rig->sim.set_pressure_raw(594); // just over 90.0 PSI
    const unsigned reads = sent("get PXV");
    QTRY_VERIFY(sent("get PXV") >= reads + 3);
    QTest::qWait(100);
    QVERIFY(all_groups_enabled(true));
}

void Manual_Ctrl::sensor_fault_locks_out_data()
{
    QTest::addColumn<QString>("flags");
    QTest::newRow("driver") << "00001";
    QTest::newRow("curb") << "00010";
}

void Manual_Ctrl::sensor_fault_locks_out()
{
    QFETCH(QString, flags);
    QTest::mousePress(button("btnDumpRight"), Qt::LeftButton);
    QTRY_VERIFY(sent("go MCN") >= 2u);

    QVERIFY(rig->sim.set_fault_flags(1, flags.toStdString()));
    poll_fm1();
    QTRY_VERIFY(all_groups_enabled(false));
    verify_at_rest("go MCN");

    QVERIFY(rig->sim.set_fault_flags(1, "00000"));
    poll_fm1();
    QTRY_VERIFY(all_groups_enabled(true));
}

void Manual_Ctrl::storing_a_preset_rereads_it_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<QString>("set_command");
    QTest::addColumn<QString>("driver_read");
    QTest::addColumn<QString>("curb_read");
    QTest::addColumn<bool>("dump");
    QTest::newRow("dump") << "btnSaveDumpHeight"
                          << "set SLP"
                          << "get LHD"
                          << "get LHC" << true;
    QTest::newRow("ride") << "btnSaveRideHeight"
                          << "set SRH"
                          << "get RHD"
                          << "get RHC" << false;
}

void Manual_Ctrl::storing_a_preset_rereads_it()
{
    QFETCH(QString, store);
    QFETCH(QString, set_command);
    QFETCH(QString, driver_read);
    QFETCH(QString, curb_read);
    QFETCH(bool, dump);
    rig->sim.set_angle_raw(Sim::Side::Driver, 500);
    rig->sim.set_angle_raw(Sim::Side::Curb, 610);
    const unsigned driver_reads = sent(driver_read);
    const unsigned curb_reads = sent(curb_read);

    QTest::mouseClick(button(store), Qt::LeftButton);
    QVERIFY(!button(store)->isEnabled());
    QTRY_VERIFY(button(store)->isEnabled());
    QVERIFY(sent(set_command) <= 1u + retries());
    QTRY_VERIFY(sent(driver_read) > driver_reads);
    QTRY_VERIFY(sent(curb_read) > curb_reads);

    Suspension_Heights_Class* table = dump ? ctrl->Dump_Heights() : ctrl->Ride_Heights();
    QTRY_VERIFY(std::fabs(table->Driver_Angle() - angle_of(500)) < 0.01);
    QTRY_VERIFY(std::fabs(table->Curb_Angle() - angle_of(610)) < 0.01);
}

void Manual_Ctrl::store_that_times_out_is_not_reread()
{
    rig->sim.set_silent_commands({"set SLP"});
    const unsigned reads = sent("get LHC") + sent("get LHD");
    QTest::mouseClick(button("btnSaveDumpHeight"), Qt::LeftButton);
    QVERIFY(!button("btnSaveDumpHeight")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(button("btnSaveDumpHeight")->isEnabled(), 15000);
    QCOMPARE(sent("set SLP"), 6u);
    QTest::qWait(300);
    QCOMPARE(sent("get LHC") + sent("get LHD"), reads);
}

void Manual_Ctrl::store_dropped_by_a_shutdown_frees_its_button()
{
    rig->sim.set_silent_commands({"set SRH"});
    QTest::mouseClick(button("btnSaveRideHeight"), Qt::LeftButton);
    QTRY_VERIFY(sent("set SRH") >= 1u);
    // The worker stops without reporting the store as finished.
    rig->stop();
    QTRY_VERIFY(button("btnSaveRideHeight")->isEnabled());
}

void Manual_Ctrl::move_to_preset_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("command");
    QTest::newRow("ride") << "btnMoveToRideHeight"
                          << "go RDH";
    QTest::newRow("dump") << "btnMoveToDumpHeight"
                          << "go LSP";
}

void Manual_Ctrl::move_to_preset()
{
    QFETCH(QString, name);
    QFETCH(QString, command);
    QTest::mouseClick(button(name), Qt::LeftButton);
    QTRY_VERIFY(sent(command) >= 1u);
    QTest::qWait(300);
    QVERIFY(sent(command) <= 1u + retries());
}

void Manual_Ctrl::focus_gain_rereads_the_presets()
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

VANTOR_TEST_MAIN(Manual_Ctrl)
#include "tst_manual_ctrl.moc"
