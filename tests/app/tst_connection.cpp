// The connection's life cycle in the program against the virtual controller:
// a lost line, a time-out given up and new connections on the same port end
// only the connection they belong to.

#include "app_test_main.h"
#include "serial_error_text.h"

#include "main_window.h"

#include <virtual_controller.h>

#include <QMessageBox>
#include <QTabWidget>

using namespace Quillon;

class Connection : public QObject
{
    Q_OBJECT

private slots:
    void one_error_box_for_one_lost_line();
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

    // Leaving stops it in order as well.
    answers.answer_next(QMessageBox::Yes);
    QVERIFY(window.close());
    QTest::qWait(100);
    QStringList titles;
    for (const User_Prompt& prompt : qAsConst(answers.asked))
        titles << prompt.title;
    QCOMPARE(titles.join('|'), QStringLiteral("COM error|COM Timeout|Closing Pelmar Interface"));
    QVERIFY2(Is_Serial_Error_Text(answers.asked[0].text), qPrintable(answers.asked[0].text));
    QCOMPARE(dialog_runs, 2);
}

VANTOR_TEST_MAIN(Connection)
#include "tst_connection.moc"
