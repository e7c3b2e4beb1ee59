// Every request class of the catalogue, built by its class name through the
// library's one public header, against the bytes it must put on the line.

#include <Quillon.h>

#include <QtTest>

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

template <class T> Factory make()
{
    return [] { return new T; };
}

// A received body handed to a fresh response packet.
std::unique_ptr<Packet_Class> received(Packet_Class* packet, const char* body)
{
    QByteArray copy(body);
    packet->checkData(copy.data());
    return std::unique_ptr<Packet_Class>(packet);
}

} // namespace

class Request_Packets : public QObject
{
    Q_OBJECT

private slots:
    void line_bytes_data();
    void line_bytes();
    void get_filter_takes_only_its_valid_answer_data();
    void get_filter_takes_only_its_valid_answer();
    void system_filters();
    void set_uint_value_range();
    void set_bool_and_bpd_inversion();
    void sequences_count_sent_and_received();
    void to_hex();
};

void Request_Packets::line_bytes_data()
{
    QTest::addColumn<Factory>("factory");
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<uint>("timeout");
    QTest::addColumn<int>("filter");

#define GET(code, type)                                                                            \
    QTest::newRow("get " #code) << make<Packet_Get_##code>() << type << QByteArray("get " #code)   \
                                << 100u << int(Get_Filter);
    GET(ALG, 0)
        GET(ALO, 1) GET(ALR, 2) GET(BAH, 3) GET(BPD, 4) GET(CES, 5) GET(CPT, 6) GET(CSR, 7)
            GET(CSS, 8) GET(DSA, 9) GET(DSL, 10) GET(DSH, 11) GET(DSS, 12) GET(FM1, 13) GET(FM2, 14)
                GET(FM3, 15) GET(IGT, 16) GET(IGV, 17) GET(LHC, 18) GET(LHD, 19) GET(LOL, 20)
                    GET(MOD, 21) GET(OAT, 22) GET(OTC, 23) GET(PRT, 24) GET(PSA, 25) GET(PXV, 26)
                        GET(REV, 27) GET(RHC, 28) GET(RHD, 29) GET(RVS, 30) GET(SN1, 31)
                            GET(SN2, 32) GET(SN3, 33) GET(SN4, 34)
#undef GET
#define GO(code, type)                                                                             \
    QTest::newRow("go " #code) << make<Packet_Go_##code>() << type << QByteArray("go " #code)      \
                               << 300u << int(System_Filter);
                                GO(CTS, 71) GO(LSP, 72) GO(MCN, 73) GO(MCP, 74) GO(MDN, 75)
                                    GO(MDP, 76) GO(RDH, 77)
#undef GO
                                        QTest::newRow("set ALG")
        << make<Packet_Set_ALG>() << 78 << QByteArray("set ALG 000") << 300u << int(System_Filter);
    QTest::newRow("set ALO") << make<Packet_Set_ALO>() << 79 << QByteArray("set ALO 000") << 300u
                             << int(System_Filter);
    QTest::newRow("set ALR") << make<Packet_Set_ALR>() << 80 << QByteArray("set ALR 000") << 300u
                             << int(System_Filter);
    QTest::newRow("set BPD") << make<Packet_Set_BPD>() << 81 << QByteArray("set BPD 000") << 300u
                             << int(OK_Filter);
    QTest::newRow("set SLP") << make<Packet_Set_SLP>() << 82 << QByteArray("set SLP") << 300u
                             << int(OK_Filter);
    QTest::newRow("set SRH") << make<Packet_Set_SRH>() << 83 << QByteArray("set SRH") << 300u
                             << int(OK_Filter);
}

void Request_Packets::line_bytes()
{
    QFETCH(Factory, factory);
    QFETCH(int, type);
    QFETCH(QByteArray, body);
    QFETCH(uint, timeout);
    QFETCH(int, filter);

    std::unique_ptr<Packet_Class> packet(factory());
    QVERIFY(!packet->Valid);
    QVERIFY(packet->getData() == nullptr);
    QVERIFY(packet->Response_Filter != nullptr);
    QCOMPARE(packet->ID(), type);
    QCOMPARE(packet->property("ID").toInt(), type);
    QCOMPARE(packet->Response_Timeout(), timeout);

    QVERIFY(packet->AllocateData());
    QVERIFY(packet->Valid);
    QCOMPARE(int(packet->getLength()), body.size());
    QCOMPARE(QByteArray(packet->getData(), packet->getLength()), body);
    QCOMPARE(packet->toQString(), QString::fromLatin1(body));

    Packet_Class* p = packet.get();
    const char* name = nullptr;
    if (auto get = qobject_cast<Packet_Get_Class*>(p))
        name = get->getName();
    else if (auto go = qobject_cast<Packet_Go_Class*>(p))
        name = go->getName();
    else if (auto set = qobject_cast<Packet_Set_Short_Class*>(p))
        name = set->getName();
    else if (auto set = qobject_cast<Packet_Set_Long_Class*>(p))
        name = set->getName();
    QVERIFY(name);
    QCOMPARE(QByteArray(name), body.mid(body.indexOf(' ') + 1, 3));

    // Which kind of answer ends the request.
    auto ok = received(new Packet_Resp_System, "<OK>");
    auto fail = received(new Packet_Resp_System, "<FAIL 1>");
    const bool takes_ok = packet->Response_Filter(ok.get());
    const bool takes_fail = packet->Response_Filter(fail.get());
    QCOMPARE(takes_ok, filter != Get_Filter);
    QCOMPARE(takes_fail, filter == System_Filter);

    // Resetting the filter installs the same one again.
    const Response_Filter_Type installed = packet->Response_Filter;
    packet->Response_Filter = nullptr;
    packet->setResponse_FiltertoDefault();
    QVERIFY(packet->Response_Filter == installed);
}

void Request_Packets::get_filter_takes_only_its_valid_answer_data()
{
    QTest::addColumn<Factory>("request");
    QTest::addColumn<Factory>("response");
    QTest::addColumn<QByteArray>("valid_body");
    QTest::addColumn<QByteArray>("invalid_body");

#define ROW(code, good, bad)                                                                       \
    QTest::newRow(#code) << make<Packet_Get_##code>() << make<Packet_Resp_##code>()                \
                         << QByteArray(#code " " good) << QByteArray(#code " " bad);
    ROW(ALG, "00999", "01000")
    ROW(ALO, "00000", "01000") ROW(ALR, "00123", "65535") ROW(BAH, "00001", "00002")
        ROW(BPD, "00000", "10000") ROW(CES, "01024", "01025") ROW(CPT, "65535", "65536")
            ROW(CSR, "00000", "0000x") ROW(CSS, "00001", "00011") ROW(DSA, "00102", "-0001")
                ROW(DSL, "00001", "00003") ROW(DSH, "00000", "01000") ROW(DSS, "00001", "1000a")
                    ROW(FM1, "10000", "01x01") ROW(FM2, "00010", "00200") ROW(FM3, "11111", "2222x")
                        ROW(IGT, "00042", "4x000") ROW(IGV, "00512", "99999")
                            ROW(LHC, "00500", "x0500") ROW(LHD, "00600", "70000")
                                ROW(LOL, "00001", "00009") ROW(MOD, "00005", "00006")
                                    ROW(OAT, "65535", "65536") ROW(OTC, "00007", "-0007")
                                        ROW(PSA, "00921", "0921x") ROW(PXV, "00000", "99999")
                                            ROW(RHC, "00400", "4000x") ROW(RHD, "00401", "a0401")
                                                ROW(RVS, "00000", "00100")
                                                    ROW(SN1, "65535", "99999")
                                                        ROW(SN2, "00001", "1e300")
                                                            ROW(SN3, "00002", "+-000")
                                                                ROW(SN4, "00003", "0x003")
#undef ROW
}

void Request_Packets::get_filter_takes_only_its_valid_answer()
{
    QFETCH(Factory, request);
    QFETCH(Factory, response);
    QFETCH(QByteArray, valid_body);
    QFETCH(QByteArray, invalid_body);

    std::unique_ptr<Packet_Class> get(request());
    auto good = received(response(), valid_body.constData());
    auto bad = received(response(), invalid_body.constData());
    QVERIFY2(good->Valid, valid_body.constData());
    QVERIFY2(!bad->Valid, invalid_body.constData());
    QVERIFY(get->Response_Filter(good.get()));
    QVERIFY(!get->Response_Filter(bad.get()));

    // The answer to another command, or a system response, is not this one's.
    auto other = received(new Packet_Resp_SEC, "SEC 00001");
    auto ok = received(new Packet_Resp_System, "<OK>");
    QVERIFY(other->Valid);
    QVERIFY(!get->Response_Filter(other.get()));
    QVERIFY(!get->Response_Filter(ok.get()));
}

void Request_Packets::system_filters()
{
    struct Case
    {
        const char* text;
        bool valid;
        bool any_system;
        bool ok_only;
    };
    const Case cases[] = {
        {"<OK>", true, true, true},         {"<>", true, true, false},
        {"<TEST DONE>", true, true, false}, {"<O<K>", false, false, false},
        {"<OK>x", false, false, false},     {"OK>", false, false, false},
    };
    Packet_Go_CTS cts;
    Packet_Set_SRH srh;
    for (const Case& c : cases) {
        auto r = received(new Packet_Resp_System, c.text);
        QCOMPARE(r->Valid, c.valid);
        QCOMPARE(int(r->getLength()), int(qstrlen(c.text)));
        QCOMPARE(r->toQString(), QString::fromLatin1(c.text));
        QCOMPARE(cts.Response_Filter(r.get()), c.any_system);
        QCOMPARE(srh.Response_Filter(r.get()), c.ok_only);
        QCOMPARE(System_Response_Filter(r.get()), c.any_system);
        QCOMPARE(OK_Response_Filter(r.get()), c.ok_only);
    }
    // A value response is never a system answer.
    auto mod = received(new Packet_Resp_MOD, "MOD 00001");
    QVERIFY(!cts.Response_Filter(mod.get()));
}

void Request_Packets::set_uint_value_range()
{
    Packet_Set_ALG alg;
    QVERIFY(alg.AllocateData());
    alg.setValue(5);
    QVERIFY(alg.Valid);
    QCOMPARE(alg.toQString(), QStringLiteral("set ALG 005"));
    alg.setValue(999);
    QCOMPARE(alg.toQString(), QStringLiteral("set ALG 999"));
    QCOMPARE(alg.Value(), quint16(999));
    alg.setValue(1000);
    QVERIFY(!alg.Valid);
    QCOMPARE(alg.toQString(), QStringLiteral("set ALG 999"));
    QVERIFY(alg.setProperty("Value", 120));
    QVERIFY(alg.Valid);
    QCOMPARE(alg.toQString(), QStringLiteral("set ALG 120"));
    QCOMPARE(alg.property("Value").toUInt(), 120u);
    alg.setValue(0);
    QCOMPARE(alg.toQString(), QStringLiteral("set ALG 000"));
}

void Request_Packets::set_bool_and_bpd_inversion()
{
    Packet_Set_BPD bpd;
    QVERIFY(bpd.AllocateData());
    bpd.setValue(true);
    QCOMPARE(bpd.toQString(), QStringLiteral("set BPD 000"));
    QVERIFY(!bpd.Value()); // the digit on the line
    bpd.setValue(false);
    QCOMPARE(bpd.toQString(), QStringLiteral("set BPD 001"));
    QVERIFY(bpd.Value());
    // The property goes through the same inversion.
    QVERIFY(bpd.setProperty("Value", true));
    QCOMPARE(bpd.toQString(), QStringLiteral("set BPD 000"));
}

void Request_Packets::sequences_count_sent_and_received()
{
    Packet_Get_DSA get;
    Packet_Resp_DSA resp;
    const quint16 sent = Packet_Class::Sent_Packet_Count;
    const quint16 recv = Packet_Class::Received_Packet_Count;
    get.Update_Send_Sequences();
    QCOMPARE(Packet_Class::Sent_Packet_Count, quint16(sent + 1));
    QCOMPARE(get.Sequence, quint16(sent + 1 + recv));
    resp.Update_Recv_Sequences();
    QCOMPARE(resp.Sequence, quint16(sent + recv + 2));

    // The counters wrap at 65536.
    Packet_Class::Sent_Packet_Count = 65535;
    Packet_Class::Received_Packet_Count = 0;
    get.Update_Send_Sequences();
    QCOMPARE(Packet_Class::Sent_Packet_Count, quint16(0));
    QCOMPARE(get.Sequence, quint16(0));
}

void Request_Packets::to_hex()
{
    QCOMPARE(ToHex(char(0xA5)), QStringLiteral("A5"));
    QCOMPARE(ToHex(char(0x0F)), QStringLiteral("0F"));
    char out[3] = {0, 0, 'x'};
    ToHex(out, char(0xFF));
    QCOMPARE(QByteArray(out, 3), QByteArray("FFx"));
}

QTEST_GUILESS_MAIN(Request_Packets)
#include "tst_request_packets.moc"
