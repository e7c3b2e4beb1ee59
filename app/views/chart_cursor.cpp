#include "chart_cursor.h"

#include <algorithm>

namespace Views {

std::optional<double> Value_At(const QVector<QPointF>& trace, double t_s, bool step)
{
    if (trace.isEmpty() || t_s < trace.first().x() || t_s > trace.last().x())
        return std::nullopt;
    // The first reading after T_S, and the one at or before it.
    const auto after = std::upper_bound(trace.begin(), trace.end(), t_s,
                                        [](double t, const QPointF& p) { return t < p.x(); });
    const QPointF& before = *(after - 1);
    if (step || after == trace.end() || after->x() <= before.x())
        return before.y();
    const double share = (t_s - before.x()) / (after->x() - before.x());
    return before.y() + share * (after->y() - before.y());
}

std::optional<double> Cursor_Reading::Delta() const
{
    if (!at_a || !at_b)
        return std::nullopt;
    return *at_b - *at_a;
}

std::optional<double> Cursor_Reading::Per_Minute(double a_s, double b_s) const
{
    const auto delta = Delta();
    if (!delta || b_s == a_s)
        return std::nullopt;
    return *delta * 60.0 / (b_s - a_s);
}

namespace {

// A value, or with STATE a switch's on or off (only switches have no unit).
QString number(std::optional<double> value, const QString& unit, bool state = false)
{
    if (!value)
        return QStringLiteral("–");
    if (state && unit.isEmpty())
        return *value != 0 ? QStringLiteral("on") : QStringLiteral("off");
    const QString text = QString::number(*value, 'f', unit.isEmpty() ? 0 : 2);
    return unit.isEmpty() ? text : text + QLatin1Char(' ') + unit;
}

QString cell(const QString& text, bool bold = false)
{
    return QStringLiteral("<td style='padding-right:10px'>%1%2%3</td>")
        .arg(bold ? QStringLiteral("<b>") : QString(), text.toHtmlEscaped(),
             bold ? QStringLiteral("</b>") : QString());
}

} // namespace

QString Cursor_Text(const QVector<Cursor_Reading>& readings, const QString& hover_time,
                    std::optional<double> a_s, std::optional<double> b_s, const QString& a_time,
                    const QString& b_time)
{
    // A column per signal, a row per moment: a few lines however many are
    // shown.
    const auto row = [&](const QString& head, const auto& value_of) {
        QString html = QStringLiteral("<tr>") + cell(head, true);
        for (const Cursor_Reading& r : readings)
            html += cell(value_of(r));
        return html + QStringLiteral("</tr>");
    };
    QString html = QStringLiteral("<table cellspacing='0'>");
    html += row(QString(), [](const Cursor_Reading& r) { return r.name; });
    html +=
        row(hover_time, [](const Cursor_Reading& r) { return number(r.at_hover, r.unit, true); });
    if (a_s)
        html += row(QStringLiteral("A ") + a_time,
                    [](const Cursor_Reading& r) { return number(r.at_a, r.unit, true); });
    if (b_s)
        html += row(QStringLiteral("B ") + b_time,
                    [](const Cursor_Reading& r) { return number(r.at_b, r.unit, true); });
    if (a_s && b_s) {
        html += row(QStringLiteral("Δt %1 s").arg(*b_s - *a_s, 0, 'f', 2),
                    [](const Cursor_Reading& r) { return number(r.Delta(), r.unit); });
        html += row(QStringLiteral("per min"), [&](const Cursor_Reading& r) {
            return number(r.Per_Minute(*a_s, *b_s),
                          r.unit.isEmpty() ? QString() : r.unit + QStringLiteral("/min"));
        });
    }
    return html + QStringLiteral("</table>");
}

} // namespace Views
