// The port dialog with a port listing given by the test, not the machine's.

#include "app_test_main.h"

#include <virtual_controller.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace Quillon;

// Each port as "name|description|manufacturer".
static void list_ports(const QStringList& ports)
{
    COM_Setup::Set_Port_Lister([ports] {
        QList<COM_Setup::Port_Info> listed;
        for (const QString& p : ports)
            listed.append({p.section('|', 0, 0), p.section('|', 1, 1), p.section('|', 2, 2)});
        return listed;
    });
}

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
    QTest::addColumn<QString>("ports");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("current");
    const auto row = [](const char* name, const char* ports, const char* shown,
                        const char* current) {
        QTest::newRow(name) << QString(ports) << QString(shown) << QString(current);
    };
    row("windows style", "COM10,COM2,COM1", "COM1,COM2,COM10", "COM1");
    row("linux style", "ttyUSB1,ttyS10,ttyS0,ttyACM0", "ttyACM0,ttyS0,ttyUSB1,ttyS10", "ttyACM0");
    row("no number", "ttyX,tty2,abc", "abc,ttyX,tty2", "abc");
    // Of two FTDI adapters, the lower number; "usb" in lower case marks nothing.
    row("adapters",
        "ttyUSB3|FT232R USB UART|FTDI,ttyS0|built-in|,ttyACM1|CDC usb modem|Maker,"
        "ttyUSB2|USB-Serial|Prolific,ttyUSB1|FT232R USB UART|FTDI",
        "ttyS0,ttyACM1,ttyUSB1 FTDI USB,ttyUSB2 USB,ttyUSB3 FTDI USB", "ttyUSB1 FTDI USB");
    row("none", "", "", "");
}

void Port_Dialog::listing()
{
    QFETCH(QString, ports);
    QFETCH(QString, shown);
    QFETCH(QString, current);
    list_ports(ports.split(',', Qt::SkipEmptyParts));
    COM_Setup dialog;
    auto box = dialog.findChild<QComboBox*>();
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    QCOMPARE(texts.join(','), shown);
    QCOMPARE(box->currentText(), current);
    // Nothing to open, nothing to press.
    QCOMPARE(dialog.findChild<QPushButton*>("btnOpenCom")->isEnabled(), !shown.isEmpty());
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
    auto box = dialog.findChild<QComboBox*>();
    box->lineEdit()->clear();
    QTest::keyClicks(box->lineEdit(), device);
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(dialog.Port_Open());

    // After a loss of the connection it is listed and picked again, before the adapter.
    dialog.Open_Resource->CloseComPort();
    dialog.Refresh_COM_Ports();
    QCOMPARE(box->itemText(box->currentIndex()), device);
}

void Port_Dialog::open_failure_reports_and_keeps_nothing()
{
    Prompt_Answers answers;
    list_ports({"ttyNOSUCH9"});
    COM_Setup dialog;
    dialog.show();
    dialog.findChild<QPushButton*>("btnOpenCom")->click();
    QCOMPARE(answers.asked.size(), 1);
    QCOMPARE(answers.asked[0].title, QStringLiteral("Error Opening COM Port ttyNOSUCH9"));
    QVERIFY2(answers.asked[0].text.contains(QStringLiteral("No such file")),
             qPrintable(answers.asked[0].text));

    QString empty;
    QVERIFY(!dialog.TryOpenWithDefaults(&empty));
    QVERIFY(!dialog.TryOpenWithDefaults(nullptr));
    // Neither the failed resource nor any other is left behind.
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
        dialog.findChild<QPushButton*>("btnOpenCom")->click();
        QVERIFY(dialog.Port_Open());
        dialog.Open_Resource->CloseComPort();
        dialog.show();
    }
    Prompt_Answers answers;
    const auto leave = [&] {
        escape ? QTest::keyClick(dialog.findChild<QLineEdit*>(), Qt::Key_Escape)
               : void(dialog.close());
    };
    answers.answer_next(QMessageBox::Cancel);
    leave();
    QCOMPARE(answers.asked.size(), 1);
    QCOMPARE(answers.asked[0].text, QStringLiteral("Closing Application"));
    QCOMPARE(answers.asked[0].default_button, QMessageBox::Cancel);
    QVERIFY(dialog.isVisible());

    answers.answer_next(QMessageBox::Ok);
    leave();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

VANTOR_TEST_MAIN(Port_Dialog)
#include "tst_com_setup.moc"
