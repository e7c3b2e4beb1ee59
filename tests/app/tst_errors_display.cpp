// The fault tab: its twelve boxes in blink-code order, how each fault word
// ticks its four boxes, the any-fault query behind the tab's blink, and the
// fault words of the virtual controller arriving through the worker.

#include "app_test_main.h"
#include "test_responses.h"

#include "errors_display.h"
#include "main_window.h"
#include "worker_rig.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QTabBar>
#include <QTabWidget>

#include <memory>

using namespace Quillon;

namespace {

struct Box
{
    const char* name;
    const char* text;
    const char* tool_tip;
};

// Blink-code order: the first column from top to bottom, then the second.
const Box Boxes[12] = {
    {"cbxDriverSensor", "Driver's Side Sensor (11)", "Driver Side Sensor (blink code 11)"},
    {"cbxCurbSensor", "Curb Side Sensor (12)", "Curb Side Sensor (blink code 12)"},
    {"cbxPressureSensor", "Pressure Sensor (13)", "Pressure Sensor (blink code 13)"},
    {"cbxCompressorTimeout", "Compressor Run Timeout (21)",
     "Compressor Run Timeout (blink code 21)"},
    {"cbxCompCooloff", "Compressor Cool-off (22)", "Compressor Cool-off (blink code 22)"},
    {"cbxAirLeak", "Air Leak (23)", "Air Leak Detected (blink code 23)"},
    {"cbxOverPressure", "Excess Air Pressure (24)", "Excess Air Pressure (blink code 24)"},
    {"cbxDriverSolTimeout", "Driver's Side Solenoid Timeout (31)",
     "Driver Side Solenoid Timeout (blink code 31)"},
    {"cbxCurbSolTimeout", "Curb Side Solenoid Timeout (32)",
     "Curb Side Solenoid Timeout (blink code 32)"},
    {"cbxOverTemp", "Over Temperature (41)", "Over Temperature (blink code 41)"},
    {"cbxExhaustSolTimeout", "Exhaust Solenoid Timeout (42)",
     "Exhaust Solenoid Timeout (blink code 42)"},
    {"cbxReservoirSolTimeout", "Reservoir Solenoid Timeout (43)",
     "Reservoir Solenoid Timeout (blink code 43)"},
};

// The ticked boxes as twelve characters in blink-code order, '1' for ticked.
QString ticks(const ErrorsDisplay& tab)
{
    QString out;
    for (const Box& box : Boxes) {
        const auto check = tab.findChild<QCheckBox*>(QLatin1String(box.name));
        out += !check ? QLatin1Char('?') : check->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
    }
    return out;
}

void deliver(ErrorsDisplay& tab, const char* body)
{
    const QByteArray code = QByteArray(body).left(3);
    const QByteArray slot = "Rx_" + code;
    QVERIFY(
        QMetaObject::invokeMethod(&tab, slot.constData(), Qt::DirectConnection,
                                  Q_ARG(QSharedPointer<Quillon::Packet_Class>, response(body))));
}

} // namespace

class Errors_Display_Test : public QObject
{
    Q_OBJECT

private slots:
    void boxes_in_blink_code_order();
    void display_only_with_black_marks();
    void fault_word_ticks_its_boxes_data();
    void fault_word_ticks_its_boxes();
    void air_leak_alone_leaves_other_words();
    void invalid_or_foreign_response_changes_nothing();
    void any_fault_follows_all_three_words();
    void fault_tab_blinks_while_a_fault_stands();
    void fault_words_from_the_virtual_controller();
};

void Errors_Display_Test::boxes_in_blink_code_order()
{
    ErrorsDisplay tab;
    QCOMPARE(tab.windowTitle(), QStringLiteral("Form"));
    QCOMPARE(tab.size(), QSize(991, 358));
    QCOMPARE(tab.font().pointSize(), 10);

    const auto grid = qobject_cast<QGridLayout*>(tab.layout());
    QVERIFY(grid);
    QCOMPARE(tab.findChildren<QCheckBox*>().size(), 12);
    QWidget* previous = nullptr;
    for (int i = 0; i < 12; ++i) {
        const Box& box = Boxes[i];
        const auto check = tab.findChild<QCheckBox*>(QLatin1String(box.name));
        QVERIFY2(check, box.name);
        QCOMPARE(check->text(), QString::fromUtf8(box.text));
        QCOMPARE(check->toolTip(), QString::fromUtf8(box.tool_tip));
        QVERIFY(!check->isChecked());
        // Two columns of six, and the tab order follows the blink codes.
        int row = -1, column = -1, rows = 0, columns = 0;
        grid->getItemPosition(grid->indexOf(check), &row, &column, &rows, &columns);
        QCOMPARE(column, i / 6);
        QCOMPARE(row, i % 6);
        if (previous)
            QCOMPARE(previous->nextInFocusChain(), static_cast<QWidget*>(check));
        previous = check;
    }
    QVERIFY(!tab.Any_Fault());
}

void Errors_Display_Test::display_only_with_black_marks()
{
    ErrorsDisplay tab;
    const QString sheet = tab.styleSheet();
    QCOMPARE(sheet.size(), 128);
    QCOMPARE(sheet, QStringLiteral("QCheckBox[enabled=\"false\"]::indicator:checked "
                                   "{background-color: black}") +
                        QString(16, QLatin1Char(' ')) +
                        QStringLiteral("QCheckBox[enabled=\"false\"] {color: black}"));
    for (QCheckBox* check : tab.findChildren<QCheckBox*>())
        QVERIFY2(!check->isEnabled(), qPrintable(check->objectName()));
}

void Errors_Display_Test::fault_word_ticks_its_boxes_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("ticked");
    // The last four characters of a word are its four faults; the first
    // carries none.
    QTest::newRow("FM1 driver sensor") << QByteArray("FM1 00001") << "100000000000";
    QTest::newRow("FM1 curb sensor") << QByteArray("FM1 00010") << "010000000000";
    QTest::newRow("FM1 pressure sensor") << QByteArray("FM1 00100") << "001000000000";
    QTest::newRow("FM1 cool-off") << QByteArray("FM1 01000") << "000010000000";
    QTest::newRow("FM1 first digit") << QByteArray("FM1 10000") << "000000000000";
    QTest::newRow("FM2 compressor time-out") << QByteArray("FM2 00001") << "000100000000";
    QTest::newRow("FM2 air leak") << QByteArray("FM2 00010") << "000001000000";
    QTest::newRow("FM2 over pressure") << QByteArray("FM2 00100") << "000000100000";
    QTest::newRow("FM2 driver solenoid") << QByteArray("FM2 01000") << "000000010000";
    QTest::newRow("FM3 curb solenoid") << QByteArray("FM3 00001") << "000000001000";
    QTest::newRow("FM3 over temperature") << QByteArray("FM3 00010") << "000000000100";
    QTest::newRow("FM3 exhaust solenoid") << QByteArray("FM3 00100") << "000000000010";
    QTest::newRow("FM3 reservoir solenoid") << QByteArray("FM3 01000") << "000000000001";
    QTest::newRow("FM3 all") << QByteArray("FM3 11111") << "000000001111";
}

void Errors_Display_Test::fault_word_ticks_its_boxes()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, ticked);
    ErrorsDisplay tab;
    deliver(tab, body.constData());
    QCOMPARE(ticks(tab), ticked);
    QCOMPARE(tab.Any_Fault(), ticked.contains(QLatin1Char('1')));
}

void Errors_Display_Test::air_leak_alone_leaves_other_words()
{
    ErrorsDisplay tab;
    deliver(tab, "FM1 01111");
    deliver(tab, "FM2 01111");
    deliver(tab, "FM3 01111");
    QCOMPARE(ticks(tab), QStringLiteral("111111111111"));

    deliver(tab, "FM2 00010");
    QCOMPARE(ticks(tab), QStringLiteral("111011001111"));
    QVERIFY(tab.Any_Fault());
}

void Errors_Display_Test::invalid_or_foreign_response_changes_nothing()
{
    ErrorsDisplay tab;
    deliver(tab, "FM1 00010");
    QCOMPARE(ticks(tab), QStringLiteral("010000000000"));

    // Fields set, but the word as a whole did not decode.
    const Packet_Shared_Ptr invalid = response("FM1 0111x");
    QVERIFY(!invalid->Valid);
    tab.Rx_FM1(invalid);
    QCOMPARE(ticks(tab), QStringLiteral("010000000000"));
    // Another word's answer, or no packet at all.
    tab.Rx_FM1(response("FM2 01111"));
    tab.Rx_FM1(response("DSA 00512"));
    tab.Rx_FM1(Packet_Shared_Ptr());
    QCOMPARE(ticks(tab), QStringLiteral("010000000000"));
    QVERIFY(tab.Any_Fault());

    deliver(tab, "FM2 0x000");
    deliver(tab, "FM3 01111");
    tab.Rx_FM3(response("FM3 0000?"));
    QCOMPARE(ticks(tab), QStringLiteral("010000001111"));
}

void Errors_Display_Test::any_fault_follows_all_three_words()
{
    ErrorsDisplay tab;
    deliver(tab, "FM1 00001");
    deliver(tab, "FM3 01000");
    QVERIFY(tab.Any_Fault());
    deliver(tab, "FM1 00000");
    QVERIFY(tab.Any_Fault()); // FM3 still stands
    deliver(tab, "FM2 00000");
    QVERIFY(tab.Any_Fault());
    deliver(tab, "FM3 00000");
    QVERIFY(!tab.Any_Fault());
    QCOMPARE(ticks(tab), QStringLiteral("000000000000"));

    // Starting the tab's items again forgets the faults; the boxes stay.
    deliver(tab, "FM2 00100");
    tab.init_periodic_items();
    QVERIFY(!tab.Any_Fault());
    QCOMPARE(ticks(tab), QStringLiteral("000000100000"));
}

void Errors_Display_Test::fault_tab_blinks_while_a_fault_stands()
{
    MainWindow window;
    QTabBar* bar = window.Display_Tabs()->tabBar();
    const int fault_tab = window.Display_Tabs()->indexOf(window.Fault_Tab());
    QCOMPARE(fault_tab, 1);
    const auto painted_as_fault = [&] {
        return bar->tabTextColor(fault_tab) == QColor(QStringLiteral("orangered")) &&
               !window.Display_Tabs()->tabIcon(fault_tab).isNull();
    };

    window.fault_tab_update(false);
    window.fault_tab_update(true);
    QVERIFY(!painted_as_fault());

    deliver(*window.Fault_Tab(), "FM2 00010");
    window.fault_tab_update(true);
    QVERIFY(painted_as_fault());
    window.fault_tab_update(false);
    QVERIFY(!painted_as_fault());
    QCOMPARE(bar->tabTextColor(fault_tab), QColor(QStringLiteral("black")));

    // Once the last fault clears, the next on-phase leaves the title black.
    deliver(*window.Fault_Tab(), "FM2 00000");
    window.fault_tab_update(true);
    QVERIFY(!painted_as_fault());
}

void Errors_Display_Test::fault_words_from_the_virtual_controller()
{
    // Declared first, so that the worker stops before they go.
    ErrorsDisplay tab;
    std::vector<std::unique_ptr<TX_Sched_Item_Send_Once_Class>> items;
    Worker_Rig rig;
    QString error;
    QVERIFY2(rig.start(&error), qPrintable(error));

    // The fault word requests as the main window makes and connects them.
    Packet_Shared_Ptr requests[3] = {Packet_Shared_Ptr(new Packet_Get_FM1),
                                     Packet_Shared_Ptr(new Packet_Get_FM2),
                                     Packet_Shared_Ptr(new Packet_Get_FM3)};
    const char* receivers[3] = {SLOT(Rx_FM1(QSharedPointer<Quillon::Packet_Class>)),
                                SLOT(Rx_FM2(QSharedPointer<Quillon::Packet_Class>)),
                                SLOT(Rx_FM3(QSharedPointer<Quillon::Packet_Class>))};
    for (int i = 0; i < 3; ++i) {
        requests[i]->setResponse_FiltertoDefault();
        requests[i]->AllocateData();
        items.emplace_back(new TX_Sched_Item_Send_Once_Class(requests[i]));
        QVERIFY(connect(items.back().get(), SIGNAL(Rx(QSharedPointer<Quillon::Packet_Class>)), &tab,
                        receivers[i]));
    }
    const auto poll = [&] {
        for (auto& item : items)
            rig.worker->TX_Scheduler->Schedule_Item(item.get());
    };

    // The tab has nothing of its own to send.
    tab.COM_Connect(rig.worker);
    tab.Has_Focus();
    QCOMPARE(rig.worker->TX_Scheduler->Count(), 0);

    QVERIFY(rig.sim.set_fault_flags(1, "00001"));
    QVERIFY(rig.sim.set_fault_flags(3, "00100"));
    poll();
    QTRY_COMPARE(ticks(tab), QStringLiteral("100000000010"));
    QVERIFY(tab.Any_Fault());

    QTRY_VERIFY(!items[2]->Is_Scheduled());
    QVERIFY(rig.sim.set_fault_flags(1, "00000"));
    QVERIFY(rig.sim.set_fault_flags(2, "00010"));
    QVERIFY(rig.sim.set_fault_flags(3, "00000"));
    poll();
    QTRY_COMPARE(ticks(tab), QStringLiteral("000001000000"));
    QVERIFY(tab.Any_Fault());

    QTRY_VERIFY(!items[2]->Is_Scheduled());
    QVERIFY(rig.sim.set_fault_flags(2, "00000"));
    poll();
    QTRY_VERIFY(!tab.Any_Fault());
    QCOMPARE(ticks(tab), QStringLiteral("000000000000"));

    tab.Lost_Focus();
    tab.COM_Disconnect();
    rig.stop();
}

VANTOR_TEST_MAIN(Errors_Display_Test)
#include "tst_errors_display.moc"
