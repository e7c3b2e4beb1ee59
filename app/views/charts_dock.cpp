#include "charts_dock.h"

#include "band_strip.h"
#include "column_decimation.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <limits>

using namespace QtCharts;

namespace Views {

namespace {

// A live session keeps its last hour; older readings are dropped.
constexpr double Kept_S = 3600;

struct Trace_Look
{
    const char* name;
    int axis;
    QColor colour;
};
const Trace_Look looks[Trace_Count] = {
    {"Reservoir", 0, QColor(30, 100, 200)},
    {"Compressor", 1, QColor(220, 110, 20)},
    {"Battery", 2, QColor(40, 150, 60)},
    {"Driver side", 3, QColor(150, 50, 170)},
    {"Curb side", 3, QColor(200, 40, 90)},
};

} // namespace

Charts_Dock::Charts_Dock(QWidget* parent)
    : QDockWidget(QStringLiteral("Charts"), parent), Chart(new QChart), Time(new QValueAxis)
{
    setObjectName(QStringLiteral("dockCharts"));
    Chart->legend()->setAlignment(Qt::AlignTop);
    Chart->setMargins(QMargins(4, 4, 4, 4));
    Time->setTitleText(QStringLiteral("time (s)"));
    Time->setLabelFormat(QStringLiteral("%.0f"));
    Chart->addAxis(Time, Qt::AlignBottom);
    static const char* const units[] = {"psi", "°F", "V", "deg"};
    for (size_t a = 0; a < Value_Axes.size(); ++a) {
        Value_Axes[a] = new QValueAxis;
        Value_Axes[a]->setTitleText(QString::fromUtf8(units[a]));
        Value_Axes[a]->setLabelFormat(QLatin1String(a < 2 ? "%.0f" : "%.1f"));
        Chart->addAxis(Value_Axes[a], a < 2 ? Qt::AlignLeft : Qt::AlignRight);
    }
    for (int t = 0; t < Trace_Count; ++t) {
        auto line = new QLineSeries;
        line->setName(QLatin1String(looks[t].name));
        line->setPen(QPen(looks[t].colour, 1.5));
        Chart->addSeries(line);
        line->attachAxis(Time);
        line->attachAxis(Value_Axes[size_t(looks[t].axis)]);
        Value_Axes[size_t(looks[t].axis)]->setLinePenColor(looks[t].colour);
        Lines[size_t(t)] = line;
    }
    // A wider or narrower plot has other pixel columns.
    connect(Chart, &QChart::plotAreaChanged, this, [this] { Changed = true; });
    Chart_View = new QChartView(Chart);
    Chart_View->setObjectName(QStringLiteral("chartView"));
    Chart_View->setRenderHint(QPainter::Antialiasing, false);
    Chart_View->viewport()->installEventFilter(this);
    Chart_View->setMinimumSize(320, 200);

    Bands = new Band_Strip(&Readings, [this] {
        const QRectF area = Chart->plotArea();
        const int offset = Chart_View->mapTo(widget(), QPoint(0, 0)).x() -
                           Bands->mapTo(widget(), QPoint(0, 0)).x();
        return Band_Strip::Mapping{area.left() + offset, area.right() + offset, From, To};
    });
    Pause = new QCheckBox(QStringLiteral("Pause"));
    Pause->setObjectName(QStringLiteral("cbxChartsPause"));
    auto fit = new QPushButton(QStringLiteral("Fit"));
    fit->setObjectName(QStringLiteral("btnChartsFit"));
    connect(Pause, &QCheckBox::toggled, this, &Charts_Dock::Set_Paused);
    connect(fit, &QPushButton::clicked, this, &Charts_Dock::Fit);

    auto page = new QWidget;
    auto layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    auto bar = new QHBoxLayout;
    bar->addWidget(Pause);
    bar->addWidget(fit);
    bar->addStretch();
    layout->addLayout(bar);
    layout->addWidget(Chart_View, 1);
    layout->addWidget(Bands);
    setWidget(page);

    Redraw_Timer.setInterval(100);
    connect(&Redraw_Timer, &QTimer::timeout, this, [this] {
        if (Changed && isVisible())
            Redraw();
    });
    Redraw_Timer.start();
}

QValueAxis* Charts_Dock::Value_Axis(int trace) const
{
    return Value_Axes[size_t(looks[trace].axis)];
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
    Chart->setTitle(QString());
    Set_Paused(false);
    follow_live();
}

void Charts_Dock::Show_Recording(const Chart_Data& data, const QString& title)
{
    Live = false;
    Readings = data;
    Chart->setTitle(title);
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
    Value_Axes[1]->setTitleText(QString::fromUtf8(fahrenheit ? "°F" : "°C"));
    Changed = true;
}

void Charts_Dock::Redraw()
{
    Changed = false;
    const int columns = std::max(1, int(Chart->plotArea().width()));
    constexpr double none = std::numeric_limits<double>::infinity();
    std::array<double, 4> low, high;
    low.fill(none);
    high.fill(-none);
    for (int t = 0; t < Trace_Count; ++t) {
        QVector<QPointF> points = Decimate_Columns(Readings.Trace(t), From, To, columns);
        if (t == Temperature && Fahrenheit)
            for (QPointF& p : points)
                p.setY(p.y() * 1.8 + 32);
        const auto a = size_t(looks[t].axis);
        for (const QPointF& p : qAsConst(points)) {
            if (p.x() < From || p.x() > To)
                continue;
            low[a] = std::min(low[a], p.y());
            high[a] = std::max(high[a], p.y());
        }
        Lines[size_t(t)]->replace(points);
    }
    // Every vertical axis fits what is shown, with a little room.
    for (size_t a = 0; a < Value_Axes.size(); ++a) {
        if (low[a] > high[a]) {
            low[a] = 0;
            high[a] = 1;
        }
        const double room = std::max((high[a] - low[a]) * 0.05, 0.5);
        Value_Axes[a]->setRange(low[a] - room, high[a] + room);
    }
    Time->setRange(From, To);
    Bands->update();
}

bool Charts_Dock::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != Chart_View->viewport())
        return QDockWidget::eventFilter(watched, event);
    const double width = std::max(1.0, Chart->plotArea().width());
    switch (event->type()) {
    case QEvent::Wheel: {
        auto wheel = static_cast<QWheelEvent*>(event);
        const double factor = wheel->angleDelta().y() > 0 ? 0.8 : 1.25;
        const double x = wheel->position().x() - Chart->plotArea().left();
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
