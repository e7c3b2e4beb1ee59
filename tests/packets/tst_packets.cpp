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

// Which answers end a request: its Get's value, any system text, or "<OK>".
constexpr int Get_Filter = 0, System_Filter = 1, OK_Filter = 2;

// A received body handed to a response of the class its code names.
std::unique_ptr<Packet_Class> decode(const QByteArray& body)
{
    const int type = Response_Type_Of(body.left(3).constData());
    std::unique_ptr<Packet_Class> packet(
        Create_Response_Packet(type < 0 ? int(Packet_Resp_System::packet_type) : type));
    if (packet)
        packet->checkData(QByteArray(body).data());
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
    void values_sequences_and_entry_points();
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
    QVERIFY(packet->AllocateData() && packet->Valid);
    QCOMPARE(QByteArray(packet->getData(), packet->getLength()), body);

    // Which system answers end it: only valid texts, for some only "<OK>".
    QCOMPARE(packet->Response_Filter(decode("<OK>").get()), filter != Get_Filter);
    QCOMPARE(packet->Response_Filter(decode("<FAIL 1>").get()), filter == System_Filter);
    for (const char* other : {"SEC 00001", "<O<K>", "<OK>x", "OK>"})
        QVERIFY2(!packet->Response_Filter(decode(other).get()), other);
    if (filter != Get_Filter)
        return;
    // A Get takes its own command's answer, from the class its code names,
    // and only when the value decoded.
    QVERIFY2(packet->Response_Filter(decode(good).get()), good.constData());
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
    row("", "SN1 99999", false, "Raw_Value", 0); row("", "IGV 00512", true, "Voltage", 12.75);
    row("", "DSA 00102", true, "Angle", (102 - 102.3) / 9.1044 - 45.0);
    row("", "PXV 00000", true, "Pressure", -102.3 / 5.462666);
    row("", "BAH 00002", false, "Value", false); row("", "BAH 10001", false, "Value", true);
    // The bypass setting reads inverted; a digit that did not decode is not.
    row("", "BPD 00000", true, "Value", true); row("", "BPD 00001", true, "Value", false);
    row("", "BPD 00002", false, "Value", false);
    row("", "MOD 00003", true, "Mode_name", "Compressor test");
    row("", "MOD 00004", true, "Mode_name", ""); row("", "CES 00512", true, "Duty_cycle", 0.5);
    // Compressor temperature at the curve's seams.
    row("", "OAT 00007", true, "Temp_F", -40.0); row("", "OAT 65535", true, "Temp_C", 120.0);
    row("", "OAT 00869", true, "Temp_C", 38 * 0.256 + 110);
    // Fault groups: body bytes 8, 7, 6, 5 in property order; byte 4 unused.
    row("", "FM1 00001", true, "Fault_DriverSensor", true);
    row("", "FM1 10000", true, "Fault_DriverSensor", false);
    row("", "FM3 00100", true, "Fault_ExhaustSolTimeout", true);
    row("", QByteArray("PRT ABCD\0", 9), true, "Text", "ABCD");
    // Reset challenge: digits reversed, each masked with its new position.
    row("", "ALR 00987", true, "Reset_Code", 581); row("", "ALG 00001", true, "Reset_Code", 100);
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
    QSignalSpy changed(packet.get(), &Packet_Class::packet_dataChanged);
    packet->checkData(body.data());
    QVERIFY(changed.count() == 1 && packet->property("Valid").toBool() == valid);
    const QVariant value = packet->property(property.toLatin1().constData());
    if (expected.userType() == QMetaType::Double)
        QVERIFY2(std::fabs(value.toDouble() - expected.toDouble()) < 1e-9,
                 qPrintable(value.toString()));
    else
        QCOMPARE(value.toString(), expected.toString());
}

void Packets::values_sequences_and_entry_points()
{
    Packet_Set_ALG alg;
    Packet_Set_BPD bpd;
    QVERIFY(alg.AllocateData() && bpd.AllocateData());
    alg.setValue(999);
    QCOMPARE(alg.toQString(), QStringLiteral("set ALG 999"));
    alg.setValue(1000); // out of range: marked invalid, the digits kept
    QVERIFY(!alg.Valid && alg.Value() == 999);
    QVERIFY(alg.setProperty("Value", 5) && alg.Valid);
    QCOMPARE(alg.toQString(), QStringLiteral("set ALG 005"));
    // The bypass setting is sent inverted, through the property too.
    QVERIFY(bpd.setProperty("Value", false));
    QCOMPARE(bpd.toQString(), QStringLiteral("set BPD 001"));

    Packet_Class::Sent_Packet_Count = 65535;
    Packet_Class::Received_Packet_Count = 7;
    alg.Update_Send_Sequences();
    bpd.Update_Recv_Sequences();
    QVERIFY(Packet_Class::Sent_Packet_Count == 0 && alg.Sequence == 7 && bpd.Sequence == 8);

    char out[3] = {0, 0, 'x'};
    ToHex(out, char(0x0F));
    QVERIFY(ToHex(char(0xA5)) == "A5" && QByteArray(out, 3) == "0Fx");
    const int id = init();
    QVERIFY(init() == id && QMetaType::type("Quillon::Disconnect_Enum") == id);
    // The handle converts to a plain object pointer.
    Packet_Shared_Ptr handle(new Packet_Get_DSA);
    QCOMPARE(QVariant::fromValue(handle).value<QObject*>(), static_cast<QObject*>(handle.data()));
}

QTEST_GUILESS_MAIN(Packets)
#include "tst_packets.moc"
