// The virtual controller from a client's line: its answers, the faults its
// options inject, its suspension model, a recording replayed, and vantor-sim
// as a user starts it.

#include "packets/reset_code.h"
#include "plant.h"
#include "replay.h"
#include "schema_sql.h"
#include "sim_options.h"
#include "slave_line.h"
#include "sql_file.h"
#include "virtual_controller.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <signal.h>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

// A recording as the program writes it, with readings given as SQL rows of
// (t_us, code, raw).
static bool write_recording(const QString& path, const QString& readings)
{
    return Sql_File(path).exec(schema_sql() + "INSERT INTO readings(t_us, code, raw) VALUES " +
                               readings);
}

class Sim_Test : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void exchanges_data();
    void exchanges();
    void reset_exchange();
    void a_client_that_left_gets_nothing_stale();
    void settings_change_while_serving();
    void compressor_test_in_made_up_time();
    void vehicle_faults_data();
    void vehicle_faults();
    void fault_setters();
    void program_data();
    void program();
    void answers_follow_the_recording_data();
    void answers_follow_the_recording();

private:
    void apply(const Sim::Command_Line& options);

    std::unique_ptr<Sim::Virtual_Controller> sim;
    std::unique_ptr<Slave_Line> line;
    QTemporaryDir dir;
};

void Sim_Test::init()
{
    sim = std::make_unique<Sim::Virtual_Controller>();
    std::string error;
    QVERIFY2(sim->start(&error), error.c_str());
    line = std::make_unique<Slave_Line>(sim->device_path());
    // The reader against the checksum example of the protocol's description.
    QCOMPARE(render("MOD 00001\x1A\n"), std::string("MOD 00001,"));
}

void Sim_Test::exchanges_data()
{
    QTest::addColumn<QString>("options"); // "_" for a space within an argument
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("least_ms"); // no sooner than this
    const auto row = [](const char* name, const char* options, const QByteArray& request,
                        const QString& expected, int least_ms = 0) {
        QTest::newRow(name) << QString(options) << request << expected << least_ms;
    };
    const std::pair<const char*, const char*> gets[] = {
        {"BAH BPD CSR CSS DSH DSL DSS LOL RVS", "0000[01]"},
        {"FM1 FM2 FM3 MOD", "00000"},
        {"ALG ALO ALR", "00\\d{3}"}, // a reset challenge is below 1000
        {"CES CPT DSA IGT IGV LHC LHD OAT OTC PSA PXV RHC RHD SN1 SN2 SN3 SN4", "\\d{5}"},
        {"PRT REV", "[ -~]{5}"}};
    for (const auto& [codes, field] : gets)
        for (const QByteArray& code : QByteArray(codes).split(' '))
            row(code.constData(), "", "get " + code, QString(code + ' ' + field + ','));
    row("checksum", "", "go MDN\rget MOD", "<OK>,MOD 00001,");
    row("driver raises", "", "go MDP\rget MOD\rget DSS\rget CSS\rget RVS\rget CES",
        "<OK>,MOD 00002,DSS 00001,CSS 00000,RVS 00001,CES 00000,");
    row("curb lowers", "", "go MCN\rget MOD\rget DSS\rget CSS\rget RVS\rget CES",
        "<OK>,MOD 00001,DSS 00000,CSS 00001,RVS 00000,CES (?!00000)\\d{5},");
    row("to the dump height", "", "go LSP\rget MOD", "<OK>,MOD 00001,");
    row("dump height stored", "", "set SLP\rget DSA\rget PSA\rget LHD\rget LHC",
        "<OK>,DSA (\\d{5}),PSA (\\d{5}),LHD \\1,LHC \\2,");
    row("compressor test", "", "go CTS\rget MOD\rget CSR", "<OK>,MOD 00003,CSR 00001,");
    row("bypass", "", "set BPD 001\rget BPD\rset BPD 000\rget BPD\rset BPD 002\rget BPD",
        "<OK>,BPD 00001,<OK>,BPD 00000,<BAD VALUE>,BPD 00000,");
    row("reset unasked", "", "set ALR 000", "<BAD CODE>,");
    row("line feeds between lines", "", "\nget MOD\r\nget FM1\r\n", "MOD 00000,FM1 00000,");
    // Unknown and malformed lines get no answer at all.
    for (const char* bad : {"get XYZ",      "get dsa",     "GET DSA",     "get  DSA", "get DSA ",
                            "getDSA",       "get DS",      "go DSA",      "get MDP",  "go MDP 001",
                            "get DSA 001",  "set DSA 001", "set SRH 001", "set ALG",  "set BPD 01",
                            "set BPD 0001", "set BPD 0x1", "get D\nSA",   "",         "go CTS\t"})
        row(QByteArray("ignored: ").append(bad).constData(), "", bad, "");
    row("ignored: leading NUL", "", QByteArray("\0get DSA", 8), "");
    row("ignored: overlong", "", QByteArray(200, 'g'), "");

    // Silenced requests are read and counted, but neither carried out nor answered.
    row("silent", "--silent DSA,set_ALG,go_MDP", "get DSA\rset ALG 123\rgo MDP\rget MOD\rget ALG",
        "MOD 00000,ALG 00\\d{3},");
    row("all silent", "--all-silent", "get DSA\rget MOD\rgo MDP\rset SRH", "");
    row("delay", "--delay 200", "get DSA", "DSA \\d{5},", 200);
    row("trickle", "--trickle --trickle-gap 20000", "get DSA\rgo MDP", "DSA \\d{5},<OK>,", 200);
    row("noise", "--noise 7 --bad-checksum", "get DSA\rset SRH", "~{7}DSA \\d{5}!,~{7}<OK>,");
    row("refused moves", "--refuse-moves", "go MDP\rgo MCN\rgo LSP\rget MOD\rgo CTS",
        "(<REFUSED>,){3}MOD 00000,<OK>,");
    // A sensor fault freezes its side; driving to a preset needs both sensors.
    row("driver sensor", "--fm1 00001", "go MDP\rgo MCP\rgo RDH", "<REFUSED>,<OK>,<REFUSED>,");
    row("curb sensor", "--fm1 00010", "go MCN\rgo MDN\rgo LSP", "<REFUSED>,<OK>,<REFUSED>,");
    row("fault flags", "--fm1 10100 --fm2 00010 --fm3 01111", "get FM1\rget FM2\rget FM3",
        "FM1 10100,FM2 00010,FM3 01111,");
    // 19 bytes of 86.8 us for each exchange.
    row("paced", "--pace", QByteArray("get DSA\r").repeated(20).chopped(1), "(DSA \\d{5},){20}",
        32);
    row("paced trickle", "--pace --trickle --trickle-gap 0", "go MDP", "<OK>,", 1);
}

// The options put into the running controller as vantor-sim puts them.
void Sim_Test::apply(const Sim::Command_Line& options)
{
    sim->set_settings(options.settings);
    for (int group = 1; group <= 3; ++group)
        sim->set_fault_flags(group, options.fault_flags[std::size_t(group - 1)]);
    sim->set_compressor_enabled(options.compressor);
    QVERIFY(sim->set_plant_faults(options.plant_faults));
}

// Applies the options, writes the request lines, waits until the controller
// has read them all, undoes the options and asks for REV last: answers come
// in order, so whatever the lines brought arrives before REV's.
void Sim_Test::exchanges()
{
    QFETCH(QString, options);
    QFETCH(QByteArray, request);
    QFETCH(QString, expected);
    QFETCH(int, least_ms);
    const Sim::Command_Line parsed = ::parsed(options);
    apply(parsed);
    // A paced answer leaves in one piece once the line has carried its last byte.
    line->reads = 0;
    for (int i = 0; parsed.settings.line_pacing && !parsed.settings.trickle && i < 5; ++i)
        QVERIFY(line->ask("get MOD") == "MOD 00000," && line->reads == i + 1);

    sim->clear_statistics();
    const auto asked = std::chrono::steady_clock::now();
    QVERIFY(line->write(request.toStdString() + "\r"));
    // Every line counts, malformed ones included.
    QTRY_COMPARE(sim->total_requests(), unsigned(request.count('\r') + 1));
    apply(Sim::Command_Line{});
    std::string seen;
    QVERIFY2(line->write("get REV\r") && line->collect(expected + "REV R1\\.07,", &seen),
             seen.c_str());
    QVERIFY(std::chrono::steady_clock::now() - asked >= std::chrono::milliseconds(least_ms));
}

// The code for a challenge that a newer one replaced is refused; the newest
// challenge's code zeroes the counter.
void Sim_Test::reset_exchange()
{
    int which = 0; // Sim::Counter
    for (const std::string names : {"ALG CPT", "ALR IGT", "ALO OTC"}) {
        const auto challenge = [&] {
            const std::string offer = line->ask("get " + names.substr(0, 3));
            return Quillon::Reset_Code_For(std::uint16_t(std::stoi(offer.substr(4, 5))));
        };
        const auto answer = [&](unsigned code) {
            return line->ask(QString::asprintf("set %.3s %03u", names.c_str(), code).toStdString());
        };
        sim->set_counter(Sim::Counter(which++), 4321);
        const unsigned first = challenge();
        unsigned latest = first;
        for (int attempt = 0; attempt < 50 && latest == first; ++attempt)
            latest = challenge();
        QCOMPARE(answer(first), std::string("<BAD CODE>,"));
        QCOMPARE(line->ask("get " + names.substr(4)).substr(4), std::string("04321,"));
        QCOMPARE(answer(latest), std::string("<OK>,"));
        QCOMPARE(line->ask("get " + names.substr(4)).substr(4), std::string("00000,"));
    }
}

void Sim_Test::a_client_that_left_gets_nothing_stale()
{
    // All silent, not even the verdict of a compressor test that ends meanwhile.
    sim->set_test_duration(100ms);
    QCOMPARE(line->ask("go CTS"), std::string("<OK>,"));
    sim->set_all_silent(true);
    std::this_thread::sleep_for(300ms);
    sim->set_all_silent(false);
    QCOMPARE(line->ask("get MOD"), std::string("MOD 00000,"));
    // An answer that finds its client gone is not kept for the next one.
    sim->set_answer_delay(100ms);
    QVERIFY(line->write("get PSA\r"));
    line.reset();
    std::this_thread::sleep_for(300ms);
    sim->set_answer_delay(0ms);
    line = std::make_unique<Slave_Line>(sim->device_path());
    std::string seen;
    QVERIFY2(!line->collect("(?!)", &seen, 100ms) && seen.empty(), seen.c_str());
    QCOMPARE(line->ask("get MOD"), std::string("MOD 00000,"));
}

void Sim_Test::settings_change_while_serving()
{
    std::atomic<bool> done{false};
    std::thread fiddler([&] {
        for (bool on = true; !done; on = !on) {
            sim->set_trickle(on, 100us);
            sim->set_noise_bytes(on ? 3 : 0);
            sim->set_bad_checksums(on);
            sim->set_line_pacing(on);
            (void)sim->set_test_verdict(on ? "<FAIL 1>" : "FAIL 1");
            std::this_thread::sleep_for(1ms);
        }
    });
    int answered = 0;
    for (int i = 0; i < 100; ++i)
        answered += line->ask("get FM2").find("FM2 00000") != std::string::npos;
    done = true;
    fiddler.join();
    QCOMPARE(answered, 100);
}

void Sim_Test::compressor_test_in_made_up_time()
{
    // Ten minutes: an overheat by half time, a count for each minute of
    // compressor and on time, and the end reported once.
    const auto t0 = std::chrono::steady_clock::now();
    Sim::Plant plant(t0, 1);
    QVERIFY(!plant.set_fault_flags(0, "00000") && !plant.set_fault_flags(1, "00002"));
    const auto rest = plant.readings().counters;
    plant.start_compressor_test(t0, 10min);
    plant.advance(t0 + 5min + 1s);
    const auto now = plant.readings();
    QCOMPARE(now.mode, Sim::Mode::Compressor_Test);
    for (unsigned i = 0; i < 3; ++i) // compressor time, on time, overheats
        QCOMPARE(now.counters[i], rest[i] + (i == 2 ? 1 : 5));
    QVERIFY(!plant.finish_test(t0 + 5min) && plant.finish_test(t0 + 10min) &&
            !plant.finish_test(t0 + 11min));
}

void Sim_Test::vehicle_faults_data()
{
    // How DSA, PSA and PXV move, -1, 0 or +1, from before the requests to a
    // moment after: a move command keeps its side moving for 150 ms, and
    // the spring gives back only a tenth of the travel.
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("requests"); // "_" for a space, each answered "<OK>"
    QTest::addColumn<QVector<int>>("moved");
    const auto row = [](const char* name, const char* options, const char* requests,
                        QVector<int> moved) {
        QTest::newRow(name) << QString(options) << QString(requests) << moved;
    };
    // Raising takes air from the reservoir, lowering lets it out of the side.
    row("sound, raised", "", "go_MDP", {+1, 0, -1});
    row("sound, lowered", "", "go_MCN", {0, -1, 0});
    row("stuck", "--stuck-sensor driver", "go_MDP", {0, 0, -1});
    row("reversed", "--reversed-sensor driver", "go_MDP", {-1, 0, -1});
    row("swapped", "--swapped-sensors", "go_MDP", {0, +1, -1});
    row("swapped and reversed", "--swapped-sensors --reversed-sensor driver", "go_MDN", {0, +1, 0});
    row("both stuck", "--stuck-sensor curb --stuck-sensor driver", "go_MCP go_MDN", {0, 0, -1});
    // 1000 inches an hour: 0.06" in 200 ms, half a degree.
    row("driver leaks", "--leak-driver 1000", "", {-1, 0, 0});
    row("curb leaks while the driver rises", "--leak-curb 1000", "go_MDP", {+1, -1, -1});
    row("reservoir leaks", "--leak-reservoir 600", "", {0, 0, -1});
    row("compressor test", "", "go_CTS", {0, 0, +1});
    row("dead compressor", "--weak-compressor 0", "go_CTS", {0, 0, 0});
}

// The faults seen in the answers, as the guided tests will see them.
void Sim_Test::vehicle_faults()
{
    QFETCH(QString, options);
    QFETCH(QString, requests);
    QFETCH(QVector<int>, moved);
    apply(parsed(options));
    const auto read = [this] {
        std::vector<int> values;
        for (const char* code : {"DSA", "PSA", "PXV"}) {
            const std::string answer = line->ask(std::string("get ") + code);
            values.push_back(answer.size() == 10 ? std::stoi(answer.substr(4, 5)) : -1);
        }
        return values;
    };
    const std::vector<int> before = read();
    for (const QString& request : requests.split(' ', Qt::SkipEmptyParts))
        QCOMPARE(line->ask(QString(request).replace('_', ' ').toStdString()), std::string("<OK>,"));
    std::this_thread::sleep_for(200ms); // the moves are over
    const std::vector<int> after = read();
    QString seen;
    for (std::size_t i = 0; i < after.size(); ++i)
        seen += QString("%1 -> %2 ").arg(before[i]).arg(after[i]);
    for (std::size_t i = 0; i < after.size(); ++i) {
        const int way = (after[i] > before[i]) - (after[i] < before[i]);
        QVERIFY2(before[i] >= 0 && after[i] >= 0 && way == moved[int(i)], qPrintable(seen));
    }
}

// One fault at a time while the controller serves, as the tests of the
// guided tests will set them; a value out of range changes nothing.
void Sim_Test::fault_setters()
{
    using Sim::Side;
    QVERIFY(sim->set_leak_reservoir(1.5) && sim->set_leak(Side::Curb, 0.4) &&
            sim->set_weak_compressor(0.25));
    QVERIFY(!sim->set_leak_reservoir(-1) && !sim->set_leak(Side::Driver, std::nan("")) &&
            !sim->set_weak_compressor(2));
    sim->set_reversed_sensor(Side::Curb, true);
    sim->set_swapped_sensors(true);
    const Sim::Plant_Faults set = sim->plant_faults();
    QVERIFY(set.reservoir_leak == 1.5 && set.side_leak == (std::array<double, 2>{0, 0.4}) &&
            set.compressor_factor == 0.25);
    QVERIFY(!set.reversed_sensor[0] && set.reversed_sensor[1] && set.swapped_sensors);

    // Stuck with the side up, the sensor keeps that reading; freed, it
    // follows the side again.
    QVERIFY(sim->set_plant_faults({}));
    sim->set_angle_raw(Side::Driver, 600);
    sim->set_stuck_sensor(Side::Driver, true);
    sim->set_angle_raw(Side::Driver, 500);
    QCOMPARE(line->ask("get DSA"), std::string("DSA 00600,"));
    sim->set_stuck_sensor(Side::Driver, false);
    QCOMPARE(line->ask("get DSA"), std::string("DSA 00500,"));
}

void Sim_Test::program_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected"); // what Get DSA brings, or the exit code
    QTest::newRow("plain") << QStringList() << "DSA \\d{5},";
    QTest::newRow("hang-up") << QStringList{"--hang-up-after", "300"} << "DSA \\d{5},";
    QTest::newRow("delay") << QStringList{"--delay", "60000"} << ""; // SIGTERM ends the wait
    QTest::newRow("stats") << QStringList{"--stats"} << "DSA \\d{5},";
    QTest::newRow("help") << QStringList{"--help"} << "0";
    QTest::newRow("version") << QStringList{"--version"} << "0";
    QTest::newRow("vehicle faults")
        << QString("--leak-reservoir 2.5 --leak-driver 0.75 --leak-curb 12 --stuck-sensor curb "
                   "--stuck-sensor driver --reversed-sensor driver --swapped-sensors "
                   "--weak-compressor 0.3")
               .split(' ')
        << "DSA \\d{5},";
    // Mistakes, their words parted by "|" so that a word may be empty.
    for (const char* bad :
         {"--frobnicate", "--fm1|0012", "--delay", "--leak-reservoir|-1", "--leak-reservoir|nan",
          "--leak-reservoir|1000.1", "--leak-driver|1e3", "--leak-driver|1,5", "--leak-curb|.",
          "--leak-curb|2..5", "--leak-curb", "--stuck-sensor|left", "--stuck-sensor|Driver",
          "--reversed-sensor|", "--swapped-sensors|1", "--weak-compressor|1.5",
          "--weak-compressor|inf", "--weak-compressor|0x1"})
        QTest::newRow(bad) << QString(bad).split('|') << "2";
}

void Sim_Test::program()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    QProcess program;
    program.start(VANTOR_SIM_PROGRAM, arguments);
    if (expected.size() == 1) {
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), expected.toInt());
        // Help and the project's version go to the standard output; a mistake
        // only to the error output.
        const QByteArray said = arguments == QStringList{"--version"}
                                    ? QByteArrayLiteral("vantor-sim " VANTOR_VERSION "\n")
                                    : QByteArrayLiteral("Usage:");
        QCOMPARE(program.readAllStandardOutput().startsWith(said), expected == "0");
        QCOMPARE(program.readAllStandardError().isEmpty(), expected == "0");
        return;
    }
    QByteArray first; // the device's name, on the first line
    while (!first.contains('\n') && program.waitForReadyRead(10000))
        first += program.readAllStandardOutput();
    Slave_Line client(first.left(first.indexOf('\n')).toStdString());
    std::string seen;
    QVERIFY2(client.write("get DSA\r") && client.collect(expected, &seen), first.constData());
    const bool hang_up = arguments.contains("--hang-up-after");
    QVERIFY2(!client.collect("(?!)", &seen, hang_up ? 10s : 200ms) && seen.empty(), seen.c_str());
    // Hung up, as an unplugged adapter: reads end, writes fail with EIO.
    QVERIFY(!hang_up || (::write(client.fd, "get DSA\r", 8) == -1 && errno == EIO));
    const bool stats = arguments.contains("--stats");
    if (stats) {
        // SIGUSR1 prints what came so far and starts over; the turnaround
        // runs from one answer to the next request, across the reset.
        QVERIFY(::kill(pid_t(program.processId()), SIGUSR1) == 0);
        QByteArray line = first.mid(first.indexOf('\n') + 1);
        while (!line.contains('\n') && program.waitForReadyRead(10000))
            line += program.readAllStandardOutput();
        QVERIFY2(line.contains(" answers 1 ") && line.endsWith(" samples 0\n"), line.constData());
        QVERIFY(client.write("get DSA\r") && client.collect(expected, &seen));
    }
    // The program goes on, hung up or not, until it is told to stop.
    QCOMPARE(program.state(), QProcess::Running);
    QVERIFY(::kill(pid_t(program.processId()), SIGTERM) == 0);
    QVERIFY(program.waitForFinished(10000) && program.exitStatus() == QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    const QByteArray last = program.readAllStandardOutput();
    QVERIFY2(!stats || (last.contains(" answers 1 ") && last.endsWith(" samples 1\n")),
             last.constData());
}

// The controller replaying a session recording at a chosen speed.
void Sim_Test::answers_follow_the_recording_data()
{
    QTest::addColumn<double>("speed");
    QTest::newRow("speed 1") << 1.0;
    QTest::newRow("speed 4") << 4.0;
}

void Sim_Test::answers_follow_the_recording()
{
    QFETCH(double, speed);
    const QString path = dir.filePath(QTest::currentDataTag());
    // DSA changes at 1.2 s; PSA is first read at 0.6 s. A reset challenge
    // stays live, and a raw value above 16 bits is a damaged row.
    QVERIFY(write_recording(
        path, "(0, 'DSA', 111), (1200000, 'DSA', 222), (600000, 'PSA', 444), "
              "(0, 'DSS', 1), (0, 'ALG', 5000), (0, 'FM1', 10001), (0, 'MOD', 70000)"));
    std::string error;
    const auto replay = Sim::Replay::load(path.toStdString(), &error);
    QVERIFY2(replay, error.c_str());
    Sim::Virtual_Controller player;
    player.set_replay(replay, speed);
    player.set_counter(Sim::Counter::Overheat, 12345);
    QVERIFY2(player.start(&error), error.c_str());
    Slave_Line client(player.device_path());
    QElapsedTimer since_first;
    since_first.start();
    // Before its first reading a code answers its first recorded value; codes
    // never read (OTC) or not replayable answer as the plant does.
    std::string seen;
    QVERIFY(
        client.write("get DSA\rget PSA\rget DSS\rget FM1\rget OTC\rget ALG\rget MOD\rgo MDP\r"));
    QVERIFY2(client.collect("DSA 00111,PSA 00444,DSS 00001,FM1 10001,OTC 12345,ALG 00\\d{3},"
                            "MOD 0000[0-5],<OK>,",
                            &seen),
             seen.c_str());

    while (since_first.elapsed() < 10000 && (seen = client.ask("get DSA")) != "DSA 00222,")
        QTest::qWait(10);
    QCOMPARE(seen, "DSA 00222,");
    // One-sided: not before its time, and at speed 4 well before the
    // recording's own 1.2 s.
    const qint64 ms = since_first.elapsed();
    QVERIFY2(ms >= 1200 / speed && (speed == 1.0 || ms < 1200), qPrintable(QString::number(ms)));
}

QTEST_GUILESS_MAIN(Sim_Test)
#include "tst_sim.moc"
