// The simulated suspension: the model on its own with made-up time for what
// takes minutes, and through the line for what the tool watches.

#include "frame_check.h"
#include "plant.h"
#include "slave_line.h"
#include "std_string_output.h"
#include "virtual_controller.h"

#include <QtTest>

#include <chrono>
#include <memory>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr unsigned psi_raw(double psi)
{
    return unsigned(psi * 5.462666 + 102.3);
}

unsigned counter(const Sim::Plant_Readings& r, Sim::Counter which)
{
    return r.counters[std::size_t(which)];
}

} // namespace

class Sim_Plant_Test : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // The model alone.
    void counters_advance_with_time();
    void compressor_keeps_the_reservoir_topped_up();
    void long_compressor_runs_count_an_overheat();
    void a_single_move_command_moves_briefly_then_settles();

    // Through the line.
    void held_moves_change_their_side_data();
    void held_moves_change_their_side();
    void outputs_and_mode_follow_the_moves();
    void sides_drive_to_their_presets();
    void raising_draws_on_the_reservoir();
    void compressor_test_reports_its_verdict_data();
    void compressor_test_reports_its_verdict();

private:
    // Repeats the move as the tool does while a button is held.
    void hold(const std::string& move, std::chrono::milliseconds time);

    std::unique_ptr<Sim::Virtual_Controller> sim;
    std::unique_ptr<Slave_Line> line;
};

void Sim_Plant_Test::init()
{
    sim = std::make_unique<Sim::Virtual_Controller>();
    std::string error;
    QVERIFY2(sim->start(&error), error.c_str());
    line = std::make_unique<Slave_Line>(sim->device_path());
    QVERIFY(line->is_open());
}

void Sim_Plant_Test::cleanup()
{
    line.reset();
    sim.reset();
}

void Sim_Plant_Test::hold(const std::string& move, std::chrono::milliseconds time)
{
    const auto end = Clock::now() + time;
    while (Clock::now() < end) {
        QCOMPARE(line->ask(move), std::string("<OK>\n"));
        std::this_thread::sleep_for(20ms);
    }
}

void Sim_Plant_Test::counters_advance_with_time()
{
    const auto t0 = Clock::now();
    Sim::Plant plant(t0, 1);
    const auto before = plant.readings();
    QVERIFY(!before.compressor);
    plant.advance(t0 + 125s);
    const auto after = plant.readings();
    QCOMPARE(counter(after, Sim::Counter::On_Time), counter(before, Sim::Counter::On_Time) + 2);
    QCOMPARE(counter(after, Sim::Counter::Compressor_Time),
             counter(before, Sim::Counter::Compressor_Time));
}

void Sim_Plant_Test::compressor_keeps_the_reservoir_topped_up()
{
    const auto t0 = Clock::now();
    Sim::Plant plant(t0, 1);
    plant.set_pressure(psi_raw(110));
    const unsigned cool = plant.readings().compressor_temperature;
    plant.advance(t0 + 1s);
    QVERIFY(plant.readings().compressor);
    QVERIFY(plant.readings().pressure > psi_raw(110));

    plant.advance(t0 + 40s);
    const auto full = plant.readings();
    QVERIFY(!full.compressor);
    QVERIFY(full.pressure >= psi_raw(149) && full.pressure <= psi_raw(151));
    QVERIFY(full.compressor_temperature > cool);

    // Off, it stays off above the cut-in pressure and cools down.
    plant.set_pressure(psi_raw(130));
    plant.advance(t0 + 60s);
    QVERIFY(!plant.readings().compressor);
    QVERIFY(plant.readings().compressor_temperature < full.compressor_temperature);

    plant.set_compressor_enabled(false);
    plant.set_pressure(psi_raw(50));
    plant.advance(t0 + 70s);
    QVERIFY(!plant.readings().compressor);
    QCOMPARE(plant.readings().pressure, psi_raw(50));
}

void Sim_Plant_Test::long_compressor_runs_count_an_overheat()
{
    const auto t0 = Clock::now();
    Sim::Plant plant(t0, 1);
    const auto before = plant.readings();
    plant.start_compressor_test(t0, 10min);
    plant.advance(t0 + 5min + 1s);
    const auto after = plant.readings();
    QCOMPARE(after.mode, Sim::Mode::Compressor_Test);
    QCOMPARE(counter(after, Sim::Counter::Overheat), counter(before, Sim::Counter::Overheat) + 1);
    QCOMPARE(counter(after, Sim::Counter::Compressor_Time),
             counter(before, Sim::Counter::Compressor_Time) + 5);
    QVERIFY(!plant.finish_test(t0 + 5min));
    QVERIFY(plant.finish_test(t0 + 10min));
    QVERIFY(!plant.finish_test(t0 + 11min));
}

void Sim_Plant_Test::a_single_move_command_moves_briefly_then_settles()
{
    const auto t0 = Clock::now();
    Sim::Plant plant(t0, 1);
    const unsigned start = plant.readings().driver_angle;
    QVERIFY(plant.move(Sim::Side::Driver, +1, t0));
    plant.advance(t0 + 100ms);
    const unsigned moving = plant.readings().driver_angle;
    QVERIFY(moving > start);
    QCOMPARE(plant.readings().mode, Sim::Mode::Raising);

    plant.advance(t0 + 3s);
    const auto settled = plant.readings();
    QCOMPARE(settled.mode, Sim::Mode::Idle);
    QVERIFY(settled.driver_angle > start);
    QVERIFY(settled.driver_angle < start + 20);
    QCOMPARE(settled.curb_angle, start);
}

void Sim_Plant_Test::held_moves_change_their_side_data()
{
    QTest::addColumn<QByteArray>("move");
    QTest::addColumn<bool>("driver");
    QTest::addColumn<int>("direction");
    QTest::newRow("driver up") << QByteArray("go MDP") << true << +1;
    QTest::newRow("driver down") << QByteArray("go MDN") << true << -1;
    QTest::newRow("curb up") << QByteArray("go MCP") << false << +1;
    QTest::newRow("curb down") << QByteArray("go MCN") << false << -1;
}

void Sim_Plant_Test::held_moves_change_their_side()
{
    QFETCH(QByteArray, move);
    QFETCH(bool, driver);
    QFETCH(int, direction);
    const std::string moved = driver ? "get DSA" : "get PSA";
    const std::string other = driver ? "get PSA" : "get DSA";
    const std::string valve = driver ? "get DSS" : "get CSS";

    const long start = number_of(line->ask(moved));
    const long other_start = number_of(line->ask(other));
    QCOMPARE(field_of(line->ask(valve)), std::string("00000"));
    hold(move.toStdString(), 400ms);
    QCOMPARE(field_of(line->ask(valve)), std::string("00001"));
    const long held = number_of(line->ask(moved));
    QVERIFY2((held - start) * direction >= 5, QByteArray::number(int(held - start)));
    QCOMPARE(number_of(line->ask(other)), other_start);

    // Released, the side stops and gives back a little of its travel.
    QTRY_COMPARE_WITH_TIMEOUT(field_of(line->ask(valve)), std::string("00000"), 3000);
    long furthest = number_of(line->ask(moved));
    long last = furthest;
    const auto end = Clock::now() + 1500ms;
    while (Clock::now() < end) {
        last = number_of(line->ask(moved));
        if ((last - furthest) * direction > 0)
            furthest = last;
        std::this_thread::sleep_for(30ms);
    }
    QVERIFY((last - start) * direction > 0);
    QVERIFY((furthest - last) * direction > 0);
}

void Sim_Plant_Test::outputs_and_mode_follow_the_moves()
{
    QCOMPARE(line->ask("go MDP"), std::string("<OK>\n"));
    QCOMPARE(number_of(line->ask("get MOD")), 2L);
    QCOMPARE(field_of(line->ask("get RVS")), std::string("00001"));
    QCOMPARE(number_of(line->ask("get CES")), 0L);
    QTRY_COMPARE_WITH_TIMEOUT(number_of(line->ask("get MOD")), 0L, 3000);

    QCOMPARE(line->ask("go MCN"), std::string("<OK>\n"));
    QCOMPARE(number_of(line->ask("get MOD")), 1L);
    QCOMPARE(field_of(line->ask("get RVS")), std::string("00000"));
    QVERIFY(number_of(line->ask("get CES")) > 0);
    QCOMPARE(field_of(line->ask("get CSS")), std::string("00001"));
    QCOMPARE(field_of(line->ask("get DSS")), std::string("00000"));
    QTRY_COMPARE_WITH_TIMEOUT(number_of(line->ask("get CES")), 0L, 3000);
}

void Sim_Plant_Test::sides_drive_to_their_presets()
{
    sim->set_angle_raw(Sim::Side::Driver, 420);
    sim->set_angle_raw(Sim::Side::Curb, 440);
    QCOMPARE(line->ask("set SLP"), std::string("<OK>\n"));
    sim->set_angle_raw(Sim::Side::Driver, 520);
    sim->set_angle_raw(Sim::Side::Curb, 530);
    QCOMPARE(line->ask("set SRH"), std::string("<OK>\n"));

    QCOMPARE(line->ask("go LSP"), std::string("<OK>\n"));
    QCOMPARE(number_of(line->ask("get MOD")), 1L);
    QTRY_COMPARE_WITH_TIMEOUT(number_of(line->ask("get DSA")), 420L, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(number_of(line->ask("get PSA")), 440L, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(number_of(line->ask("get MOD")), 0L, 3000);

    const auto left = Clock::now();
    QCOMPARE(line->ask("go RDH"), std::string("<OK>\n"));
    QCOMPARE(number_of(line->ask("get MOD")), 2L);
    QTRY_COMPARE_WITH_TIMEOUT(number_of(line->ask("get DSA")), 520L, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(number_of(line->ask("get PSA")), 530L, 10000);
    // The travel is gradual: 90 sensor steps take a good part of a second.
    QVERIFY(Clock::now() - left > 500ms);
    QTRY_COMPARE_WITH_TIMEOUT(number_of(line->ask("get MOD")), 0L, 3000);
}

void Sim_Plant_Test::raising_draws_on_the_reservoir()
{
    sim->set_compressor_enabled(false);
    const long before = number_of(line->ask("get PXV"));
    hold("go MCP", 400ms);
    QVERIFY(number_of(line->ask("get PXV")) < before);
    QCOMPARE(field_of(line->ask("get CSR")), std::string("00000"));
}

void Sim_Plant_Test::compressor_test_reports_its_verdict_data()
{
    QTest::addColumn<QByteArray>("verdict");
    QTest::newRow("default") << QByteArray();
    QTest::newRow("fail 2") << QByteArray("<FAIL 2>");
    QTest::newRow("over temp") << QByteArray("<OVER TEMP>");
}

void Sim_Plant_Test::compressor_test_reports_its_verdict()
{
    QFETCH(QByteArray, verdict);
    const std::string expected = verdict.isEmpty() ? "<TEST DONE>" : verdict.toStdString();
    if (!verdict.isEmpty())
        QVERIFY(sim->set_test_verdict(expected));
    sim->set_test_duration(600ms);

    const auto started = Clock::now();
    QCOMPARE(line->ask("go CTS"), std::string("<OK>\n"));
    QCOMPARE(number_of(line->ask("get MOD")), 3L);
    QCOMPARE(field_of(line->ask("get CSR")), std::string("00001"));
    QCOMPARE(line->read_frame(10s), expected + "\n");
    QVERIFY(Clock::now() - started >= 600ms);
    QCOMPARE(number_of(line->ask("get MOD")), 0L);
}

QTEST_GUILESS_MAIN(Sim_Plant_Test)
#include "tst_sim_plant.moc"
