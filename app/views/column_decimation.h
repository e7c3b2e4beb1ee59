#ifndef APP_VIEWS_COLUMN_DECIMATION_H
#define APP_VIEWS_COLUMN_DECIMATION_H

#include <QPointF>
#include <QVector>

namespace Views {

// What a trace needs to look the same on COLUMNS pixel columns over
// [x0, x1]: in every column its lowest and highest point, in their order in
// time, so that a spike one sample wide survives; plus the last point before
// x0 and the first after x1, so that the line runs to the edges. POINTS are
// sorted by x.
QVector<QPointF> Decimate_Columns(const QVector<QPointF>& points, double x0, double x1,
                                  int columns);

} // namespace Views

#endif // APP_VIEWS_COLUMN_DECIMATION_H
