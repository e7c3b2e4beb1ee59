// Every request class of the catalogue, built by its class name through the
// library's one public header, against the bytes it puts on the line and the
// answers it accepts; every value decoder at its boundaries.

#include <Quillon.h>

#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>

using namespace Quillon;

using Factory = std::function<Packet_Class*()>;
Q_DECLARE_METATYPE(Factory)

namespace {

enum Filter_Kind
{
    Get_Filter,
    System_Filter,
    OK_Filter
};

void feed(Packet_Class* packet, QByteArray body)
{
    packet->checkData(body.data());
}

// A received body handed to a response of the class its code names.
std::unique_ptr<Packet_Class> decode(const QByteArray& body)
{
    std::unique_ptr<Packet_Class> packet(
        body.startsWith('<') ? Create_Response_Packet(Packet_Resp_System::packet_type)
                             : Create_Response_Packet(Response_Type_Of(body.left(3).constData())));
    if (packet)
        feed(packet.get(), body);
    return packet;
}

} // namespace

class Packets : public QObject
{
    Q_OBJECT

private slots:
    void requests_data();
    void requests();
    void responses_data();
    void responses();
    void system_texts_data();
    void system_texts();
    void values_written();
    void sequences_hex_and_entry_points();
};

void Packets::requests_data()
{
    QTest::addColumn<Factory>("factory");
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<uint>("timeout");
    QTest::addColumn<int>("filter");
    // A Get's valid and invalid answer.
    QTest::addColumn<QByteArray>("good");
    QTest::addColumn<QByteArray>("bad");

#define ROW(family, code, type, body, timeout, filter, good, bad)                                  \
    QTest::newRow(#family " " #code)                                                               \
        << Factory([] { return new Packet_##family##_##code; }) << type << QByteArray(body)        \
        << timeout << int(filter) << QByteArray(good) << QByteArray(bad);
#define GET(code, type, good, bad)                                                                 \
    ROW(Get, code, type, "get " #code, 100u, Get_Filter, #code " " good, #code " " bad)
#define GO(code, type) ROW(Go, code, type, "go " #code, 300u, System_Filter, "", "")
#define SET(code, type, body, filter) ROW(Set, code, type, body, 300u, filter, "", "")
    // clang-format off
    GET(ALG, 0, "00999", "01000") GET(ALO, 1, "00000", "01000") GET(ALR, 2, "00123", "65535")
    GET(BAH, 3, "00001", "00002") GET(BPD, 4, "00000", "10000") GET(CES, 5, "01024", "01025")
    GET(CPT, 6, "65535", "65536") GET(CSR, 7, "00000", "0000x") GET(CSS, 8, "00001", "00011")
    GET(DSA, 9, "00102", "-0001") GET(DSL, 10, "00001", "00003") GET(DSH, 11, "00000", "01000")
    GET(DSS, 12, "00001", "1000a") GET(FM1, 13, "10000", "01x01") GET(FM2, 14, "00010", "00200")
    GET(FM3, 15, "11111", "2222x") GET(IGT, 16, "00042", "4x000") GET(IGV, 17, "00512", "99999")
    GET(LHC, 18, "00500", "x0500") GET(LHD, 19, "00600", "70000") GET(LOL, 20, "00001", "00009")
    GET(MOD, 21, "00005", "00006") GET(OAT, 22, "65535", "65536") GET(OTC, 23, "00007", "-0007")
    GET(PRT, 24, "ABCDE", "") GET(PSA, 25, "00921", "0921x") GET(PXV, 26, "00000", "99999")
    GET(REV, 27, "1.2 A", "") GET(RHC, 28, "00400", "4000x") GET(RHD, 29, "00401", "a0401")
    GET(RVS, 30, "00000", "00100") GET(SN1, 31, "65535", "99999") GET(SN2, 32, "00001", "1e300")
    GET(SN3, 33, "00002", "+-000") GET(SN4, 34, "00003", "0x003")
    GO(CTS, 71) GO(LSP, 72) GO(MCN, 73) GO(MCP, 74) GO(MDN, 75) GO(MDP, 76) GO(RDH, 77)
    SET(ALG, 78, "set ALG 000", System_Filter) SET(ALO, 79, "set ALO 000", System_Filter)
    SET(ALR, 80, "set ALR 000", System_Filter) SET(BPD, 81, "set BPD 000", OK_Filter)
    SET(SLP, 82, "set SLP", OK_Filter) SET(SRH, 83, "set SRH", OK_Filter)
    // clang-format on
#undef SET
#undef GO
#undef GET
#undef ROW
}

void Packets::requests()
{
    QFETCH(Factory, factory);
    QFETCH(int, type);
    QFETCH(QByteArray, body);
    QFETCH(uint, timeout);
    QFETCH(int, filter);
    QFETCH(QByteArray, good);
    QFETCH(QByteArray, bad);

    std::unique_ptr<Packet_Class> packet(factory());
    QVERIFY(!packet->Valid && !packet->getData() && packet->Response_Filter);
    QCOMPARE(packet->property("ID").toInt(), type);
    QCOMPARE(packet->Response_Timeout(), timeout);
    QVERIFY(packet->AllocateData());
    QVERIFY(packet->Valid);
    QCOMPARE(QByteArray(packet->getData(), packet->getLength()), body);
    QCOMPARE(packet->toQString(), QString::fromLatin1(body));

    // Which system answers end the request.
    QCOMPARE(packet->Response_Filter(decode("<OK>").get()), filter != Get_Filter);
    QCOMPARE(packet->Response_Filter(decode("<FAIL 1>").get()), filter == System_Filter);
    QVERIFY(!packet->Response_Filter(decode("SEC 00001").get()));
    if (filter != Get_Filter)
        return;
    // A Get takes its own command's answer, from the class its code names,
    // and only when the value decoded.
    const auto answer = decode(good);
    QVERIFY2(answer->Valid, good.constData());
    QCOMPARE(int(answer->getLength()), 9);
    QVERIFY(packet->Response_Filter(answer.get()));
    if (bad.size() > 4)
        QVERIFY2(!packet->Response_Filter(decode(bad).get()), bad.constData());
}

void Packets::responses_data()
{
    QTest::addColumn<QByteArray>("earlier"); // decoded first into the same packet
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QVariant>("expected");

    auto row = [](const char* earlier, QByteArray body, bool valid, const char* property,
                  QVariant expected) {
        QTest::newRow(QByteArray(earlier).append(' ').append(body).append(' ').append(property))
            << QByteArray(earlier) << body << valid << QString::fromLatin1(property) << expected;
    };
    // clang-format off
    row("", "SN1 65535", true, "Raw_Value", 65535); row("", "SN1 99999", false, "Raw_Value", 0);
    row("", "DSA 00102", true, "Angle", (102 - 102.3) / 9.1044 - 45.0);
    row("", "PXV 00000", true, "Pressure", -102.3 / 5.462666);
    row("", "IGV 00512", true, "Voltage", 12.75); row("", "BAH 00001", true, "Value", true);
    row("", "BAH 00002", false, "Value", false); row("", "BAH 10001", false, "Value", true);
    // The bypass setting reads inverted; a digit that did not decode is not.
    row("", "BPD 00000", true, "Value", true); row("", "BPD 00001", true, "Value", false);
    row("", "BPD 00002", false, "Value", false); row("", "CES 00512", true, "Duty_cycle", 0.5);
    row("", "CES 01025", false, "Duty_cycle", 0.0);
    row("", "MOD 00003", true, "Mode_name", "Compressor test");
    row("", "MOD 00004", true, "Mode_name", ""); row("", "MOD 00006", false, "Mode_name", "");
    row("", "MOD 00002", true, "Mode", 2);
    // Compressor temperature at the curve's seams.
    row("", "OAT 00000", true, "Temp_C", -60.0); row("", "OAT 00007", true, "Temp_F", -40.0);
    row("", "OAT 00012", true, "Temp_C", 5 * 1.667 - 40);
    row("", "OAT 00065", true, "Temp_F", 32.0);
    row("", "OAT 00869", true, "Temp_C", 38 * 0.256 + 110);
    row("", "OAT 65535", true, "Temp_C", 120.0);
    // Fault groups: body bytes 8, 7, 6, 5 in property order; byte 4 unused.
    row("", "FM1 00001", true, "Fault_DriverSensor", true);
    row("", "FM1 01000", true, "Fault_CompCooloff", true);
    row("", "FM1 10000", true, "Fault_DriverSensor", false);
    row("", "FM2 00010", true, "Fault_AirLeak", true);
    row("", "FM3 00100", true, "Fault_ExhaustSolTimeout", true);
    row("", "PRT ABCDE", true, "Text", "ABCDE");
    row("", QByteArray("PRT ABCD\0", 9), true, "Text", "ABCD");
    // Reset challenge: digits reversed, each masked with its new position.
    row("", "ALR 00987", true, "Reset_Code", 581); row("", "ALG 00001", true, "Reset_Code", 100);
    row("", "ALG 01000", false, "Raw_Value", 1000);
    // A body that does not decode keeps the last good derived value ...
    row("PXV 00922", "PXV 9x922", false, "Pressure", (922 - 102.3) / 5.462666);
    row("CES 00512", "CES 01025", false, "Duty_cycle", 0.5);
    // ... and fault decoding stops at the first bad flag, keeping the rest.
    row("FM1 11111", "FM1 00x00", false, "Fault_CompCooloff", false);
    row("FM1 11111", "FM1 00x00", false, "Fault_DriverSensor", true);
    // clang-format on
}

void Packets::responses()
{
    QFETCH(QByteArray, earlier);
    QFETCH(QByteArray, body);
    QFETCH(bool, valid);
    QFETCH(QString, property);
    QFETCH(QVariant, expected);

    auto packet = decode(earlier.isEmpty() ? body : earlier);
    QVERIFY(packet);
    QVERIFY(!packet->Response_Filter);
    QSignalSpy changed(packet.get(), &Packet_Class::packet_dataChanged);
    feed(packet.get(), body);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(packet->property("Valid").toBool(), valid);
    const QVariant value = packet->property(property.toLatin1().constData());
    QVERIFY2(value.isValid(), "no such property");
    if (expected.userType() == QMetaType::Double)
        QVERIFY2(std::fabs(value.toDouble() - expected.toDouble()) < 1e-9,
                 qPrintable(value.toString()));
    else
        QCOMPARE(value.toString(), expected.toString());
}

void Packets::system_texts_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("OK") << QByteArray("<OK>") << true;
    QTest::newRow("empty") << QByteArray("<>") << true;
    QTest::newRow("verdict") << QByteArray("<TEST DONE>") << true;
    QTest::newRow("second <") << QByteArray("<O<K>") << false;
    QTest::newRow("after >") << QByteArray("<OK>x") << false;
    QTest::newRow("no <") << QByteArray("OK>") << false;
}

void Packets::system_texts()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    std::unique_ptr<Packet_Class> r(new Packet_Resp_System);
    feed(r.get(), text);
    QCOMPARE(r->Valid, valid);
    QCOMPARE(r->toQString(), QString::fromLatin1(text));
    QCOMPARE(System_Response_Filter(r.get()), valid);
    QCOMPARE(OK_Response_Filter(r.get()), valid && text == "<OK>");
    QVERIFY(!System_Response_Filter(decode("MOD 00001").get()));
}

void Packets::values_written()
{
    Packet_Set_ALG alg;
    QVERIFY(alg.AllocateData());
    alg.setValue(999);
    QCOMPARE(alg.toQString(), QStringLiteral("set ALG 999"));
    QCOMPARE(alg.Value(), quint16(999));
    alg.setValue(1000);
    QVERIFY(!alg.Valid);
    QCOMPARE(alg.toQString(), QStringLiteral("set ALG 999"));
    QVERIFY(alg.setProperty("Value", 5));
    QVERIFY(alg.Valid);
    QCOMPARE(alg.toQString(), QStringLiteral("set ALG 005"));

    // The bypass setting is sent inverted, through the property too.
    Packet_Set_BPD bpd;
    QVERIFY(bpd.AllocateData());
    bpd.setValue(false);
    QCOMPARE(bpd.toQString(), QStringLiteral("set BPD 001"));
    QVERIFY(bpd.setProperty("Value", true));
    QCOMPARE(bpd.toQString(), QStringLiteral("set BPD 000"));
}

void Packets::sequences_hex_and_entry_points()
{
    Packet_Get_DSA get;
    Packet_Resp_DSA resp;
    Packet_Class::Sent_Packet_Count = 65535;
    Packet_Class::Received_Packet_Count = 7;
    get.Update_Send_Sequences();
    QCOMPARE(Packet_Class::Sent_Packet_Count, quint16(0)); // wraps at 65536
    QCOMPARE(get.Sequence, quint16(7));
    resp.Update_Recv_Sequences();
    QCOMPARE(resp.Sequence, quint16(8));

    QCOMPARE(ToHex(char(0xA5)), QStringLiteral("A5"));
    char out[3] = {0, 0, 'x'};
    ToHex(out, char(0x0F));
    QCOMPARE(QByteArray(out, 3), QByteArray("0Fx"));

    QCOMPARE(getfullversion(), QStringLiteral("1.0.1503231043"));
    const int id = init();
    QCOMPARE(init(), id);
    QCOMPARE(QMetaType::type("Quillon::Disconnect_Enum"), id);
    QCOMPARE(QMetaType::sizeOf(id), 1);
    // The handle converts to a plain object pointer.
    Packet_Shared_Ptr handle(new Packet_Get_DSA);
    QCOMPARE(QVariant::fromValue(handle).value<QObject*>(), static_cast<QObject*>(handle.data()));
}

QTEST_GUILESS_MAIN(Packets)
#include "tst_packets.moc"
