// The guided tests live, against the virtual controller with its vehicle
// faults, over a pty and the worker thread: every verdict of each test, a
// stop in the middle, a lost connection and a controller that falls silent.
// Durations are seconds rather than minutes, the faults larger to match.

#include "app_test_main.h"
#include "worker_rig.h"

#include "diagnostics/test_runner.h"

#include <memory>

using namespace Diagnostics;

namespace {

// What cuts a test short.
enum Cut
{
    Nothing,
    Stop,     // the technician stops it
    Hang_Up,  // the adapter is pulled out
    Silence,  // the controller stops answering
    Give_Up,  // the main window gives the connection up
    Delete_It // the owner deletes the runner while it runs
};

unsigned pressure_raw(double psi)
{
    return unsigned(std::lround(psi * 5.462666 + 102.3));
}

} // namespace

class Diagnostics_Runners : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void leak_down_data();
    void leak_down();
    void compressor_data();
    void compressor();
    void sensors_data();
    void sensors();
    void made_with_the_stored_limits();
    void run_again_after_silence();

private:
    // Runs `runner` to its end, cutting it as asked once `cut_after` seconds
    // have passed; its result is the first of `finished`.
    void run(Test_Runner* runner, Cut cut = Nothing, double cut_after = 1.0);
    // No more requests for `key` once the test is over.
    void verify_quiet(const std::string& key);

    std::unique_ptr<Worker_Rig> rig;
    QList<Result> finished;
    int progress = 0;
    int samples = 0;
};

void Diagnostics_Runners::init()
{
    rig.reset(new Worker_Rig);
    QString error;
    QVERIFY2(rig->start(&error), qPrintable(error));
    finished.clear();
    progress = 0;
    samples = 0;
}

void Diagnostics_Runners::cleanup()
{
    rig.reset();
}

void Diagnostics_Runners::run(Test_Runner* runner, Cut cut, double cut_after)
{
    connect(runner, &Test_Runner::Finished, this, [this](const Result& r) { finished << r; });
    connect(runner, &Test_Runner::Progress, this, [this](double, double) { ++progress; });
    connect(runner, &Test_Runner::Sample_Added, this, [this](const Sample&) { ++samples; });
    QVERIFY(runner->Start(rig->worker));
    QVERIFY(!runner->Start(rig->worker)); // one test at a time
    if (cut != Nothing) {
        QTRY_VERIFY_WITH_TIMEOUT(runner->Elapsed() >= cut_after, 20000);
        switch (cut) {
        case Stop:
            runner->Stop();
            break;
        case Hang_Up:
            rig->sim.hang_up();
            break;
        case Silence:
            rig->sim.set_all_silent(true);
            break;
        case Give_Up:
            runner->Connection_Lost();
            break;
        case Delete_It:
            delete runner;
            return;
        case Nothing:
            break;
        }
    }
    const int timeout = int(runner->Duration() * 1000) + 20000;
    QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), timeout);
    QVERIFY(!runner->Is_Running());
    QCOMPARE(finished.first().To_Json(), runner->Last_Result().To_Json());
}

void Diagnostics_Runners::verify_quiet(const std::string& key)
{
    QTest::qWait(300);
    const unsigned sent = rig->sim.request_count(key);
    QTest::qWait(500);
    QCOMPARE(rig->sim.request_count(key), sent);
}

void Diagnostics_Runners::leak_down_data()
{
    QTest::addColumn<double>("reservoir_leak"); // psi/min
    QTest::addColumn<double>("driver_leak");    // in/h
    QTest::addColumn<double>("usable");         // seconds of quiet spans needed
    QTest::addColumn<int>("cut");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("reason"); // reason_code, or the failing figure

    QTest::newRow("sound") << 0.0 << 0.0 << 1.0 << int(Nothing) << "pass"
                           << "";
    QTest::newRow("reservoir leaks") << 60.0 << 0.0 << 1.0 << int(Nothing) << "fail"
                                     << "reservoir_loss";
    QTest::newRow("driver's side sags") << 0.0 << 360.0 << 1.0 << int(Nothing) << "fail"
                                        << "driver_loss";
    QTest::newRow("too short") << 60.0 << 0.0 << 60.0 << int(Nothing) << "inconclusive"
                               << "too_short";
    QTest::newRow("stopped") << 60.0 << 0.0 << 1.0 << int(Stop) << "inconclusive"
                             << "stopped";
    QTest::newRow("hang-up") << 60.0 << 0.0 << 1.0 << int(Hang_Up) << "inconclusive"
                             << "connection_lost";
    QTest::newRow("silent controller") << 60.0 << 0.0 << 1.0 << int(Silence) << "inconclusive"
                                       << "connection_lost";
    QTest::newRow("connection given up") << 60.0 << 0.0 << 1.0 << int(Give_Up) << "inconclusive"
                                         << "connection_lost";
    QTest::newRow("runner deleted") << 0.0 << 0.0 << 1.0 << int(Delete_It) << ""
                                    << "";
}

void Diagnostics_Runners::leak_down()
{
    QFETCH(double, reservoir_leak);
    QFETCH(double, driver_leak);
    QFETCH(double, usable);
    QFETCH(int, cut);
    QFETCH(QString, outcome);
    QFETCH(QString, reason);

    QVERIFY(rig->sim.set_leak_reservoir(reservoir_leak));
    QVERIFY(rig->sim.set_leak(Sim::Side::Driver, driver_leak));
    Leak_Limits limits;
    limits.min_usable_seconds = usable;
    limits.edge_seconds = 0.3; // three rounds of readings
    // Seconds resolve a rate only to a sensor's step over them: 3 psi/min
    // and 12 in/h here, so the limits are wider than a real test's.
    limits.reservoir_loss = 10;
    limits.side_loss = 30;
    auto runner = new Leak_Down_Runner(limits, this);
    QCOMPARE(runner->Duration(), 600.0);
    runner->Set_Duration(4);
    runner->Set_Poll_Interval(100);
    run(runner, Cut(cut), 1.5);
    if (QTest::currentTestFailed())
        return;
    if (cut == Delete_It) {
        // Its requests end with it; the worker goes on.
        verify_quiet("get PXV");
        QVERIFY(rig->sim.request_count("get PXV") > 0);
        return;
    }
    const Result r = finished.first();
    QVERIFY2(Outcome_Key(r.outcome) == outcome, qPrintable(r.Verdict_Line()));
    QCOMPARE(finished.size(), 1);
    if (outcome == "fail") {
        QVERIFY(r.Find(reason) && r.Find(reason)->Measured() && !r.Find(reason)->Passed());
        // The rate the vehicle was given, as read through the sensors' steps.
        const double given = reason == "reservoir_loss" ? reservoir_leak : driver_leak;
        QVERIFY2(std::abs(r.Find(reason)->value - given) < given * 0.2, qPrintable(r.summary));
    } else {
        QCOMPARE(r.reason_code, reason);
    }
    if (outcome == "pass") {
        QVERIFY(std::abs(r.Find("reservoir_loss")->value) < 1);
        QCOMPARE(r.Find("compressor_starts")->value, 0.0);
    }
    if (cut == Nothing) {
        QVERIFY(r.seconds >= 4 && r.seconds < 30);
        QVERIFY(progress >= 10);
        QVERIFY(samples >= 80); // eight codes, ten times a second
    }
    if (cut != Hang_Up && cut != Silence)
        verify_quiet("get PXV");
    // Nothing further once it has ended.
    QTest::qWait(200);
    QCOMPARE(finished.size(), 1);
}

void Diagnostics_Runners::compressor_data()
{
    QTest::addColumn<double>("psi");     // the reservoir at the start
    QTest::addColumn<double>("factor");  // of the compressor's healthy fill
    QTest::addColumn<double>("seconds"); // the test's duration
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("reason");

    QTest::newRow("healthy") << 110.0 << 1.0 << 4.0 << "pass"
                             << "";
    QTest::newRow("weak") << 110.0 << 0.3 << 4.0 << "fail"
                          << "fill_rate";
    QTest::newRow("not started") << 145.0 << 1.0 << 2.0 << "inconclusive"
                                 << "not_run";
    // A whole run, cut-in to cut-out: the test ends soon after it.
    QTest::newRow("a whole run") << 119.0 << 1.0 << 60.0 << "pass"
                                 << "";
}

void Diagnostics_Runners::compressor()
{
    QFETCH(double, psi);
    QFETCH(double, factor);
    QFETCH(double, seconds);
    QFETCH(QString, outcome);
    QFETCH(QString, reason);

    rig->sim.set_pressure_raw(pressure_raw(psi));
    QVERIFY(rig->sim.set_weak_compressor(factor));
    Compressor_Limits limits;
    limits.min_run_seconds = 1.5;
    limits.edge_seconds = 0.3;
    auto runner = new Compressor_Runner(limits, this);
    runner->Set_Duration(seconds);
    runner->Set_Poll_Interval(100);
    run(runner);
    if (QTest::currentTestFailed())
        return;
    const Result r = finished.first();
    QCOMPARE(Outcome_Key(r.outcome), outcome);
    if (outcome == "fail") {
        QVERIFY(!r.Find(reason)->Passed());
        QVERIFY(r.Find(reason)->value < 60 && r.Find(reason)->value > 30);
    } else {
        QCOMPARE(r.reason_code, reason);
    }
    if (outcome == "pass") {
        QVERIFY2(r.Find("fill_rate")->value > 120, qPrintable(r.summary));
        QVERIFY(r.Find("temperature")->value < 40);
    }
    if (seconds > 30) {
        // Ended after the run, not at the limit: 31 psi at 150 psi/min.
        QVERIFY2(r.seconds < 30, qPrintable(QString::number(r.seconds)));
        QVERIFY2(std::abs(r.Find("run_time")->value - 12.4) < 3, qPrintable(r.summary));
    }
}

void Diagnostics_Runners::sensors_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("cut");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("driver"); // the finding, or the reason code
    QTest::addColumn<QString>("curb");

    QTest::newRow("sound") << "" << int(Nothing) << "pass"
                           << "ok"
                           << "ok";
    QTest::newRow("driver stuck") << "stuck driver" << int(Nothing) << "fail"
                                  << "stuck"
                                  << "ok";
    QTest::newRow("curb reversed") << "reversed curb" << int(Nothing) << "fail"
                                   << "ok"
                                   << "reversed";
    QTest::newRow("swapped") << "swapped" << int(Nothing) << "fail"
                             << "swapped"
                             << "swapped";
    QTest::newRow("moves refused") << "refused" << int(Nothing) << "inconclusive"
                                   << "refused"
                                   << "";
    QTest::newRow("low reservoir") << "low" << int(Nothing) << "inconclusive"
                                   << "not_run"
                                   << "";
    QTest::newRow("stopped while raising") << "" << int(Stop) << "inconclusive"
                                           << "stopped"
                                           << "";
    QTest::newRow("hang-up while raising") << "" << int(Hang_Up) << "inconclusive"
                                           << "connection_lost"
                                           << "";
    QTest::newRow("deleted while raising") << "" << int(Delete_It) << ""
                                           << ""
                                           << "";
}

void Diagnostics_Runners::sensors()
{
    QFETCH(QString, fault);
    QFETCH(int, cut);
    QFETCH(QString, outcome);
    QFETCH(QString, driver);
    QFETCH(QString, curb);

    if (fault == "stuck driver")
        rig->sim.set_stuck_sensor(Sim::Side::Driver, true);
    if (fault == "reversed curb")
        rig->sim.set_reversed_sensor(Sim::Side::Curb, true);
    if (fault == "swapped")
        rig->sim.set_swapped_sensors(true);
    if (fault == "refused")
        rig->sim.set_refuse_moves(true);
    if (fault == "low") {
        rig->sim.set_compressor_enabled(false);
        rig->sim.set_pressure_raw(pressure_raw(80));
    }
    Sensor_Limits limits;
    limits.move_seconds = 1;
    auto runner = new Sensor_Runner(limits, this);
    runner->Set_Settle_Seconds(0.5);
    QCOMPARE(runner->Duration(), 6.5);
    const auto before = rig->sim.readings();
    // Cut while the driver's side rises.
    run(runner, Cut(cut), 1.0);
    if (QTest::currentTestFailed())
        return;
    if (cut != Hang_Up)
        verify_quiet("go MDP");
    if (cut == Delete_It)
        return;
    const Result r = finished.first();
    QCOMPARE(Outcome_Key(r.outcome), outcome);
    if (outcome == "inconclusive") {
        QCOMPARE(r.reason_code, driver);
        return;
    }
    QCOMPARE(r.findings.value("driver_sensor"), driver);
    QCOMPARE(r.findings.value("curb_sensor"), curb);
    QCOMPARE(runner->Phases().size(), 4);
    // Each side went up and came back down by as much, give or take the
    // spring's settling.
    const auto after = rig->sim.readings();
    if (fault.isEmpty()) {
        QVERIFY2(r.Find("driver_raise")->value > 3, qPrintable(r.summary));
        const QByteArray angles = QStringLiteral("driver %1 -> %2, curb %3 -> %4")
                                      .arg(before.driver_angle)
                                      .arg(after.driver_angle)
                                      .arg(before.curb_angle)
                                      .arg(after.curb_angle)
                                      .toLatin1();
        QVERIFY2(std::abs(int(after.driver_angle) - int(before.driver_angle)) < 10, angles);
        QVERIFY2(std::abs(int(after.curb_angle) - int(before.curb_angle)) < 10, angles);
    }
    QCOMPARE(rig->sim.request_count("go MDP") > 0, true);
    QCOMPARE(rig->sim.request_count("go MCN") > 0, true);
}

void Diagnostics_Runners::made_with_the_stored_limits()
{
    Test_Limits limits;
    QVERIFY(limits.Set_Value("Tests/Sensors/MoveSeconds", 2));
    std::unique_ptr<Test_Runner> sensors(Make_Runner(Test_Kind::Sensors, limits));
    // The first readings, then each side up and down, each move settling.
    QCOMPARE(sensors->Duration(), 1 + 4 * (2 + 1.0));
    QCOMPARE(sensors->Codes(), (QStringList{"DSA", "PSA", "PXV"}));
    std::unique_ptr<Test_Runner> leak(Make_Runner(Test_Kind::Leak_Down, limits));
    QCOMPARE(leak->Kind(), Test_Kind::Leak_Down);
    QCOMPARE(leak->Duration(), 600.0);
    limits.Reset_All();
    // Never started: inconclusive, and no worker to start on.
    QVERIFY(!leak->Start(nullptr));
    QCOMPARE(leak->Last_Result().outcome, Outcome::Inconclusive);
    QCOMPARE(leak->Last_Result().reason_code, QStringLiteral("not_run"));
}

void Diagnostics_Runners::run_again_after_silence()
{
    Leak_Limits limits;
    limits.min_usable_seconds = 1;
    limits.reservoir_loss = 10;
    limits.side_loss = 30;
    limits.edge_seconds = 0.3;
    auto runner = new Leak_Down_Runner(limits, this);
    runner->Set_Duration(3);
    runner->Set_Poll_Interval(100);
    run(runner, Silence, 1);
    QCOMPARE(finished.value(0).reason_code, QStringLiteral("connection_lost"));
    // The controller answers again: the same runner runs the test anew.
    rig->sim.set_all_silent(false);
    finished.clear();
    run(runner);
    QVERIFY2(finished.value(0).outcome == Outcome::Pass,
             qPrintable(finished.value(0).Verdict_Line()));
}

VANTOR_TEST_MAIN(Diagnostics_Runners)
#include "tst_diagnostics_runners.moc"
