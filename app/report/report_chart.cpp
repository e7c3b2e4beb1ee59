// The small chart of a recording in the service report: reservoir pressure
// and battery voltage over the recording's time, each on a scale of its own.

#include "report/report_writer.h"

#include <QFile>
#include <QPainter>
#include <QPainterPath>

#include <session_reader.h>

namespace Service_Report {

namespace {

struct Series
{
    const char* code;
    const char* label;
    Qt::GlobalColor colour;
    QVector<QPointF> points; // seconds, value
};

void read_series(Recording::Reader& reader, Series* series)
{
    reader.readings_of(series->code, [&](const Recording::Reading& r) {
        series->points << QPointF(double(r.t_us) / 1e6, r.value);
        return true;
    });
}

void draw(QPainter& p, const QRectF& plot, const Series& s, double end_s, int label_row)
{
    double low = s.points.first().y();
    double high = low;
    for (const QPointF& point : s.points) {
        low = qMin(low, point.y());
        high = qMax(high, point.y());
    }
    if (high - low < 1.0) { // a flat line sits in the middle
        low -= 0.5;
        high += 0.5;
    }
    QPainterPath path;
    for (const QPointF& point : s.points) {
        const QPointF at(plot.left() + plot.width() * point.x() / end_s,
                         plot.bottom() - plot.height() * (point.y() - low) / (high - low));
        if (path.elementCount() == 0)
            path.moveTo(at);
        else
            path.lineTo(at);
    }
    p.setPen(QPen(s.colour, 1.5));
    p.drawPath(path);
    const int line = p.fontMetrics().height();
    p.drawText(QPointF(plot.left() + 4, plot.top() + line * (label_row + 1)),
               QStringLiteral("%1 %2 to %3")
                   .arg(QLatin1String(s.label))
                   .arg(low, 0, 'f', 1)
                   .arg(high, 0, 'f', 1));
}

} // namespace

QImage Recording_Chart(const QString& recording)
{
    Series series[] = {{"PXV", "Reservoir pressure (psi)", Qt::darkBlue, {}},
                       {"IGV", "Battery (V)", Qt::darkRed, {}}};
    Recording::Reader reader;
    if (reader.open(QFile::encodeName(recording).toStdString()))
        for (Series& s : series)
            read_series(reader, &s);

    double end_s = 0;
    for (const Series& s : series)
        if (!s.points.isEmpty())
            end_s = qMax(end_s, s.points.last().x());
    if (end_s <= 0)
        return QImage();

    QImage image(560, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF plot(10, 10, image.width() - 20, image.height() - 34);
    p.setPen(Qt::gray);
    p.drawRect(plot);
    p.setPen(Qt::black);
    p.drawText(QRectF(plot.left(), plot.bottom() + 4, plot.width(), 18), Qt::AlignLeft,
               QStringLiteral("0 s"));
    p.drawText(QRectF(plot.left(), plot.bottom() + 4, plot.width(), 18), Qt::AlignRight,
               QStringLiteral("%1 s").arg(end_s, 0, 'f', 1));
    int row = 0;
    for (const Series& s : series)
        if (!s.points.isEmpty())
            draw(p, plot, s, end_s, row++);
    return image;
}

} // namespace Service_Report
