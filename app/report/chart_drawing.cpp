// The chart as a list of lines and texts, laid out once and then written as
// SVG or painted: both forms of the report show the same picture.

#include "report/job_info.h"
#include "report/report_chart.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>

#include <cmath>

namespace Service_Report {

namespace {

struct Item
{
    enum Kind
    {
        Line,
        Text
    };
    Kind kind = Line;
    QPolygonF points; // a line's points; a text's baseline anchor
    QString text;
    QColor colour = Qt::black;
    double width = 1;
    bool dashed = false;
    int align = -1; // a text's anchor: -1 start, 0 middle, 1 end
};

const QColor Grid(0xd0, 0xd0, 0xd0);
const QColor Mark_Colour(0x70, 0x70, 0x70);
constexpr double Font_Px = 11;
constexpr int Longest_Mark_Text = 22;

struct Scale
{
    double low = 0, high = 1, step = 1;
    int decimals = 0;
};

// Round tick steps (1, 2 or 5 times a power of ten) and a range that ends on
// them.
Scale scale_of(double low, double high)
{
    if (!(high - low > 1e-9)) {
        low -= 0.5;
        high += 0.5;
    }
    const double raw = (high - low) / 5;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / power;
    Scale s;
    s.step = (f < 1.5 ? 1 : f < 3 ? 2 : f < 7 ? 5 : 10) * power;
    s.low = std::floor(low / s.step) * s.step;
    s.high = std::ceil(high / s.step) * s.step;
    s.decimals = qMax(0, int(-std::floor(std::log10(s.step) + 1e-9)));
    return s;
}

QString number(double value, int decimals)
{
    const QString text = QString::number(value, 'f', decimals);
    return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
}

class Layout
{
public:
    explicit Layout(const Chart& chart) : chart(chart) {}
    QVector<Item> Items();

private:
    void line(const QVector<QPointF>& points, const QColor& colour, double width = 1,
              bool dashed = false)
    {
        Item item;
        item.points = QPolygonF(points);
        item.colour = colour;
        item.width = width;
        item.dashed = dashed;
        items << item;
    }
    void text(QPointF at, const QString& text, int align, const QColor& colour = Qt::black)
    {
        Item item;
        item.kind = Item::Text;
        item.points << at;
        item.text = Clean_Text(text, 80);
        item.align = align;
        item.colour = colour;
        items << item;
    }
    QPolygonF trace(const Chart::Series& s, const Scale& y) const;
    double x_of(double t) const { return plot.left() + plot.width() * (t - t0) / (t1 - t0); }

    const Chart& chart;
    QVector<Item> items;
    QRectF plot{60, 34, Chart_Width - 120, Chart_Height - 100};
    double t0 = 0, t1 = 1, time_unit = 1;
};

// At most a minimum and a maximum per column of the plot: an hour's readings
// draw the same and stay small.
QPolygonF Layout::trace(const Chart::Series& s, const Scale& y) const
{
    QPolygonF out;
    const auto at = [&](const QPointF& p) {
        return QPointF(x_of(p.x()),
                       plot.bottom() - plot.height() * (p.y() - y.low) / (y.high - y.low));
    };
    int column = -1;
    QPointF low, high;
    const auto flush = [&] {
        if (column < 0)
            return;
        out << at(low.x() <= high.x() ? low : high);
        if (low != high)
            out << at(low.x() <= high.x() ? high : low);
    };
    for (const QPointF& p : s.points) {
        if (p.x() < t0 || p.x() > t1 || !std::isfinite(p.y()))
            continue;
        const int c = int(x_of(p.x()));
        if (c != column) {
            flush();
            column = c;
            low = high = p;
        }
        if (p.y() < low.y())
            low = p;
        if (p.y() > high.y())
            high = p;
    }
    flush();
    return out;
}

QVector<Item> Layout::Items()
{
    // The time span of every series together.
    t0 = std::numeric_limits<double>::infinity();
    t1 = -t0;
    for (const auto& s : chart.series)
        for (const QPointF& p : s.points) {
            t0 = qMin(t0, p.x());
            t1 = qMax(t1, p.x());
        }
    if (!(t1 > t0))
        t1 = t0 + 1;
    const bool minutes = t1 - t0 > 600;
    time_unit = minutes ? 60 : 1;

    text(QPointF(Chart_Width / 2, 16), chart.title, 0);
    line({plot.topLeft(), plot.topRight(), plot.bottomRight(), plot.bottomLeft(), plot.topLeft()},
         Qt::black);

    const Scale x = scale_of(0, (t1 - t0) / time_unit);
    for (double v = x.low; v <= x.high + x.step / 2; v += x.step) {
        const double px = x_of(t0 + v * time_unit);
        if (px < plot.left() - 0.5 || px > plot.right() + 0.5)
            continue;
        line({QPointF(px, plot.top()), QPointF(px, plot.bottom())}, Grid, 0.5);
        text(QPointF(px, plot.bottom() + 14), number(v, x.decimals), 0);
    }
    text(QPointF(plot.center().x(), plot.bottom() + 30),
         minutes ? QStringLiteral("Time (min)") : QStringLiteral("Time (s)"), 0);

    // One scale per axis, over the series drawn against it.
    for (int axis = 0; axis < 2; ++axis) {
        double low = std::numeric_limits<double>::infinity(), high = -low;
        QString unit;
        for (const auto& s : chart.series) {
            if (s.axis != axis)
                continue;
            unit = s.unit;
            for (const QPointF& p : s.points)
                if (std::isfinite(p.y())) {
                    low = qMin(low, p.y());
                    high = qMax(high, p.y());
                }
        }
        if (!std::isfinite(low))
            continue;
        const Scale y = scale_of(low, high);
        const double edge = axis == 0 ? plot.left() - 5 : plot.right() + 5;
        for (double v = y.low; v <= y.high + y.step / 2; v += y.step) {
            const double py = plot.bottom() - plot.height() * (v - y.low) / (y.high - y.low);
            if (axis == 0)
                line({QPointF(plot.left(), py), QPointF(plot.right(), py)}, Grid, 0.5);
            text(QPointF(edge, py + 4), number(v, y.decimals), axis == 0 ? 1 : -1);
        }
        text(QPointF(axis == 0 ? plot.left() : plot.right(), plot.top() - 6), unit,
             axis == 0 ? 1 : -1);
        for (const auto& s : chart.series)
            if (s.axis == axis)
                line(trace(s, y), s.colour, 1.5);
    }

    int row = 0;
    for (const auto& m : chart.marks) {
        if (m.t < t0 || m.t > t1)
            continue;
        const double px = x_of(m.t);
        line({QPointF(px, plot.top()), QPointF(px, plot.bottom())}, Mark_Colour, 1, true);
        text(QPointF(px + 2, plot.top() + 12 + 12 * (row++ % 4)),
             Clean_Text(m.text, Longest_Mark_Text), -1, Mark_Colour);
    }

    // The legend: each series, then the marks.
    double lx = plot.left();
    const double ly = Chart_Height - 14;
    const auto entry = [&](const QString& label, const QColor& colour, bool dashed) {
        line({QPointF(lx, ly - 4), QPointF(lx + 18, ly - 4)}, colour, dashed ? 1 : 1.5, dashed);
        text(QPointF(lx + 22, ly), label, -1);
        lx += 34 + label.size() * Font_Px * 0.55;
    };
    for (const auto& s : chart.series)
        if (!trace(s, Scale()).isEmpty())
            entry(QStringLiteral("%1 (%2)").arg(s.label, s.unit), s.colour, false);
    if (!chart.marks.isEmpty())
        entry(QStringLiteral("Event"), Mark_Colour, true);
    return items;
}

QString colour_text(const QColor& c)
{
    return c.name(QColor::HexRgb);
}

} // namespace

QString Chart_Svg(const Chart& chart)
{
    QString svg = QStringLiteral("<svg class=\"chart\" xmlns=\"http://www.w3.org/2000/svg\" "
                                 "viewBox=\"0 0 %1 %2\" width=\"%1\" height=\"%2\" role=\"img\" "
                                 "aria-label=\"%3\" font-family=\"sans-serif\" "
                                 "font-size=\"%4\">\n")
                      .arg(Chart_Width)
                      .arg(Chart_Height)
                      .arg(Clean_Text(chart.title).toHtmlEscaped())
                      .arg(Font_Px);
    static const char* const Anchors[] = {"start", "middle", "end"};
    for (const Item& item : Layout(chart).Items()) {
        if (item.kind == Item::Text) {
            svg +=
                QStringLiteral("<text x=\"%1\" y=\"%2\" text-anchor=\"%3\" fill=\"%4\">%5</text>\n")
                    .arg(item.points.first().x(), 0, 'f', 1)
                    .arg(item.points.first().y(), 0, 'f', 1)
                    .arg(QLatin1String(Anchors[item.align + 1]), colour_text(item.colour),
                         item.text.toHtmlEscaped());
            continue;
        }
        if (item.points.size() < 2)
            continue;
        QString points;
        points.reserve(item.points.size() * 12);
        for (const QPointF& p : item.points)
            points += QStringLiteral("%1,%2 ").arg(p.x(), 0, 'f', 1).arg(p.y(), 0, 'f', 1);
        svg += QStringLiteral("<polyline points=\"%1\" fill=\"none\" stroke=\"%2\" "
                              "stroke-width=\"%3\"%4/>\n")
                   .arg(points.trimmed(), colour_text(item.colour))
                   .arg(item.width)
                   .arg(item.dashed ? QStringLiteral(" stroke-dasharray=\"4 3\"") : QString());
    }
    return svg + QStringLiteral("</svg>");
}

void Paint_Chart(QPainter* painter, const QRectF& target, const Chart& chart)
{
    painter->save();
    painter->translate(target.topLeft());
    painter->scale(target.width() / Chart_Width, target.height() / Chart_Height);
    painter->setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("sans-serif"));
    font.setPixelSize(int(Font_Px));
    font.setStyleStrategy(QFont::PreferNoShaping);
    painter->setFont(font);
    const QFontMetricsF metrics(font, painter->device());
    for (const Item& item : Layout(chart).Items()) {
        if (item.kind == Item::Text) {
            const double width = metrics.horizontalAdvance(item.text);
            painter->setPen(item.colour);
            painter->drawText(item.points.first() - QPointF((item.align + 1) * width / 2, 0),
                              item.text);
            continue;
        }
        QPen pen(item.colour, item.width);
        if (item.dashed)
            pen.setDashPattern({4.0 / item.width, 3.0 / item.width});
        painter->setPen(pen);
        painter->drawPolyline(item.points);
    }
    painter->restore();
}

} // namespace Service_Report
