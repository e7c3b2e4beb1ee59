// What the status tabs, the height table and the lever length editor show for
// what they are told, and the four tabs together against the virtual controller.

#include "app_test_main.h"
#include "sent_log.h"
#include "test_responses.h"

#include "main_window.h"
#include "tabs/dev_info_display.h"
#include "tabs/errors_display.h"
#include "tabs/io_display.h"
#include "tabs/lever_length_form.h"
#include "tabs/main_display.h"
#include "tabs/suspension_heights_class.h"
#include "worker_rig.h"

#include <QtWidgets>

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

// The fault boxes in blink-code order, each with the body that ticks it alone.
const char* const Faults[12] = {
    "cbxDriverSensor FM1 00001",      "cbxCurbSensor FM1 00010",
    "cbxPressureSensor FM1 00100",    "cbxCompressorTimeout FM2 00001",
    "cbxCompCooloff FM1 01000",       "cbxAirLeak FM2 00010",
    "cbxOverPressure FM2 00100",      "cbxDriverSolTimeout FM2 01000",
    "cbxCurbSolTimeout FM3 00001",    "cbxOverTemp FM3 00010",
    "cbxExhaustSolTimeout FM3 00100", "cbxReservoirSolTimeout FM3 01000"};
const char* const IO_Slots[8] = {
    "Rx_SysEnable LOL cbxLowerEnable",           "Rx_Trigger BAH cbxTrigger",
    "Rx_DoorSwitchAH DSH cbxDoorSwitchAH",       "Rx_DoorSwitchAL DSL cbxDoorSwitchAL",
    "Rx_OutputLeft DSS cbxOutputLeft",           "Rx_OutputRight CSS cbxOutputRight",
    "Rx_OutputReservoir RVS cbxOutputReservoir", "Rx_OutputCompressor CSR cbxOutputCompressor"};

QWidget* make_tab(const QString& kind)
{
    if (kind != "lever")
        return kind == "main"     ? static_cast<QWidget*>(new MainDisplay)
               : kind == "io"     ? static_cast<QWidget*>(new IODisplay)
               : kind == "dev"    ? static_cast<QWidget*>(new DevInfoDisplay)
               : kind == "errors" ? static_cast<QWidget*>(new ErrorsDisplay)
                                  : new Suspension_Heights_Class(QFont());
    auto form = new Lever_Length_Form;
    auto spy = new QSignalSpy(form, &Lever_Length_Form::lever_length_changed);
    spy->setParent(form);
    spy->setObjectName(QStringLiteral("emitted"));
    return form;
}

// A step: "Slot ARG" calls the slot with a response body ("MOD 00003"), an
// exact IGV or PXV reading ("=12.6"), a number or 0/1; "Combo N" selects an
// item, "Button" clicks; "type TEXT" and "enter" go to the line edit, "store
// VALUE" into the settings, and "load" loads the lever length.
bool act(QWidget* tab, const QString& step)
{
    const QByteArray name = step.section(' ', 0, 0).toLatin1();
    const QString arg = step.section(' ', 1);
    auto edit = tab->findChild<QLineEdit*>(QStringLiteral("lineEdit"));
    if (auto combo = tab->findChild<QComboBox*>(name))
        combo->setCurrentIndex(arg.toInt());
    else if (auto button = tab->findChild<QPushButton*>(name))
        QTest::mouseClick(button, Qt::LeftButton);
    else if (name == "type") {
        edit->clear();
        QTest::keyClicks(edit, arg);
    } else if (name == "enter")
        QTest::keyClick(edit, Qt::Key_Return);
    else if (name == "store")
        QSettings().setValue(QStringLiteral("System/ll"), arg);
    else if (name == "load")
        static_cast<Lever_Length_Form*>(tab)->load_lever_length();
    else if (name == "init_periodic_items")
        static_cast<COM_Display_Interface*>(tab)->init_periodic_items();
    else {
        const QMetaObject* meta = tab->metaObject();
        for (int i = 0; i < meta->methodCount(); ++i) {
            const QMetaMethod slot = meta->method(i);
            if (slot.name() != name || slot.parameterCount() != 1)
                continue;
            QVariant value = arg;
            const double exact = arg.mid(1).toDouble();
            if (arg.startsWith('='))
                value = QVariant::fromValue(Packet_Shared_Ptr(
                    name.contains("Ignition") ? static_cast<Packet_Class*>(new Exact_IGV(exact))
                                              : new Exact_PXV(exact)));
            else if (slot.parameterType(0) >= QMetaType::User)
                value = QVariant::fromValue(response(arg.toLatin1()));
            else
                value.convert(slot.parameterType(0));
            return slot.invoke(tab, Qt::DirectConnection,
                               QGenericArgument(slot.parameterTypes().at(0), value.constData()));
        }
        return false;
    }
    return true;
}

// What is shown: a field's text, a check box 0/1, a button enabled 0/1, a
// label's image ("!" warning, "+" ok) and tool tip; the stored lever length
// "ll", the lengths "emitted"; a height table's "cells" and "colours", the
// "faults" in blink-code order, "any" fault, the main status display's reads
// ("parked": R repeating, - parked) and the pressure's "psi colour".
QString probe(QWidget* tab, const QString& name)
{
    auto main = qobject_cast<MainDisplay*>(tab);
    auto table = main ? main->Heights() : qobject_cast<Suspension_Heights_Class*>(tab);
    QStringList parts;
    if (name == "cells" || name == "colours") {
        for (int cell = 0; cell < (name == "cells" ? 4 : 2); ++cell) {
            const QTableWidgetItem* item = table->item(cell / 2, cell % 2);
            parts << (name == "cells" ? item->text() : item->foreground().color().name());
        }
    } else if (name == "parked") {
        for (auto item : main->Items())
            parts << (item->State() == Protocol_Repeat ? "R" : "-");
        return parts.join(QString());
    } else if (name == "faults") {
        for (const char* fault : Faults)
            parts << probe(tab, QString(fault).section(' ', 0, 0));
        return parts.join(QString());
    }
    if (!parts.isEmpty())
        return parts.join('|');
    QWidget* widget = tab->findChild<QWidget*>(name);
    if (name == "psi colour")
        return tab->findChild<QLineEdit*>("tbxResPsi")->palette().color(QPalette::Text).name();
    if (name == "any")
        return QString::number(static_cast<ErrorsDisplay*>(tab)->Any_Fault());
    if (name == "ll")
        return QSettings().value(QStringLiteral("System/ll")).toString();
    if (name == "emitted") {
        for (const QList<QVariant>& call :
             *static_cast<QSignalSpy*>(tab->findChild<QObject*>(name)))
            parts << call.at(0).toString();
        return parts.join(' ');
    }
    if (auto field = qobject_cast<QLineEdit*>(widget))
        return field->text();
    if (auto box = qobject_cast<QCheckBox*>(widget))
        return QString::number(box->isChecked());
    if (auto button = qobject_cast<QPushButton*>(widget))
        return QString::number(button->isEnabled());
    auto label = qobject_cast<QLabel*>(widget);
    if (!label)
        return "no " + name;
    const QImage image = label->pixmap(Qt::ReturnByValue).toImage();
    const bool ok = image == QPixmap(QStringLiteral(":/images/imgOk")).toImage();
    return (image.isNull() ? "" : ok ? "+" : "!") + label->toolTip();
}

} // namespace

class Status_Displays : public QObject
{
    Q_OBJECT

private slots:
    void init() { QSettings().remove(QStringLiteral("System/ll")); }
    void shown_data();
    void shown();
    void tab_key_passes_over_the_heights_table();
    void fault_tab_blinks_while_a_fault_stands();
    void live_against_the_virtual_controller();
};

void Status_Displays::shown_data()
{
    QTest::addColumn<QString>("tab");
    // Steps separated by "; ": actions (see act) and "?probe=expected" (see probe).
    QTest::addColumn<QString>("script");
    const auto row = [](const char* name, const char* tab, const QString& script) {
        QTest::newRow(name) << QString(tab) << script;
    };
    row("mode texts", "main",
        "Rx_Mode MOD 00000; ?tbxMode=Idle; Rx_Mode MOD 00001; ?tbxMode=Lowering; "
        "Rx_Mode MOD 00002; ?tbxMode=Raising; Rx_Mode MOD 00003; ?tbxMode=Compressor test; "
        "Rx_Mode MOD 00004; ?tbxMode=; Rx_Mode MOD 00003; Rx_Mode MOD 0x001; ?tbxMode=");
    // The first sample is taken as it is, then smoothed to 2.0 and 10.0; recovered
    // in an on-phase, the warning keeps its image until the off-phase.
    row("battery smoothing and blink", "main",
        "Rx_Ignition =1.5; update_battery_warn 1; ?lblBatteryWarning=; Rx_Ignition =6.5; "
        "update_battery_warn 1; ?lblBatteryWarning=!Battery Under-voltage warning; "
        "update_battery_warn 0; ?lblBatteryWarning=Battery Under-voltage warning; "
        "update_battery_warn 1; Rx_Ignition =82; ?tbxBatteryVolts=82.0; update_battery_warn 1; "
        "?lblBatteryWarning=!; update_battery_warn 0; ?lblBatteryWarning=; "
        "update_battery_warn 1; ?lblBatteryWarning=; Rx_Ignition IGV 00506; "
        "?tbxBatteryVolts=12.6");
    // Smoothed = (sample + 9 * smoothed) / 10 from 100 psi: 90.0, 177.0, 177.1.
    row("pressure 90 to 177.1", "main",
        "Rx_ResPsi =0.0; update_ResPsi_warn 1; ?lblResPsiWarning=; Rx_ResPsi =960; "
        "update_ResPsi_warn 1; ?lblResPsiWarning=; Rx_ResPsi =178; update_ResPsi_warn 1; "
        "?lblResPsiWarning=!Reservoir pressure over 175 PSI; Rx_ResPsi PXV 00641; ?tbxResPsi=98");
    // Raw 167 is 71.75 F and 22.09 C; raw 5 is -50.3 F and -45.7 C.
    row("temperature units", "main",
        "cbxCompTempUnits 1; ?tbxCompTemp=; cbxCompTempUnits 0; Rx_CompTemp OAT 00167; "
        "?tbxCompTemp=71; cbxCompTempUnits 1; ?tbxCompTemp=22; Rx_CompTemp OAT 00005; "
        "?tbxCompTemp=-45; cbxCompTempUnits 0; ?tbxCompTemp=-50; "
        "CompTempUnits_IndexChanged 2; ?tbxCompTemp=");
    // A reading already on its way when the fault is reported must not
    // replace "Faulted"; the first one after the fault has cleared does.
    row("pressure under 90 and its sensor fault", "main",
        "Rx_ResPsi =-1.7; ?tbxResPsi=-1; update_ResPsi_warn 1; "
        "?lblResPsiWarning=!Reservoir pressure under 90 PSI; update_ResPsi_warn 0; "
        "?lblResPsiWarning=Reservoir pressure under 90 PSI; Rx_FM1 FM1 00100; "
        "?tbxResPsi=Faulted; ?psi colour=#ff4500; ?parked=RRRR-; Rx_ResPsi =-1.0; "
        "?tbxResPsi=Faulted; update_ResPsi_warn 1; ?lblResPsiWarning=; Rx_FM1 FM1 00000; "
        "?parked=RRRRR; ?psi colour=#000000; ?tbxResPsi=Faulted; Rx_ResPsi =50.2; "
        "?tbxResPsi=50; update_ResPsi_warn 1; ?lblResPsiWarning=!Reservoir pressure under 90 PSI");
    // Raw 785 is 29.985 degrees, raw 330 -19.98.
    row("angles and their sensor faults", "main",
        "Rx_SuspPosLeft DSA 00785; Rx_SuspPosRight PSA 00330; ?cells=30.0°|-20.0°|3.0\"|-2.1\"; "
        "Rx_FM1 FM1 00001; ?parked=-RRRR; ?cells=Faulted|-20.0°||-2.1\"; Rx_FM1 FM1 00010; "
        "?parked=R-RRR; ?cells=30.0°|Faulted|3.0\"|; Rx_FM1 FM1 00111; ?parked=--RR-; "
        "Rx_FM1 FM1 00x00; ?parked=--RR-; Rx_FM1 FM1 11000; ?parked=RRRRR; "
        "?cells=30.0°|-20.0°|3.0\"|-2.1\"");
    row("main: foreign answers", "main",
        "Rx_ResPsi DSA 00785; Rx_Ignition PXV 00641; Rx_Mode OAT 00001; "
        "Rx_CompTemp MOD 00001; Rx_SuspPosLeft PSA 00785; Rx_SuspPosRight DSA 00785; "
        "Rx_FM1 FM2 00111; ?tbxMode=; ?tbxResPsi=; ?tbxCompTemp=; ?tbxBatteryVolts=; "
        "?parked=RRRRR; ?cells=0.0°|0.0°|0.0\"|0.0\"");

    // Each boolean answer ticks its own box and no other.
    for (int on = 0; on < 8; ++on) {
        QStringList script;
        for (int i = 0; i < 8; ++i) {
            const QStringList io = QString(IO_Slots[i]).split(' ');
            script
                << QStringLiteral("%1 %2 0000%3; ?%4=%3").arg(io[0], io[1]).arg(i == on).arg(io[2]);
        }
        QTest::addRow("io: %s", IO_Slots[on]) << "io" << script.join("; ");
    }
    // Raw 401 is 9.986 V, 402 10.011 V.
    row("io: ignition, exhaust duty, foreign answers", "io",
        "Rx_Ignition =10.1; ?cbxIgnition=1; Rx_Ignition =10.0; ?cbxIgnition=0; "
        "Rx_Ignition IGV 00402; ?cbxIgnition=1; Rx_Ignition IGV 00401; ?cbxIgnition=0; "
        "Rx_OutputExhaust CES 00001; ?cbxOutputExhaust=1; Rx_OutputExhaust CES 00000; "
        "?cbxOutputExhaust=0; Rx_OutputExhaust CES 01024; ?cbxOutputExhaust=1; "
        "Rx_Trigger LOL 00001; Rx_OutputExhaust CPT 00000; Rx_Ignition PXV 00900; "
        "?cbxTrigger=0; ?cbxOutputExhaust=1; ?cbxIgnition=0");

    // Each part is replaced only by its own answer.
    row("serial numbers", "dev",
        "Rx_FirmwareSN SN1 00015; Rx_FirmwareSN SN2 00003; Rx_FirmwareSN SN3 00002; "
        "Rx_FirmwareSN SN4 00045; ?tbxSN=15032045; ?tbxFirmwareVer=; Rx_FirmwareSN SN1 00007; "
        "Rx_FirmwareSN SN2 00012; Rx_FirmwareSN SN3 00000; Rx_FirmwareSN SN4 00001; "
        "?tbxSN=07120001; Rx_FirmwareSN SN3 00004; Rx_FirmwareSN PRT AS150; ?tbxSN=07124001");
    row("part number", "dev",
        "Rx_FirmwarePN PRT AS150; ?tbxFirmwareVer=AS150 ; Rx_FirmwarePN REV R1.07; "
        "?tbxFirmwareVer=AS150 R1.07; Rx_FirmwarePN SN1 00001; ?tbxFirmwareVer=AS150 R1.07");

    for (int i = 0; i < 12; ++i) {
        QString ticks(12, '0');
        ticks[i] = '1';
        const QString body = QString(Faults[i]).section(' ', 1);
        QTest::addRow("faults: %s", Faults[i])
            << "errors"
            << "Rx_" + body.left(3) + ' ' + body + "; ?faults=" + ticks + "; ?any=1";
    }
    row("faults: air leak alone leaves the other words", "errors",
        "Rx_FM1 FM1 01111; Rx_FM2 FM2 01111; Rx_FM3 FM3 01111; Rx_FM2 FM2 00010; "
        "?faults=111011001111; ?any=1");
    row("faults: invalid or foreign answers", "errors",
        "Rx_FM1 FM1 00010; Rx_FM1 FM1 0111x; Rx_FM1 FM2 01111; Rx_FM1 DSA 00512; "
        "Rx_FM2 FM2 0x000; Rx_FM3 FM3 0000?; ?faults=010000000000");
    row("faults: any of the three words", "errors",
        "Rx_FM1 FM1 10000; ?faults=000000000000; ?any=0; Rx_FM1 FM1 00001; Rx_FM3 FM3 01000; "
        "Rx_FM1 FM1 00000; ?any=1; Rx_FM3 FM3 00000; "
        "?any=0; Rx_FM2 FM2 00100; init_periodic_items; ?any=0; ?faults=000000100000");

    // sin(30) * 6 = 3.0; sin(10) * 6 = 1.04; sin(-5) * 6 = -0.52; sin(7.26) * 3 = 0.38.
    row("heights: angles and distances", "heights",
        "?cells=Invalid|Invalid|Invalid|Invalid; curb_angle_changed 30; "
        "?cells=Invalid|30.0°|Invalid|Invalid; lever_length_changed 6; "
        "?cells=0.0°|30.0°|0.0\"|3.0\"; driver_angle_changed -30; lever_length_changed 8; "
        "?cells=-30.0°|30.0°|-4.0\"|4.0\"; curb_angle_changed 30; lever_length_changed 3; "
        "curb_angle_changed 7.26; ?cells=-30.0°|7.3°|-1.5\"|0.4\"; lever_length_changed -1; "
        "?cells=-30.0°|7.3°|Invalid|Invalid");
    row("heights: faulted sides", "heights",
        "lever_length_changed 6; curb_angle_changed 30; driver_angle_changed 10; "
        "curb_valid_changed 0; ?cells=10.0°|Faulted|1.0\"|; ?colours=#000000|#ff4500; "
        "curb_angle_changed -5; curb_valid_changed 0; lever_length_changed 6; "
        "?cells=10.0°|Faulted|1.0\"|; curb_valid_changed 1; ?cells=10.0°|30.0°|1.0\"|3.0\"; "
        "?colours=#000000|#000000; curb_angle_changed -5; driver_valid_changed 0; "
        "driver_angle_changed 20; ?cells=Faulted|-5.0°||-0.5\"; ?colours=#ff4500|#000000; "
        "driver_valid_changed 1; ?cells=10.0°|-5.0°|1.0\"|-0.5\"");
    const QString range = "!<html><head/><body><p>Please enter a number from 3.0 to 8.0</p></body>"
                          "</html>";
    // The entry is read in the C locale whatever the user's: no group separator.
    row("lever: entries", "lever",
        "load; ?emitted=6; ?lineEdit=6.0; ?btnSaveLL=0; ?lblValidityImage=; type 7.5; "
        "?btnSaveLL=1; ?lblValidityImage=+; type 6.0; ?btnSaveLL=0; ?lblValidityImage=; type 9; "
        "?lineEdit=9; ?lblValidityImage=" +
            range + "; type 2; ?btnSaveLL=0; ?lblValidityImage=" + range +
            "; type ; ?lblValidityImage=" + range +
            "; type 10; ?lineEdit=1; type x-7.55; ?lineEdit=7.5; ?lblValidityImage=+; type 4,5; "
            "?lineEdit=4; ?ll=; ?emitted=6");
    row("lever: stored values are not checked", "lever",
        "store abc; load; ?lineEdit=0.0; ?lblValidityImage=" + range +
            "; store 12.0; load; ?lineEdit=12.0; ?btnSaveLL=0; ?emitted=0 12");
    row("lever: factory button, Save, Enter", "lever",
        "store 7.5; load; pbFactoryStd; ?lineEdit=6.0; ?btnSaveLL=1; ?lblValidityImage=+; "
        "?emitted=7.5; ?ll=7.5; btnSaveLL; ?emitted=7.5 6; ?ll=6; ?btnSaveLL=0; "
        "?lblValidityImage=; type 9; enter; ?emitted=7.5 6; type 7.5; enter; ?emitted=7.5 6 7.5; "
        "?ll=7.5; ?btnSaveLL=0");
}

void Status_Displays::shown()
{
    QFETCH(QString, tab);
    QFETCH(QString, script);
    std::unique_ptr<QWidget> widget(make_tab(tab));
    if (auto main = qobject_cast<MainDisplay*>(widget.get()))
        main->Heights()->lever_length_changed(6.0); // as the main window loads it
    for (const QString& step : script.split(QStringLiteral("; "))) {
        const QString shown =
            step.startsWith('?') ? probe(widget.get(), step.mid(1).section('=', 0, 0)) : QString();
        if (step.startsWith('?'))
            QVERIFY2(shown == step.section('=', 1), qPrintable(step + " shows " + shown));
        else
            QVERIFY2(act(widget.get(), step), qPrintable(step));
    }
}

void Status_Displays::tab_key_passes_over_the_heights_table()
{
    // The table shows values only: Tab must not enter it and cycle through its cells.
    MainDisplay d;
    d.show();
    QApplication::setActiveWindow(&d);
    QVERIFY(QTest::qWaitForWindowActive(&d));
    QWidget* first = d.findChild<QComboBox*>(QStringLiteral("cbxCompTempUnits"));
    first->setFocus();
    for (int i = 0; i < 12 && (i == 0 || QApplication::focusWidget() != first); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(!qobject_cast<Suspension_Heights_Class*>(QApplication::focusWidget()));
    }
    QCOMPARE(QApplication::focusWidget(), first);
}

void Status_Displays::fault_tab_blinks_while_a_fault_stands()
{
    MainWindow window;
    const int fault_tab = window.Display_Tabs()->indexOf(window.Fault_Tab());
    const auto painted = [&](bool on) {
        window.fault_tab_update(on);
        return window.Display_Tabs()->tabBar()->tabTextColor(fault_tab).name() +
               (window.Display_Tabs()->tabIcon(fault_tab).isNull() ? "" : " icon");
    };
    QVERIFY(act(window.Fault_Tab(), QStringLiteral("Rx_FM2 FM2 00010")));
    QCOMPARE(painted(true), QStringLiteral("#ff4500 icon"));
    QCOMPARE(painted(false), QStringLiteral("#000000"));
    QVERIFY(act(window.Fault_Tab(), QStringLiteral("Rx_FM2 FM2 00000")));
    QCOMPARE(painted(true), QStringLiteral("#000000"));
}

void Status_Displays::live_against_the_virtual_controller()
{
    // Declared before the rig, so that the worker stops before they go.
    MainDisplay main;
    IODisplay io;
    DevInfoDisplay dev;
    ErrorsDisplay errors;
    COM_Display_Interface* const tabs[] = {&main, &io, &dev, &errors};
    // The main window's wiring of fault word 1.
    Packet_Shared_Ptr fm1(new Packet_Get_FM1);
    fm1->AllocateData();
    TX_Sched_Item_Send_Once_Class fm1_item(fm1);
    for (QObject* tab : {static_cast<QObject*>(&main), static_cast<QObject*>(&errors)})
        connect(&fm1_item, SIGNAL(Rx(QSharedPointer<Quillon::Packet_Class>)), tab,
                SLOT(Rx_FM1(QSharedPointer<Quillon::Packet_Class>)));
    main.Heights()->lever_length_changed(6.0);

    Worker_Rig rig;
    rig.sim.set_compressor_enabled(false);
    rig.sim.set_pressure_raw(641);                 // 98.6 psi
    rig.sim.set_angle_raw(Sim::Side::Driver, 785); // 30.0 degrees
    rig.sim.set_angle_raw(Sim::Side::Curb, 330);   // -20.0 degrees
    rig.sim.set_input(Sim::Input::Trigger, true);
    rig.sim.set_battery_raw(506); // 12.6 V
    START_RIG(rig);
    Sent_Log& sent = rig.keep(new Sent_Log(rig.resource));
    for (COM_Display_Interface* tab : tabs) {
        tab->COM_Connect(rig.worker);
        tab->Has_Focus();
    }
    QTRY_COMPARE(probe(&main, "tbxMode") + ' ' + probe(&main, "tbxResPsi") + ' ' +
                     probe(&main, "cells") + ' ' + probe(&io, "cbxTrigger") +
                     probe(&io, "cbxIgnition") + ' ' + probe(&dev, "tbxSN") + ' ' +
                     probe(&dev, "tbxFirmwareVer"),
                 QStringLiteral("Idle 98 30.0°|-20.0°|3.0\"|-2.1\" 11 202407154711 AS150 R1.07"));

    // Sensor faults reach both tabs.
    QVERIFY(rig.sim.set_fault_flags(1, "00101"));
    rig.worker->TX_Scheduler->Schedule_Item(&fm1_item);
    QTRY_COMPARE(probe(&main, "tbxResPsi") + probe(&errors, "faults"),
                 QStringLiteral("Faulted101000000000"));
    QVERIFY(rig.sim.set_fault_flags(1, "00000"));
    QTRY_VERIFY(!fm1_item.Is_Scheduled());
    rig.worker->TX_Scheduler->Schedule_Item(&fm1_item);
    QTRY_COMPARE(probe(&main, "tbxResPsi") + probe(&errors, "any"), QStringLiteral("980"));

    // Staying on the device tab read it once; leaving stops every read.
    QCOMPARE(sent.codes().filter(QRegularExpression("SN|PRT|REV")).size(), 6);
    for (COM_Display_Interface* tab : tabs)
        tab->Lost_Focus();
    for (auto item : main.Items() + io.Items())
        QTRY_VERIFY(!item->Is_Scheduled());

    // Back again. The device tab loses its worker while SN2 is on the line: the
    // chain stops there, and the next connection reads from the start.
    sent.clear();
    const auto drop = connect(
        rig.resource, &COM_Resource::Tx_Packet, &dev,
        [&dev](QSharedPointer<Packet_Class> p) {
            if (p->toQString().endsWith(QLatin1String("SN2")))
                dev.COM_Disconnect();
        },
        Qt::QueuedConnection);
    for (COM_Display_Interface* tab : tabs)
        tab->Has_Focus();
    QTRY_VERIFY(sent.codes().contains(QStringLiteral("SN2")) && sent.codes().contains("MOD"));
    QTest::qWait(300);
    disconnect(drop);
    dev.Has_Focus(); // without a worker: nothing
    dev.COM_Connect(rig.worker);
    dev.Has_Focus();
    QTRY_COMPARE(sent.codes().filter(QStringLiteral("SN")),
                 QStringList({"SN1", "SN2", "SN1", "SN2", "SN3", "SN4"}));
}

VANTOR_TEST_MAIN(Status_Displays)
#include "tst_status_displays.moc"
