// The misc settings tab against the virtual controller: reading and writing
// the controller mode, whose wire digit is the inverse of the mode.

#include "app_test_main.h"
#include "worker_rig.h"

#include "misc_ctrl.h"

#include <QPushButton>
#include <QRadioButton>

#include <memory>

using namespace Quillon;

class Misc_Ctrl : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void focus_reads_the_mode_and_offers_save_for_the_other();
    void saving_writes_the_inverted_digit_and_reads_again();
    void controls_wait_for_the_next_answer();

private:
    struct Tab
    {
        explicit Tab(Worker_Rig& rig) { tab.COM_Connect(rig.worker); }
        MiscCtrl tab;
        QRadioButton* ambulance = tab.findChild<QRadioButton*>("rbAmbulanceMode");
        QRadioButton* tow_haul = tab.findChild<QRadioButton*>("rbTowerHaulerMode");
        QPushButton* save = tab.findChild<QPushButton*>("btnSaveSettings");
    };
    void read_mode();

    std::unique_ptr<Worker_Rig> rig;
    std::unique_ptr<Tab> misc;
    std::unique_ptr<Tab> fresh;
};

void Misc_Ctrl::init()
{
    rig.reset(new Worker_Rig);
    QString error;
    QVERIFY2(rig->start(&error), qPrintable(error));
    misc.reset(new Tab(*rig));
}

void Misc_Ctrl::cleanup()
{
    // The worker must be gone before the items it may still list.
    rig->stop();
    fresh.reset();
    misc.reset();
    rig.reset();
}

void Misc_Ctrl::read_mode()
{
    const unsigned reads = rig->sim.request_count("get BPD");
    misc->tab.Has_Focus();
    QTRY_COMPARE(rig->sim.request_count("get BPD"), reads + 1);
    QTRY_VERIFY(misc->ambulance->isEnabled() && !misc->save->isEnabled());
}

void Misc_Ctrl::focus_reads_the_mode_and_offers_save_for_the_other()
{
    QVERIFY(!misc->ambulance->isChecked() && !misc->tow_haul->isChecked());
    // The controller starts with bypass-disable digit 0: ambulance mode.
    read_mode();
    QVERIFY(misc->ambulance->isChecked());
    misc->tow_haul->click();
    QVERIFY(misc->save->isEnabled());
    misc->ambulance->click();
    QVERIFY(!misc->save->isEnabled());

    // Coming back discards an unsaved selection.
    misc->tow_haul->click();
    misc->tab.Lost_Focus();
    read_mode();
    QVERIFY(misc->ambulance->isChecked());
    QCOMPARE(rig->sim.request_count("set BPD"), 0u);
}

void Misc_Ctrl::saving_writes_the_inverted_digit_and_reads_again()
{
    read_mode();
    misc->tow_haul->click();
    misc->save->click();
    QVERIFY(!misc->ambulance->isEnabled() && !misc->tow_haul->isEnabled());
    QVERIFY(!misc->save->isEnabled());
    QTRY_VERIFY(rig->sim.readings().bypass_digit);
    QTRY_VERIFY(misc->tow_haul->isEnabled());
    QCOMPARE(rig->sim.request_count("get BPD"), 2u);
    QVERIFY(misc->tow_haul->isChecked() && misc->tab.Tow_Haul_Mode());
    QVERIFY(misc->ambulance->isEnabled() && !misc->save->isEnabled());

    // A tab that has not read the mode yet saves ambulance mode.
    fresh.reset(new Tab(*rig));
    QVERIFY(fresh->save->isEnabled());
    fresh->save->click();
    QTRY_VERIFY(!rig->sim.readings().bypass_digit);
    QTRY_VERIFY(fresh->ambulance->isChecked());
    QVERIFY(!fresh->save->isEnabled());
}

void Misc_Ctrl::controls_wait_for_the_next_answer()
{
    read_mode();
    rig->sim.set_silent_commands({"set BPD"});
    misc->tow_haul->click();
    misc->save->click();
    // Sent once and resent five times, then given up.
    QTRY_COMPARE_WITH_TIMEOUT(rig->sim.request_count("set BPD"), 6u, 10000);
    QVERIFY(!misc->ambulance->isEnabled() && !misc->tow_haul->isEnabled());

    // Even an invalid answer frees them; it keeps the selection.
    misc->tab.Rx_BypassDisable(Packet_Shared_Ptr(new Packet_Resp_BPD));
    QVERIFY(misc->tow_haul->isChecked() && misc->ambulance->isEnabled());
    QVERIFY(misc->save->isEnabled());
    rig->sim.set_silent_commands({});
    misc->tab.Lost_Focus();
    read_mode();
    QVERIFY(misc->ambulance->isChecked());
}

VANTOR_TEST_MAIN(Misc_Ctrl)
#include "tst_misc_ctrl.moc"
