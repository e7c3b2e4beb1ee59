#include "diagnostics/test_limits.h"

#include <QSettings>

namespace Diagnostics {

namespace {

// The keys, each tied to its member of the limits above.
const QString Leak_Reservoir = QStringLiteral("Tests/Leak/ReservoirLossMax");
const QString Leak_Starts = QStringLiteral("Tests/Leak/CompressorStartsMax");
const QString Leak_Side = QStringLiteral("Tests/Leak/SideLossMax");
const QString Leak_Usable = QStringLiteral("Tests/Leak/UsableSecondsMin");
const QString Leak_Share = QStringLiteral("Tests/Leak/UsableShareMin");
const QString Comp_Fill = QStringLiteral("Tests/Compressor/FillRateMin");
const QString Comp_Run = QStringLiteral("Tests/Compressor/RunTimeMax");
const QString Comp_Rise = QStringLiteral("Tests/Compressor/TemperatureRiseMax");
const QString Comp_Temp = QStringLiteral("Tests/Compressor/TemperatureMax");
const QString Comp_Least_Run = QStringLiteral("Tests/Compressor/RunSecondsMin");
const QString Sensor_Move_Time = QStringLiteral("Tests/Sensors/MoveSeconds");
const QString Sensor_Move = QStringLiteral("Tests/Sensors/MoveMin");
const QString Sensor_Still = QStringLiteral("Tests/Sensors/StillMax");

QVector<Limit_Info> make_table()
{
    const Leak_Limits leak;
    const Compressor_Limits comp;
    const Sensor_Limits sensors;
    using F = Figure;
    return {
        {Leak_Reservoir, Test_Kind::Leak_Down, "Reservoir pressure loss", "psi/min", F::At_Most,
         leak.reservoir_loss, 0.1, 30, 1,
         "Above 1 psi a minute the 30 psi between the compressor's cut-out (150 psi) and "
         "cut-in (120 psi) are gone within half an hour: the compressor starts every half "
         "hour on a parked vehicle and the reservoir is flat after a night."},
        {Leak_Starts, Test_Kind::Leak_Down, "Compressor starts", "", F::At_Most,
         leak.compressor_starts, 0, 20, 0,
         "One start is allowed, for a reservoir just below its cut-in when the test began; "
         "a second start within the test means the air goes as fast as the compressor puts "
         "it back."},
        {Leak_Side, Test_Kind::Leak_Down, "Height loss of a side", "in/h", F::At_Most,
         leak.side_loss, 0.05, 10, 2,
         "Above half an inch an hour a side sags 4 inches overnight, onto its bump stops. "
         "The height sensor's step is 0.0115 inch, so a leak-down shorter than about one "
         "and a half minutes cannot tell this rate from none and ends inconclusive."},
        {Leak_Usable, Test_Kind::Leak_Down, "Quiet time needed", "s", F::At_Least,
         leak.min_usable_seconds, 1, 600, 0,
         "A rate is only measured over spans with the compressor off and no valve open; in "
         "20 s a loss of 1 psi a minute moves the reading by two of the pressure sensor's "
         "0.18 psi steps."},
        {Leak_Share, Test_Kind::Leak_Down, "Quiet share of the test needed", "", F::At_Least,
         leak.min_usable_share, 0.1, 1, 2,
         "A leak-down that was mostly compressor runs and valve moves has not measured the "
         "leak."},
        {Comp_Fill, Test_Kind::Compressor, "Fill rate", "psi/min", F::At_Least, comp.fill_rate, 5,
         500, 0,
         "A healthy compressor fills this reservoir at about 150 psi a minute; below half "
         "that it has lost half its output (worn rings, a blocked intake filter, a leaking "
         "check valve) and raising the vehicle outruns it."},
        {Comp_Run, Test_Kind::Compressor, "Longest run", "s", F::At_Most, comp.run_time, 10, 600, 0,
         "Cut-in to cut-out takes 12 s healthy and 24 s at the lowest fill rate allowed; a "
         "run of over a minute does not reach the cut-out, and long runs overheat the "
         "compressor."},
        {Comp_Rise, Test_Kind::Compressor, "Temperature rise", "\u00b0C/min", F::At_Most,
         comp.temperature_rise, 1, 200, 1,
         "Warming faster, a compressor starting at 20 \u00b0C reaches its 60 \u00b0C "
         "overheat limit in under two minutes of running, what filling the empty reservoir "
         "takes at the lowest fill rate allowed."},
        {Comp_Temp, Test_Kind::Compressor, "Highest temperature", "\u00b0C", F::At_Most,
         comp.temperature, 20, 120, 0,
         "The controller counts an overheat at 60 \u00b0C; a compressor that gets there in "
         "one test fill cuts out on every long fill."},
        {Comp_Least_Run, Test_Kind::Compressor, "Running time needed", "s", F::At_Least,
         comp.min_run_seconds, 1, 120, 0,
         "A fill rate needs the compressor running, with the valves shut, for this long."},
        {Sensor_Move_Time, Test_Kind::Sensors, "Move time", "s", F::No_Limit, sensors.move_seconds,
         1, 10, 1,
         "Each side is raised, then lowered, for this long: several degrees at the manual "
         "move's speed, yet little room needed."},
        {Sensor_Move, Test_Kind::Sensors, "Sensor move", "\u00b0", F::At_Least, sensors.min_move,
         0.5, 20, 1,
         "A sensor must follow its side by 2\u00b0 (0.2 inch at the factory lever, 18 of the "
         "sensor's steps) in the right direction; less is no clear move."},
        {Sensor_Still, Test_Kind::Sensors, "Other sensor still", "\u00b0", F::Within, sensors.still,
         0.1, 10, 1,
         "The other side's sensor must stay within 1\u00b0 meanwhile; more, and it sees the "
         "move too (crossed wiring, or the body twisting)."},
    };
}

} // namespace

Test_Limits::Test_Limits(QSettings* s) : settings(s ? s : new QSettings), owned(!s) {}

Test_Limits::~Test_Limits()
{
    if (owned)
        delete settings;
}

const QVector<Limit_Info>& Test_Limits::Table()
{
    static const QVector<Limit_Info> table = make_table();
    return table;
}

const Limit_Info* Test_Limits::Info(const QString& key)
{
    for (const Limit_Info& info : Table())
        if (info.key == key)
            return &info;
    return nullptr;
}

QString Test_Limits::Markdown_Table()
{
    QString text = QStringLiteral("| test | limit | default | settings key | why |\n"
                                  "|---|---|---|---|---|\n");
    for (const Limit_Info& info : Table()) {
        Figure f;
        f.kind = info.kind == Figure::No_Limit ? Figure::At_Most : info.kind;
        f.limit = info.default_value;
        f.unit = info.unit;
        f.decimals = info.decimals;
        const QString value = info.kind == Figure::No_Limit
                                  ? QString::number(info.default_value, 'f', info.decimals) +
                                        (info.unit.isEmpty() ? QString() : ' ' + info.unit)
                                  : f.Limit_Text();
        text += QStringLiteral("| %1 | %2 | %3 | `%4` | %5 |\n")
                    .arg(Test_Title(info.test), info.label, value, info.key, info.reason);
    }
    return text;
}

double Test_Limits::Value(const QString& key) const
{
    const Limit_Info* info = Info(key);
    if (!info)
        return std::nan("");
    bool ok = false;
    const double value = settings->value(key).toDouble(&ok);
    if (!ok || !(value >= info->minimum && value <= info->maximum))
        return info->default_value;
    return value;
}

bool Test_Limits::Set_Value(const QString& key, double value)
{
    const Limit_Info* info = Info(key);
    if (!info || !(value >= info->minimum && value <= info->maximum))
        return false;
    settings->setValue(key, value);
    return true;
}

void Test_Limits::Reset(const QString& key)
{
    settings->remove(key);
}

void Test_Limits::Reset_All()
{
    for (const Limit_Info& info : Table())
        settings->remove(info.key);
}

Leak_Limits Test_Limits::Leak() const
{
    Leak_Limits l;
    l.reservoir_loss = Value(Leak_Reservoir);
    l.compressor_starts = std::floor(Value(Leak_Starts));
    l.side_loss = Value(Leak_Side);
    l.min_usable_seconds = Value(Leak_Usable);
    l.min_usable_share = Value(Leak_Share);
    return l;
}

Compressor_Limits Test_Limits::Compressor() const
{
    Compressor_Limits l;
    l.fill_rate = Value(Comp_Fill);
    l.run_time = Value(Comp_Run);
    l.temperature_rise = Value(Comp_Rise);
    l.temperature = Value(Comp_Temp);
    l.min_run_seconds = Value(Comp_Least_Run);
    return l;
}

Sensor_Limits Test_Limits::Sensors() const
{
    Sensor_Limits l;
    l.move_seconds = Value(Sensor_Move_Time);
    l.min_move = Value(Sensor_Move);
    l.still = Value(Sensor_Still);
    return l;
}

} // namespace Diagnostics
