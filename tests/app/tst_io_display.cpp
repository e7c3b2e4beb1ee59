// The input/output display: its form, each slot's check box, the
// ignition threshold, the ten repeating reads in their order against the
// virtual controller, and the ignition read feeding the main status display.

#include "app_test_main.h"
#include "sent_log.h"
#include "test_responses.h"

#include "io_display.h"
#include "main_display.h"
#include "worker_rig.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>

using namespace Quillon;

namespace {

using Slot = void (IODisplay::*)(QSharedPointer<Quillon::Packet_Class>);

} // namespace

Q_DECLARE_METATYPE(Slot)

class IO_Display : public QObject
{
    Q_OBJECT

private slots:
    void form();
    void requests_in_order();
    void boolean_slots_data();
    void boolean_slots();
    void ignition_threshold_data();
    void ignition_threshold();
    void exhaust_checked_for_any_duty();
    void foreign_responses_change_nothing();
    void live_against_the_virtual_controller();

private:
    static QCheckBox* box(IODisplay& d, const QString& name)
    {
        return d.findChild<QCheckBox*>(name);
    }
};

void IO_Display::form()
{
    IODisplay d;
    QCOMPARE(d.windowTitle(), QStringLiteral("Form"));
    const QString style =
        QStringLiteral("QCheckBox[enabled=\"false\"]::indicator:checked {background-color: black}"
                       "                QCheckBox[enabled=\"false\"] {color: black}");
    QCOMPARE(style.size(), 128);
    QCOMPARE(d.styleSheet(), style);

    struct Expected
    {
        const char* group;
        const char* name;
        const char* text;
        const char* tip;
    };
    const Expected boxes[] = {
        {"gbxInputs", "cbxIgnition", "Ignition", ""},
        {"gbxInputs", "cbxTrigger", "Trigger", ""},
        {"gbxInputs", "cbxDoorSwitchAH", "Door Switch +", "Activated when 12V is applied"},
        {"gbxInputs", "cbxDoorSwitchAL", "Door Switch -", "Activated when ground is applied"},
        {"gbxInputs", "cbxLowerEnable", "Lower Enable", ""},
        {"gbxOutputs", "cbxOutputLeft", "Driver's side", ""},
        {"gbxOutputs", "cbxOutputRight", "Curb side", ""},
        {"gbxOutputs", "cbxOutputReservoir", "Reservoir", ""},
        {"gbxOutputs", "cbxOutputExhaust", "Exhaust", ""},
        {"gbxOutputs", "cbxOutputCompressor", "Compressor", ""},
    };
    QCOMPARE(d.findChild<QGroupBox*>(QStringLiteral("gbxInputs"))->title(),
             QStringLiteral("Inputs"));
    QCOMPARE(d.findChild<QGroupBox*>(QStringLiteral("gbxOutputs"))->title(),
             QStringLiteral("Outputs"));
    for (const Expected& e : boxes) {
        QCheckBox* b = box(d, QLatin1String(e.name));
        QVERIFY2(b, e.name);
        QCOMPARE(b->parentWidget()->objectName(), QLatin1String(e.group));
        QCOMPARE(b->text(), QLatin1String(e.text));
        QCOMPARE(b->toolTip(), QLatin1String(e.tip));
        QVERIFY(!b->isEnabled()); // read-only, shown black by the style sheet
        QVERIFY(!b->isChecked());
    }
}

void IO_Display::requests_in_order()
{
    IODisplay d;
    const int types[] = {Packet_Get_IGV::packet_type, Packet_Get_LOL::packet_type,
                         Packet_Get_BAH::packet_type, Packet_Get_DSH::packet_type,
                         Packet_Get_DSL::packet_type, Packet_Get_DSS::packet_type,
                         Packet_Get_CSS::packet_type, Packet_Get_RVS::packet_type,
                         Packet_Get_CES::packet_type, Packet_Get_CSR::packet_type};
    const auto items = d.Items();
    QCOMPARE(items.size(), 10);
    QCOMPARE(items.first(), d.Ignition_Item());
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(items.at(i)->TX_message()->ID(), types[i]);
        QVERIFY(items.at(i)->TX_message()->Valid);
        QCOMPARE(items.at(i)->State(), Protocol_Repeat);
    }
}

void IO_Display::boolean_slots_data()
{
    QTest::addColumn<Slot>("slot");
    QTest::addColumn<QByteArray>("on");
    QTest::addColumn<QByteArray>("off");
    QTest::addColumn<QString>("name");
    QTest::newRow("LOL") << Slot(&IODisplay::Rx_SysEnable) << QByteArray("LOL 00001")
                         << QByteArray("LOL 00000") << "cbxLowerEnable";
    QTest::newRow("BAH") << Slot(&IODisplay::Rx_Trigger) << QByteArray("BAH 00001")
                         << QByteArray("BAH 00000") << "cbxTrigger";
    QTest::newRow("DSH") << Slot(&IODisplay::Rx_DoorSwitchAH) << QByteArray("DSH 00001")
                         << QByteArray("DSH 00000") << "cbxDoorSwitchAH";
    QTest::newRow("DSL") << Slot(&IODisplay::Rx_DoorSwitchAL) << QByteArray("DSL 00001")
                         << QByteArray("DSL 00000") << "cbxDoorSwitchAL";
    QTest::newRow("DSS") << Slot(&IODisplay::Rx_OutputLeft) << QByteArray("DSS 00001")
                         << QByteArray("DSS 00000") << "cbxOutputLeft";
    QTest::newRow("CSS") << Slot(&IODisplay::Rx_OutputRight) << QByteArray("CSS 00001")
                         << QByteArray("CSS 00000") << "cbxOutputRight";
    QTest::newRow("RVS") << Slot(&IODisplay::Rx_OutputReservoir) << QByteArray("RVS 00001")
                         << QByteArray("RVS 00000") << "cbxOutputReservoir";
    QTest::newRow("CSR") << Slot(&IODisplay::Rx_OutputCompressor) << QByteArray("CSR 00001")
                         << QByteArray("CSR 00000") << "cbxOutputCompressor";
}

void IO_Display::boolean_slots()
{
    QFETCH(Slot, slot);
    QFETCH(QByteArray, on);
    QFETCH(QByteArray, off);
    QFETCH(QString, name);
    IODisplay d;
    // Each response class by its code, as the frame receiver makes it.
    auto make = [](const QByteArray& body) {
        Packet_Class* p = Create_Response_Packet(Response_Type_Of(body.left(3).constData()));
        QByteArray bytes = body;
        p->checkData(bytes.data());
        return Packet_Shared_Ptr(p);
    };
    (d.*slot)(make(on));
    QVERIFY(box(d, name)->isChecked());
    // Only this box.
    for (QCheckBox* other : d.findChildren<QCheckBox*>()) {
        if (other->objectName() != name)
            QVERIFY2(!other->isChecked(), qPrintable(other->objectName()));
    }
    (d.*slot)(make(off));
    QVERIFY(!box(d, name)->isChecked());
    // The Valid flag is not looked at: an invalid "0001" still carries its digit.
    QByteArray invalid = on;
    invalid[7] = '1';
    (d.*slot)(make(invalid));
    QVERIFY(box(d, name)->isChecked());
}

void IO_Display::ignition_threshold_data()
{
    QTest::addColumn<double>("volts");
    QTest::addColumn<bool>("checked");
    QTest::newRow("10.0 V") << 10.0 << false;
    QTest::newRow("10.1 V") << 10.1 << true;
    QTest::newRow("9.9 V") << 9.9 << false;
    QTest::newRow("13.8 V") << 13.8 << true;
}

void IO_Display::ignition_threshold()
{
    QFETCH(double, volts);
    QFETCH(bool, checked);
    IODisplay d;
    box(d, QStringLiteral("cbxIgnition"))->setChecked(!checked);
    d.Rx_Ignition(Packet_Shared_Ptr(new Exact_IGV(volts)));
    QCOMPARE(box(d, QStringLiteral("cbxIgnition"))->isChecked(), checked);
}

void IO_Display::exhaust_checked_for_any_duty()
{
    IODisplay d;
    QCheckBox* exhaust = box(d, QStringLiteral("cbxOutputExhaust"));
    d.Rx_OutputExhaust(response<Packet_Resp_CES>("CES 00001"));
    QVERIFY(exhaust->isChecked());
    d.Rx_OutputExhaust(response<Packet_Resp_CES>("CES 00000"));
    QVERIFY(!exhaust->isChecked());
    d.Rx_OutputExhaust(response<Packet_Resp_CES>("CES 01024"));
    QVERIFY(exhaust->isChecked());

    // Raw line readings either side of 10 V: 401 is 9.986 V, 402 is 10.011 V.
    d.Rx_Ignition(response<Packet_Resp_IGV>("IGV 00402"));
    QVERIFY(box(d, QStringLiteral("cbxIgnition"))->isChecked());
    d.Rx_Ignition(response<Packet_Resp_IGV>("IGV 00401"));
    QVERIFY(!box(d, QStringLiteral("cbxIgnition"))->isChecked());
}

void IO_Display::foreign_responses_change_nothing()
{
    IODisplay d;
    d.Rx_Trigger(response<Packet_Resp_LOL>("LOL 00001"));
    d.Rx_OutputExhaust(response<Packet_Resp_CPT>("CPT 00001"));
    d.Rx_Ignition(response<Packet_Resp_PXV>("PXV 00900"));
    d.Rx_SysEnable(Packet_Shared_Ptr());
    for (QCheckBox* b : d.findChildren<QCheckBox*>())
        QVERIFY2(!b->isChecked(), qPrintable(b->objectName()));
}

void IO_Display::live_against_the_virtual_controller()
{
    IODisplay d;
    MainDisplay main_display;
    // The main window's link: the ignition read also feeds the battery voltage.
    connect(d.Ignition_Item(), SIGNAL(Rx(QSharedPointer<Quillon::Packet_Class>)), &main_display,
            SLOT(Rx_Ignition(QSharedPointer<Quillon::Packet_Class>)));
    Worker_Rig rig;
    rig.sim.set_battery_raw(506); // 12.6 V, with the plant's noise
    rig.sim.set_input(Sim::Input::Trigger, true);
    rig.sim.set_input(Sim::Input::Door_Low, true);
    rig.sim.set_input(Sim::Input::Door_High, false);
    rig.sim.set_input(Sim::Input::System_Enable, false);
    QString error;
    QVERIFY2(rig.start(&error), qPrintable(error));
    Sent_Log log(rig.resource);

    d.COM_Connect(rig.worker);
    d.Has_Focus();
    QTRY_VERIFY(log.codes.size() >= 20);
    const QStringList order = {QStringLiteral("IGV"), QStringLiteral("LOL"), QStringLiteral("BAH"),
                               QStringLiteral("DSH"), QStringLiteral("DSL"), QStringLiteral("DSS"),
                               QStringLiteral("CSS"), QStringLiteral("RVS"), QStringLiteral("CES"),
                               QStringLiteral("CSR")};
    // One after the other in list order, wherever the scheduler's rotation begins.
    const QString sent = log.codes.mid(0, 20).join(QLatin1Char(' '));
    const QString rotation = (order + order + order).join(QLatin1Char(' '));
    QVERIFY2(rotation.contains(sent), qPrintable(sent));

    QTRY_VERIFY(box(d, QStringLiteral("cbxIgnition"))->isChecked());
    QTRY_VERIFY(box(d, QStringLiteral("cbxTrigger"))->isChecked());
    QTRY_VERIFY(box(d, QStringLiteral("cbxDoorSwitchAL"))->isChecked());
    QVERIFY(!box(d, QStringLiteral("cbxDoorSwitchAH"))->isChecked());
    QVERIFY(!box(d, QStringLiteral("cbxLowerEnable"))->isChecked());
    QTRY_VERIFY(
        !main_display.findChild<QLineEdit*>(QStringLiteral("tbxBatteryVolts"))->text().isEmpty());
    QVERIFY(main_display.Smoothed_Battery_Voltage() > 11.0);
    QVERIFY(main_display.Smoothed_Battery_Voltage() < 14.0);

    rig.sim.set_input(Sim::Input::Trigger, false);
    rig.sim.set_input(Sim::Input::System_Enable, true);
    rig.sim.set_battery_raw(300); // 7.5 V
    QTRY_VERIFY(!box(d, QStringLiteral("cbxTrigger"))->isChecked());
    QTRY_VERIFY(box(d, QStringLiteral("cbxLowerEnable"))->isChecked());
    QTRY_VERIFY(!box(d, QStringLiteral("cbxIgnition"))->isChecked());

    // Leaving the tab stops all ten; the boxes keep their state.
    d.Lost_Focus();
    for (auto item : d.Items())
        QTRY_VERIFY(!item->Is_Scheduled());
    const unsigned total = rig.sim.total_requests();
    rig.sim.set_input(Sim::Input::System_Enable, false);
    QTest::qWait(200);
    QCOMPARE(rig.sim.total_requests(), total);
    QVERIFY(box(d, QStringLiteral("cbxLowerEnable"))->isChecked());

    // Back again: the same items run again.
    d.Has_Focus();
    QTRY_VERIFY(!box(d, QStringLiteral("cbxLowerEnable"))->isChecked());
    d.Lost_Focus();
    rig.stop();
}

VANTOR_TEST_MAIN(IO_Display)
#include "tst_io_display.moc"
