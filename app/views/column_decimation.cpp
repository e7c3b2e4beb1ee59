#include "column_decimation.h"

#include <algorithm>
#include <cmath>

namespace Views {

QVector<QPointF> Decimate_Columns(const QVector<QPointF>& points, double x0, double x1, int columns)
{
    QVector<QPointF> out;
    if (points.isEmpty() || columns <= 0 || !(x1 > x0))
        return out;
    const auto by_x = [](const QPointF& p, double x) { return p.x() < x; };
    auto first = std::lower_bound(points.begin(), points.end(), x0, by_x);
    auto last = std::lower_bound(first, points.end(), x1,
                                 [](const QPointF& p, double x) { return p.x() <= x; });
    if (first != points.begin())
        --first;
    if (last != points.end())
        ++last;
    out.reserve(int(std::min<qint64>(last - first, 2 * qint64(columns) + 2)));

    const double per_column = columns / (x1 - x0);
    // The points around [x0, x1] make columns of their own, -1 and COLUMNS.
    const auto column_of = [&](double x) {
        if (x < x0)
            return -1;
        if (x > x1)
            return columns;
        return std::min(columns - 1, int(std::floor((x - x0) * per_column)));
    };
    auto it = first;
    while (it != last) {
        const int column = column_of(it->x());
        auto low = it, high = it;
        for (++it; it != last && column_of(it->x()) == column; ++it) {
            if (it->y() < low->y())
                low = it;
            if (it->y() > high->y())
                high = it;
        }
        if (low == high) {
            out.append(*low);
        } else if (low < high) {
            out.append(*low);
            out.append(*high);
        } else {
            out.append(*high);
            out.append(*low);
        }
    }
    return out;
}

} // namespace Views
