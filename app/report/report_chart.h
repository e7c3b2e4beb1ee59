#ifndef APP_REPORT_REPORT_CHART_H
#define APP_REPORT_REPORT_CHART_H

// The report's chart: signals over time with both axes, their units, a
// legend and the session's event marks. It is drawn as vector graphics in
// both forms of the report, from one list of lines and texts: SVG in the
// HTML page, painter paths in the PDF.

#include "diagnostics/test_samples.h"

#include <QColor>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QVector>

#include <limits>

class QPainter;
class QRectF;

namespace Service_Report {

struct Chart
{
    struct Series
    {
        QString label; // "Reservoir pressure"
        QString unit;  // "psi"
        QColor colour;
        int axis = 0;            // 0 on the left scale, 1 on the right one
        QVector<QPointF> points; // seconds, value
    };
    struct Mark
    {
        double t = 0; // seconds
        QString text;
    };

    QString title;
    QVector<Series> series;
    QVector<Mark> marks;

    bool Is_Empty() const;
};

// The chart's size in the report, in CSS pixels (1/96 in).
constexpr double Chart_Width = 680;
constexpr double Chart_Height = 300;

// Reservoir pressure and battery voltage over a recording, or over the span
// from `from_s` to `to_s` of it, with its events, marks and test results;
// read without changing the file. Empty when it holds no such readings.
Chart Recording_Chart(const QString& recording, double from_s = 0,
                      double to_s = std::numeric_limits<double>::infinity());
// The signals a guided test watched, from its own samples.
Chart Samples_Chart(const Diagnostics::Series& samples, const QString& title);

// The chart as an <svg> element for an HTML page, every text escaped.
QString Chart_Svg(const Chart& chart);
// The chart painted into `target` (in the painter's units), as vector paths.
void Paint_Chart(QPainter* painter, const QRectF& target, const Chart& chart);

} // namespace Service_Report

#endif // APP_REPORT_REPORT_CHART_H
