// The misc settings tab against the virtual controller: reading and writing
// the controller mode, whose wire digit is the inverse of the mode.

#include "app_test_main.h"
#include "worker_rig.h"

#include "lever_length_form.h"
#include "misc_ctrl.h"

#include <QGroupBox>
#include <QLayout>
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
    void nothing_selected_saves_ambulance_mode();
    void focus_discards_an_unsaved_selection();
    void unanswered_write_keeps_the_controls_until_the_next_read();
    void invalid_answer_keeps_the_selection();
    void lever_length_editor_sits_in_its_group();

private:
    QRadioButton* ambulance(MiscCtrl* tab) const;
    QRadioButton* tow_haul(MiscCtrl* tab) const;
    QPushButton* save(MiscCtrl* tab) const;
    std::unique_ptr<MiscCtrl> new_tab();
    void read_mode();

    std::unique_ptr<Prompt_Answers> answers;
    std::unique_ptr<Worker_Rig> rig;
    std::unique_ptr<MiscCtrl> misc;
    std::unique_ptr<MiscCtrl> second;
};

void Misc_Ctrl::init()
{
    answers.reset(new Prompt_Answers);
    rig.reset(new Worker_Rig);
    QString error;
    QVERIFY2(rig->start(&error), qPrintable(error));
    misc = new_tab();
}

void Misc_Ctrl::cleanup()
{
    // The worker must be gone before the items it may still list.
    rig->stop();
    second.reset();
    misc.reset();
    rig.reset();
    answers.reset();
}

std::unique_ptr<MiscCtrl> Misc_Ctrl::new_tab()
{
    std::unique_ptr<MiscCtrl> tab(new MiscCtrl);
    tab->COM_Connect(rig->worker);
    return tab;
}

QRadioButton* Misc_Ctrl::ambulance(MiscCtrl* tab) const
{
    return tab->findChild<QRadioButton*>(QStringLiteral("rbAmbulanceMode"));
}

QRadioButton* Misc_Ctrl::tow_haul(MiscCtrl* tab) const
{
    return tab->findChild<QRadioButton*>(QStringLiteral("rbTowerHaulerMode"));
}

QPushButton* Misc_Ctrl::save(MiscCtrl* tab) const
{
    return tab->findChild<QPushButton*>(QStringLiteral("btnSaveSettings"));
}

void Misc_Ctrl::read_mode()
{
    const unsigned reads = rig->sim.request_count("get BPD");
    misc->Has_Focus();
    QTRY_COMPARE(rig->sim.request_count("get BPD"), reads + 1);
    QTRY_VERIFY(ambulance(misc.get())->isChecked() || tow_haul(misc.get())->isChecked());
}

void Misc_Ctrl::focus_reads_the_mode_and_offers_save_for_the_other()
{
    QVERIFY(!ambulance(misc.get())->isChecked());
    QVERIFY(!tow_haul(misc.get())->isChecked());
    QVERIFY(save(misc.get())->isEnabled());

    // The controller starts with bypass-disable digit 0: ambulance mode.
    QCOMPARE(rig->sim.readings().bypass_digit, false);
    read_mode();
    QVERIFY(ambulance(misc.get())->isChecked());
    QVERIFY(!tow_haul(misc.get())->isChecked());
    QVERIFY(!misc->Tow_Haul_Mode());
    QVERIFY(!save(misc.get())->isEnabled());

    // Save is offered only for the other mode.
    tow_haul(misc.get())->click();
    QVERIFY(save(misc.get())->isEnabled());
    ambulance(misc.get())->click();
    QVERIFY(!save(misc.get())->isEnabled());
    QCOMPARE(rig->sim.request_count("set BPD"), 0u);
}

void Misc_Ctrl::saving_writes_the_inverted_digit_and_reads_again()
{
    read_mode();

    tow_haul(misc.get())->click();
    save(misc.get())->click();
    QVERIFY(!ambulance(misc.get())->isEnabled());
    QVERIFY(!tow_haul(misc.get())->isEnabled());
    QVERIFY(!save(misc.get())->isEnabled());
    QTRY_VERIFY(rig->sim.readings().bypass_digit);
    QTRY_VERIFY(tow_haul(misc.get())->isEnabled());
    QCOMPARE(rig->sim.request_count("set BPD"), 1u);
    QCOMPARE(rig->sim.request_count("get BPD"), 2u);
    QVERIFY(tow_haul(misc.get())->isChecked());
    QVERIFY(!ambulance(misc.get())->isChecked());
    QVERIFY(misc->Tow_Haul_Mode());
    QVERIFY(ambulance(misc.get())->isEnabled());
    QVERIFY(!save(misc.get())->isEnabled());

    ambulance(misc.get())->click();
    save(misc.get())->click();
    QTRY_VERIFY(!rig->sim.readings().bypass_digit);
    QTRY_VERIFY(ambulance(misc.get())->isEnabled());
    QCOMPARE(rig->sim.request_count("get BPD"), 3u);
    QVERIFY(ambulance(misc.get())->isChecked());
    QVERIFY(!misc->Tow_Haul_Mode());
    QVERIFY(!save(misc.get())->isEnabled());
}

void Misc_Ctrl::nothing_selected_saves_ambulance_mode()
{
    read_mode();
    tow_haul(misc.get())->click();
    save(misc.get())->click();
    QTRY_VERIFY(rig->sim.readings().bypass_digit);
    QTRY_VERIFY(tow_haul(misc.get())->isEnabled());

    // A tab that has not read the mode yet.
    second = new_tab();
    QVERIFY(save(second.get())->isEnabled());
    save(second.get())->click();
    QTRY_VERIFY(!rig->sim.readings().bypass_digit);
    QTRY_VERIFY(ambulance(second.get())->isChecked());
    QVERIFY(!save(second.get())->isEnabled());
}

void Misc_Ctrl::focus_discards_an_unsaved_selection()
{
    read_mode();
    tow_haul(misc.get())->click();
    QVERIFY(save(misc.get())->isEnabled());
    misc->Lost_Focus();
    read_mode();
    QTRY_VERIFY(ambulance(misc.get())->isChecked());
    QVERIFY(!save(misc.get())->isEnabled());
    QCOMPARE(rig->sim.request_count("set BPD"), 0u);
}

void Misc_Ctrl::unanswered_write_keeps_the_controls_until_the_next_read()
{
    read_mode();
    rig->sim.set_silent_commands({"set BPD"});
    tow_haul(misc.get())->click();
    save(misc.get())->click();
    // Sent once and resent five times, then given up.
    QTRY_COMPARE_WITH_TIMEOUT(rig->sim.request_count("set BPD"), 6u, 10000);
    QVERIFY(!ambulance(misc.get())->isEnabled());
    QVERIFY(!tow_haul(misc.get())->isEnabled());

    rig->sim.set_silent_commands({});
    misc->Lost_Focus();
    read_mode();
    QTRY_VERIFY(ambulance(misc.get())->isEnabled());
    QVERIFY(tow_haul(misc.get())->isEnabled());
    QVERIFY(ambulance(misc.get())->isChecked());
    QVERIFY(!save(misc.get())->isEnabled());
}

void Misc_Ctrl::invalid_answer_keeps_the_selection()
{
    read_mode();
    ambulance(misc.get())->setEnabled(false);
    tow_haul(misc.get())->setEnabled(false);
    misc->Rx_BypassDisable(Packet_Shared_Ptr(new Packet_Resp_BPD));
    QVERIFY(ambulance(misc.get())->isChecked());
    QVERIFY(ambulance(misc.get())->isEnabled());
    QVERIFY(tow_haul(misc.get())->isEnabled());
    QVERIFY(!save(misc.get())->isEnabled());
}

void Misc_Ctrl::lever_length_editor_sits_in_its_group()
{
    auto group = misc->findChild<QGroupBox*>(QStringLiteral("gbxEditLL"));
    QVERIFY(group);
    QCOMPARE(group->title(), QStringLiteral("Lever Length"));
    QVERIFY(misc->Lever_Length_Editor());
    QCOMPARE(misc->Lever_Length_Editor()->parentWidget(), group);
    QVERIFY(group->layout());
    QVERIFY(group->layout()->indexOf(misc->Lever_Length_Editor()) >= 0);
}

VANTOR_TEST_MAIN(Misc_Ctrl)
#include "tst_misc_ctrl.moc"
