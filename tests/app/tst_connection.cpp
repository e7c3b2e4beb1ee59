// The connection's life cycle in the program against the virtual controller:
// a lost line, a time-out given up and new connections on the same port end
// only the connection they belong to; and a tab that loses and regains the
// focus quickly keeps its requests on the line.

#include "app_test_main.h"
#include "queued_spy.h"
#include "serial_error_text.h"
#include "worker_rig.h"

#include "main_window.h"
#include "tabs/com_display_interface.h"

#include <virtual_controller.h>

#include <QMessageBox>
#include <QTabWidget>

using namespace Quillon;

class Connection : public QObject
{
    Q_OBJECT

private slots:
    void one_error_box_for_one_lost_line();
    void focus_back_keeps_the_items_data();
    void focus_back_keeps_the_items();
};

void Connection::one_error_box_for_one_lost_line()
{
    Prompt_Answers answers;
    Sim::Virtual_Controller sim;
    QVERIFY(sim.start());
    MainWindow window;
    // Each time the port dialog comes up, the controller is plugged in again
    // and the same resource opens its line; the third time it is left.
    int dialog_runs = 0;
    window.Set_Port_Dialog_Runner([&](COM_Setup* dialog) {
        if (++dialog_runs > 2 || (!sim.is_serving() && !sim.start()))
            return int(QDialog::Rejected);
        sim.set_all_silent(false);
        QString device = QString::fromStdString(sim.device_path()), error;
        const bool opened = dialog->Open_Resource->OpenComPort(&device, error);
        return int(opened ? QDialog::Accepted : QDialog::Rejected);
    });
    window.show();
    window.Open_Port(QString::fromStdString(sim.device_path()));
    QVERIFY(window.Worker());
    // Only the menu bar until the controller first answers.
    QVERIFY(!window.Display_Tabs()->isVisible());
    QTRY_VERIFY(window.Display_Tabs()->isVisible());

    // The adapter is pulled out: one box, and the port dialog.
    sim.hang_up();
    QTRY_COMPARE(dialog_runs, 1);
    QTRY_VERIFY(window.Display_Tabs()->isVisible());

    // A time-out given up stops that worker in order: no error of its own.
    sim.set_all_silent(true);
    answers.answer_next(QMessageBox::No);
    QTRY_COMPARE_WITH_TIMEOUT(dialog_runs, 2, 10000);
    COM_485_Class* const last = window.Worker();
    QVERIFY(last);
    QTRY_VERIFY(window.Display_Tabs()->isVisible());

    // The last connection stays up and serves the line.
    sim.clear_statistics();
    QTRY_VERIFY(sim.total_requests() >= 20);
    QCOMPARE(window.Worker(), last);
    QVERIFY(!last->Is_Shutdown());
    QCOMPARE(dialog_runs, 2);

    // Leaving asks first; declined, nothing changes, and leaving stops the
    // connection in order as well.
    answers.answer_next(QMessageBox::No);
    QVERIFY(!window.close());
    QCOMPARE(window.Worker(), last);
    QCOMPARE(answers.asked.last().text,
             QStringLiteral("Are you sure you want to exit Pelmar Interface?"));
    QCOMPARE(answers.asked.last().default_button, QMessageBox::No);
    answers.answer_next(QMessageBox::Yes);
    QVERIFY(window.close());
    QVERIFY(!window.Worker());
    QTest::qWait(100);
    QStringList titles;
    for (const User_Prompt& prompt : qAsConst(answers.asked))
        titles << prompt.title;
    QCOMPARE(
        titles.join('|'),
        QStringLiteral("COM error|COM Timeout|Closing Pelmar Interface|Closing Pelmar Interface"));
    QVERIFY2(Is_Serial_Error_Text(answers.asked[0].text), qPrintable(answers.asked[0].text));
    QCOMPARE(answers.asked[1].text, QStringLiteral("Communication failed.  Retry?"));
    QCOMPARE(answers.asked[1].default_button, QMessageBox::Yes);
    QCOMPARE(dialog_runs, 2);
}

namespace {
class Probe_Tab : public COM_Display_Interface
{
public:
    void init_periodic_items() override {}
};
} // namespace

void Connection::focus_back_keeps_the_items_data()
{
    QTest::addColumn<bool>("one_shot");
    QTest::newRow("one-shot item") << true;
    QTest::newRow("periodic item") << false;
}

// The tab loses the focus and gets it back before the transmit pass has
// dropped its item: the item is kept and served.
void Connection::focus_back_keeps_the_items()
{
    QFETCH(bool, one_shot);
    Worker_Rig rig;
    START_RIG(rig);
    Probe_Tab tab;
    TX_Scheduler_Item_Class* item;
    if (one_shot) {
        Packet_Shared_Ptr request(new Packet_Get_DSA);
        request->AllocateData();
        item = &rig.keep(new TX_Sched_Item_Send_Once_Class(request));
        tab.Add_One_Shot_Item(item);
    } else {
        auto& periodic = rig.repeating(new Packet_Get_DSA);
        tab.Add_Periodic_Item(&periodic);
        item = &periodic;
    }
    Queued_Spy& answered = rig.keep(new Queued_Spy(item, &TX_Scheduler_Item_Class::Rx));
    tab.COM_Connect(rig.worker);

    // The list holds still while the focus goes and comes back.
    rig.worker->setSuspend();
    rig.worker->waitForSuspend();
    tab.Has_Focus();
    tab.Lost_Focus();
    tab.Has_Focus();
    rig.worker->Resume();
    QTRY_VERIFY(answered.count() >= (one_shot ? 1 : 3));
    QCOMPARE(item->Is_Scheduled(), !one_shot);
    tab.COM_Disconnect();
}

VANTOR_TEST_MAIN(Connection)
#include "tst_connection.moc"
