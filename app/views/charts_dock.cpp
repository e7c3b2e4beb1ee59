#include "charts_dock.h"

#include "band_strip.h"
#include "column_decimation.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_legenditem.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_map.h>
#include <qwt_text.h>

#include <algorithm>
#include <limits>

namespace Views {

namespace {

// A live session keeps its last hour; older readings are dropped.
constexpr double Kept_S = 3600;

struct Trace_Look
{
    const char* name;
    int plot;
    QColor colour;
};
const Trace_Look looks[Trace_Count] = {
    {"Reservoir", 0, QColor(30, 100, 200)}, {"Compressor", 1, QColor(220, 110, 20)},
    {"Battery", 2, QColor(40, 150, 60)},    {"Driver side", 3, QColor(150, 50, 170)},
    {"Curb side", 3, QColor(200, 40, 90)},
};
const char* const plot_units[] = {"psi", "°F", "V", "deg"};

QwtText small(const QString& text)
{
    QwtText t(text);
    QFont font = t.font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    t.setFont(font);
    return t;
}

} // namespace

Charts_Dock::Charts_Dock(QWidget* parent) : QDockWidget(QStringLiteral("Charts"), parent)
{
    setObjectName(QStringLiteral("dockCharts"));
    connect(this, &QDockWidget::visibilityChanged, this,
            [this](bool visible) { On_Screen = visible; });
    auto page = new QWidget;
    auto layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    Pause = new QCheckBox(QStringLiteral("Pause"));
    Pause->setObjectName(QStringLiteral("cbxChartsPause"));
    auto fit = new QPushButton(QStringLiteral("Fit"));
    fit->setObjectName(QStringLiteral("btnChartsFit"));
    connect(Pause, &QCheckBox::toggled, this, &Charts_Dock::Set_Paused);
    connect(fit, &QPushButton::clicked, this, &Charts_Dock::Fit);
    auto bar = new QHBoxLayout;
    bar->addWidget(Pause);
    bar->addWidget(fit);
    bar->addStretch();
    layout->addLayout(bar);

    for (size_t p = 0; p < Plots.size(); ++p) {
        auto plot = new QwtPlot;
        plot->setObjectName(QStringLiteral("plot%1").arg(p));
        plot->setAxisTitle(QwtPlot::yLeft, small(QString::fromUtf8(plot_units[p])));
        // The same room for every scale, so that the plots' times line up.
        plot->axisScaleDraw(QwtPlot::yLeft)->setMinimumExtent(48);
        plot->enableAxis(QwtPlot::xBottom, p + 1 == Plots.size());
        plot->setMinimumHeight(60);
        auto canvas = new QwtPlotCanvas;
        canvas->setFrameStyle(QFrame::NoFrame);
        canvas->setPalette(QPalette(Qt::white));
        canvas->installEventFilter(this);
        plot->setCanvas(canvas);
        auto grid = new QwtPlotGrid;
        grid->setPen(QColor(225, 225, 225));
        grid->attach(plot);
        // The names of the plot's traces, in their colours.
        auto names = new QwtPlotLegendItem;
        names->setAlignment(Qt::AlignTop | Qt::AlignLeft);
        names->setMaxColumns(2);
        names->setFont(small(QString()).font());
        names->setBackgroundBrush(QColor(255, 255, 255, 200));
        names->setBorderPen(Qt::NoPen);
        names->attach(plot);
        layout->addWidget(plot, 1);
        Plots[p] = plot;
    }
    Plots.back()->setAxisTitle(QwtPlot::xBottom, small(QStringLiteral("time (s)")));
    for (int t = 0; t < Trace_Count; ++t) {
        auto curve = new QwtPlotCurve(QString::fromLatin1(looks[t].name));
        curve->setPen(looks[t].colour, 1.5);
        curve->setPaintAttribute(QwtPlotCurve::ClipPolygons, true);
        curve->attach(plot_of(t));
        Curves[size_t(t)] = curve;
    }

    Bands = new Band_Strip(&Readings, [this] {
        QwtPlot* bottom = Plots.back();
        const QwtScaleMap map = bottom->canvasMap(QwtPlot::xBottom);
        const int offset = bottom->canvas()->mapTo(widget(), QPoint(0, 0)).x() -
                           Bands->mapTo(widget(), QPoint(0, 0)).x();
        return Band_Strip::Mapping{map.p1() + offset, map.p2() + offset, From, To};
    });
    layout->addSpacing(2);
    layout->addWidget(Bands);
    setWidget(page);

    // Ten times a second while the technician zooms or pans; five while the
    // live view scrolls by itself, which is about a pixel a time and halves
    // the drawing's cost at the line's full rate.
    Redraw_Timer.setInterval(100);
    connect(&Redraw_Timer, &QTimer::timeout, this, [this] {
        if (!Changed || !isVisible())
            return;
        if (Live && !Is_Paused() && !Moved && (++Ticks % 2) != 0)
            return;
        Moved = false;
        Redraw();
    });
    Redraw_Timer.start();
}

QwtPlot* Charts_Dock::plot_of(int trace) const
{
    return Plots[size_t(looks[trace].plot)];
}

QwtInterval Charts_Dock::Value_Range(int trace) const
{
    return plot_of(trace)->axisInterval(QwtPlot::yLeft);
}

QwtInterval Charts_Dock::Time_Range() const
{
    return Plots.back()->axisInterval(QwtPlot::xBottom);
}

int Charts_Dock::Columns() const
{
    return std::max(1, Plots.back()->canvas()->width());
}

bool Charts_Dock::Is_Paused() const
{
    return Pause->isChecked();
}

void Charts_Dock::Add_Frames(const QVector<Line_Frame>& frames)
{
    if (!Live)
        return;
    bool added = false;
    for (const Line_Frame& f : frames) {
        int channel;
        double value;
        if (f.direction == Direction::Answer && !f.timeout &&
            Chart_Value(f.packet.data(), &channel, &value)) {
            Readings.Add(double(f.t_us) / 1e6, channel, value);
            added = true;
        }
    }
    if (!added)
        return;
    if (Readings.Last_Time() - Readings.First_Time() > Kept_S + 60)
        Readings.Drop_Before(Readings.Last_Time() - Kept_S);
    if (!Is_Paused())
        follow_live();
    Changed = true;
}

void Charts_Dock::follow_live()
{
    To = Readings.Is_Empty() ? Live_Span_S : std::max(Readings.Last_Time(), Live_Span_S);
    From = To - Live_Span_S;
    Changed = true;
}

void Charts_Dock::Start_Live()
{
    Live = true;
    Readings.Clear();
    setWindowTitle(QStringLiteral("Charts"));
    Set_Paused(false);
    follow_live();
}

void Charts_Dock::Show_Recording(const Chart_Data& data, const QString& title)
{
    Live = false;
    Readings = data;
    Plots.front()->setTitle(small(title));
    Pause->setChecked(false);
    Fit();
    Redraw();
}

void Charts_Dock::Set_View(double from, double to)
{
    if (!(to > from))
        return;
    From = from;
    To = to;
    Changed = true;
    Moved = true;
}

void Charts_Dock::Set_Paused(bool paused)
{
    if (Pause->isChecked() != paused) {
        Pause->setChecked(paused); // comes back here
        return;
    }
    if (!paused && Live)
        follow_live();
}

void Charts_Dock::Fit()
{
    if (Live) {
        Set_Paused(false);
        follow_live();
        return;
    }
    const double first = Readings.First_Time(), last = Readings.Last_Time();
    Set_View(first, last > first ? last : first + 1);
}

void Charts_Dock::Set_Fahrenheit(bool fahrenheit)
{
    Fahrenheit = fahrenheit;
    Plots[1]->setAxisTitle(QwtPlot::yLeft, small(QString::fromUtf8(fahrenheit ? "°F" : "°C")));
    Changed = true;
}

void Charts_Dock::Redraw()
{
    Changed = false;
    const int columns = Columns();
    constexpr double none = std::numeric_limits<double>::infinity();
    std::array<double, 4> low, high;
    low.fill(none);
    high.fill(-none);
    for (int t = 0; t < Trace_Count; ++t) {
        QVector<QPointF> points = Decimate_Columns(Readings.Trace(t), From, To, columns);
        if (t == Temperature && Fahrenheit)
            for (QPointF& p : points)
                p.setY(p.y() * 1.8 + 32);
        const auto p = size_t(looks[t].plot);
        for (const QPointF& point : qAsConst(points)) {
            if (point.x() < From || point.x() > To)
                continue;
            low[p] = std::min(low[p], point.y());
            high[p] = std::max(high[p], point.y());
        }
        Curves[size_t(t)]->setSamples(points);
    }
    // Every plot fits what it shows, with a little room.
    for (size_t p = 0; p < Plots.size(); ++p) {
        if (low[p] > high[p]) {
            low[p] = 0;
            high[p] = 1;
        }
        const double room = std::max((high[p] - low[p]) * 0.05, 0.5);
        Plots[p]->setAxisScale(QwtPlot::yLeft, low[p] - room, high[p] + room);
        Plots[p]->setAxisScale(QwtPlot::xBottom, From, To);
        Plots[p]->replot();
    }
    Bands->update();
}

void Charts_Dock::resizeEvent(QResizeEvent* event)
{
    // Other pixel columns.
    Changed = true;
    QDockWidget::resizeEvent(event);
}

bool Charts_Dock::eventFilter(QObject* watched, QEvent* event)
{
    const auto canvas = qobject_cast<QWidget*>(watched);
    if (!canvas || !qobject_cast<QwtPlot*>(canvas->parentWidget()))
        return QDockWidget::eventFilter(watched, event);
    const double width = std::max(1, canvas->width());
    switch (event->type()) {
    case QEvent::Wheel: {
        auto wheel = static_cast<QWheelEvent*>(event);
        const double factor = wheel->angleDelta().y() > 0 ? 0.8 : 1.25;
        const double x = wheel->position().x();
        const double anchor = From + std::clamp(x / width, 0.0, 1.0) * (To - From);
        Set_Paused(true);
        Set_View(anchor - (anchor - From) * factor, anchor + (To - anchor) * factor);
        return true;
    }
    case QEvent::MouseButtonPress:
        Drag_X = static_cast<QMouseEvent*>(event)->pos().x();
        return true;
    case QEvent::MouseMove: {
        if (Drag_X < 0)
            return false;
        const int x = static_cast<QMouseEvent*>(event)->pos().x();
        const double shift = (x - Drag_X) * (To - From) / width;
        Drag_X = x;
        Set_Paused(true);
        Set_View(From - shift, To - shift);
        return true;
    }
    case QEvent::MouseButtonRelease:
        Drag_X = -1;
        return true;
    default:
        return false;
    }
}

} // namespace Views
