// Where the report's chart comes from: a recording, or a guided test's own
// samples when nothing was recorded.

#include "report/report_chart.h"

#include <QFile>

#include <session_reader.h>

namespace Service_Report {

bool Chart::Is_Empty() const
{
    for (const Series& s : series)
        if (!s.points.isEmpty())
            return false;
    return true;
}

Chart Recording_Chart(const QString& recording, double from_s, double to_s)
{
    Chart chart;
    chart.title = QStringLiteral("Recording");
    chart.series = {
        {QStringLiteral("Reservoir pressure"),
         QStringLiteral("psi"),
         QColor(0x1f, 0x4e, 0x9c),
         0,
         {}},
        {QStringLiteral("Battery"), QStringLiteral("V"), QColor(0xb0, 0x30, 0x20), 1, {}}};
    const char* const codes[] = {"PXV", "IGV"};
    Recording::Reader reader;
    if (!reader.open(QFile::encodeName(recording).toStdString()))
        return Chart();
    const auto within = [&](std::int64_t t_us) {
        const double t = double(t_us) / 1e6;
        return t >= from_s && t <= to_s;
    };
    for (int i = 0; i < 2; ++i)
        reader.readings_of(codes[i], [&](const Recording::Reading& r) {
            if (r.has_value && within(r.t_us))
                chart.series[i].points << QPointF(double(r.t_us) / 1e6, r.value);
            return true;
        });
    const auto mark = [&](std::int64_t t_us, const std::string& text) {
        if (within(t_us))
            chart.marks.append({double(t_us) / 1e6, QString::fromStdString(text)});
        return true;
    };
    reader.events([&](const Recording::Event& e) {
        return mark(e.t_us, e.text.empty() ? e.kind : e.kind + ": " + e.text);
    });
    reader.markers([&](const Recording::Marker& m) { return mark(m.t_us, m.text); });
    reader.results(
        [&](const Recording::Result& r) { return mark(r.t_us, r.test + " " + r.verdict); });
    if (chart.Is_Empty())
        return Chart();
    return chart;
}

Chart Samples_Chart(const Diagnostics::Series& samples, const QString& title)
{
    Chart chart;
    chart.title = title;
    chart.series = {{QStringLiteral("Reservoir pressure"),
                     QStringLiteral("psi"),
                     QColor(0x1f, 0x4e, 0x9c),
                     0,
                     {}},
                    {QStringLiteral("Driver's side height"),
                     QStringLiteral("in"),
                     QColor(0x2e, 0x8b, 0x57),
                     1,
                     {}},
                    {QStringLiteral("Curb side height"),
                     QStringLiteral("in"),
                     QColor(0xc0, 0x70, 0x10),
                     1,
                     {}}};
    for (const Diagnostics::Sample& s : samples) {
        chart.series[0].points << QPointF(s.t, s.pressure);
        chart.series[1].points << QPointF(s.t, s.driver_height);
        chart.series[2].points << QPointF(s.t, s.curb_height);
    }
    Diagnostics::Output compressor = Diagnostics::Output::Unknown;
    for (const Diagnostics::Sample& s : samples) {
        if (s.compressor != compressor && s.compressor != Diagnostics::Output::Unknown &&
            compressor != Diagnostics::Output::Unknown)
            chart.marks.append({s.t, s.compressor == Diagnostics::Output::On
                                         ? QStringLiteral("compressor on")
                                         : QStringLiteral("compressor off")});
        compressor = s.compressor;
    }
    return chart;
}

} // namespace Service_Report
