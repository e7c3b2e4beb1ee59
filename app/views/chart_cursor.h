#ifndef APP_VIEWS_CHART_CURSOR_H
#define APP_VIEWS_CHART_CURSOR_H

#include <QPointF>
#include <QString>
#include <QVector>

#include <optional>

namespace Views {

// A trace's value at T_S: between two readings a measured value lies on the
// line between them, while a switch keeps its last state; none before the
// first reading or after the last. TRACE is in time order.
std::optional<double> Value_At(const QVector<QPointF>& trace, double t_s, bool step);

// One shown signal in the cursor read-out.
struct Cursor_Reading
{
    int trace = -1;
    QString name, unit;
    std::optional<double> at_hover, at_a, at_b;
    // B's value less A's, and that per minute of B's time less A's.
    std::optional<double> Delta() const;
    std::optional<double> Per_Minute(double a_s, double b_s) const;
};

// The read-out as the dock shows it: the time and every signal's value at
// the hover line, and with both cursors pinned their times, Δt and per signal
// the values at A and B, Δvalue and the rate per minute.
QString Cursor_Text(const QVector<Cursor_Reading>& readings, const QString& hover_time,
                    std::optional<double> a_s, std::optional<double> b_s, const QString& a_time,
                    const QString& b_time);

} // namespace Views

#endif // APP_VIEWS_CHART_CURSOR_H
