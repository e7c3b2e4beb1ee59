// The virtual controller seen from a client's line: its answers, the faults it
// injects, the end of the line, and its model of the suspension.

#include "packets/reset_code.h"
#include "plant.h"
#include "slave_line.h"
#include "virtual_controller.h"

#include <QtTest>

#include <atomic>
#include <cerrno>
#include <functional>
#include <memory>
#include <poll.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using VC = Sim::Virtual_Controller;
// What a row does to the controller before its requests.
using Setup = std::function<void(VC&, Slave_Line&)>;
Q_DECLARE_METATYPE(Setup)

namespace {

void columns()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("least_ms"); // no sooner than this
}

void row(const char* name, const Setup& setup, const QByteArray& request, const QString& expected,
         int least_ms = 0)
{
    QTest::newRow(name) << setup << request << expected << least_ms;
}

unsigned counter(const Sim::Plant_Readings& r, Sim::Counter which)
{
    return r.counters[std::size_t(which)];
}

} // namespace

class Sim_Test : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void answers_data();
    void answers() { exchange(); }
    void injections_data();
    void injections() { exchange(); }
    void reset_exchange_data();
    void reset_exchange();
    void hang_up_looks_like_an_unplugged_adapter();
    void stop_interrupts_a_delayed_answer();
    void a_client_that_left_gets_nothing_stale();
    void settings_change_while_serving();
    void plant_model();

private:
    // Writes the row's request lines, waits until the controller has read
    // them all, undoes every injected fault and asks for REV last: answers
    // come in order, so whatever the lines brought arrives before REV's.
    void exchange();

    std::unique_ptr<VC> sim;
    std::unique_ptr<Slave_Line> line;
};

void Sim_Test::init()
{
    sim = std::make_unique<VC>();
    std::string error;
    QVERIFY2(sim->start(&error), error.c_str());
    line = std::make_unique<Slave_Line>(sim->device_path());
    QVERIFY(line->is_open());
    // The reader against the checksum example of the protocol's description.
    QCOMPARE(render("MOD 00001\x1A\n"), std::string("MOD 00001,"));
}

void Sim_Test::cleanup()
{
    line.reset();
    sim.reset();
}

void Sim_Test::exchange()
{
    QFETCH(Setup, setup);
    QFETCH(QByteArray, request);
    QFETCH(QString, expected);
    QFETCH(int, least_ms);
    if (setup)
        setup(*sim, *line);
    const bool trickled = sim->settings().trickle;
    sim->clear_statistics();
    line->reads = 0;
    const auto asked = Clock::now();
    QVERIFY(line->write(request.toStdString() + "\r"));
    // Every line counts, malformed ones included.
    QTRY_COMPARE(sim->total_requests(), unsigned(request.count('\r') + 1));
    sim->set_settings(Sim::Settings{});
    for (int group = 1; group <= 3; ++group)
        sim->set_fault_flags(group, "00000");
    std::string seen;
    QVERIFY(line->write("get REV\r"));
    QVERIFY2(line->collect(expected + "REV R1\\.07,", &seen), seen.c_str());
    QVERIFY(Clock::now() - asked >= std::chrono::milliseconds(least_ms));
    // Unless trickled, an answer leaves in one piece, paced or not: at most
    // one read for each, REV's included.
    QVERIFY2(trickled || line->reads <= request.count('\r') + 2, QByteArray::number(line->reads));
}

void Sim_Test::answers_data()
{
    columns();
    const std::pair<const char*, const char*> gets[] = {
        {"BAH BPD CSR CSS DSH DSL DSS LOL RVS", "0000[01]"},
        {"FM1 FM2 FM3 MOD", "00000"},
        {"ALG ALO ALR", "00\\d{3}"}, // a reset challenge is below 1000
        {"CES CPT DSA IGT IGV LHC LHD OAT OTC PSA PXV RHC RHD", "\\d{5}"},
        {"SN1", "02024"},
        {"SN2", "00007"},
        {"SN3", "00015"},
        {"SN4", "04711"},
        {"PRT", "AS150"},
        {"REV", "R1\\.07"}};
    for (const auto& [codes, field] : gets) {
        for (const QByteArray& code : QByteArray(codes).split(' '))
            row(code.constData(), {}, "get " + code, QString(code + ' ' + field + ','));
    }
    row("checksum", {}, "go MDN\rget MOD", "<OK>,MOD 00001,");
    row("driver raises", {}, "go MDP\rget MOD\rget DSS\rget CSS\rget RVS\rget CES",
        "<OK>,MOD 00002,DSS 00001,CSS 00000,RVS 00001,CES 00000,");
    row("curb lowers", {}, "go MCN\rget MOD\rget DSS\rget CSS\rget RVS\rget CES",
        "<OK>,MOD 00001,DSS 00000,CSS 00001,RVS 00000,CES (?!00000)\\d{5},");
    row("to the dump height", {}, "go LSP\rget MOD", "<OK>,MOD 00001,");
    row("compressor test", {}, "go CTS\rget MOD\rget CSR", "<OK>,MOD 00003,CSR 00001,");
    row("bypass", {}, "set BPD 001\rget BPD\rset BPD 000\rget BPD\rset BPD 002\rget BPD",
        "<OK>,BPD 00001,<OK>,BPD 00000,<BAD VALUE>,BPD 00000,");
    row("reset unasked", {}, "set ALR 000", "<BAD CODE>,");
    row("line feeds between lines", {}, "\nget MOD\r\nget FM1\r\n", "MOD 00000,FM1 00000,");
    // Unknown and malformed lines get no answer at all.
    for (const char* bad : {"get XYZ",      "get dsa",     "GET DSA",     "get  DSA", "get DSA ",
                            "getDSA",       "get DS",      "go DSA",      "get MDP",  "go MDP 001",
                            "get DSA 001",  "set DSA 001", "set SRH 001", "set ALG",  "set BPD 01",
                            "set BPD 0001", "set BPD 0x1", "get D\nSA",   "",         "go CTS\t"})
        row(QByteArray("ignored: ").append(bad).constData(), {}, bad, "");
    row("ignored: leading NUL", {}, QByteArray("\0get DSA", 8), "");
    row("ignored: overlong", {}, QByteArray(200, 'g'), "");
}

void Sim_Test::injections_data()
{
    columns();
    // Silenced requests are read and counted, but neither carried out nor answered.
    row(
        "silent",
        [](VC& s, Slave_Line&) {
            s.set_silent_commands({"DSA", "set ALG", "go MDP"});
        },
        "get DSA\rset ALG 123\rgo MDP\rget MOD\rget ALG", "MOD 00000,ALG 00\\d{3},");
    row(
        "all silent", [](VC& s, Slave_Line&) { s.set_all_silent(true); },
        "get DSA\rget MOD\rgo MDP\rset SRH", "");
    // Not even the verdict of a compressor test that ends meanwhile.
    row(
        "silent verdict",
        [](VC& s, Slave_Line& l) {
            s.set_test_duration(100ms);
            QCOMPARE(l.ask("go CTS"), std::string("<OK>,"));
            s.set_all_silent(true);
            std::this_thread::sleep_for(300ms);
        },
        "get MOD", "");
    row(
        "delay", [](VC& s, Slave_Line&) { s.set_answer_delay(200ms); }, "get DSA", "DSA \\d{5},",
        200);
    row(
        "trickle", [](VC& s, Slave_Line&) { s.set_trickle(true, 20ms); }, "get DSA\rgo MDP",
        "DSA \\d{5},<OK>,", 10 * 20);
    row(
        "noise", [](VC& s, Slave_Line&) { s.set_noise_bytes(7); }, "get DSA\rset SRH",
        "~{7}DSA \\d{5},~{7}<OK>,");
    row(
        "bad checksum", [](VC& s, Slave_Line&) { s.set_bad_checksums(true); }, "get DSA\rset SRH",
        "DSA \\d{5}!,<OK>,");
    row(
        "refused moves", [](VC& s, Slave_Line&) { s.set_refuse_moves(true); },
        "go MDP\rgo MDN\rgo MCP\rgo MCN\rgo RDH\rgo LSP\rget MOD\rgo CTS",
        "(<REFUSED>,){6}MOD 00000,<OK>,");
    // A sensor fault freezes its side; driving to a preset needs both sensors.
    row(
        "driver sensor", [](VC& s, Slave_Line&) { QVERIFY(s.set_fault_flags(1, "00001")); },
        "go MDP\rgo MCP\rgo RDH\rget FM1", "<REFUSED>,<OK>,<REFUSED>,FM1 00001,");
    row(
        "curb sensor", [](VC& s, Slave_Line&) { QVERIFY(s.set_fault_flags(1, "00010")); },
        "go MCN\rgo MDN\rgo LSP", "<REFUSED>,<OK>,<REFUSED>,");
    row(
        "fault flags",
        [](VC& s, Slave_Line&) {
            QVERIFY(!s.set_fault_flags(0, "00000") && !s.set_fault_flags(4, "00000"));
            QVERIFY(!s.set_fault_flags(1, "0000") && !s.set_fault_flags(1, "00002"));
            QVERIFY(s.set_fault_flags(1, "10100") && s.set_fault_flags(2, "00010") &&
                    s.set_fault_flags(3, "01111"));
        },
        "get FM1\rget FM2\rget FM3", "FM1 10100,FM2 00010,FM3 01111,");
    row(
        "dump height stored",
        [](VC& s, Slave_Line&) {
            s.set_angle_raw(Sim::Side::Driver, 600);
            s.set_angle_raw(Sim::Side::Curb, 580);
        },
        "set SLP\rget LHD\rget LHC\rget RHD", "<OK>,LHD 00600,LHC 00580,RHD (?!00600)\\d{5},");
    // 19 bytes of 86.8 us for each exchange.
    row(
        "paced", [](VC& s, Slave_Line&) { s.set_line_pacing(true); },
        QByteArray("get DSA\r").repeated(20).chopped(1), "(DSA \\d{5},){20}", 32);
    row(
        "paced trickle",
        [](VC& s, Slave_Line&) {
            s.set_line_pacing(true);
            s.set_trickle(true, 0us);
        },
        "get DSA\rgo MDP", "DSA \\d{5},<OK>,", 2);
}

void Sim_Test::reset_exchange_data()
{
    QTest::addColumn<QByteArray>("reset");
    QTest::addColumn<QByteArray>("counter");
    QTest::addColumn<int>("which");
    QTest::newRow("ALG") << QByteArray("ALG") << QByteArray("CPT")
                         << int(Sim::Counter::Compressor_Time);
    QTest::newRow("ALR") << QByteArray("ALR") << QByteArray("IGT") << int(Sim::Counter::On_Time);
    QTest::newRow("ALO") << QByteArray("ALO") << QByteArray("OTC") << int(Sim::Counter::Overheat);
}

void Sim_Test::reset_exchange()
{
    QFETCH(QByteArray, reset);
    QFETCH(QByteArray, counter);
    QFETCH(int, which);
    const auto challenge = [&] {
        const std::string offer = line->ask("get " + reset.toStdString());
        return Quillon::Reset_Code_For(quint16(std::stoi(offer.substr(4, 5))));
    };
    const auto answer = [&](unsigned code) {
        return line->ask(
            QString::asprintf("set %s %03u", reset.constData(), code % 1000).toStdString());
    };
    const auto value = [&] { return line->ask("get " + counter.toStdString()).substr(4, 5); };
    sim->set_counter(Sim::Counter(which), 4321);
    const unsigned code = challenge();
    QCOMPARE(answer(code + 1), std::string("<BAD CODE>,"));
    QCOMPARE(value(), std::string("04321"));
    QCOMPARE(answer(code), std::string("<OK>,"));
    QCOMPARE(value(), std::string("00000"));

    // A new challenge replaces the old one.
    sim->set_counter(Sim::Counter(which), 55);
    unsigned next = code;
    for (int attempt = 0; attempt < 50 && next == code; ++attempt)
        next = challenge();
    QVERIFY(next != code);
    QCOMPARE(answer(code), std::string("<BAD CODE>,"));
    QCOMPARE(value(), std::string("00055"));
}

void Sim_Test::hang_up_looks_like_an_unplugged_adapter()
{
    sim->hang_up();
    QVERIFY(!sim->is_serving());
    pollfd p{line->fd(), POLLIN, 0};
    QCOMPARE(poll(&p, 1, 1000), 1);
    QVERIFY(p.revents & POLLHUP);
    char byte;
    QCOMPARE(read(line->fd(), &byte, 1), ssize_t(0));
    QCOMPARE(write(line->fd(), "get DSA\r", 8), ssize_t(-1));
    QCOMPARE(errno, EIO);
}

void Sim_Test::stop_interrupts_a_delayed_answer()
{
    sim->set_answer_delay(60s);
    QVERIFY(line->write("get DSA\r"));
    QTRY_COMPARE(sim->total_requests(), 1u);
    const auto stopping = Clock::now();
    sim->stop();
    QVERIFY(Clock::now() - stopping < 10s);
    QVERIFY(!sim->is_serving());
}

void Sim_Test::a_client_that_left_gets_nothing_stale()
{
    // The answer finds its client gone, and is not kept for the next one.
    sim->set_answer_delay(100ms);
    QVERIFY(line->write("get PSA\r"));
    line.reset();
    std::this_thread::sleep_for(300ms);
    // With nobody on the line the controller waits, rather than spinning on
    // the master's hang-up.
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    std::this_thread::sleep_for(500ms);
    getrusage(RUSAGE_SELF, &after);
    const auto used = [](const rusage& r) {
        return r.ru_utime.tv_sec + r.ru_stime.tv_sec +
               1e-6 * (r.ru_utime.tv_usec + r.ru_stime.tv_usec);
    };
    QVERIFY2(used(after) - used(before) < 0.125, QByteArray::number(used(after) - used(before)));

    sim->set_answer_delay(0ms);
    line = std::make_unique<Slave_Line>(sim->device_path());
    QCOMPARE(line->read_for(100ms), std::string());
    QCOMPARE(line->ask("get MOD"), std::string("MOD 00000,"));
}

void Sim_Test::settings_change_while_serving()
{
    std::atomic<bool> done{false};
    std::thread fiddler([&] {
        for (bool on = true; !done; on = !on) {
            sim->set_trickle(on, std::chrono::microseconds(100));
            sim->set_refuse_moves(on);
            sim->set_fault_flags(2, on ? "00001" : "00000");
            sim->set_pressure_raw(on ? 800 : 900);
            (void)sim->readings();
            (void)sim->request_count("get FM2");
            std::this_thread::sleep_for(1ms);
        }
    });
    int answered = 0;
    for (int i = 0; i < 100; ++i)
        answered += line->ask("get FM2").compare(0, 6, "FM2 00") == 0;
    done = true;
    fiddler.join();
    QCOMPARE(answered, 100);
    QCOMPARE(sim->request_count("get FM2"), 100u);
}

void Sim_Test::plant_model()
{
    // Made-up time, for what takes minutes.
    const auto t0 = Clock::now();
    Sim::Plant plant(t0, 1);
    const auto rest = plant.readings();
    // A single move command moves its side briefly, then the side settles.
    QVERIFY(plant.move(Sim::Side::Driver, +1, t0));
    plant.advance(t0 + 100ms);
    QCOMPARE(plant.readings().mode, Sim::Mode::Raising);
    plant.advance(t0 + 3s);
    auto now = plant.readings();
    QCOMPARE(now.mode, Sim::Mode::Idle);
    QVERIFY(now.driver_angle > rest.driver_angle && now.driver_angle < rest.driver_angle + 20);
    QCOMPARE(now.curb_angle, rest.curb_angle);

    // A ten-minute compressor test: an overheat by half time, a count for
    // each minute of compressor and on time, and its end reported once.
    plant.start_compressor_test(t0 + 3s, 10min);
    plant.advance(t0 + 3s + 5min + 1s);
    now = plant.readings();
    QCOMPARE(now.mode, Sim::Mode::Compressor_Test);
    QCOMPARE(counter(now, Sim::Counter::Overheat), counter(rest, Sim::Counter::Overheat) + 1);
    QCOMPARE(counter(now, Sim::Counter::Compressor_Time),
             counter(rest, Sim::Counter::Compressor_Time) + 5);
    QCOMPARE(counter(now, Sim::Counter::On_Time), counter(rest, Sim::Counter::On_Time) + 5);
    QVERIFY(!plant.finish_test(t0 + 5min) && plant.finish_test(t0 + 3s + 10min));
    QVERIFY(!plant.finish_test(t0 + 11min));
}

QTEST_GUILESS_MAIN(Sim_Test)
#include "tst_sim.moc"
