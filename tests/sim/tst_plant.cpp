// The simulated vehicle's faults over minutes of model time, with no wall
// time spent: the rates a leak-down test measures, as the program reads
// pressure and height; the compressor that refills a leak and the one that
// has lost its breath; the readings a height-sensor test looks at.

#include "plant.h"
#include "sim_options.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <vector>

using namespace std::chrono_literals;

namespace {

using Clock = Sim::Plant::Clock;
using Minutes = std::chrono::duration<double, std::ratio<60>>;

// As the program decodes the raw values, and the height as it shows it at
// the factory lever of 6 inches.
double psi(unsigned raw)
{
    return (raw - 102.3) / 5.462666;
}
double degrees(unsigned raw)
{
    return (raw - 102.3) / 9.1044 - 45.0;
}
double inches(unsigned raw)
{
    return std::sin(degrees(raw) * 0.017453292519943295) * 6.0;
}
unsigned angle_raw(double degrees)
{
    return unsigned(std::lround((degrees + 45.0) * 9.1044 + 102.3));
}
unsigned pressure_raw(double psi)
{
    return unsigned(std::lround(psi * 5.462666 + 102.3));
}

Clock::time_point after(Clock::time_point start, double minutes)
{
    return start + std::chrono::duration_cast<Clock::duration>(Minutes(minutes));
}

} // namespace

class Plant_Test : public QObject
{
    Q_OBJECT

private slots:
    void leak_rates_data();
    void leak_rates();
    void leaks_wait_for_open_valves();
    void compressor_data();
    void compressor();
    void sensors_data();
    void sensors();
    void values_out_of_range();
};

void Plant_Test::leak_rates_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<double>("start_degrees"); // both sides
    QTest::addColumn<double>("minutes");
    QTest::addColumn<double>("psi_per_minute");  // lost
    QTest::addColumn<double>("driver_per_hour"); // inches lost
    QTest::addColumn<double>("curb_per_hour");
    QTest::newRow("sound") << "" << 0.0 << 30.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("reservoir") << "--leak-reservoir 2.5" << 0.0 << 10.0 << 2.5 << 0.0 << 0.0;
    QTest::newRow("reservoir, slow") << "--leak-reservoir 0.1" << 0.0 << 60.0 << 0.1 << 0.0 << 0.0;
    QTest::newRow("driver") << "--leak-driver 1.5" << 0.0 << 60.0 << 0.0 << 1.5 << 0.0;
    QTest::newRow("curb, slow") << "--leak-curb 0.25" << 0.0 << 120.0 << 0.0 << 0.0 << 0.25;
    // The rate is the height's, not the angle's, wherever the lever stands.
    QTest::newRow("raised") << "--leak-driver 2 --leak-curb 4" << 20.0 << 30.0 << 0.0 << 2.0 << 4.0;
    QTest::newRow("lowered") << "--leak-driver 1 --leak-curb 0.5 --leak-reservoir 1.2" << -25.0
                             << 40.0 << 1.2 << 1.0 << 0.5;
    // The sensor faults change what is read, not how the sides sink.
    QTest::newRow("reversed and swapped")
        << "--leak-driver 2 --reversed-sensor driver --swapped-sensors" << 10.0 << 30.0 << 0.0
        << 0.0 << -2.0;
}

// The compressor kept off, as a leak-down test reads the figures: over the
// span, from the values the controller answers.
void Plant_Test::leak_rates()
{
    QFETCH(QString, options);
    QFETCH(double, start_degrees);
    QFETCH(double, minutes);
    QFETCH(double, psi_per_minute);
    QFETCH(double, driver_per_hour);
    QFETCH(double, curb_per_hour);
    const auto t0 = Clock::now();
    Sim::Plant plant(t0, 1);
    plant.set_compressor_enabled(false);
    plant.set_angle(Sim::Side::Driver, angle_raw(start_degrees));
    plant.set_angle(Sim::Side::Curb, angle_raw(start_degrees));
    QVERIFY(plant.set_faults(parsed(options).plant_faults));
    const Sim::Plant_Readings before = plant.readings();
    plant.advance(after(t0, minutes));
    const Sim::Plant_Readings now = plant.readings();

    // A raw step at either end is the most the figures may be off.
    const double hours = minutes / 60;
    QVERIFY2(std::abs((psi(before.pressure) - psi(now.pressure)) / minutes - psi_per_minute) <=
                 0.2 / minutes,
             qPrintable(QString::number(psi(before.pressure) - psi(now.pressure))));
    for (auto [was, is, rate] : {std::tuple{before.driver_angle, now.driver_angle, driver_per_hour},
                                 std::tuple{before.curb_angle, now.curb_angle, curb_per_hour}})
        QVERIFY2(std::abs((inches(was) - inches(is)) / hours - rate) <= 0.015 / hours,
                 qPrintable(QString::number(inches(was) - inches(is))));
    QVERIFY(!now.compressor && !now.driver_valve && !now.curb_valve);
}

// A side's leak acts only while its valves are shut: a raise held against
// a fast leak travels as far as without one, while the other side sinks.
// Down at the stops the side rests.
void Plant_Test::leaks_wait_for_open_valves()
{
    const auto t0 = Clock::now();
    Sim::Plant sound(t0, 1);
    Sim::Plant leaking(t0, 1);
    QVERIFY(leaking.set_faults(parsed("--leak-driver 360 --leak-curb 360").plant_faults));
    auto t = t0;
    for (; t < t0 + 3s; t += 100ms) {
        for (Sim::Plant* plant : {&sound, &leaking}) {
            QVERIFY(plant->move(Sim::Side::Driver, +1, t));
            plant->advance(t);
        }
    }
    const Sim::Plant_Readings held = leaking.readings();
    QVERIFY(held.driver_valve && !held.curb_valve);
    QCOMPARE(held.driver_angle, sound.readings().driver_angle);
    QVERIFY(degrees(held.driver_angle) > 10);
    // A tenth of an inch a second for 2.9 seconds.
    QVERIFY2(std::abs(inches(sound.readings().curb_angle) - inches(held.curb_angle) - 0.29) < 0.02,
             qPrintable(QString::number(inches(held.curb_angle))));

    leaking.advance(t + 2min);
    QCOMPARE(leaking.readings().driver_angle, angle_raw(-35));
    QCOMPARE(leaking.readings().curb_angle, angle_raw(-35));
    leaking.advance(t + 5min);
    QCOMPARE(leaking.readings().curb_angle, angle_raw(-35));
}

void Plant_Test::compressor_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<double>("start_psi");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<double>("gained_psi"); // NaN: not looked at
    QTest::addColumn<int>("starts");
    const double any = std::numeric_limits<double>::quiet_NaN();
    // Below its cut-in of 120 psi the compressor fills 2.5 psi a second.
    QTest::newRow("healthy") << "" << 100.0 << 8.0 << 20.0 << 1;
    QTest::newRow("weak") << "--weak-compressor 0.5" << 100.0 << 8.0 << 10.0 << 1;
    QTest::newRow("tired") << "--weak-compressor 0.15" << 60.0 << 40.0 << 15.0 << 1;
    QTest::newRow("dead, running on") << "--weak-compressor 0" << 100.0 << 60.0 << 0.0 << 1;
    QTest::newRow("weak against a leak")
        << "--weak-compressor 0.5 --leak-reservoir 30" << 100.0 << 8.0 << 6.0 << 1;
    // 145 psi down to the cut-in at 10 psi a minute, filled to the cut-out
    // of 150 psi in 13 s, down again in 3 minutes: starts at 2.5, 5.7 and
    // 8.9 minutes.
    QTest::newRow("leak cycles it") << "--leak-reservoir 10" << 145.0 << 600.0 << any << 3;
    QTest::newRow("kept off") << "--leak-reservoir 10 --no-compressor" << 145.0 << 600.0 << -100.0
                              << 0;
    QTest::newRow("emptied") << "--leak-reservoir 1000 --no-compressor" << 145.0 << 60.0 << -145.0
                             << 0;
}

void Plant_Test::compressor()
{
    QFETCH(QString, options);
    QFETCH(double, start_psi);
    QFETCH(double, seconds);
    QFETCH(double, gained_psi);
    QFETCH(int, starts);
    const Sim::Command_Line line = parsed(options);
    const auto t0 = Clock::now();
    Sim::Plant plant(t0, 1);
    plant.set_compressor_enabled(line.compressor);
    QVERIFY(plant.set_faults(line.plant_faults));
    plant.set_pressure(pressure_raw(start_psi));
    int counted = 0;
    bool running = false;
    double lowest = start_psi;
    double highest = start_psi;
    for (auto t = t0; t <= t0 + std::chrono::duration<double>(seconds); t += 500ms) {
        plant.advance(t);
        const Sim::Plant_Readings now = plant.readings();
        counted += now.compressor && !running;
        running = now.compressor;
        lowest = std::min(lowest, psi(now.pressure));
        highest = std::max(highest, psi(now.pressure));
    }
    QCOMPARE(counted, starts);
    const double gained = psi(plant.readings().pressure) - start_psi;
    QVERIFY2(std::isnan(gained_psi) || std::abs(gained - gained_psi) <= 0.2,
             qPrintable(QString::number(gained)));
    // Refilled between the cut-in and the cut-out, never below empty.
    QVERIFY(lowest >= (starts > 1 ? 119.5 : -0.1) && highest <= std::max(start_psi, 150.5));
}

void Plant_Test::sensors_data()
{
    // Each side stands at one angle when the faults come, at another when
    // the sensors are read; what the driver's (DSA) and the curb side's
    // (PSA) angles then show.
    QTest::addColumn<QString>("options");
    QTest::addColumn<double>("driver");
    QTest::addColumn<double>("curb");
    const auto row = [](const char* name, const char* options, double driver, double curb) {
        QTest::newRow(name) << QString(options) << driver << curb;
    };
    row("sound", "", 20, -15);
    row("stuck driver", "--stuck-sensor driver", 10, -15);
    row("both stuck", "--stuck-sensor driver --stuck-sensor curb", 10, -5);
    row("reversed driver", "--reversed-sensor driver", -20, -15);
    row("reversed curb", "--reversed-sensor curb", 20, 15);
    row("swapped", "--swapped-sensors", -15, 20);
    row("swapped, stuck driver", "--swapped-sensors --stuck-sensor driver", -15, 10);
    row("swapped, reversed curb", "--swapped-sensors --reversed-sensor curb", 15, 20);
    // Stuck wins over reversed: a sensor that does not move reads nowhere.
    row("stuck and reversed", "--stuck-sensor curb --reversed-sensor curb", 20, -5);
}

void Plant_Test::sensors()
{
    QFETCH(QString, options);
    QFETCH(double, driver);
    QFETCH(double, curb);
    const auto t0 = Clock::now();
    Sim::Plant plant(t0, 1);
    plant.set_angle(Sim::Side::Driver, angle_raw(10));
    plant.set_angle(Sim::Side::Curb, angle_raw(-5));
    QVERIFY(plant.set_faults(parsed(options).plant_faults));
    plant.set_angle(Sim::Side::Driver, angle_raw(20));
    plant.set_angle(Sim::Side::Curb, angle_raw(-15));
    plant.advance(t0 + 10s);
    const Sim::Plant_Readings now = plant.readings();
    QVERIFY2(std::abs(degrees(now.driver_angle) - driver) < 0.1 &&
                 std::abs(degrees(now.curb_angle) - curb) < 0.1,
             qPrintable(QString("%1 %2")
                            .arg(degrees(now.driver_angle), 0, 'f', 2)
                            .arg(degrees(now.curb_angle), 0, 'f', 2)));
    // The presets and the controller's own moves go by where the sides are.
    plant.store(Sim::Preset::Ride);
    QCOMPARE(plant.readings().ride_driver, angle_raw(20));
    QCOMPARE(plant.readings().ride_curb, angle_raw(-15));
}

void Plant_Test::values_out_of_range()
{
    Sim::Plant plant(Clock::now(), 1);
    Sim::Plant_Faults set;
    set.reservoir_leak = 3;
    QVERIFY(plant.set_faults(set));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (auto spoil : std::vector<void (*)(Sim::Plant_Faults&, double)>{
             [](Sim::Plant_Faults&f, double) { f.reservoir_leak = -0.5; },
             [](Sim::Plant_Faults&f, double) { f.reservoir_leak = 1000.5; },
             [](Sim::Plant_Faults&f, double n) { f.reservoir_leak = n; },
             [](Sim::Plant_Faults&f, double) { f.side_leak[0] = -1; },
             [](Sim::Plant_Faults&f, double n) { f.side_leak[1] = n; },
             [](Sim::Plant_Faults&f, double) { f.side_leak[1] = 1e9; },
             [](Sim::Plant_Faults&f, double) { f.compressor_factor = 1.01; },
             [](Sim::Plant_Faults&f, double) { f.compressor_factor = -0.1; },
             [](Sim::Plant_Faults&f, double n) { f.compressor_factor = n; }}) {
        Sim::Plant_Faults bad;
        bad.swapped_sensors = true;
        spoil(bad, nan);
        QVERIFY(!plant.set_faults(bad));
        QCOMPARE(plant.faults().reservoir_leak, 3.0);
        QVERIFY(!plant.faults().swapped_sensors);
    }
}

QTEST_GUILESS_MAIN(Plant_Test)
#include "tst_plant.moc"
