// Decoding of received bodies: every value family and per-command decoder at
// its boundaries, read back through the packets' properties.

#include <Quillon.h>

#include <QtTest>

#include <cmath>
#include <memory>

using namespace Quillon;

namespace {

std::unique_ptr<Packet_Class> decode(const QByteArray& body)
{
    const int type = Response_Type_Of(body.left(3).constData());
    std::unique_ptr<Packet_Class> packet(Create_Response_Packet(type));
    if (packet) {
        QByteArray copy = body;
        packet->checkData(copy.data());
    }
    return packet;
}

} // namespace

class Response_Packets : public QObject
{
    Q_OBJECT

private slots:
    void decoders_data();
    void decoders();
    void derived_values_keep_last_good_value();
    void fault_decoding_stops_at_first_bad_flag();
    void text_field_cut_at_nul();
    void reset_code_transformation();
    void every_code_has_its_class();
    void checksum_of_a_value_response();
    void new_body_releases_old_and_notifies();
};

void Response_Packets::decoders_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QVariant>("expected");

    auto row = [](const char* body, bool valid, const char* property, QVariant expected) {
        QTest::newRow(QByteArray(body).append(' ').append(property).constData())
            << QByteArray(body) << valid << QString::fromLatin1(property) << expected;
    };
    // Unsigned fields.
    row("SN1 65535", true, "Raw_Value", 65535);
    row("SN1 99999", false, "Raw_Value", 0);
    row("CPT 00000", true, "Raw_Value", 0);
    row("SEC 00042", true, "Raw_Value", 42);
    // Angles, pressure, voltage.
    row("DSA 00102", true, "Angle", (102 - 102.3) / 9.1044 - 45.0);
    row("PSA 00921", true, "Angle", (921 - 102.3) / 9.1044 - 45.0);
    row("RHD 00000", true, "Angle", -102.3 / 9.1044 - 45.0);
    row("PXV 00000", true, "Pressure", -102.3 / 5.462666);
    row("PXV 00922", true, "Pressure", (922 - 102.3) / 5.462666);
    row("IGV 00512", true, "Voltage", 12.75);
    row("IGV 00000", true, "Voltage", 0.0);
    // Booleans, and the inverted bypass setting.
    row("BAH 00001", true, "Value", true);
    row("BAH 00000", true, "Value", false);
    row("BAH 00002", false, "Value", false);
    row("BAH 10001", false, "Value", true);
    row("BPD 00000", true, "Value", true);
    row("BPD 00001", true, "Value", false);
    // Exhaust duty cycle.
    row("CES 00000", true, "Duty_cycle", 0.0);
    row("CES 00512", true, "Duty_cycle", 0.5);
    row("CES 01024", true, "Duty_cycle", 1.0);
    row("CES 01025", false, "Duty_cycle", 0.0);
    // Operating mode.
    row("MOD 00000", true, "Mode_name", "Idle");
    row("MOD 00001", true, "Mode_name", "Lowering");
    row("MOD 00002", true, "Mode_name", "Raising");
    row("MOD 00003", true, "Mode_name", "Compressor test");
    row("MOD 00004", true, "Mode_name", "");
    row("MOD 00005", true, "Mode_name", "");
    row("MOD 00006", false, "Mode_name", "");
    row("MOD 00002", true, "Mode", 2);
    // Compressor temperature at the table's seams.
    row("OAT 00000", true, "Temp_C", -60.0);
    row("OAT 00006", true, "Temp_C", 6 * 2.857 - 60);
    row("OAT 00007", true, "Temp_C", -40.0);
    row("OAT 00007", true, "Temp_F", -40.0);
    row("OAT 00012", true, "Temp_C", 5 * 1.667 - 40);
    row("OAT 00022", true, "Temp_C", -21.0);
    row("OAT 00065", true, "Temp_C", 0.0);
    row("OAT 00065", true, "Temp_F", 32.0);
    row("OAT 00101", true, "Temp_C", 36 * 0.27);
    row("OAT 00220", true, "Temp_C", 30.0);
    row("OAT 00869", true, "Temp_C", 38 * 0.256 + 110);
    row("OAT 00870", true, "Temp_C", 120.0);
    row("OAT 65535", true, "Temp_C", 120.0);
    row("OAT 65535", true, "Temp_F", 248.0);
    // Fault groups: body bytes 8, 7, 6, 5 in property order; byte 4 unused.
    row("FM1 00001", true, "Fault_DriverSensor", true);
    row("FM1 00010", true, "Fault_CurbSensor", true);
    row("FM1 00100", true, "Fault_PressureSensor", true);
    row("FM1 01000", true, "Fault_CompCooloff", true);
    row("FM1 10000", true, "Fault_DriverSensor", false);
    row("FM1 10000", true, "Fault_CompCooloff", false);
    row("FM2 00010", true, "Fault_AirLeak", true);
    row("FM2 00010", true, "Fault_CompressorTimeout", false);
    row("FM2 00010", true, "Fault_OverPressure", false);
    row("FM2 00010", true, "Fault_DriverSolTimeout", false);
    row("FM3 00001", true, "Fault_CurbSolTimeout", true);
    row("FM3 00010", true, "Fault_OverTemp", true);
    row("FM3 00100", true, "Fault_ExhaustSolTimeout", true);
    row("FM3 01000", true, "Fault_ReservoirSolTimeout", true);
    // Texts and reset challenges.
    row("PRT ABCDE", true, "Text", "ABCDE");
    row("REV 1.2 A", true, "Text", "1.2 A");
    row("ALG 00999", true, "Reset_Code", 991);
    row("ALG 01000", false, "Raw_Value", 1000);
}

void Response_Packets::decoders()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, valid);
    QFETCH(QString, property);
    QFETCH(QVariant, expected);

    auto packet = decode(body);
    QVERIFY(packet);
    QCOMPARE(packet->Valid, valid);
    QCOMPARE(packet->property("Valid").toBool(), valid);
    const QVariant value = packet->property(property.toLatin1().constData());
    QVERIFY2(value.isValid(), "no such property");
    if (expected.userType() == QMetaType::Double) {
        const double got = value.toDouble();
        QVERIFY2(std::fabs(got - expected.toDouble()) < 1e-9,
                 qPrintable(QString::number(got, 'g', 17)));
    } else if (expected.userType() == QMetaType::Int) {
        QCOMPARE(value.toInt(), expected.toInt());
    } else {
        QCOMPARE(value.toString(), expected.toString());
    }
}

void Response_Packets::derived_values_keep_last_good_value()
{
    Packet_Resp_PXV pxv;
    QByteArray good("PXV 00922"), bad("PXV 9x922");
    pxv.checkData(good.data());
    const double pressure = pxv.Pressure();
    pxv.checkData(bad.data());
    QVERIFY(!pxv.Valid);
    QCOMPARE(pxv.Pressure(), pressure);

    Packet_Resp_CES ces;
    QByteArray half("CES 00512"), over("CES 01025");
    ces.checkData(half.data());
    ces.checkData(over.data());
    QVERIFY(!ces.Valid);
    QCOMPARE(ces.Duty_cycle(), 0.5);
    QCOMPARE(ces.Raw_Value(), quint16(1025));
}

void Response_Packets::fault_decoding_stops_at_first_bad_flag()
{
    Packet_Resp_FM1 fm1;
    QByteArray all("FM1 11111"), broken("FM1 01x01");
    fm1.checkData(all.data());
    fm1.checkData(broken.data());
    QVERIFY(!fm1.Valid);
    // Flags 0 and 1 were decoded again before the "x"; 2 to 4 keep their values.
    QCOMPARE(fm1.Flags[0], false);
    QCOMPARE(fm1.Flags[1], true);
    QCOMPARE(fm1.Flags[2], true);
    QCOMPARE(fm1.Fault_DriverSensor(), true);
}

void Response_Packets::text_field_cut_at_nul()
{
    Packet_Resp_PRT prt;
    char body[] = {'P', 'R', 'T', ' ', 'A', 'B', 'C', 'D', '\0', '\0'};
    prt.checkData(body);
    QVERIFY(prt.Valid);
    QCOMPARE(prt.Text(), QStringLiteral("ABCD"));
    QCOMPARE(prt.toQString(), QStringLiteral("PRT ABCD"));
}

void Response_Packets::reset_code_transformation()
{
    // Reverse the digits, mask each with its new position.
    QCOMPARE(Reset_Code_For(987), quint16(581));
    QCOMPARE(Reset_Code_For(0), quint16(0));
    QCOMPARE(Reset_Code_For(1), quint16(100));
    QCOMPARE(Reset_Code_For(100), quint16(1));
    for (quint16 c = 0; c < 1000; ++c)
        QVERIFY(Reset_Code_For(c) < 1000);

    Packet_Resp_ALR alr;
    QByteArray body("ALR 00987");
    alr.checkData(body.data());
    QVERIFY(alr.Valid);
    QCOMPARE(alr.Raw_Value(), quint16(987));
    QCOMPARE(alr.Reset_Code(), quint16(581));

    // The code goes into the matching Set, which puts three digits on the line.
    Packet_Set_ALR set;
    QVERIFY(set.AllocateData());
    set.setValue(alr.Reset_Code());
    QCOMPARE(set.toQString(), QStringLiteral("set ALR 581"));
}

void Response_Packets::every_code_has_its_class()
{
    const char* const codes[] = {"ALG", "ALO", "ALR", "BAH", "BPD", "CES", "CPT", "CSR", "CSS",
                                 "DSA", "DSL", "DSH", "DSS", "FM1", "FM2", "FM3", "IGT", "IGV",
                                 "LHC", "LHD", "LOL", "MOD", "OAT", "OTC", "PRT", "PSA", "PXV",
                                 "REV", "RHC", "RHD", "RVS", "SEC", "SN1", "SN2", "SN3", "SN4"};
    int expected_type = 35;
    for (const char* code : codes) {
        QCOMPARE(Response_Type_Of(code), expected_type);
        std::unique_ptr<Packet_Class> packet(Create_Response_Packet(expected_type));
        QVERIFY(packet);
        QCOMPARE(packet->ID(), expected_type);
        QCOMPARE(int(packet->getLength()), 9);
        QVERIFY(packet->Response_Filter == nullptr);
        ++expected_type;
    }
    QCOMPARE(Response_Type_Of("mod"), -1);
    QCOMPARE(Response_Type_Of("XYZ"), -1);
    QVERIFY(!Create_Response_Packet(34));
    QVERIFY(!Create_Response_Packet(71));
    std::unique_ptr<Packet_Class> system(Create_Response_Packet(84));
    QVERIFY(qobject_cast<Packet_Resp_System*>(system.get()));
}

void Response_Packets::checksum_of_a_value_response()
{
    QCOMPARE(int(Calculate_CRC_Class::Of_Body("MOD 00001")), 0x1A);
    Calculate_CRC_Class sum;
    sum.Add("OD 00001", 8);
    QCOMPARE(int(sum.Value()), 0x1A);
    sum.Clear();
    QCOMPARE(int(sum.Value()), 0);
}

void Response_Packets::new_body_releases_old_and_notifies()
{
    Packet_Resp_IGV igv;
    QSignalSpy changed(&igv, &Packet_Class::packet_dataChanged);
    QByteArray first("IGV 00512"), second("IGV 00000");
    igv.checkData(first.data());
    const char* kept = igv.getData();
    QVERIFY(kept != first.data()); // the packet keeps a copy of its own
    igv.checkData(second.data());
    QCOMPARE(changed.count(), 2);
    QCOMPARE(igv.toQString(), QStringLiteral("IGV 00000"));
}

QTEST_GUILESS_MAIN(Response_Packets)
#include "tst_response_packets.moc"
