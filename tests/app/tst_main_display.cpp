// The main status display: the decoders' effects on screen, the
// smoothing behind the battery and reservoir warnings and their blink, the
// sensor faults of FM1 that park requests, and the five repeating reads
// against the virtual controller.

#include "app_test_main.h"
#include "test_responses.h"

#include "main_display.h"
#include "suspension_heights_class.h"
#include "worker_rig.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>

#include <memory>

using namespace Quillon;

namespace {

struct Exact_PXV : Packet_Resp_PXV
{
    explicit Exact_PXV(double psi)
    {
        pressure = psi;
        Valid = true;
    }
};

Packet_Shared_Ptr volts(double v)
{
    return Packet_Shared_Ptr(new Exact_IGV(v));
}

Packet_Shared_Ptr psi(double p)
{
    return Packet_Shared_Ptr(new Exact_PXV(p));
}

QImage warning_image()
{
    return QPixmap(QStringLiteral(":/images/imgWarning")).toImage();
}

QImage shown(const QLabel* label)
{
    return label->pixmap(Qt::ReturnByValue).toImage();
}

QColor text_colour(const QLineEdit* field, QPalette::ColorGroup group)
{
    return field->palette().color(group, QPalette::Text);
}

} // namespace

class Main_Display : public QObject
{
    Q_OBJECT

private slots:
    void form_and_requests();
    void battery_voltage_text_and_smoothing();
    void battery_warning_data();
    void battery_warning();
    void warning_image_blinks_and_clears_in_off_phase();
    void pressure_text_and_smoothing();
    void pressure_warning_data();
    void pressure_warning();
    void mode_texts_data();
    void mode_texts();
    void temperature_and_unit_switch();
    void angles_reach_the_heights_table();
    void pressure_sensor_fault_shows_faulted_without_warning();
    void angle_sensor_faults_park_their_reads();
    void invalid_or_foreign_responses_change_nothing();
    void live_against_the_virtual_controller();

private:
    static QLineEdit* field(MainDisplay& d, const char* name)
    {
        return d.findChild<QLineEdit*>(QLatin1String(name));
    }
    static QLabel* label(MainDisplay& d, const char* name)
    {
        return d.findChild<QLabel*>(QLatin1String(name));
    }
};

void Main_Display::form_and_requests()
{
    MainDisplay d;
    auto heights_box = d.findChild<QGroupBox*>(QStringLiteral("gbxHeights"));
    QVERIFY(heights_box);
    QCOMPARE(heights_box->title(), QStringLiteral("Suspension Sensor Angles"));
    QVERIFY(d.Heights());
    QCOMPARE(d.Heights()->parentWidget(), heights_box);
    QVERIFY(heights_box->layout() && heights_box->layout()->indexOf(d.Heights()) == 0);
    QCOMPARE(d.Heights()->font(), field(d, "tbxMode")->font());

    const QList<QPair<const char*, const char*>> labels = {{"label", "Operating Mode"},
                                                           {"lblReservoirPsi", "Reservoir"},
                                                           {"label_2", "PSI"},
                                                           {"lblCompressorTemp", "Compressor Temp"},
                                                           {"lblBatteryVolts", "Battery"},
                                                           {"lblBatteryVoltsUnits", "Volts"}};
    for (const auto& l : labels) {
        QVERIFY2(label(d, l.first), l.first);
        QCOMPARE(label(d, l.first)->text(), QLatin1String(l.second));
    }
    for (const char* name : {"tbxMode", "tbxResPsi", "tbxCompTemp", "tbxBatteryVolts"}) {
        QVERIFY2(field(d, name), name);
        QVERIFY(field(d, name)->isReadOnly());
        QCOMPARE(field(d, name)->text(), QString());
    }
    QVERIFY(label(d, "lblResPsiWarning"));
    QVERIFY(label(d, "lblBatteryWarning"));
    auto units = d.findChild<QComboBox*>(QStringLiteral("cbxCompTempUnits"));
    QVERIFY(units);
    QCOMPARE(units->count(), 2);
    QCOMPARE(units->itemText(0), QStringLiteral("\u00B0F"));
    QCOMPARE(units->itemText(1), QStringLiteral("\u00B0C"));
    QCOMPARE(units->currentIndex(), 0);

    QCOMPARE(d.Smoothed_Battery_Voltage(), 0.0);
    QCOMPARE(d.Smoothed_Reservoir_Pressure(), 100.0);
    QVERIFY(!d.Pressure_Faulted());

    // Five repeating reads, in this order, each with its data and default filter.
    const QList<TX_Sched_Item_Protocol_Class*> items = d.Items();
    const QList<TX_Sched_Item_Protocol_Class*> named = {d.Driver_Angle_Item(), d.Curb_Angle_Item(),
                                                        d.Mode_Item(), d.Comp_Temp_Item(),
                                                        d.Res_Psi_Item()};
    QCOMPARE(items, named);
    const int types[] = {Packet_Get_DSA::packet_type, Packet_Get_PSA::packet_type,
                         Packet_Get_MOD::packet_type, Packet_Get_OAT::packet_type,
                         Packet_Get_PXV::packet_type};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(items.at(i)->State(), Protocol_Repeat);
        QCOMPARE(items.at(i)->Action(), Action_Start);
        QVERIFY(!items.at(i)->Is_Scheduled());
        Packet_Shared_Ptr request = items.at(i)->TX_message();
        QVERIFY(request);
        QCOMPARE(request->ID(), types[i]);
        QVERIFY(request->Valid);
        QVERIFY(request->Response_Filter);
    }
    // No worker: focus schedules nothing.
    d.Has_Focus();
    QVERIFY(!d.Driver_Angle_Item()->Is_Scheduled());
}

void Main_Display::battery_voltage_text_and_smoothing()
{
    MainDisplay d;
    QLineEdit* text = field(d, "tbxBatteryVolts");
    d.Rx_Ignition(volts(12.0));
    QCOMPARE(text->text(), QStringLiteral("12.0"));
    QCOMPARE(d.Smoothed_Battery_Voltage(), 12.0); // the first sample is taken as it is
    d.Rx_Ignition(volts(0.0));
    QCOMPARE(text->text(), QStringLiteral("0.0"));
    QCOMPARE(d.Smoothed_Battery_Voltage(), 10.8);
    d.Rx_Ignition(volts(12.6));
    QCOMPARE(text->text(), QStringLiteral("12.6"));
    QCOMPARE(d.Smoothed_Battery_Voltage(), (9.0 * 10.8 + 12.6) / 10.0);

    // From the line: raw 506 is 12.6006 V, raw 482 is 12.0029 V.
    d.Rx_Ignition(response<Packet_Resp_IGV>("IGV 00506"));
    QCOMPARE(text->text(), QStringLiteral("12.6"));
    d.Rx_Ignition(response<Packet_Resp_IGV>("IGV 00482"));
    QCOMPARE(text->text(), QStringLiteral("12.0"));
}

void Main_Display::battery_warning_data()
{
    QTest::addColumn<double>("smoothed");
    QTest::addColumn<bool>("warns");
    QTest::newRow("no battery, 0.5 V") << 0.5 << false;
    QTest::newRow("just below 2 V") << 1.99 << false;
    QTest::newRow("2.0 V") << 2.0 << true;
    QTest::newRow("9.9 V") << 9.9 << true;
    QTest::newRow("10.0 V") << 10.0 << false;
    QTest::newRow("12.6 V") << 12.6 << false;
}

void Main_Display::battery_warning()
{
    QFETCH(double, smoothed);
    QFETCH(bool, warns);
    MainDisplay d;
    d.Rx_Ignition(volts(smoothed));
    QCOMPARE(d.Smoothed_Battery_Voltage(), smoothed);
    QLabel* warning = label(d, "lblBatteryWarning");
    const QString tip = warns ? QStringLiteral("Battery Under-voltage warning") : QString();

    d.update_battery_warn(true);
    QCOMPARE(warning->toolTip(), tip);
    if (warns)
        QCOMPARE(shown(warning), warning_image());
    else
        QVERIFY(shown(warning).isNull());
    d.update_battery_warn(false);
    QCOMPARE(warning->toolTip(), tip);
    QVERIFY(shown(warning).isNull());
}

void Main_Display::warning_image_blinks_and_clears_in_off_phase()
{
    MainDisplay d;
    QLabel* warning = label(d, "lblBatteryWarning");
    d.Rx_Ignition(volts(9.0));
    for (int i = 0; i < 2; ++i) {
        d.update_battery_warn(true);
        QCOMPARE(shown(warning), warning_image());
        d.update_battery_warn(false);
        QVERIFY(shown(warning).isNull());
    }
    // The voltage recovers during an on-phase: the image stays until the off-phase.
    d.update_battery_warn(true);
    for (int i = 0; i < 40; ++i)
        d.Rx_Ignition(volts(13.0));
    QVERIFY(d.Smoothed_Battery_Voltage() >= 10.0);
    d.update_battery_warn(true);
    QCOMPARE(shown(warning), warning_image());
    QCOMPARE(warning->toolTip(), QString());
    d.update_battery_warn(false);
    QVERIFY(shown(warning).isNull());
    d.update_battery_warn(true);
    QVERIFY(shown(warning).isNull());
}

void Main_Display::pressure_text_and_smoothing()
{
    MainDisplay d;
    QLineEdit* text = field(d, "tbxResPsi");
    d.Rx_ResPsi(psi(98.7));
    QCOMPARE(text->text(), QStringLiteral("98"));
    // No first-sample rule: smoothing starts from 100 psi.
    QCOMPARE(d.Smoothed_Reservoir_Pressure(), (98.7 + 900.0) / 10.0);
    d.Rx_ResPsi(psi(-3.7));
    QCOMPARE(text->text(), QStringLiteral("-3")); // towards zero
    // From the line: raw 641 is 98.61 psi.
    d.Rx_ResPsi(response<Packet_Resp_PXV>("PXV 00641"));
    QCOMPARE(text->text(), QStringLiteral("98"));
    d.Rx_ResPsi(response<Packet_Resp_PXV>("PXV 01069"));
    QCOMPARE(text->text(), QStringLiteral("176"));
}

void Main_Display::pressure_warning_data()
{
    QTest::addColumn<double>("sample");
    QTest::addColumn<double>("smoothed");
    QTest::addColumn<QString>("tip");
    // One sample from the starting 100 psi: smoothed = (sample + 900) / 10.
    QTest::newRow("89.9 psi") << -1.0 << 89.9 << "Reservoir pressure under 90 PSI";
    QTest::newRow("90.0 psi") << 0.0 << 90.0 << "";
    QTest::newRow("100 psi") << 100.0 << 100.0 << "";
    QTest::newRow("177.0 psi") << 870.0 << 177.0 << "";
    QTest::newRow("177.1 psi") << 871.0 << 177.1 << "Reservoir pressure over 175 PSI";
}

void Main_Display::pressure_warning()
{
    QFETCH(double, sample);
    QFETCH(double, smoothed);
    QFETCH(QString, tip);
    MainDisplay d;
    d.Rx_ResPsi(psi(sample));
    QCOMPARE(d.Smoothed_Reservoir_Pressure(), smoothed);
    QLabel* warning = label(d, "lblResPsiWarning");
    d.update_ResPsi_warn(true);
    QCOMPARE(warning->toolTip(), tip);
    if (tip.isEmpty())
        QVERIFY(shown(warning).isNull());
    else
        QCOMPARE(shown(warning), warning_image());
    d.update_ResPsi_warn(false);
    QCOMPARE(warning->toolTip(), tip);
    QVERIFY(shown(warning).isNull());
}

void Main_Display::mode_texts_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("text");
    QTest::newRow("idle") << QByteArray("MOD 00000") << "Idle";
    QTest::newRow("lowering") << QByteArray("MOD 00001") << "Lowering";
    QTest::newRow("raising") << QByteArray("MOD 00002") << "Raising";
    QTest::newRow("compressor test") << QByteArray("MOD 00003") << "Compressor test";
    QTest::newRow("valid but unnamed") << QByteArray("MOD 00004") << "";
    QTest::newRow("7: out of range") << QByteArray("MOD 00007") << "";
    QTest::newRow("not a number") << QByteArray("MOD 0x001") << "";
}

void Main_Display::mode_texts()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, text);
    MainDisplay d;
    field(d, "tbxMode")->setText(QStringLiteral("before"));
    d.Rx_Mode(response<Packet_Resp_MOD>(body.constData()));
    QCOMPARE(field(d, "tbxMode")->text(), text);
}

void Main_Display::temperature_and_unit_switch()
{
    MainDisplay d;
    QLineEdit* text = field(d, "tbxCompTemp");
    auto units = d.findChild<QComboBox*>(QStringLiteral("cbxCompTempUnits"));

    // Before any temperature a unit change shows nothing.
    units->setCurrentIndex(1);
    QCOMPARE(text->text(), QString());
    units->setCurrentIndex(0);

    // Raw 167: 22.086 C, 71.75 F.
    d.Rx_CompTemp(response<Packet_Resp_OAT>("OAT 00167"));
    QCOMPARE(text->text(), QStringLiteral("71"));
    units->setCurrentIndex(1); // no new response needed
    QCOMPARE(text->text(), QStringLiteral("22"));
    d.Rx_CompTemp(response<Packet_Resp_OAT>("OAT 00005")); // -45.7 C, -50.3 F
    QCOMPARE(text->text(), QStringLiteral("-45"));
    units->setCurrentIndex(0);
    QCOMPARE(text->text(), QStringLiteral("-50"));
    d.CompTempUnits_IndexChanged(2);
    QCOMPARE(text->text(), QString());
}

void Main_Display::angles_reach_the_heights_table()
{
    MainDisplay d;
    Suspension_Heights_Class* t = d.Heights();
    t->lever_length_changed(6.0);
    // Raw 785: 29.985 degrees; raw 330: -19.98 degrees.
    d.Rx_SuspPosLeft(response<Packet_Resp_DSA>("DSA 00785"));
    d.Rx_SuspPosRight(response<Packet_Resp_PSA>("PSA 00330"));
    QCOMPARE(t->item(0, 0)->text(), QStringLiteral("30.0\u00B0"));
    QCOMPARE(t->item(1, 0)->text(), QStringLiteral("3.0\""));
    QCOMPARE(t->item(0, 1)->text(), QStringLiteral("-20.0\u00B0"));
    QCOMPARE(t->item(1, 1)->text(), QStringLiteral("-2.1\""));
}

void Main_Display::pressure_sensor_fault_shows_faulted_without_warning()
{
    MainDisplay d;
    QLineEdit* text = field(d, "tbxResPsi");
    QLabel* warning = label(d, "lblResPsiWarning");
    d.Rx_ResPsi(psi(-1.0)); // smoothed 89.9: the warning stands
    d.update_ResPsi_warn(true);
    QCOMPARE(shown(warning), warning_image());

    d.Rx_FM1(response<Packet_Resp_FM1>("FM1 00100"));
    QVERIFY(d.Pressure_Faulted());
    QCOMPARE(text->text(), QStringLiteral("Faulted"));
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        QCOMPARE(text_colour(text, group), QColor(QStringLiteral("orangered")));
    QCOMPARE(d.Res_Psi_Item()->State(), Protocol_Idle);
    QCOMPARE(d.Res_Psi_Item()->Action(), Action_Hold);
    // The other reads go on.
    QCOMPARE(d.Driver_Angle_Item()->State(), Protocol_Repeat);
    QCOMPARE(d.Curb_Angle_Item()->State(), Protocol_Repeat);

    // A reading already on its way is smoothed but does not replace "Faulted".
    d.Rx_ResPsi(psi(-1.0));
    QCOMPARE(text->text(), QStringLiteral("Faulted"));
    QCOMPARE(d.Smoothed_Reservoir_Pressure(), (-1.0 + 9.0 * 89.9) / 10.0);

    // Whatever the smoothed pressure, no warning while faulted.
    d.update_ResPsi_warn(true);
    QCOMPARE(warning->toolTip(), QString());
    d.update_ResPsi_warn(false);
    QVERIFY(shown(warning).isNull());
    d.update_ResPsi_warn(true);
    QVERIFY(shown(warning).isNull());
    QCOMPARE(warning->toolTip(), QString());

    // Healthy again: black, the read repeats, and the warning is back.
    d.Rx_FM1(response<Packet_Resp_FM1>("FM1 00000"));
    QVERIFY(!d.Pressure_Faulted());
    QCOMPARE(text_colour(text, QPalette::Active), QColor(QStringLiteral("black")));
    QCOMPARE(d.Res_Psi_Item()->State(), Protocol_Repeat);
    QCOMPARE(d.Res_Psi_Item()->Action(), Action_Start);
    QCOMPARE(text->text(), QStringLiteral("Faulted")); // until the next reading
    // Smoothed 85.9.
    d.Rx_ResPsi(psi(50.2));
    QCOMPARE(text->text(), QStringLiteral("50"));
    d.update_ResPsi_warn(true);
    QCOMPARE(warning->toolTip(), QStringLiteral("Reservoir pressure under 90 PSI"));
}

void Main_Display::angle_sensor_faults_park_their_reads()
{
    MainDisplay d;
    Suspension_Heights_Class* t = d.Heights();
    d.Rx_SuspPosLeft(response<Packet_Resp_DSA>("DSA 00785"));
    d.Rx_SuspPosRight(response<Packet_Resp_PSA>("PSA 00785"));

    d.Rx_FM1(response<Packet_Resp_FM1>("FM1 00001")); // driver's side sensor
    QCOMPARE(d.Driver_Angle_Item()->State(), Protocol_Idle);
    QCOMPARE(d.Curb_Angle_Item()->State(), Protocol_Repeat);
    QVERIFY(!t->Driver_Valid());
    QCOMPARE(t->item(0, 0)->text(), QStringLiteral("Faulted"));
    QCOMPARE(t->item(0, 1)->text(), QStringLiteral("30.0\u00B0"));
    QVERIFY(!d.Pressure_Faulted());

    d.Rx_FM1(response<Packet_Resp_FM1>("FM1 00010")); // curb side only
    QCOMPARE(d.Driver_Angle_Item()->State(), Protocol_Repeat);
    QCOMPARE(d.Driver_Angle_Item()->Action(), Action_Start);
    QCOMPARE(d.Curb_Angle_Item()->State(), Protocol_Idle);
    QCOMPARE(d.Curb_Angle_Item()->Action(), Action_Hold);
    QCOMPARE(t->item(0, 0)->text(), QStringLiteral("30.0\u00B0"));
    QCOMPARE(t->item(0, 1)->text(), QStringLiteral("Faulted"));

    d.Rx_FM1(response<Packet_Resp_FM1>("FM1 00111"));
    for (auto item : {d.Driver_Angle_Item(), d.Curb_Angle_Item(), d.Res_Psi_Item()})
        QCOMPARE(item->State(), Protocol_Idle);
    QCOMPARE(d.Mode_Item()->State(), Protocol_Repeat);
    QCOMPARE(d.Comp_Temp_Item()->State(), Protocol_Repeat);

    d.Rx_FM1(response<Packet_Resp_FM1>("FM1 11000")); // flags without a sensor fault
    for (auto item : d.Items())
        QCOMPARE(item->State(), Protocol_Repeat);
    QVERIFY(t->Driver_Valid() && t->Curb_Valid());
}

void Main_Display::invalid_or_foreign_responses_change_nothing()
{
    MainDisplay d;
    d.Rx_FM1(response<Packet_Resp_FM1>("FM1 00111"));
    QVERIFY(d.Pressure_Faulted());
    // An invalid fault word is kept but acts on nothing.
    d.Rx_FM1(response<Packet_Resp_FM1>("FM1 00x00"));
    QVERIFY(d.Pressure_Faulted());
    QCOMPARE(d.Driver_Angle_Item()->State(), Protocol_Idle);

    // Another command's answer is not decoded as this slot's value.
    MainDisplay e;
    e.Rx_ResPsi(response<Packet_Resp_DSA>("DSA 00785"));
    e.Rx_Ignition(response<Packet_Resp_PXV>("PXV 00641"));
    e.Rx_Mode(response<Packet_Resp_OAT>("OAT 00001"));
    e.Rx_CompTemp(response<Packet_Resp_MOD>("MOD 00001"));
    e.Rx_SuspPosLeft(response<Packet_Resp_PSA>("PSA 00785"));
    e.Rx_FM1(response<Packet_Resp_FM2>("FM2 00111"));
    e.Rx_ResPsi(Packet_Shared_Ptr());
    for (const char* name : {"tbxMode", "tbxResPsi", "tbxCompTemp", "tbxBatteryVolts"})
        QCOMPARE(field(e, name)->text(), QString());
    QCOMPARE(e.Smoothed_Reservoir_Pressure(), 100.0);
    QCOMPARE(e.Smoothed_Battery_Voltage(), 0.0);
    QCOMPARE(e.Heights()->item(0, 0)->text(), QStringLiteral("Invalid"));
    QVERIFY(!e.Pressure_Faulted());
}

void Main_Display::live_against_the_virtual_controller()
{
    MainDisplay d;
    Packet_Shared_Ptr fm1_request(new Packet_Get_FM1);
    fm1_request->AllocateData();
    TX_Sched_Item_Send_Once_Class fm1_item(fm1_request);
    connect(&fm1_item, SIGNAL(Rx(QSharedPointer<Quillon::Packet_Class>)), &d,
            SLOT(Rx_FM1(QSharedPointer<Quillon::Packet_Class>)));
    // Declared last: the worker stops before the items it lists go.
    Worker_Rig rig;
    rig.sim.set_compressor_enabled(false);
    rig.sim.set_pressure_raw(641);                 // 98.6 psi
    rig.sim.set_angle_raw(Sim::Side::Driver, 785); // 30.0 degrees
    rig.sim.set_angle_raw(Sim::Side::Curb, 330);   // -20.0 degrees
    QString error;
    QVERIFY2(rig.start(&error), qPrintable(error));

    d.Heights()->lever_length_changed(6.0);
    d.COM_Connect(rig.worker);
    d.Has_Focus();
    for (auto item : d.Items())
        QVERIFY(item->Is_Scheduled());

    QTRY_COMPARE(field(d, "tbxMode")->text(), QStringLiteral("Idle"));
    QTRY_COMPARE(field(d, "tbxResPsi")->text(), QStringLiteral("98"));
    QTRY_COMPARE(d.Heights()->item(0, 0)->text(), QStringLiteral("30.0\u00B0"));
    QTRY_COMPARE(d.Heights()->item(1, 0)->text(), QStringLiteral("3.0\""));
    QTRY_COMPARE(d.Heights()->item(0, 1)->text(), QStringLiteral("-20.0\u00B0"));
    QTRY_VERIFY(!field(d, "tbxCompTemp")->text().isEmpty());
    for (const char* key : {"get DSA", "get PSA", "get MOD", "get OAT", "get PXV"})
        QTRY_VERIFY2(rig.sim.request_count(key) >= 3u, key);

    // The pressure sensor faults: the reads of PXV stop and the field says so.
    QVERIFY(rig.sim.set_fault_flags(1, "00100"));
    rig.worker->TX_Scheduler->Schedule_Item(&fm1_item);
    QTRY_COMPARE(field(d, "tbxResPsi")->text(), QStringLiteral("Faulted"));
    QVERIFY(d.Pressure_Faulted());
    QTest::qWait(100); // an answer already on its way may still arrive
    const unsigned parked = rig.sim.request_count("get PXV");
    const unsigned modes = rig.sim.request_count("get MOD");
    QTRY_VERIFY(rig.sim.request_count("get MOD") >= modes + 5u);
    QCOMPARE(rig.sim.request_count("get PXV"), parked);
    QCOMPARE(field(d, "tbxResPsi")->text(), QStringLiteral("Faulted"));

    // Healthy again: the parked read runs at once.
    QVERIFY(rig.sim.set_fault_flags(1, "00000"));
    QTRY_VERIFY(!fm1_item.Is_Scheduled());
    rig.worker->TX_Scheduler->Schedule_Item(&fm1_item);
    QTRY_COMPARE(field(d, "tbxResPsi")->text(), QStringLiteral("98"));
    QVERIFY(rig.sim.request_count("get PXV") > parked);

    // The unit switch shows the kept temperature; nothing more is asked.
    d.Lost_Focus();
    QTRY_VERIFY(!d.Mode_Item()->Is_Scheduled());
    for (auto item : d.Items())
        QTRY_VERIFY(!item->Is_Scheduled());
    const unsigned total = rig.sim.total_requests();
    const QString fahrenheit = field(d, "tbxCompTemp")->text();
    const Sim::Plant_Readings now = rig.sim.readings();
    Packet_Shared_Ptr expected = response<Packet_Resp_OAT>(qPrintable(
        QStringLiteral("OAT %1").arg(now.compressor_temperature, 5, 10, QLatin1Char('0'))));
    auto oat = static_cast<Packet_Resp_OAT*>(expected.data());
    d.findChild<QComboBox*>(QStringLiteral("cbxCompTempUnits"))->setCurrentIndex(1);
    QCOMPARE(field(d, "tbxCompTemp")->text(), QString::number(int(oat->Temp_C())));
    QCOMPARE(fahrenheit, QString::number(int(oat->Temp_F())));
    QTest::qWait(200);
    QCOMPARE(rig.sim.total_requests(), total);

    // Focus again: the same items run again.
    d.Has_Focus();
    QTRY_VERIFY(rig.sim.total_requests() >= total + 5u);
    d.Lost_Focus();
    rig.stop();
}

VANTOR_TEST_MAIN(Main_Display)
#include "tst_main_display.moc"
