// The port dialog with a port listing given by the test, not the machine's.

#include "app_test_main.h"

#include <virtual_controller.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace Quillon;

namespace {

// Each port as "name|description|manufacturer".
void list_ports(const QStringList& ports)
{
    COM_Setup::Set_Port_Lister([ports] {
        QList<COM_Setup::Port_Info> listed;
        for (const QString& p : ports)
            listed.append({p.section('|', 0, 0), p.section('|', 1, 1), p.section('|', 2, 2)});
        return listed;
    });
}

QComboBox* port_box(COM_Setup& dialog)
{
    return dialog.findChild<QComboBox*>(QStringLiteral("cbxCOMPorts"));
}

QPushButton* open_button(COM_Setup& dialog)
{
    return dialog.findChild<QPushButton*>(QStringLiteral("btnOpenCom"));
}

} // namespace

class Port_Dialog : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { COM_Setup::Set_Port_Lister(nullptr); }

    void listing_data();
    void listing();
    void typed_path_opens_on_enter_and_stays_listed();
    void open_failure_reports_and_keeps_nothing();
    void leaving_without_a_port_asks_data();
    void leaving_without_a_port_asks();
};

void Port_Dialog::listing_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("current");
    QTest::newRow("windows style") << QStringList{"COM10", "COM2", "COM1"}
                                   << QStringList{"COM1", "COM2", "COM10"} << "COM1";
    QTest::newRow("linux style") << QStringList{"ttyUSB1", "ttyS10", "ttyS0", "ttyACM0"}
                                 << QStringList{"ttyACM0", "ttyS0", "ttyUSB1", "ttyS10"}
                                 << "ttyACM0";
    QTest::newRow("no number") << QStringList{"ttyX", "tty2", "abc"}
                               << QStringList{"abc", "ttyX", "tty2"} << "abc";
    // Of two FTDI adapters, the lower number; "usb" in lower case marks nothing.
    QTest::newRow("adapters") << QStringList{"ttyUSB3|FT232R USB UART|FTDI", "ttyS0|built-in|",
                                             "ttyACM1|CDC usb modem|Maker",
                                             "ttyUSB2|USB-Serial Controller|Prolific",
                                             "ttyUSB1|FT232R USB UART|FTDI"}
                              << QStringList{"ttyS0", "ttyACM1", "ttyUSB1 FTDI USB", "ttyUSB2 USB",
                                             "ttyUSB3 FTDI USB"}
                              << "ttyUSB1 FTDI USB";
    QTest::newRow("none") << QStringList{} << QStringList{} << "";
}

void Port_Dialog::listing()
{
    QFETCH(QStringList, ports);
    QFETCH(QStringList, shown);
    QFETCH(QString, current);
    list_ports(ports);
    COM_Setup dialog;
    QStringList texts;
    for (int i = 0; i < port_box(dialog)->count(); ++i)
        texts << port_box(dialog)->itemText(i);
    QCOMPARE(texts, shown);
    QCOMPARE(port_box(dialog)->currentText(), current);
    // Nothing to open, nothing to press.
    QCOMPARE(open_button(dialog)->isEnabled(), !shown.isEmpty());
}

void Port_Dialog::typed_path_opens_on_enter_and_stays_listed()
{
    // A pseudo-terminal is never listed, like a /dev/serial/by-id link.
    Sim::Virtual_Controller sim;
    QVERIFY(sim.start());
    const QString device = QString::fromStdString(sim.device_path());
    list_ports({"ttyUSB0|FT232R USB UART|FTDI"});
    COM_Setup dialog;
    dialog.show();
    QLineEdit* typing = port_box(dialog)->lineEdit();
    QVERIFY(typing);
    typing->clear();
    QTest::keyClicks(typing, device);
    QTest::keyClick(typing, Qt::Key_Return);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(dialog.Port_Open());
    QCOMPARE(dialog.Open_Port_Name_Text(), device);

    // After a loss of the connection it is listed and picked again, before the adapter.
    dialog.Open_Resource->CloseComPort();
    dialog.Refresh_COM_Ports();
    QCOMPARE(port_box(dialog)->itemText(port_box(dialog)->currentIndex()), device);
}

void Port_Dialog::open_failure_reports_and_keeps_nothing()
{
    Prompt_Answers answers;
    list_ports({"ttyNOSUCH9"});
    COM_Setup dialog;
    dialog.show();
    open_button(dialog)->click();
    QCOMPARE(answers.asked.size(), 1);
    QCOMPARE(answers.asked[0].title, QStringLiteral("Error Opening COM Port ttyNOSUCH9"));
    QCOMPARE(answers.asked[0].icon, QMessageBox::Critical);
    QVERIFY2(answers.asked[0].text.contains(QStringLiteral("No such file")),
             qPrintable(answers.asked[0].text));
    QVERIFY(dialog.isVisible());

    QString empty;
    QVERIFY(!dialog.TryOpenWithDefaults(&empty));
    QVERIFY(!dialog.TryOpenWithDefaults(nullptr));
    // Neither the failed resource nor any other is left behind.
    QVERIFY(!dialog.Open_Resource);
    QVERIFY(dialog.findChildren<COM_Resource*>().isEmpty());
}

void Port_Dialog::leaving_without_a_port_asks_data()
{
    QTest::addColumn<bool>("after_loss");
    QTest::addColumn<bool>("escape");
    QTest::newRow("start-up, close button") << false << false;
    QTest::newRow("start-up, Escape") << false << true;
    QTest::newRow("after a loss, close button") << true << false;
    QTest::newRow("after a loss, Escape") << true << true;
}

void Port_Dialog::leaving_without_a_port_asks()
{
    QFETCH(bool, after_loss);
    QFETCH(bool, escape);
    Sim::Virtual_Controller sim;
    QVERIFY(sim.start());
    list_ports({QString::fromStdString(sim.device_path())});
    COM_Setup dialog;
    dialog.show();
    if (after_loss) {
        // Opened, then lost: the resource is still there, its port closed.
        open_button(dialog)->click();
        QVERIFY(dialog.Port_Open());
        dialog.Open_Resource->CloseComPort();
        dialog.show();
    }
    Prompt_Answers answers;
    const auto leave = [&] {
        if (escape)
            QTest::keyClick(port_box(dialog)->lineEdit(), Qt::Key_Escape);
        else
            dialog.close();
    };
    answers.answer_next(QMessageBox::Cancel);
    leave();
    QCOMPARE(answers.asked.size(), 1);
    QCOMPARE(answers.asked[0].text, QStringLiteral("Closing Application"));
    QCOMPARE(answers.asked[0].informative_text,
             QStringLiteral("This application requires a COM port to work.  Do you want to "
                            "exit Pelmar Interface?"));
    QCOMPARE(answers.asked[0].default_button, QMessageBox::Cancel);
    QVERIFY(dialog.isVisible());

    answers.answer_next(QMessageBox::Ok);
    leave();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

VANTOR_TEST_MAIN(Port_Dialog)
#include "tst_com_setup.moc"
