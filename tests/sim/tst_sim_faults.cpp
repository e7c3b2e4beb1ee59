// Every fault the virtual controller can inject, line pacing, and the end of
// the line: a hang-up as a pulled adapter shows it, and stopping while busy.

#include "frame_check.h"
#include "slave_line.h"
#include "std_string_output.h"
#include "virtual_controller.h"

#include <QtTest>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <poll.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

bool is_frame_start(char c)
{
    return c == '<' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The processor time of the whole process, user and system; -1 on failure.
std::chrono::microseconds cpu_time()
{
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return std::chrono::microseconds(-1);
    return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

} // namespace

class Sim_Faults_Test : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fault_flags_are_reported_data();
    void fault_flags_are_reported();
    void bad_fault_flags_are_rejected();
    void sensor_fault_freezes_its_side_data();
    void sensor_fault_freezes_its_side();
    void silenced_requests_are_read_but_not_answered();
    void all_silent_answers_nothing();
    void answers_can_be_delayed();
    void answers_can_trickle();
    void noise_comes_before_answers();
    void checksums_can_be_wrong();
    void moves_can_be_refused();
    void paced_line_takes_its_time();
    void hang_up_looks_like_an_unplugged_adapter();
    void stop_interrupts_a_delayed_answer();
    void no_client_means_no_busy_waiting();
    void settings_change_while_serving();

private:
    std::unique_ptr<Sim::Virtual_Controller> sim;
    std::unique_ptr<Slave_Line> line;
};

void Sim_Faults_Test::init()
{
    sim = std::make_unique<Sim::Virtual_Controller>();
    std::string error;
    QVERIFY2(sim->start(&error), error.c_str());
    line = std::make_unique<Slave_Line>(sim->device_path());
    QVERIFY(line->is_open());
}

void Sim_Faults_Test::cleanup()
{
    line.reset();
    sim.reset();
}

void Sim_Faults_Test::fault_flags_are_reported_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<QByteArray>("flags");
    QTest::newRow("FM1") << 1 << QByteArray("10100");
    QTest::newRow("FM2") << 2 << QByteArray("00010");
    QTest::newRow("FM3") << 3 << QByteArray("01111");
}

void Sim_Faults_Test::fault_flags_are_reported()
{
    QFETCH(int, group);
    QFETCH(QByteArray, flags);
    const std::string code = "FM" + std::to_string(group);
    QCOMPARE(field_of(line->ask("get " + code)), std::string("00000"));
    QVERIFY(sim->set_fault_flags(group, flags.toStdString()));
    const std::string answer = line->ask("get " + code);
    QVERIFY(is_value_response(answer, code));
    QCOMPARE(field_of(answer), flags.toStdString());
}

void Sim_Faults_Test::bad_fault_flags_are_rejected()
{
    QVERIFY(!sim->set_fault_flags(0, "00000"));
    QVERIFY(!sim->set_fault_flags(4, "00000"));
    QVERIFY(!sim->set_fault_flags(1, "0000"));
    QVERIFY(!sim->set_fault_flags(1, "00002"));
    QCOMPARE(field_of(line->ask("get FM1")), std::string("00000"));
}

void Sim_Faults_Test::sensor_fault_freezes_its_side_data()
{
    QTest::addColumn<QByteArray>("flags");
    QTest::addColumn<QByteArray>("frozen_move");
    QTest::addColumn<QByteArray>("frozen_angle");
    QTest::addColumn<QByteArray>("free_move");
    QTest::addColumn<QByteArray>("free_angle");
    QTest::newRow("driver") << QByteArray("00001") << QByteArray("go MDP") << QByteArray("get DSA")
                            << QByteArray("go MCP") << QByteArray("get PSA");
    QTest::newRow("curb") << QByteArray("00010") << QByteArray("go MCN") << QByteArray("get PSA")
                          << QByteArray("go MDN") << QByteArray("get DSA");
}

void Sim_Faults_Test::sensor_fault_freezes_its_side()
{
    QFETCH(QByteArray, flags);
    QFETCH(QByteArray, frozen_move);
    QFETCH(QByteArray, frozen_angle);
    QFETCH(QByteArray, free_move);
    QFETCH(QByteArray, free_angle);

    QVERIFY(sim->set_fault_flags(1, flags.toStdString()));
    const long frozen = number_of(line->ask(frozen_angle.toStdString()));
    const long free = number_of(line->ask(free_angle.toStdString()));
    for (int i = 0; i < 10; ++i) {
        const std::string refused = line->ask(frozen_move.toStdString());
        QVERIFY2(refused.front() == '<' && refused != "<OK>\n", refused.c_str());
        QCOMPARE(line->ask(free_move.toStdString()), std::string("<OK>\n"));
        std::this_thread::sleep_for(20ms);
    }
    // Driving to a preset needs both sensors.
    QVERIFY(line->ask("go RDH") != "<OK>\n");
    QCOMPARE(number_of(line->ask(frozen_angle.toStdString())), frozen);
    QVERIFY(number_of(line->ask(free_angle.toStdString())) != free);

    QVERIFY(sim->set_fault_flags(1, "00000"));
    QCOMPARE(line->ask(frozen_move.toStdString()), std::string("<OK>\n"));
}

void Sim_Faults_Test::silenced_requests_are_read_but_not_answered()
{
    sim->set_silent_commands({"DSA", "set ALG", "go MDP"});
    for (const char* silent : {"get DSA", "set ALG 123", "go MDP"})
        QVERIFY(line->write(std::string(silent) + "\r"));
    // Answers come in order: one to a silenced line would come first.
    QVERIFY(is_value_response(line->ask("get PSA"), "PSA"));
    QVERIFY(is_value_response(line->ask("get ALG"), "ALG"));
    QCOMPARE(sim->request_count("get DSA"), 1u);
    QCOMPARE(sim->request_count("set ALG"), 1u);
    // Silenced requests are not carried out either.
    QCOMPARE(sim->readings().mode, Sim::Mode::Idle);

    sim->set_silent_commands({});
    QVERIFY(is_value_response(line->ask("get DSA"), "DSA"));
}

void Sim_Faults_Test::all_silent_answers_nothing()
{
    sim->set_test_duration(300ms);
    QCOMPARE(line->ask("go CTS"), std::string("<OK>\n"));
    sim->set_all_silent(true);
    QVERIFY(line->write("get DSA\rget MOD\rgo MDP\rset SRH\r"));
    // Not even the verdict of the running test.
    QCOMPARE(line->read_for(800ms), std::string());
    QTRY_COMPARE(sim->total_requests(), 5u);

    sim->set_all_silent(false);
    QVERIFY(is_value_response(line->ask("get MOD"), "MOD"));
}

void Sim_Faults_Test::answers_can_be_delayed()
{
    sim->set_answer_delay(200ms);
    const auto asked = Clock::now();
    QVERIFY(is_value_response(line->ask("get DSA"), "DSA"));
    QVERIFY(Clock::now() - asked >= 200ms);
}

void Sim_Faults_Test::answers_can_trickle()
{
    sim->set_trickle(true, 20ms);
    line->take_read_count();
    const auto asked = Clock::now();
    QVERIFY(is_value_response(line->ask("get DSA"), "DSA"));
    // Ten gaps between eleven bytes.
    QVERIFY(Clock::now() - asked >= 200ms);
    QVERIFY(line->take_read_count() > 1);
    QCOMPARE(line->ask("go MDP"), std::string("<OK>\n"));
}

void Sim_Faults_Test::noise_comes_before_answers()
{
    sim->set_noise_bytes(7);
    // Noise may hold line feeds, so the bytes are counted, not cut at one.
    QVERIFY(line->write("get DSA\r"));
    const std::string noise = line->read_bytes(7);
    QCOMPARE(noise.size(), std::size_t(7));
    for (char c : noise)
        QVERIFY(!is_frame_start(c));
    QVERIFY(is_value_response(line->read_bytes(11), "DSA"));

    QVERIFY(line->write("set SRH\r"));
    QCOMPARE(line->read_bytes(7 + 5).substr(7), std::string("<OK>\n"));
    QCOMPARE(line->read_for(30ms), std::string());
}

void Sim_Faults_Test::checksums_can_be_wrong()
{
    sim->set_bad_checksums(true);
    const std::string answer = line->ask("get DSA");
    QCOMPARE(answer.size(), std::size_t(11));
    QCOMPARE(answer.substr(0, 4), std::string("DSA "));
    QVERIFY(static_cast<unsigned char>(answer[9]) != checksum_of(answer));
    QCOMPARE(answer.back(), '\n');
    QCOMPARE(line->ask("set SRH"), std::string("<OK>\n"));
}

void Sim_Faults_Test::moves_can_be_refused()
{
    sim->set_refuse_moves(true);
    const auto before = sim->readings();
    for (const char* move : {"go MDP", "go MDN", "go MCP", "go MCN", "go RDH", "go LSP"}) {
        const std::string answer = line->ask(move);
        QVERIFY2(answer.front() == '<' && answer.back() == '\n' && answer != "<OK>\n",
                 answer.c_str());
    }
    const auto after = sim->readings();
    QCOMPARE(after.driver_angle, before.driver_angle);
    QCOMPARE(after.curb_angle, before.curb_angle);
    QCOMPARE(after.mode, Sim::Mode::Idle);
    QCOMPARE(line->ask("go CTS"), std::string("<OK>\n"));
}

void Sim_Faults_Test::paced_line_takes_its_time()
{
    // An 8-byte request and an 11-byte answer take 19 byte times of 86.8 us.
    constexpr int exchanges = 50;
    constexpr auto least = exchanges * 19 * std::chrono::nanoseconds(86806);
    sim->set_line_pacing(true);
    const auto started = Clock::now();
    for (int i = 0; i < exchanges; ++i)
        QVERIFY(is_value_response(line->ask("get DSA"), "DSA"));
    QVERIFY(Clock::now() - started >= least);
}

void Sim_Faults_Test::hang_up_looks_like_an_unplugged_adapter()
{
    QVERIFY(is_value_response(line->ask("get DSA"), "DSA"));
    sim->hang_up();
    QVERIFY(!sim->is_serving());

    pollfd p{line->fd(), POLLIN, 0};
    QCOMPARE(poll(&p, 1, 1000), 1);
    QVERIFY(p.revents & POLLHUP);
    char byte;
    QCOMPARE(read(line->fd(), &byte, 1), ssize_t(0));
    QCOMPARE(read(line->fd(), &byte, 1), ssize_t(0));
    QCOMPARE(write(line->fd(), "get DSA\r", 8), ssize_t(-1));
    QCOMPARE(errno, EIO);
}

void Sim_Faults_Test::stop_interrupts_a_delayed_answer()
{
    sim->set_answer_delay(60s);
    QVERIFY(line->write("get DSA\r"));
    QTRY_COMPARE(sim->total_requests(), 1u);
    const auto stopping = Clock::now();
    sim->stop();
    QVERIFY(Clock::now() - stopping < 10s);
    QVERIFY(!sim->is_serving());
}

void Sim_Faults_Test::no_client_means_no_busy_waiting()
{
    line.reset();
    std::this_thread::sleep_for(50ms);
    const auto cpu_before = cpu_time();
    const auto wall_before = Clock::now();
    std::this_thread::sleep_for(500ms);
    const auto cpu_after = cpu_time();
    QVERIFY(cpu_before.count() >= 0 && cpu_after.count() >= 0);
    const auto cpu = cpu_after - cpu_before;
    const auto wall = Clock::now() - wall_before;
    // A thread spinning on the hung-up master would use about all of it.
    QVERIFY2(cpu < wall / 4, QByteArray::number(qlonglong(cpu.count())));

    line = std::make_unique<Slave_Line>(sim->device_path());
    QVERIFY(is_value_response(line->ask("get DSA"), "DSA"));
}

void Sim_Faults_Test::settings_change_while_serving()
{
    std::atomic<bool> done{false};
    std::thread fiddler([&] {
        bool on = false;
        while (!done) {
            on = !on;
            sim->set_trickle(on, std::chrono::microseconds(100));
            sim->set_refuse_moves(on);
            sim->set_fault_flags(2, on ? "00001" : "00000");
            sim->set_pressure_raw(on ? 800 : 900);
            (void)sim->readings();
            (void)sim->request_count("get DSA");
            std::this_thread::sleep_for(1ms);
        }
    });
    int answered = 0;
    for (int i = 0; i < 100; ++i) {
        if (is_value_response(line->ask("get FM2"), "FM2"))
            ++answered;
    }
    done = true;
    fiddler.join();
    QCOMPARE(answered, 100);
    QCOMPARE(sim->request_count("get FM2"), 100u);
}

QTEST_GUILESS_MAIN(Sim_Faults_Test)
#include "tst_sim_faults.moc"
