// The virtual controller's side of the protocol, seen from the slave: the
// shape of every answer, the lines it ignores, and the exchanges that store
// something in it.

#include "frame_check.h"
#include "packets/reset_code.h"
#include "slave_line.h"
#include "std_string_output.h"
#include "virtual_controller.h"

#include <QtTest>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

namespace {

enum Encoding
{
    Unsigned,
    Boolean,
    Flags,
    Text
};

std::string set_line(const char* code, unsigned value)
{
    char line[16];
    std::snprintf(line, sizeof line, "set %s %03u", code, value % 1000);
    return line;
}

} // namespace

class Sim_Protocol_Test : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void every_get_is_answered_with_a_checked_value_data();
    void every_get_is_answered_with_a_checked_value();
    void checksum_matches_the_documented_example();
    void unknown_and_malformed_lines_get_no_answer_data();
    void unknown_and_malformed_lines_get_no_answer();
    void line_feeds_between_lines_are_tolerated();
    void bypass_setting_is_stored_as_sent();
    void presets_store_the_present_angles();
    void reset_exchange_data();
    void reset_exchange();
    void reset_without_a_challenge_is_refused();
    void requests_are_counted();
    void client_can_close_and_reopen();

private:
    std::unique_ptr<Sim::Virtual_Controller> sim;
    std::unique_ptr<Slave_Line> line;
};

void Sim_Protocol_Test::init()
{
    sim = std::make_unique<Sim::Virtual_Controller>();
    std::string error;
    QVERIFY2(sim->start(&error), error.c_str());
    line = std::make_unique<Slave_Line>(sim->device_path());
    QVERIFY(line->is_open());
}

void Sim_Protocol_Test::cleanup()
{
    line.reset();
    sim.reset();
}

void Sim_Protocol_Test::every_get_is_answered_with_a_checked_value_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");

    // Unsigned ranges are what a controller at rest can plausibly report:
    // angles within +-45 degrees, 0-200 psi, 12.0-13.2 V, 0-120 C.
    const int angle_low = 102, angle_high = 922;
    struct Row
    {
        const char* code;
        Encoding encoding;
        int low, high;
    };
    const Row rows[] = {
        {"ALG", Unsigned, 0, 999},
        {"ALO", Unsigned, 0, 999},
        {"ALR", Unsigned, 0, 999},
        {"BAH", Boolean, 0, 0},
        {"BPD", Boolean, 0, 0},
        {"CES", Unsigned, 0, 1024},
        {"CPT", Unsigned, 0, 65535},
        {"CSR", Boolean, 0, 0},
        {"CSS", Boolean, 0, 0},
        {"DSA", Unsigned, angle_low, angle_high},
        {"DSH", Boolean, 0, 0},
        {"DSL", Boolean, 0, 0},
        {"DSS", Boolean, 0, 0},
        {"FM1", Flags, 0, 0},
        {"FM2", Flags, 0, 0},
        {"FM3", Flags, 0, 0},
        {"IGT", Unsigned, 0, 65535},
        {"IGV", Unsigned, 482, 530},
        {"LHC", Unsigned, angle_low, angle_high},
        {"LHD", Unsigned, angle_low, angle_high},
        {"LOL", Boolean, 0, 0},
        {"MOD", Unsigned, 0, 3},
        {"OAT", Unsigned, 65, 870},
        {"OTC", Unsigned, 0, 65535},
        {"PRT", Text, 0, 0},
        {"PSA", Unsigned, angle_low, angle_high},
        {"PXV", Unsigned, 102, 1195},
        {"REV", Text, 0, 0},
        {"RHC", Unsigned, angle_low, angle_high},
        {"RHD", Unsigned, angle_low, angle_high},
        {"RVS", Boolean, 0, 0},
        {"SN1", Unsigned, 0, 65535},
        {"SN2", Unsigned, 0, 65535},
        {"SN3", Unsigned, 0, 65535},
        {"SN4", Unsigned, 0, 65535},
    };
    QCOMPARE(int(sizeof rows / sizeof rows[0]), 35);
    for (const Row& row : rows)
        QTest::newRow(row.code) << QByteArray(row.code) << int(row.encoding) << row.low << row.high;
}

void Sim_Protocol_Test::every_get_is_answered_with_a_checked_value()
{
    QFETCH(QByteArray, code);
    QFETCH(int, encoding);
    QFETCH(int, low);
    QFETCH(int, high);

    const std::string answer = line->ask("get " + code.toStdString());
    QVERIFY2(is_value_response(answer, code.toStdString()), answer.c_str());
    const std::string field = field_of(answer);
    switch (encoding) {
    case Unsigned: {
        const long value = number_of(answer);
        QVERIFY2(value >= low && value <= high, field.c_str());
        break;
    }
    case Boolean:
        QVERIFY2(field == "00000" || field == "00001", field.c_str());
        break;
    case Flags:
        QVERIFY2(field.find_first_not_of("01") == std::string::npos, field.c_str());
        break;
    case Text:
        for (char c : field)
            QVERIFY2(c >= 0x20 && c < 0x7f, field.c_str());
        break;
    }
    // Exactly one frame per request.
    QCOMPARE(line->read_for(30ms), std::string());
}

void Sim_Protocol_Test::checksum_matches_the_documented_example()
{
    // Lowering makes MOD 00001, whose checksum byte is 0x1A.
    QCOMPARE(line->ask("go MDN"), std::string("<OK>\n"));
    QCOMPARE(line->ask("get MOD"), std::string("MOD 00001\x1A\n"));
}

void Sim_Protocol_Test::unknown_and_malformed_lines_get_no_answer_data()
{
    QTest::addColumn<QByteArray>("bad");
    QTest::newRow("unknown code") << QByteArray("get XYZ");
    QTest::newRow("lower-case code") << QByteArray("get dsa");
    QTest::newRow("upper-case keyword") << QByteArray("GET DSA");
    QTest::newRow("two spaces") << QByteArray("get  DSA");
    QTest::newRow("trailing space") << QByteArray("get DSA ");
    QTest::newRow("no space") << QByteArray("getDSA");
    QTest::newRow("short code") << QByteArray("get DS");
    QTest::newRow("get code as go") << QByteArray("go DSA");
    QTest::newRow("go code as get") << QByteArray("get MDP");
    QTest::newRow("go with value") << QByteArray("go MDP 001");
    QTest::newRow("get with value") << QByteArray("get DSA 001");
    QTest::newRow("get code as set") << QByteArray("set DSA 001");
    QTest::newRow("value on short set") << QByteArray("set SRH 001");
    QTest::newRow("reset without value") << QByteArray("set ALG");
    QTest::newRow("two-digit value") << QByteArray("set BPD 01");
    QTest::newRow("four-digit value") << QByteArray("set BPD 0001");
    QTest::newRow("letter in value") << QByteArray("set BPD 0x1");
    QTest::newRow("line feed inside") << QByteArray("get D\nSA");
    QTest::newRow("empty line") << QByteArray("");
    QTest::newRow("leading NUL") << QByteArray("\0get DSA", 8);
    QTest::newRow("tab after code") << QByteArray("go CTS\t");
    QTest::newRow("overlong") << QByteArray(200, 'g');
}

void Sim_Protocol_Test::unknown_and_malformed_lines_get_no_answer()
{
    QFETCH(QByteArray, bad);
    QVERIFY(line->write(bad.toStdString() + "\r"));
    // Lines are answered in order, so an answer to the bad line would come
    // before the answer to this one.
    const std::string answer = line->ask("get MOD");
    QVERIFY2(is_value_response(answer, "MOD"), answer.c_str());
    QCOMPARE(line->read_for(30ms), std::string());
}

void Sim_Protocol_Test::line_feeds_between_lines_are_tolerated()
{
    QVERIFY(line->write("\nget MOD\r\nget PSA\r\n"));
    QVERIFY(is_value_response(line->read_frame(), "MOD"));
    QVERIFY(is_value_response(line->read_frame(), "PSA"));
}

void Sim_Protocol_Test::bypass_setting_is_stored_as_sent()
{
    QCOMPARE(line->ask("set BPD 001"), std::string("<OK>\n"));
    QCOMPARE(field_of(line->ask("get BPD")), std::string("00001"));
    QCOMPARE(line->ask("set BPD 000"), std::string("<OK>\n"));
    QCOMPARE(field_of(line->ask("get BPD")), std::string("00000"));

    const std::string refused = line->ask("set BPD 002");
    QVERIFY2(refused.front() == '<' && refused != "<OK>\n", refused.c_str());
    QCOMPARE(field_of(line->ask("get BPD")), std::string("00000"));
}

void Sim_Protocol_Test::presets_store_the_present_angles()
{
    sim->set_angle_raw(Sim::Side::Driver, 600);
    sim->set_angle_raw(Sim::Side::Curb, 580);
    QCOMPARE(line->ask("set SRH"), std::string("<OK>\n"));
    sim->set_angle_raw(Sim::Side::Driver, 300);
    sim->set_angle_raw(Sim::Side::Curb, 320);
    QCOMPARE(line->ask("set SLP"), std::string("<OK>\n"));

    QCOMPARE(number_of(line->ask("get RHD")), 600L);
    QCOMPARE(number_of(line->ask("get RHC")), 580L);
    QCOMPARE(number_of(line->ask("get LHD")), 300L);
    QCOMPARE(number_of(line->ask("get LHC")), 320L);
}

void Sim_Protocol_Test::reset_exchange_data()
{
    QTest::addColumn<QByteArray>("reset");
    QTest::addColumn<QByteArray>("counter");
    QTest::addColumn<int>("which");
    QTest::newRow("compressor time")
        << QByteArray("ALG") << QByteArray("CPT") << int(Sim::Counter::Compressor_Time);
    QTest::newRow("on time") << QByteArray("ALR") << QByteArray("IGT")
                             << int(Sim::Counter::On_Time);
    QTest::newRow("overheat count")
        << QByteArray("ALO") << QByteArray("OTC") << int(Sim::Counter::Overheat);
}

void Sim_Protocol_Test::reset_exchange()
{
    QFETCH(QByteArray, reset);
    QFETCH(QByteArray, counter);
    QFETCH(int, which);
    const std::string get_counter = "get " + counter.toStdString();
    sim->set_counter(Sim::Counter(which), 4321);

    const std::string offer = line->ask("get " + reset.toStdString());
    QVERIFY2(is_value_response(offer, reset.toStdString()), offer.c_str());
    const long challenge = number_of(offer);
    QVERIFY(challenge >= 0 && challenge < 1000);
    QCOMPARE(sim->readings().challenges[std::size_t(which)], int(challenge));
    const unsigned code = Quillon::Reset_Code_For(quint16(challenge));

    QCOMPARE(line->ask(set_line(reset.constData(), code + 1)), std::string("<BAD CODE>\n"));
    QCOMPARE(number_of(line->ask(get_counter)), 4321L);

    QCOMPARE(line->ask(set_line(reset.constData(), code)), std::string("<OK>\n"));
    QCOMPARE(number_of(line->ask(get_counter)), 0L);

    // A new challenge replaces the old one.
    sim->set_counter(Sim::Counter(which), 55);
    unsigned next_code = code;
    for (int attempt = 0; attempt < 20 && next_code == code; ++attempt)
        next_code =
            Quillon::Reset_Code_For(quint16(number_of(line->ask("get " + reset.toStdString()))));
    if (next_code != code) {
        QCOMPARE(line->ask(set_line(reset.constData(), code)), std::string("<BAD CODE>\n"));
        QCOMPARE(number_of(line->ask(get_counter)), 55L);
    }
}

void Sim_Protocol_Test::reset_without_a_challenge_is_refused()
{
    sim->set_counter(Sim::Counter::On_Time, 77);
    QCOMPARE(line->ask("set ALR 000"), std::string("<BAD CODE>\n"));
    QCOMPARE(number_of(line->ask("get IGT")), 77L);
}

void Sim_Protocol_Test::requests_are_counted()
{
    QVERIFY(line->write("bogus\r"));
    for (int i = 0; i < 3; ++i)
        QVERIFY(is_value_response(line->ask("get DSA"), "DSA"));
    QCOMPARE(line->ask("go MDP"), std::string("<OK>\n"));
    QCOMPARE(line->ask("set ALG 123"), std::string("<BAD CODE>\n"));
    QVERIFY(is_value_response(line->ask("get PSA"), "PSA"));

    QCOMPARE(sim->request_count("get DSA"), 3u);
    QCOMPARE(sim->request_count("go MDP"), 1u);
    QCOMPARE(sim->request_count("set ALG"), 1u);
    QCOMPARE(sim->request_count("get PSA"), 1u);
    QCOMPARE(sim->request_count("get MOD"), 0u);
    QCOMPARE(sim->total_requests(), 7u);
    QCOMPARE(sim->last_request(), std::string("get PSA"));

    sim->clear_statistics();
    QCOMPARE(sim->total_requests(), 0u);
    QCOMPARE(sim->request_count("get DSA"), 0u);
}

void Sim_Protocol_Test::client_can_close_and_reopen()
{
    QVERIFY(is_value_response(line->ask("get DSA"), "DSA"));
    line->close();
    line = std::make_unique<Slave_Line>(sim->device_path());
    QVERIFY(line->is_open());
    QVERIFY(is_value_response(line->ask("get DSA"), "DSA"));

    // An answer that finds the client gone is not kept for the next one.
    sim->set_answer_delay(150ms);
    QVERIFY(line->write("get PSA\r"));
    line->close();
    std::this_thread::sleep_for(400ms);
    sim->set_answer_delay(0ms);
    line = std::make_unique<Slave_Line>(sim->device_path());
    QVERIFY(line->is_open());
    QCOMPARE(line->read_for(100ms), std::string());
    QVERIFY(is_value_response(line->ask("get MOD"), "MOD"));
}

QTEST_GUILESS_MAIN(Sim_Protocol_Test)
#include "tst_sim_protocol.moc"
