#include "diagnostics/test_analysis.h"

#include <QStringList>

#include <algorithm>

namespace Diagnostics {

namespace {

QString seconds_text(double seconds)
{
    if (seconds >= 120)
        return QString::number(seconds / 60, 'f', 1) + QStringLiteral(" min");
    return QString::number(seconds, 'f', 0) + QStringLiteral(" s");
}

double span_of(const Series& series)
{
    return series.size() < 2 ? 0 : series.back().t - series.front().t;
}

Figure figure(const QString& key, const QString& name, double value, const QString& unit,
              int decimals, Figure::Limit_Kind kind, double limit)
{
    Figure f;
    f.key = key;
    f.name = name;
    f.value = value;
    f.unit = unit;
    f.decimals = decimals;
    f.kind = kind;
    f.limit = limit;
    return f;
}

// A figure whose rate needs `needed` seconds of usable spans: not measured
// (NaN, with the time it had in its note) when they are fewer.
Figure rate_figure(const QString& key, const QString& name, const Rate& rate, double scale,
                   const QString& unit, int decimals, Figure::Limit_Kind kind, double limit,
                   double needed, const QString& spans)
{
    const bool enough = rate.Measured() && rate.seconds >= needed;
    Figure f = figure(key, name, enough ? rate.per_second * scale : std::nan(""), unit, decimals,
                      kind, limit);
    f.note = enough ? QStringLiteral("over %1 of %2").arg(seconds_text(rate.seconds), spans)
                    : QStringLiteral("only %1 of %2, %3 needed")
                          .arg(seconds_text(rate.seconds), spans, seconds_text(needed));
    return f;
}

// A slow rate read through a sensor's steps: over a short span a ramp of
// less than a step a span reads as none, so the rate is only known to within
// a step over the span. A figure that its limit lies within that of is not
// measured: the test is too short for it.
void resolve(Figure& f, const Rate& rate, double step, double scale)
{
    if (!f.Measured() || rate.seconds <= 0)
        return;
    const double within = std::abs(step / rate.seconds * scale);
    if (f.value - within > f.limit || f.value + within <= f.limit)
        return;
    f.note = QStringLiteral("%1 \u00b1 %2 %3 over %4 of %5: too short for the sensor's steps")
                 .arg(Figure::Number(f.value, f.decimals), Figure::Number(within, f.decimals),
                      f.unit, seconds_text(rate.seconds), f.note.mid(f.note.indexOf(" of ") + 4));
    f.value = std::nan("");
}

// Pass, fail or inconclusive from the figures: any measured figure outside
// its limit fails the test; otherwise a figure not measured leaves it
// inconclusive, saying which.
void judge(Result& r, const QString& what_short)
{
    QStringList failed;
    QStringList missing;
    QStringList all;
    for (const Figure& f : qAsConst(r.figures)) {
        if (f.kind == Figure::No_Limit)
            continue;
        if (!f.Measured())
            missing << f.name.toLower() + QStringLiteral(" (") + f.note + ')';
        else if (!f.Passed())
            failed << f.name + ' ' + f.Text();
        if (f.Measured())
            all << f.name + ' ' + f.Text();
    }
    if (!failed.isEmpty()) {
        r.outcome = Outcome::Fail;
        r.summary = failed.join(QStringLiteral("; "));
    } else if (!missing.isEmpty()) {
        r.outcome = Outcome::Inconclusive;
        if (r.reason_code.isEmpty()) {
            r.reason_code = QLatin1String(Reason::Too_Short);
            r.reason = what_short + missing.join(QStringLiteral(", ")) + '.';
        }
        r.summary = r.reason;
    } else {
        r.outcome = Outcome::Pass;
        r.summary = all.join(QStringLiteral("; "));
    }
}

bool quiet(const Sample& s)
{
    return s.compressor == Output::Off && !s.Any_Valve();
}

// The latest value at or before t; NaN when there is none yet.
double value_at(const Series& series, double t, double Sample::*member)
{
    double value = std::nan("");
    for (const Sample& s : series) {
        if (s.t > t)
            break;
        if (std::isfinite(s.*member))
            value = s.*member;
    }
    return value;
}

QString side_name(int side)
{
    return side == Driver ? QStringLiteral("driver's side") : QStringLiteral("curb side");
}

QString sensor_name(int side)
{
    return side == Driver ? QStringLiteral("driver's sensor") : QStringLiteral("curb sensor");
}

} // namespace

Result Analyse_Leak_Down(const Series& series, const Leak_Limits& limits)
{
    Result r;
    r.test = Test_Kind::Leak_Down;
    r.seconds = span_of(series);
    const double needed =
        std::max(limits.min_usable_seconds, limits.min_usable_share * span_of(series));

    const Rate reservoir = Pooled_Rate(
        series, [](const Sample& s) { return s.pressure; }, quiet, limits.edge_seconds);
    r.figures << rate_figure("reservoir_loss", QStringLiteral("Reservoir pressure loss"), reservoir,
                             -60, QStringLiteral("psi/min"), 2, Figure::At_Most,
                             limits.reservoir_loss, needed,
                             QStringLiteral("spans with the compressor off and the valves shut"));
    resolve(r.figures.last(), reservoir, limits.pressure_step, 60);

    double starts = 0;
    bool known = false;
    for (int i = 0; i < int(series.size()); ++i) {
        known = known || series[i].compressor != Output::Unknown;
        if (i > 0 && series[i - 1].compressor == Output::Off && series[i].compressor == Output::On)
            ++starts;
    }
    Figure started = figure("compressor_starts", QStringLiteral("Compressor starts"),
                            known ? starts : std::nan(""), QString(), 0, Figure::At_Most,
                            limits.compressor_starts);
    started.note = known ? QStringLiteral("over %1").arg(seconds_text(span_of(series)))
                         : QStringLiteral("the compressor output was not read");
    r.figures << started;

    for (int side : {Driver, Curb}) {
        const auto valve = side == Driver ? &Sample::driver_valve : &Sample::curb_valve;
        const auto height = side == Driver ? &Sample::driver_height : &Sample::curb_height;
        const Rate rate = Pooled_Rate(
            series, [height](const Sample& s) { return s.*height; },
            [valve](const Sample& s) { return s.*valve == Output::Off; }, limits.edge_seconds);
        const QString name = side_name(side);
        r.figures << rate_figure(side == Driver ? "driver_loss" : "curb_loss",
                                 QStringLiteral("Height loss, ") + name, rate, -3600,
                                 QStringLiteral("in/h"), 2, Figure::At_Most, limits.side_loss,
                                 needed, QStringLiteral("spans with its valve shut"));
        resolve(r.figures.last(), rate, limits.height_step, 3600);
    }
    judge(r, QStringLiteral("Too little quiet time to measure: "));
    return r;
}

Result Analyse_Compressor(const Series& series, const Compressor_Limits& limits)
{
    Result r;
    r.test = Test_Kind::Compressor;
    r.seconds = span_of(series);

    // Each run, from the first sample that saw it on to the first that saw
    // it off (or the end of the series).
    double longest = 0;
    double running = 0;
    int runs = 0;
    bool running_at_end = false;
    for (int i = 0; i < int(series.size()); ++i) {
        if (series[i].compressor != Output::On)
            continue;
        int end = i;
        while (end + 1 < int(series.size()) && series[end + 1].compressor == Output::On)
            ++end;
        const bool open = end + 1 >= int(series.size());
        const double length = (open ? series[end].t : series[end + 1].t) - series[i].t;
        longest = std::max(longest, length);
        running += length;
        ++runs;
        running_at_end = open;
        i = end;
    }
    if (runs == 0) {
        r.reason_code = QLatin1String(Reason::Not_Run);
        r.reason = QStringLiteral("The compressor did not run in %1: it starts when the "
                                  "reservoir falls below its cut-in.")
                       .arg(seconds_text(span_of(series)));
    }

    const Rate fill = Pooled_Rate(
        series, [](const Sample& s) { return s.pressure; },
        [](const Sample& s) { return s.compressor == Output::On && !s.Any_Valve(); },
        limits.edge_seconds);
    r.figures << rate_figure("fill_rate", QStringLiteral("Fill rate"), fill, 60,
                             QStringLiteral("psi/min"), 1, Figure::At_Least, limits.fill_rate,
                             limits.min_run_seconds,
                             QStringLiteral("running with the valves shut"));

    Figure run = figure("run_time", QStringLiteral("Longest run"), runs ? longest : std::nan(""),
                        QStringLiteral("s"), 1, Figure::At_Most, limits.run_time);
    run.note =
        runs ? QStringLiteral("%1 run(s), %2 running in all%3")
                   .arg(runs)
                   .arg(seconds_text(running))
                   .arg(running_at_end ? QStringLiteral(", still running at the end") : QString())
             : QStringLiteral("the compressor did not run");
    r.figures << run;

    const Rate rise = Pooled_Rate(
        series, [](const Sample& s) { return s.temperature; },
        [](const Sample& s) { return s.compressor == Output::On; }, limits.edge_seconds);
    r.figures << rate_figure("temperature_rise", QStringLiteral("Temperature rise"), rise, 60,
                             QStringLiteral("\u00b0C/min"), 1, Figure::At_Most,
                             limits.temperature_rise, limits.min_run_seconds,
                             QStringLiteral("running"));

    double hottest = std::nan("");
    for (const Sample& s : series)
        if (std::isfinite(s.temperature) && !(s.temperature <= hottest))
            hottest = s.temperature;
    Figure top = figure("temperature", QStringLiteral("Highest temperature"), hottest,
                        QStringLiteral("\u00b0C"), 1, Figure::At_Most, limits.temperature);
    top.note = std::isfinite(hottest) ? QString() : QStringLiteral("the temperature was not read");
    r.figures << top;

    judge(r, QStringLiteral("Too little running to measure: "));
    return r;
}

Result Analyse_Sensors(const Series& series, const QVector<Move_Phase>& phases,
                       const Sensor_Limits& limits)
{
    Result r;
    r.test = Test_Kind::Sensors;
    r.seconds = span_of(series);
    const double m = limits.min_move;
    const double still = limits.still;
    QStringList failed;
    QStringList unclear;
    QStringList fine;

    for (int side : {Driver, Curb}) {
        const int other = 1 - side;
        const auto own_angle = side == Driver ? &Sample::driver_angle : &Sample::curb_angle;
        const auto other_angle = side == Driver ? &Sample::curb_angle : &Sample::driver_angle;
        // The change of a sensor over this side's move in one direction.
        auto change = [&](int direction, double Sample::*angle) {
            for (const Move_Phase& p : phases) {
                if (p.side == side && p.direction == direction)
                    return value_at(series, p.end, angle) - value_at(series, p.begin, angle);
            }
            return std::nan("");
        };
        const double up = change(1, own_angle);
        const double down = change(-1, own_angle);
        const double cross_up = change(1, other_angle);
        const double cross_down = change(-1, other_angle);

        const QString prefix = side == Driver ? "driver" : "curb";
        const QString own = sensor_name(side);
        const QString raised = side_name(side) + QStringLiteral(" raised");
        const QString lowered = side_name(side) + QStringLiteral(" lowered");
        auto cap = [](QString s) { return s.left(1).toUpper() + s.mid(1); };
        r.figures << figure(prefix + "_raise", cap(own) + QStringLiteral(" rise, ") + raised, up,
                            QStringLiteral("\u00b0"), 1, Figure::At_Least, m)
                  << figure(prefix + "_lower", cap(own) + QStringLiteral(" fall, ") + lowered,
                            -down, QStringLiteral("\u00b0"), 1, Figure::At_Least, m)
                  << figure(prefix + "_raise_other",
                            cap(sensor_name(other)) + QStringLiteral(" change, ") + raised,
                            cross_up, QStringLiteral("\u00b0"), 1, Figure::Within, still)
                  << figure(prefix + "_lower_other",
                            cap(sensor_name(other)) + QStringLiteral(" change, ") + lowered,
                            cross_down, QStringLiteral("\u00b0"), 1, Figure::Within, still);

        QString state = QLatin1String(Sensor_State::Unclear);
        if (std::isfinite(up) && std::isfinite(down) && std::isfinite(cross_up) &&
            std::isfinite(cross_down)) {
            const bool other_still = std::abs(cross_up) < still && std::abs(cross_down) < still;
            const bool own_still = std::abs(up) < still && std::abs(down) < still;
            // The other reading follows this side's move, either way round.
            const bool other_follows =
                (cross_up >= m && cross_down <= -m) || (cross_up <= -m && cross_down >= m);
            if (up >= m && down <= -m && other_still)
                state = QLatin1String(Sensor_State::Ok);
            else if (up <= -m && down >= m && other_still)
                state = QLatin1String(Sensor_State::Reversed);
            else if (own_still && other_follows)
                state = QLatin1String(Sensor_State::Swapped);
            else if (own_still && other_still)
                state = QLatin1String(Sensor_State::Stuck);
        }
        r.findings.insert(prefix + "_sensor", state);

        const QString moved = QStringLiteral("rose %1\u00b0 and fell %2\u00b0")
                                  .arg(up, 0, 'f', 1)
                                  .arg(-down, 0, 'f', 1);
        if (state == QLatin1String(Sensor_State::Ok)) {
            fine << own + QStringLiteral(" ok");
        } else if (state == QLatin1String(Sensor_State::Stuck)) {
            failed << own + QStringLiteral(" stuck (or the %1 did not move): it %2")
                                .arg(side_name(side), moved);
        } else if (state == QLatin1String(Sensor_State::Reversed)) {
            failed << own + QStringLiteral(" reversed: it fell %1\u00b0 as the %2 rose and rose "
                                           "%3\u00b0 as it fell")
                                .arg(-up, 0, 'f', 1)
                                .arg(side_name(side))
                                .arg(down, 0, 'f', 1);
        } else if (state == QLatin1String(Sensor_State::Swapped)) {
            failed << own + QStringLiteral(" swapped with the %1: the %1 followed the %2")
                                .arg(sensor_name(other), side_name(side));
        } else if (std::isfinite(up) && std::isfinite(down)) {
            unclear << own + QStringLiteral(" unclear: it %1, the %2 changed %3\u00b0 and %4\u00b0")
                                 .arg(moved, sensor_name(other))
                                 .arg(cross_up, 0, 'f', 1)
                                 .arg(cross_down, 0, 'f', 1);
        } else {
            unclear << own + QStringLiteral(" not judged: the %1 was not moved and read")
                                 .arg(side_name(side));
        }
    }
    if (!failed.isEmpty()) {
        r.outcome = Outcome::Fail;
        r.summary = (failed + unclear + fine).join(QStringLiteral("; "));
    } else if (!unclear.isEmpty()) {
        r.outcome = Outcome::Inconclusive;
        r.reason_code = QLatin1String(Reason::Unclear);
        r.reason = (unclear + fine).join(QStringLiteral("; ")) + '.';
        r.summary = r.reason;
    } else {
        r.outcome = Outcome::Pass;
        r.summary = fine.join(QStringLiteral("; "));
    }
    return r;
}

} // namespace Diagnostics
