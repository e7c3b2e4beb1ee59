// The guided tests' judgement on generated series with known ramps: every
// verdict of each test, spans too short, a compressor start in the middle of
// a leak-down, and noise; the result's JSON and the limits in the settings.

#include "diagnostics/test_analysis.h"
#include "diagnostics/test_limits.h"

#include <QJsonDocument>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <random>

using namespace Diagnostics;

namespace {

using Span = QPair<double, double>; // [from, to) in seconds
using Spans = QList<Span>;

bool within(const Spans& spans, double t)
{
    for (const Span& s : spans)
        if (t >= s.first && t < s.second)
            return true;
    return false;
}

// A vehicle in numbers: rates integrated in small steps, read in rounds of
// requests as the runners read them, quantised to the sensors' steps.
struct Vehicle
{
    double seconds = 600;
    double round = 0.5; // a reading of every code this often
    double pressure = 140;
    double leak = 0;        // psi/min, always
    double fill = 150;      // psi/min while the compressor runs
    double valve_use = 240; // psi/min while the reservoir valve is open
    Spans compressor;
    Spans reservoir_valve;
    Spans driver_valve;
    double driver_height = 0; // inches at the start
    double curb_height = 0;
    double driver_sag = 0; // in/h while its valve is shut
    double curb_sag = 0;
    double temperature = 20;
    double heating = 13; // degC/min while running
    double noise = 0;    // psi, uniform either way
    bool read_outputs = true;
    unsigned seed = 1;

    Series make() const
    {
        Series_Builder b(6.0);
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> jitter(-noise, noise);
        double p = pressure;
        double dh = driver_height;
        double ch = curb_height;
        double temp = temperature;
        const double dt = 0.01;
        double next_round = 0;
        auto angle = [](double height) { return std::asin(height / 6.0) * 180 / M_PI; };
        for (double t = 0; t <= seconds + 1e-9; t += dt) {
            const bool running = within(compressor, t);
            const bool reservoir = within(reservoir_valve, t);
            const bool driver = within(driver_valve, t);
            if (t >= next_round) {
                double at = t;
                auto add = [&](const char* code, double value) {
                    QVERIFY(b.Add(at, code, value));
                    at += 0.002; // one exchange after another
                };
                add("PXV", std::round((p + jitter(random)) * 5.462666) / 5.462666);
                if (read_outputs) {
                    add("CSR", running);
                    add("DSS", driver);
                    add("CSS", 0);
                    add("RVS", reservoir);
                    add("CES", 0);
                }
                add("DSA", std::round(angle(dh) * 9.1044) / 9.1044);
                add("PSA", std::round(angle(ch) * 9.1044) / 9.1044);
                add("OAT", temp);
                next_round += round;
            }
            p += (-leak + (running ? fill : 0) - (reservoir ? valve_use : 0)) / 60 * dt;
            if (!driver)
                dh -= driver_sag / 3600 * dt;
            else
                dh = std::min(dh + 0.1 * dt, 1.0); // the controller lifts it back
            ch -= curb_sag / 3600 * dt;
            temp += (running ? heating : -heating / 4) / 60 * dt;
        }
        return b.Samples();
    }
};

} // namespace

Q_DECLARE_METATYPE(Vehicle)

class Diagnostics_Analysis : public QObject
{
    Q_OBJECT

private slots:
    void leak_down_data();
    void leak_down();
    void compressor_data();
    void compressor();
    void sensors_data();
    void sensors();
    void result_json();
    void limits_in_settings();
    void series_resolution();
};

void Diagnostics_Analysis::leak_down_data()
{
    QTest::addColumn<Vehicle>("vehicle");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<double>("reservoir"); // expected psi/min, NaN: not measured
    QTest::addColumn<double>("starts");
    QTest::addColumn<double>("driver");   // in/h
    QTest::addColumn<QString>("summary"); // a part of it

    const double none = std::nan("");
    Vehicle sound;
    sound.leak = 0.2;
    sound.driver_sag = 0.1;
    QTest::newRow("sound") << sound << "pass" << 0.2 << 0.0 << 0.1 << "Reservoir pressure loss 0.2";

    Vehicle reservoir = sound;
    reservoir.leak = 3;
    QTest::newRow("reservoir leaks") << reservoir << "fail" << 3.0 << 0.0 << 0.1
                                     << "Reservoir pressure loss 3.00 psi/min (at most 1.0";

    Vehicle driver = sound;
    driver.driver_sag = 2;
    driver.curb_sag = 0.2;
    QTest::newRow("driver's side sags")
        << driver << "fail" << 0.2 << 0.0 << 2.0 << "Height loss, driver's side 2.00 in/h";

    // The compressor's run lifts the pressure by 30 psi: the rate before and
    // after it is the same.
    Vehicle refilled = sound;
    refilled.leak = 0.6;
    refilled.compressor = {{300, 312}};
    QTest::newRow("a compressor start in the middle")
        << refilled << "pass" << 0.6 << 1.0 << 0.1 << "Compressor starts 1 (at most 1)";
    Vehicle twice = refilled;
    twice.compressor = {{100, 103}, {400, 403}};
    QTest::newRow("two starts") << twice << "fail" << 0.6 << 2.0 << 0.1
                                << "Compressor starts 2 (at most 1)";

    // A valve open most of the time leaves too little to measure.
    Vehicle busy = sound;
    busy.reservoir_valve = {{20, 590}};
    busy.valve_use = 0.5;
    busy.driver_valve = {{20, 590}};
    QTest::newRow("quiet spans too short")
        << busy << "inconclusive" << none << 0.0 << none
        << "Too little quiet time to measure: reservoir pressure loss (only ";

    Vehicle noisy = sound;
    noisy.leak = 0.5;
    noisy.noise = 0.6;
    noisy.seed = 7;
    QTest::newRow("noise") << noisy << "pass" << 0.5 << 0.0 << 0.1 << "Reservoir pressure loss 0.";

    Vehicle half_minute = sound;
    half_minute.seconds = 30;
    half_minute.leak = 4;
    half_minute.driver_sag = 0;
    // Half a minute is long enough for a fast loss of pressure, but within
    // it a height moves by less than a step of its sensor even at the limit.
    QTest::newRow("half a minute, reservoir leaks")
        << half_minute << "fail" << 4.0 << 0.0 << none << "Reservoir pressure loss ";
    half_minute.leak = 0.2;
    QTest::newRow("half a minute, sound") << half_minute << "inconclusive" << 0.2 << 0.0 << none
                                          << "height loss, driver's side (0.00 \u00b1 1.4";

    Vehicle unread = sound;
    unread.read_outputs = false;
    QTest::newRow("outputs never read")
        << unread << "inconclusive" << none << none << none << "compressor starts (the compressor";
}

void Diagnostics_Analysis::leak_down()
{
    QFETCH(Vehicle, vehicle);
    QFETCH(QString, outcome);
    QFETCH(double, reservoir);
    QFETCH(double, starts);
    QFETCH(double, driver);
    QFETCH(QString, summary);

    const Result r = Analyse_Leak_Down(vehicle.make(), Leak_Limits());
    QCOMPARE(Outcome_Key(r.outcome), outcome);
    QVERIFY2(r.summary.contains(summary), qPrintable(r.summary));
    QCOMPARE(r.reason_code.isEmpty(), outcome != "inconclusive");
    auto check = [&](const char* key, double expected, double tolerance) {
        const Figure* f = r.Find(key);
        QVERIFY(f);
        QCOMPARE(f->Measured(), std::isfinite(expected));
        if (f->Measured())
            QVERIFY2(std::abs(f->value - expected) <= tolerance,
                     qPrintable(QString("%1: %2").arg(key).arg(f->value)));
    };
    // Within a step of the pressure sensor over the test, or the noise.
    check("reservoir_loss", reservoir, std::max(0.05, 12 / vehicle.seconds) + 0.1 * vehicle.noise);
    check("compressor_starts", starts, 0);
    check("driver_loss", driver, 0.05);
}

void Diagnostics_Analysis::compressor_data()
{
    QTest::addColumn<Vehicle>("vehicle");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<double>("fill");     // psi/min
    QTest::addColumn<QString>("summary"); // a part of it

    Vehicle healthy;
    healthy.seconds = 40;
    healthy.round = 0.25;
    healthy.pressure = 118;
    healthy.compressor = {{5, 17}};
    QTest::newRow("healthy") << healthy << "pass" << 150.0 << "Fill rate 150";

    Vehicle weak = healthy;
    weak.fill = 45;
    weak.compressor = {{5, 45}};
    QTest::newRow("weak") << weak << "fail" << 45.0 << "Fill rate 45.0 psi/min (at least 75";

    Vehicle long_run = healthy;
    long_run.seconds = 100;
    long_run.fill = 80;
    long_run.compressor = {{5, 75}};
    QTest::newRow("runs too long") << long_run << "fail" << 80.0 << "Longest run 70.";

    Vehicle hot = healthy;
    hot.heating = 40;
    QTest::newRow("warms too fast")
        << hot << "fail" << 150.0 << "Temperature rise 40.0 \u00b0C/min (at most 25.0";

    Vehicle overheats = healthy;
    overheats.temperature = 58;
    QTest::newRow("overheats") << overheats << "fail" << 150.0 << "Highest temperature 60.";

    Vehicle idle = healthy;
    idle.compressor.clear();
    QTest::newRow("never runs") << idle << "inconclusive" << std::nan("")
                                << "The compressor did not run in 40 s";

    Vehicle short_run = healthy;
    short_run.compressor = {{5, 8}};
    QTest::newRow("too short a run") << short_run << "inconclusive" << std::nan("")
                                     << "Too little running to measure: fill rate (only";

    // Raising a side spends air while the compressor runs: that span is not
    // the compressor's fill.
    Vehicle spending = healthy;
    spending.compressor = {{5, 25}};
    spending.reservoir_valve = {{12, 15}};
    QTest::newRow("a valve open during the run") << spending << "pass" << 150.0 << "Fill rate 1";
}

void Diagnostics_Analysis::compressor()
{
    QFETCH(Vehicle, vehicle);
    QFETCH(QString, outcome);
    QFETCH(double, fill);
    QFETCH(QString, summary);

    const Result r = Analyse_Compressor(vehicle.make(), Compressor_Limits());
    QCOMPARE(Outcome_Key(r.outcome), outcome);
    QVERIFY2(r.summary.contains(summary), qPrintable(r.summary));
    const Figure* f = r.Find("fill_rate");
    QVERIFY(f);
    QCOMPARE(f->Measured(), std::isfinite(fill));
    if (f->Measured())
        QVERIFY2(std::abs(f->value - fill) < fill * 0.05, qPrintable(QString::number(f->value)));
}

namespace {

// How a side's sensor reads its side's angle.
enum Fault
{
    Healthy,
    Stuck,
    Reversed,
    Lazy // follows upwards only
};

} // namespace

void Diagnostics_Analysis::sensors_data()
{
    QTest::addColumn<int>("driver");
    QTest::addColumn<int>("curb");
    QTest::addColumn<bool>("swapped");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("driver_state");
    QTest::addColumn<QString>("curb_state");

    QTest::newRow("both ok") << int(Healthy) << int(Healthy) << false << "pass"
                             << "ok"
                             << "ok";
    QTest::newRow("driver stuck") << int(Stuck) << int(Healthy) << false << "fail"
                                  << "stuck"
                                  << "ok";
    QTest::newRow("curb reversed") << int(Healthy) << int(Reversed) << false << "fail"
                                   << "ok"
                                   << "reversed";
    QTest::newRow("swapped") << int(Healthy) << int(Healthy) << true << "fail"
                             << "swapped"
                             << "swapped";
    QTest::newRow("swapped, one reversed") << int(Reversed) << int(Healthy) << true << "fail"
                                           << "swapped"
                                           << "swapped";
    QTest::newRow("one that only rises") << int(Lazy) << int(Healthy) << false << "inconclusive"
                                         << "unclear"
                                         << "ok";
}

void Diagnostics_Analysis::sensors()
{
    QFETCH(int, driver);
    QFETCH(int, curb);
    QFETCH(bool, swapped);
    QFETCH(QString, outcome);
    QFETCH(QString, driver_state);
    QFETCH(QString, curb_state);

    // Each side raised for 3 s at 5 degrees a second, settled, lowered and
    // settled, one after the other.
    QVector<Move_Phase> phases;
    double t = 1;
    for (int side : {Driver, Curb}) {
        for (int direction : {1, -1}) {
            phases.append({side, direction, t, t + 4});
            t += 4;
        }
    }
    auto angle_of = [&](int side, double at) {
        double a = 0;
        for (const Move_Phase& p : phases) {
            if (p.side != side || at < p.begin)
                continue;
            a += p.direction * 5 * std::min(3.0, at - p.begin);
        }
        return a;
    };
    auto read = [&](int fault, int side, double at) {
        const double a = angle_of(side, at);
        switch (fault) {
        case Stuck:
            return 0.0;
        case Reversed:
            return -a;
        case Lazy: {
            // Never lower than the highest it has read.
            double high = 0;
            for (double s = 0; s <= at; s += 0.1)
                high = std::max(high, angle_of(side, s));
            return high;
        }
        default:
            return a;
        }
    };
    Series_Builder b;
    for (double at = 0; at <= t + 0.01; at += 0.1) {
        const double d = read(driver, Driver, at);
        const double c = read(curb, Curb, at);
        b.Add(at, "DSA", swapped ? c : d);
        b.Add(at + 0.002, "PSA", swapped ? d : c);
    }
    const Result r = Analyse_Sensors(b.Samples(), phases, Sensor_Limits());
    QCOMPARE(Outcome_Key(r.outcome), outcome);
    QCOMPARE(r.findings.value("driver_sensor"), driver_state);
    QCOMPARE(r.findings.value("curb_sensor"), curb_state);
    QCOMPARE(r.figures.size(), 8);
    if (outcome == "pass") {
        for (const Figure& f : r.figures)
            QVERIFY2(f.Passed(), qPrintable(f.name + ' ' + f.Text()));
        QCOMPARE(r.Find("curb_raise")->value, 15.0);
    }
    if (driver_state == "stuck")
        QVERIFY2(r.summary.contains("driver's sensor stuck"), qPrintable(r.summary));

    // Without its phases nothing is judged.
    const Result nothing = Analyse_Sensors(b.Samples(), {}, Sensor_Limits());
    QCOMPARE(nothing.outcome, Outcome::Inconclusive);
}

void Diagnostics_Analysis::result_json()
{
    Vehicle v;
    v.leak = 3;
    Result r = Analyse_Leak_Down(v.make(), Leak_Limits());
    r.started = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::OffsetFromUTC, 3600);
    QCOMPARE(r.Verdict_Line().left(25), QStringLiteral("Air leak-down: FAIL - Res"));
    const QJsonObject json = r.To_Json();
    QCOMPARE(json.value("outcome").toString(), QStringLiteral("fail"));
    QCOMPARE(json.value("started").toString(), QStringLiteral("2026-03-04T05:06:07+01:00"));
    // Through text and back, as the recording keeps it.
    const QByteArray text = QJsonDocument(json).toJson(QJsonDocument::Compact);
    Result back;
    QVERIFY(Result::From_Json(QJsonDocument::fromJson(text).object(), &back));
    QCOMPARE(back.To_Json(), json);
    QCOMPARE(back.Find("reservoir_loss")->Passed(), false);

    // A figure not measured is null, not NaN, and the reason goes along.
    Vehicle unread;
    unread.read_outputs = false;
    const QJsonObject open = Analyse_Leak_Down(unread.make(), Leak_Limits()).To_Json();
    QVERIFY(open.value("figures").toArray().at(1).toObject().value("value").isNull());
    QCOMPARE(open.value("reason_code").toString(), QStringLiteral("too_short"));
    QVERIFY(!QJsonDocument(open).toJson().contains("nan"));

    QVERIFY(!Result::From_Json(QJsonObject{{"test", "leak"}, {"outcome", "maybe"}}, &back));
    QCOMPARE(Figure::Number(-0.004, 2), QStringLiteral("0.00"));
    QCOMPARE(Figure::Number(-0.4, 0), QStringLiteral("0"));
    QCOMPARE(Figure::Number(-0.006, 2), QStringLiteral("-0.01"));
    QVERIFY(!Result::From_Json(QJsonObject{{"test", "tyres"}, {"outcome", "pass"}}, &back));
}

void Diagnostics_Analysis::limits_in_settings()
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath("limits.ini"), QSettings::IniFormat);
    Test_Limits limits(&settings);
    QCOMPARE(limits.Leak().reservoir_loss, 1.0);
    QCOMPARE(limits.Compressor().fill_rate, 75.0);
    QCOMPARE(limits.Sensors().min_move, 2.0);

    const QString key = "Tests/Leak/ReservoirLossMax";
    QVERIFY(limits.Set_Value(key, 2.5));
    QCOMPARE(Test_Limits(&settings).Leak().reservoir_loss, 2.5);
    QVERIFY(!limits.Set_Value(key, -1));
    QVERIFY(!limits.Set_Value(key, std::nan("")));
    QVERIFY(!limits.Set_Value("Tests/Leak/Nothing", 1));
    QCOMPARE(settings.value(key).toDouble(), 2.5);
    // What a hand-edited file may hold falls back to the default.
    settings.setValue(key, "lots");
    QCOMPARE(limits.Value(key), 1.0);
    settings.setValue(key, 1e9);
    QCOMPARE(limits.Value(key), 1.0);
    QVERIFY(limits.Set_Value("Tests/Compressor/FillRateMin", 60));
    limits.Reset_All();
    QVERIFY(settings.allKeys().isEmpty());

    // Every limit has its reason, and the README's table a row for each.
    for (const Limit_Info& info : Test_Limits::Table()) {
        QVERIFY2(info.key.startsWith("Tests/") && !info.reason.isEmpty(), qPrintable(info.key));
        QVERIFY(info.default_value >= info.minimum && info.default_value <= info.maximum);
    }
    QCOMPARE(Test_Limits::Markdown_Table().count('\n'), Test_Limits::Table().size() + 2);
}

void Diagnostics_Analysis::series_resolution()
{
    Series_Builder b;
    b.Set_Resolution(0.1);
    QVERIFY(b.Add(0, "PXV", 140));
    QVERIFY(b.Add(0.05, "CSR", 1));
    QVERIFY(b.Add(0.2, "PXV", 141));
    QVERIFY(!b.Add(0.3, "XYZ", 1));
    QVERIFY(!b.Add(0.3, "PXV", std::nan("")));
    QCOMPARE(int(b.Samples().size()), 2);
    QCOMPARE(b.Samples()[0].compressor, Output::On);
    QCOMPARE(b.Samples()[0].pressure, 140.0);
    QCOMPARE(b.Samples()[1].pressure, 141.0);
    QCOMPARE(b.Current().pressure, 141.0);
}

QTEST_GUILESS_MAIN(Diagnostics_Analysis)
#include "tst_diagnostics_analysis.moc"
