#ifndef APP_DIAGNOSTICS_TEST_LIMITS_H
#define APP_DIAGNOSTICS_TEST_LIMITS_H

// The limits the guided tests judge against, with their defaults and the
// reason for each, kept in the application's settings under "Tests/...".
// The figures of this system that the defaults rest on: the compressor
// starts below 120 psi and stops at 150 psi; a healthy compressor fills the
// reservoir at about 150 psi a minute; the height sensors read 0.11 degree a
// step, about 0.01 inch at the factory lever of 6 inches.

#include "diagnostics/test_result.h"

#include <QString>
#include <QVector>

class QSettings;

namespace Diagnostics {

struct Leak_Limits
{
    // Above 1 psi a minute the 30 psi between cut-out and cut-in are gone
    // within half an hour: the compressor starts every half hour on a parked
    // vehicle and the reservoir is flat after a night.
    double reservoir_loss = 1.0; // psi/min, at most
    // One start is allowed: the reservoir may have been just below its
    // cut-in when the test began. A second start within minutes means the air
    // goes as fast as the compressor puts it back.
    double compressor_starts = 1; // at most
    // Above half an inch an hour a side sags 4 inches overnight, onto its
    // bump stops; below it the loss is within what a spring's rubber and the
    // cooling air give. A leak-down under about 1.5 minutes cannot resolve
    // it (see height_step).
    double side_loss = 0.5; // in/h, at most
    // A rate needs quiet spans of at least this length in all: in 20 s a loss
    // of 1 psi a minute is two of the pressure sensor's steps...
    double min_usable_seconds = 20; // s
    // ...and at least this share of the test's length: a leak-down that is
    // mostly compressor runs and valve moves has not measured the leak.
    double min_usable_share = 0.5;
    // Readings lag the outputs by up to a round of requests: this much is
    // left out at both ends of every quiet span.
    double edge_seconds = 1.0; // s
    // The sensors' steps: a rate is known to within a step over the span,
    // so a short test cannot tell a slow loss from none. The pressure sensor
    // reads 5.46 steps a psi; an angle step of 0.11 degree moves the lever's
    // end 0.0115 inch at level, at the factory lever of 6 inches.
    double pressure_step = 1 / 5.462666; // psi
    double height_step = 0.0115;         // in
};

struct Compressor_Limits
{
    // A healthy compressor fills this reservoir at about 150 psi a minute
    // (cut-in to cut-out in 12 s). Below half that it has lost half its
    // output (worn rings, a blocked intake filter, a leaking check valve) and
    // raising the vehicle outruns it.
    double fill_rate = 75; // psi/min, at least
    // Cut-in to cut-out takes 12 s healthy and 24 s at the lowest fill rate
    // allowed; a run of over a minute does not reach the cut-out, and long
    // runs overheat the compressor.
    double run_time = 60; // s, the longest run, at most
    // Warming by more than 25 degrees a minute, a compressor starting at 20
    // degrees reaches its 60 degree overheat limit in under two minutes of
    // running, what filling the empty reservoir takes at the lowest fill
    // rate allowed.
    double temperature_rise = 25; // degC per minute of running, at most
    // The controller counts an overheat at 60 degrees (the "Compressor
    // Overheat Count"); a compressor that gets there in one test fill cuts
    // out on every long fill.
    double temperature = 60; // degC, at most
    // A fill rate needs the compressor running, valves shut, for this long.
    double min_run_seconds = 5; // s
    double edge_seconds = 1.0;  // s, as for the leak-down
};

struct Sensor_Limits
{
    // Each side is raised, then lowered, for this long. At the manual move's
    // speed that is several degrees, yet little enough to need no more room
    // than the technician has checked.
    double move_seconds = 3; // s
    // A sensor must follow its side's move by 2 degrees (0.2 inch at the
    // factory lever, 18 steps of the sensor) in the right direction: less
    // is no clear move.
    double min_move = 2.0; // degrees, at least
    // The other side's sensor must stay within 1 degree meanwhile: more, and
    // it sees the move too (crossed wiring, or the body twisting).
    double still = 1.0; // degrees, within
};

// One limit as the settings, the "Test Limits" dialog and the README see it.
struct Limit_Info
{
    QString key; // settings key: "Tests/Leak/ReservoirLossMax"
    Test_Kind test;
    QString label; // "Reservoir pressure loss"
    QString unit;  // "psi/min"
    Figure::Limit_Kind kind;
    double default_value;
    double minimum;
    double maximum;
    int decimals;
    QString reason; // one sentence
};

class Test_Limits
{
public:
    // The application's own settings when none are given.
    explicit Test_Limits(QSettings* settings = nullptr);
    ~Test_Limits();
    Test_Limits(const Test_Limits&) = delete;
    Test_Limits& operator=(const Test_Limits&) = delete;

    // Every limit, by test, in the order a dialog lists them.
    static const QVector<Limit_Info>& Table();
    static const Limit_Info* Info(const QString& key);
    // The table as Markdown, for the README.
    static QString Markdown_Table();

    // The stored value, or the default when none is stored or the stored
    // one is no number in the limit's range.
    double Value(const QString& key) const;
    // False, storing nothing, for an unknown key or a value out of range.
    bool Set_Value(const QString& key, double value);
    // Back to the default: the stored value is removed.
    void Reset(const QString& key);
    void Reset_All();

    Leak_Limits Leak() const;
    Compressor_Limits Compressor() const;
    Sensor_Limits Sensors() const;

private:
    QSettings* settings;
    bool owned;
};

} // namespace Diagnostics

#endif // APP_DIAGNOSTICS_TEST_LIMITS_H
