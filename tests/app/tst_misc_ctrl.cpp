// The misc settings tab against the virtual controller: reading and writing
// the controller mode, whose wire digit is the inverse of the mode.

#include "app_test_main.h"
#include "worker_rig.h"

#include "tabs/misc_ctrl.h"

#include <QPushButton>
#include <QRadioButton>

using namespace Quillon;

class Misc_Ctrl : public QObject
{
    Q_OBJECT

private slots:
    void mode_round_trip();
};

void Misc_Ctrl::mode_round_trip()
{
    // The worker goes first, before the items it may still list.
    MiscCtrl misc;
    Worker_Rig rig;
    QVERIFY(rig.start());
    misc.COM_Connect(rig.worker);
    auto ambulance = misc.findChild<QRadioButton*>("rbAmbulanceMode");
    auto tow_haul = misc.findChild<QRadioButton*>("rbTowerHaulerMode");
    auto save = misc.findChild<QPushButton*>("btnSaveSettings");
    const auto read_mode = [&] {
        misc.Lost_Focus();
        misc.Has_Focus();
        return QTest::qWaitFor([&] { return ambulance->isEnabled() && !save->isEnabled(); });
    };

    // The controller starts with bypass-disable digit 0: ambulance mode.
    QVERIFY(read_mode() && ambulance->isChecked());
    tow_haul->click();
    QVERIFY(save->isEnabled());
    save->click();
    QVERIFY(!ambulance->isEnabled() && !tow_haul->isEnabled() && !save->isEnabled());
    QTRY_VERIFY(rig.sim.readings().bypass_digit);
    QTRY_VERIFY(tow_haul->isEnabled());
    QVERIFY(tow_haul->isChecked() && misc.Tow_Haul_Mode() && !save->isEnabled());

    // An unanswered write keeps the controls until the next answer; even an
    // invalid one frees them, keeping the selection.
    rig.sim.set_silent_commands({"set BPD"});
    ambulance->click();
    save->click();
    QTRY_COMPARE_WITH_TIMEOUT(rig.sim.request_count("set BPD"), 7u, 10000);
    QVERIFY(!ambulance->isEnabled() && !tow_haul->isEnabled());
    misc.Rx_BypassDisable(Packet_Shared_Ptr(new Packet_Resp_BPD));
    QVERIFY(ambulance->isChecked() && tow_haul->isEnabled() && save->isEnabled());
    // Coming back reads the mode again and discards the unsaved selection.
    rig.sim.set_silent_commands({});
    QVERIFY(read_mode() && tow_haul->isChecked());
}

VANTOR_TEST_MAIN(Misc_Ctrl)
#include "tst_misc_ctrl.moc"
