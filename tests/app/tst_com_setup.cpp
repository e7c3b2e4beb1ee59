// The port dialog with a port listing given by the test, not the machine's.

#include "app_test_main.h"

#include <virtual_controller.h>

#include <QComboBox>
#include <QPushButton>

using namespace Quillon;

namespace {

using Ports = QList<COM_Setup::Port_Info>;

QStringList shown(COM_Setup& dialog)
{
    auto box = dialog.findChild<QComboBox*>(QStringLiteral("cbxCOMPorts"));
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

QString current(COM_Setup& dialog)
{
    return dialog.findChild<QComboBox*>(QStringLiteral("cbxCOMPorts"))->currentText();
}

} // namespace

class Port_Dialog : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { COM_Setup::Set_Port_Lister(nullptr); }

    void sorted_by_port_number_data();
    void sorted_by_port_number();
    void adapters_marked_and_preselected();
    void port_used_before_is_preselected_again();
    void open_failure_reports_and_stays();
    void closing_without_a_port_asks();
    void form_as_built();
};

void Port_Dialog::sorted_by_port_number_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("windows style")
        << QStringList{"COM10", "COM2", "COM1"} << QStringList{"COM1", "COM2", "COM10"};
    QTest::newRow("linux style") << QStringList{"ttyUSB1", "ttyS10", "ttyS0", "ttyACM0"}
                                 << QStringList{"ttyACM0", "ttyS0", "ttyUSB1", "ttyS10"};
    QTest::newRow("no number") << QStringList{"ttyX", "tty2", "abc"}
                               << QStringList{"abc", "ttyX", "tty2"};
}

void Port_Dialog::sorted_by_port_number()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, expected);
    COM_Setup::Set_Port_Lister([names] {
        Ports ports;
        for (const QString& n : names)
            ports.append({n, QStringLiteral("n/a"), QString()});
        return ports;
    });
    COM_Setup dialog;
    QCOMPARE(dialog.Port_Names(), expected);
    QCOMPARE(shown(dialog), expected);
}

void Port_Dialog::adapters_marked_and_preselected()
{
    COM_Setup::Set_Port_Lister([] {
        return Ports{{"ttyUSB3", "FT232R USB UART", "FTDI"},
                     {"ttyS0", "built-in", ""},
                     {"ttyACM1", "CDC usb modem", "Maker"},
                     {"ttyUSB2", "USB-Serial Controller", "Prolific"},
                     {"ttyUSB1", "FT232R USB UART", "FTDI"}};
    });
    COM_Setup dialog;
    QCOMPARE(shown(dialog), QStringList({"ttyS0", "ttyACM1", "ttyUSB1 FTDI USB", "ttyUSB2 USB",
                                         "ttyUSB3 FTDI USB"}));
    // Of two FTDI adapters, the lower number.
    QCOMPARE(current(dialog), QStringLiteral("ttyUSB1 FTDI USB"));
    QVERIFY(dialog.findChild<QPushButton*>(QStringLiteral("btnOpenCom"))->isEnabled());

    // An empty list leaves nothing to open.
    COM_Setup::Set_Port_Lister([] { return Ports{}; });
    dialog.findChild<QPushButton*>(QStringLiteral("btnRefresh"))->click();
    QVERIFY(!dialog.findChild<QPushButton*>(QStringLiteral("btnOpenCom"))->isEnabled());
}

void Port_Dialog::port_used_before_is_preselected_again()
{
    Sim::Virtual_Controller sim;
    QVERIFY(sim.start());
    const QString device = QString::fromStdString(sim.device_path());
    COM_Setup::Set_Port_Lister([device] {
        return Ports{{"ttyUSB0", "FT232R USB UART", "FTDI"}, {device, "pseudo", ""}};
    });
    COM_Setup dialog;
    QCOMPARE(current(dialog), QStringLiteral("ttyUSB0 FTDI USB"));

    auto box = dialog.findChild<QComboBox*>(QStringLiteral("cbxCOMPorts"));
    box->setCurrentIndex(dialog.Port_Names().indexOf(device));
    dialog.findChild<QPushButton*>(QStringLiteral("btnOpenCom"))->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(dialog.Open_Resource);
    QCOMPARE(dialog.Open_Port_Name_Text(), device);

    // After a loss of the connection the same port comes up again.
    dialog.Open_Resource->CloseComPort();
    dialog.Refresh_COM_Ports();
    QCOMPARE(current(dialog), device);
}

void Port_Dialog::open_failure_reports_and_stays()
{
    Prompt_Answers answers;
    COM_Setup::Set_Port_Lister([] { return Ports{{"ttyNOSUCH9", "", ""}}; });
    COM_Setup dialog;
    dialog.show();
    dialog.findChild<QPushButton*>(QStringLiteral("btnOpenCom"))->click();
    QCOMPARE(answers.asked.size(), 1);
    QCOMPARE(answers.asked[0].title, QStringLiteral("Error Opening COM Port ttyNOSUCH9"));
    QCOMPARE(answers.asked[0].icon, QMessageBox::Critical);
    QVERIFY2(answers.asked[0].text.contains(QStringLiteral("No such file")),
             qPrintable(answers.asked[0].text));
    QVERIFY(!dialog.Open_Resource);
    QVERIFY(dialog.isVisible());

    QString empty;
    QVERIFY(!dialog.TryOpenWithDefaults(&empty));
    QVERIFY(!dialog.TryOpenWithDefaults(nullptr));
    QVERIFY(!dialog.Open_Resource);
    QVERIFY(dialog.findChildren<COM_Resource*>().size() <= 1);
}

void Port_Dialog::closing_without_a_port_asks()
{
    Prompt_Answers answers;
    COM_Setup::Set_Port_Lister([] { return Ports{}; });
    COM_Setup dialog;
    dialog.show();
    answers.answer_next(QMessageBox::Cancel);
    dialog.close();
    QCOMPARE(answers.asked.size(), 1);
    QCOMPARE(answers.asked[0].text, QStringLiteral("Closing Application"));
    QCOMPARE(answers.asked[0].informative_text,
             QStringLiteral("This application requires a COM port to work.  Do you want to "
                            "exit Pelmar Interface?"));
    QCOMPARE(answers.asked[0].default_button, QMessageBox::Cancel);
    QVERIFY(dialog.isVisible());

    answers.answer_next(QMessageBox::Ok);
    dialog.close();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void Port_Dialog::form_as_built()
{
    COM_Setup dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Open COM port"));
    QCOMPARE(dialog.maximumSize(), QSize(600, 200));
    QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("btnOpenCom"))->text(),
             QStringLiteral("&Open"));
    QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("btnRefresh"))->text(),
             QStringLiteral("&Refresh"));
    QCOMPARE(dialog.findChild<QComboBox*>(QStringLiteral("cbxCOMPorts"))->font().pointSize(), 16);
}

VANTOR_TEST_MAIN(Port_Dialog)
#include "tst_com_setup.moc"
