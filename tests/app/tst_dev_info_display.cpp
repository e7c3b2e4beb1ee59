// The device tab: the serial number and part number texts made from their
// answers, and the two chains of one-shot reads against the virtual
// controller, sent once per gain of focus.

#include "app_test_main.h"
#include "sent_log.h"
#include "test_responses.h"

#include "dev_info_display.h"
#include "worker_rig.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

using namespace Quillon;

namespace {

// A text answer longer than the line's five characters.
class Text_Response : public Packet_Resp_String
{
public:
    Text_Response(int type, const QString& value) : type(type) { text = value; }
    int ID() override { return type; }

private:
    int type;
};

QString serial_number(const DevInfoDisplay& tab)
{
    return tab.findChild<QLineEdit*>(QStringLiteral("tbxSN"))->text();
}

QString part_number(const DevInfoDisplay& tab)
{
    return tab.findChild<QLineEdit*>(QStringLiteral("tbxFirmwareVer"))->text();
}

} // namespace

class Dev_Info_Display_Test : public QObject
{
    Q_OBJECT

private slots:
    void form_starts_empty();
    void serial_number_text_data();
    void serial_number_text();
    void serial_part_replaced_by_its_own_answer();
    void part_number_text();
    void read_once_per_gain_of_focus();
    void chain_without_worker_starts_again_from_the_first_read();
};

void Dev_Info_Display_Test::form_starts_empty()
{
    DevInfoDisplay tab;
    QCOMPARE(tab.windowTitle(), QStringLiteral("Form"));
    const auto form = tab.findChild<QFormLayout*>();
    QVERIFY(form);
    QCOMPARE(form->rowCount(), 2);
    const auto label = qobject_cast<QLabel*>(form->itemAt(0, QFormLayout::LabelRole)->widget());
    const auto label_2 = qobject_cast<QLabel*>(form->itemAt(1, QFormLayout::LabelRole)->widget());
    QVERIFY(label && label_2);
    QCOMPARE(label->objectName(), QStringLiteral("label"));
    QCOMPARE(label->text(), QStringLiteral("S/N"));
    QCOMPARE(label_2->objectName(), QStringLiteral("label_2"));
    QCOMPARE(label_2->text(), QStringLiteral("Firmware P/N"));
    QCOMPARE(form->itemAt(0, QFormLayout::FieldRole)->widget()->objectName(),
             QStringLiteral("tbxSN"));
    QCOMPARE(form->itemAt(1, QFormLayout::FieldRole)->widget()->objectName(),
             QStringLiteral("tbxFirmwareVer"));
    for (QLineEdit* field : tab.findChildren<QLineEdit*>()) {
        QVERIFY(field->isReadOnly());
        QVERIFY(field->text().isEmpty());
    }
}

void Dev_Info_Display_Test::serial_number_text_data()
{
    QTest::addColumn<QList<int>>("parts");
    QTest::addColumn<QString>("shown");
    QTest::newRow("15 3 2 45") << QList<int>{15, 3, 2, 45} << "15032045";
    QTest::newRow("7 12 0 1") << QList<int>{7, 12, 0, 1} << "07120001";
    // A width is a minimum: larger values take more digits.
    QTest::newRow("2024 7 15 4711") << QList<int>{2024, 7, 15, 4711} << "202407154711";
    QTest::newRow("all zero") << QList<int>{0, 0, 0, 0} << "00000000";
}

void Dev_Info_Display_Test::serial_number_text()
{
    QFETCH(QList<int>, parts);
    QFETCH(QString, shown);
    DevInfoDisplay tab;
    for (int i = 0; i < 4; ++i) {
        const QByteArray body = "SN" + QByteArray::number(i + 1) + ' ' +
                                QByteArray::number(parts.at(i)).rightJustified(5, '0');
        tab.Rx_FirmwareSN(response(body));
    }
    QCOMPARE(serial_number(tab), shown);
    QVERIFY(part_number(tab).isEmpty());
}

void Dev_Info_Display_Test::serial_part_replaced_by_its_own_answer()
{
    DevInfoDisplay tab;
    // Parts that have not been answered yet show nothing.
    tab.Rx_FirmwareSN(response("SN3 00004"));
    QCOMPARE(serial_number(tab), QStringLiteral("4"));
    tab.Rx_FirmwareSN(response("SN1 00009"));
    QCOMPARE(serial_number(tab), QStringLiteral("094"));
    tab.Rx_FirmwareSN(response("SN4 00123"));
    tab.Rx_FirmwareSN(response("SN2 00055"));
    QCOMPARE(serial_number(tab), QStringLiteral("09554123"));
    tab.Rx_FirmwareSN(response("SN2 00056"));
    QCOMPARE(serial_number(tab), QStringLiteral("09564123"));
    // An answer that is not a number changes nothing.
    tab.Rx_FirmwareSN(response("PRT AS150"));
    QCOMPARE(serial_number(tab), QStringLiteral("09564123"));
}

void Dev_Info_Display_Test::part_number_text()
{
    DevInfoDisplay tab;
    QVERIFY(part_number(tab).isEmpty());
    tab.Rx_FirmwarePN(Packet_Shared_Ptr(
        new Text_Response(Packet_Resp_PRT::packet_type, QStringLiteral("ABC-100"))));
    QCOMPARE(part_number(tab), QStringLiteral("ABC-100 "));
    tab.Rx_FirmwarePN(
        Packet_Shared_Ptr(new Text_Response(Packet_Resp_REV::packet_type, QStringLiteral("B2"))));
    QCOMPARE(part_number(tab), QStringLiteral("ABC-100 B2"));

    // Each answer replaces only its own half.
    tab.Rx_FirmwarePN(response("REV R1.07"));
    QCOMPARE(part_number(tab), QStringLiteral("ABC-100 R1.07"));
    tab.Rx_FirmwarePN(response("PRT AS150"));
    QCOMPARE(part_number(tab), QStringLiteral("AS150 R1.07"));
    QVERIFY(serial_number(tab).isEmpty());
}

void Dev_Info_Display_Test::read_once_per_gain_of_focus()
{
    DevInfoDisplay tab; // declared first, so that the worker stops before it goes
    Worker_Rig rig;
    QString error;
    QVERIFY2(rig.start(&error), qPrintable(error));
    Sent_Log sent(rig.resource);

    tab.COM_Connect(rig.worker);
    tab.Has_Focus();
    QTRY_COMPARE(serial_number(tab), QStringLiteral("202407154711"));
    QTRY_COMPARE(part_number(tab), QStringLiteral("AS150 R1.07"));

    // One request at a time, each chain in its order; staying on the tab
    // reads nothing more.
    QTest::qWait(300);
    QCOMPARE(sent.codes.size(), 6);
    QStringList serial = sent.codes.filter(QStringLiteral("SN"));
    QStringList part = sent.codes;
    for (const QString& code : serial)
        part.removeAll(code);
    QCOMPARE(serial, QStringList({"SN1", "SN2", "SN3", "SN4"}));
    QCOMPARE(part, QStringList({"PRT", "REV"}));

    // Showing the tab again reads all six once more.
    tab.Lost_Focus();
    tab.Has_Focus();
    QTRY_COMPARE(sent.codes.size(), 12);
    QTest::qWait(300);
    QCOMPARE(sent.codes.size(), 12);
    for (const char* code : {"SN1", "SN2", "SN3", "SN4", "PRT", "REV"})
        QCOMPARE(rig.sim.request_count(std::string("get ") + code), 2u);
    QCOMPARE(serial_number(tab), QStringLiteral("202407154711"));
    QCOMPARE(part_number(tab), QStringLiteral("AS150 R1.07"));

    tab.Lost_Focus();
    tab.COM_Disconnect();
}

void Dev_Info_Display_Test::chain_without_worker_starts_again_from_the_first_read()
{
    DevInfoDisplay tab;
    Worker_Rig rig;
    QString error;
    QVERIFY2(rig.start(&error), qPrintable(error));
    Sent_Log sent(rig.resource);

    // The worker goes away as soon as SN2 is on the line: the chains stop
    // wherever they are.
    const auto stop = connect(
        rig.resource, &COM_Resource::Tx_Packet, &tab,
        [&tab](QSharedPointer<Quillon::Packet_Class> p) {
            if (p->toQString().endsWith(QLatin1String("SN2")))
                tab.COM_Disconnect();
        },
        Qt::QueuedConnection);
    tab.COM_Connect(rig.worker);
    tab.Has_Focus();
    QTRY_VERIFY(sent.codes.contains(QStringLiteral("SN2")));
    QTest::qWait(300);
    QCOMPARE(sent.codes.filter(QStringLiteral("SN")), QStringList({"SN1", "SN2"}));
    QCOMPARE(serial_number(tab), QStringLiteral("202407"));
    disconnect(stop);

    // The next connection reads everything from the first request on.
    sent.codes.clear();
    tab.COM_Connect(rig.worker);
    tab.Has_Focus();
    QTRY_COMPARE(sent.codes.size(), 6);
    QCOMPARE(sent.codes.filter(QStringLiteral("SN")), QStringList({"SN1", "SN2", "SN3", "SN4"}));
    QTRY_COMPARE(serial_number(tab), QStringLiteral("202407154711"));
    QTRY_COMPARE(part_number(tab), QStringLiteral("AS150 R1.07"));
    tab.COM_Disconnect();
}

VANTOR_TEST_MAIN(Dev_Info_Display_Test)
#include "tst_dev_info_display.moc"
