// The charts drawn again: the traces decimated to the pixel columns, and
// each plot's value axis fitted to what it shows.
#include "charts_dock.h"

#include "band_strip.h"
#include "column_decimation.h"

#include <QCheckBox>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_engine.h>
#include <qwt_scale_widget.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Views {

namespace {

// A switch's lane: its 1 this far above its 0.
constexpr double Lane_Swing = 0.7;

// A value axis over LOW to HIGH with no more labels than fit its height,
// and room beyond the outermost for half a label, so that they never touch
// the next plot's.
void set_values(QwtPlot* plot, double low, double high)
{
    const int height = std::max(1, plot->canvas()->height());
    const QwtScaleDiv inner = plot->axisScaleEngine(QwtPlot::yLeft)
                                  ->divideScale(low, high, std::clamp(height / 28, 2, 8), 5);
    const double pad = (high - low) * 8.0 / std::max(height - 16, 16);
    plot->setAxisScaleDiv(QwtPlot::yLeft,
                          QwtScaleDiv(low - pad, high + pad, inner.ticks(QwtScaleDiv::MinorTick),
                                      inner.ticks(QwtScaleDiv::MediumTick),
                                      inner.ticks(QwtScaleDiv::MajorTick)));
}

} // namespace

void Charts_Dock::Redraw()
{
    Changed = false;
    const int columns = Columns();
    constexpr double none = std::numeric_limits<double>::infinity();
    std::array<double, Plot_Count> low, high;
    low.fill(none);
    high.fill(-none);
    show_cursors(false);
    std::array<int, Trace_Count> lane{};
    for (int p = Input_Plot; p < Plot_Count; ++p) {
        const QVector<int> chosen = Lanes(Chosen, p);
        for (int i = 0; i < chosen.size(); ++i)
            lane[size_t(chosen[i])] = int(chosen.size()) - 1 - i;
    }
    for (int t = 0; t < Trace_Count; ++t) {
        if (!Chosen[size_t(t)])
            continue;
        QVector<QPointF> points = Decimate_Columns(Readings.Trace(t), From, To, columns);
        if (t == Temperature && Fahrenheit)
            for (QPointF& p : points)
                p.setY(p.y() * 1.8 + 32);
        if (Is_Switch(t))
            for (QPointF& p : points)
                p.setY(lane[size_t(t)] + (p.y() != 0 ? Lane_Swing : 0));
        const auto p = size_t(Signal(t).plot);
        if (Curves[size_t(t)]->isVisible())
            for (const QPointF& point : qAsConst(points)) {
                if (point.x() < From || point.x() > To)
                    continue;
                low[p] = std::min(low[p], point.y());
                high[p] = std::max(high[p], point.y());
            }
        Curves[size_t(t)]->setSamples(points);
    }
    // Every plot fits what it shows, with a little room, unless the
    // technician zoomed it; a lane plot shows all its lanes, each named.
    for (int p = 0; p < Plot_Count; ++p) {
        QwtPlot* plot = Plots[size_t(p)];
        if (plot->isHidden())
            continue;
        if (p >= Input_Plot) {
            const int n = int(Lanes(Chosen, p).size());
            plot->setAxisScale(QwtPlot::yLeft, -0.35, n - 1 + Lane_Swing + 0.25, 1.0);
        } else if (Zoomed[size_t(p)].isValid()) {
            // Exactly the values the technician's box held.
            plot->setAxisScale(QwtPlot::yLeft, Zoomed[size_t(p)].minValue(),
                               Zoomed[size_t(p)].maxValue());
        } else {
            if (low[size_t(p)] > high[size_t(p)]) {
                low[size_t(p)] = 0;
                high[size_t(p)] = 1;
            }
            const double room = std::max((high[size_t(p)] - low[size_t(p)]) * 0.05, 0.5);
            set_values(plot, low[size_t(p)] - room, high[size_t(p)] + room);
        }
        plot->setAxisMaxMajor(QwtPlot::xBottom,
                              std::clamp(columns / (Clock->isChecked() ? 90 : 70), 2, 12));
        plot->setAxisScale(QwtPlot::xBottom, From, To);
        plot->replot();
    }
    // Every value axis as wide as the widest, so that the times line up.
    int extent = 0;
    for (QwtPlot* plot : Plots)
        if (!plot->isHidden())
            extent = std::max(extent, int(plot->axisScaleDraw(QwtPlot::yLeft)
                                              ->extent(plot->axisWidget(QwtPlot::yLeft)->font())));
    for (QwtPlot* plot : Plots)
        if (!plot->isHidden() && plot->axisScaleDraw(QwtPlot::yLeft)->minimumExtent() != extent) {
            plot->axisScaleDraw(QwtPlot::yLeft)->setMinimumExtent(extent);
            plot->updateAxes();
            plot->replot();
        }
    Bands->update();
}

} // namespace Views
