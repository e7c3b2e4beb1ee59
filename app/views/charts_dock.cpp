#include "charts_dock.h"

#include "band_strip.h"
#include "chart_export.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

#include <qwt_legend.h>
#include <qwt_legend_label.h>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_map.h>
#include <qwt_scale_widget.h>
#include <qwt_text.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace Views {

namespace {

// Every plot at least this high, and its legend this wide beside it, so
// that the plots' times line up.
constexpr int Plot_Height = 90;
constexpr int Legend_Width = 150;
constexpr int Lane_Height = 16;

QFont small_font()
{
    QFont font;
    font.setPointSizeF(font.pointSizeF() * 0.85);
    return font;
}

QwtText small(const QString& text)
{
    QwtText t(text);
    t.setFont(small_font());
    return t;
}

// Tick labels from a function: the time axis in seconds or clock time, a
// lane plot's signal names.
class Label_Draw : public QwtScaleDraw
{
public:
    explicit Label_Draw(std::function<QString(double)> text) : Text(std::move(text)) {}
    QwtText label(double value) const override { return small(Text(value)); }

private:
    std::function<QString(double)> Text;
};

// A legend as wide beside every plot, whatever its names, so that the
// plots' times line up.
class Fixed_Legend : public QwtLegend
{
public:
    QSize sizeHint() const override { return {Legend_Width, QwtLegend::sizeHint().height()}; }
};

// A list of signals that stays open while they are ticked one after
// another.
class Checklist_Menu : public QMenu
{
public:
    using QMenu::QMenu;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        QAction* action = actionAt(event->pos());
        if (action && action->isCheckable() && action->isEnabled())
            action->trigger();
        else
            QMenu::mouseReleaseEvent(event);
    }
};

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
    auto chooser = new QToolButton;
    chooser->setObjectName(QStringLiteral("btnChartsSignals"));
    chooser->setText(QStringLiteral("Signals"));
    chooser->setPopupMode(QToolButton::InstantPopup);
    Signals_Menu = new Checklist_Menu(chooser);
    Signals_Menu->setObjectName(QStringLiteral("menuChartsSignals"));
    chooser->setMenu(Signals_Menu);
    Clock = new QCheckBox(QStringLiteral("Clock time"));
    Clock->setObjectName(QStringLiteral("cbxChartsClock"));
    connect(Clock, &QCheckBox::toggled, this, &Charts_Dock::Set_Clock_Time);
    auto save = new QPushButton(QStringLiteral("Export Image..."));
    save->setObjectName(QStringLiteral("btnChartsExport"));
    connect(save, &QPushButton::clicked, this, &Charts_Dock::export_dialog);
    auto bar = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{Pause, fit, chooser, Clock, save})
        bar->addWidget(w);
    bar->addStretch();
    layout->addLayout(bar);
    Read_Out_Label = new QLabel;
    Read_Out_Label->setObjectName(QStringLiteral("lblChartsCursor"));
    Read_Out_Label->setFont(small_font());
    Read_Out_Label->setTextFormat(Qt::RichText);
    Read_Out_Label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(Read_Out_Label);

    // The plots scroll where the dock is too short for all of them.
    auto scroller = new QScrollArea;
    scroller->setObjectName(QStringLiteral("scrollCharts"));
    scroller->setWidgetResizable(true);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto plots = new QWidget;
    auto plot_layout = new QVBoxLayout(plots);
    plot_layout->setContentsMargins(0, 0, 0, 0);
    plot_layout->setSpacing(0);
    for (size_t p = 0; p < Plots.size(); ++p) {
        auto plot = new QwtPlot;
        plot->setObjectName(QStringLiteral("plot%1").arg(p));
        // A lane plot's title is blank, but takes the room the others' take.
        const QString unit = Plot_Unit(int(p), Fahrenheit);
        plot->setAxisTitle(QwtPlot::yLeft, small(unit.isEmpty() ? QStringLiteral(" ") : unit));
        plot->axisScaleDraw(QwtPlot::yLeft)->setMinimumExtent(48);
        plot->setAxisFont(QwtPlot::yLeft, small_font());
        plot->setAxisFont(QwtPlot::xBottom, small_font());
        plot->setMinimumHeight(Plot_Height);
        auto canvas = new QwtPlotCanvas;
        canvas->setFrameStyle(QFrame::NoFrame);
        canvas->setPalette(QPalette(Qt::white));
        canvas->setMouseTracking(true);
        canvas->setFocusPolicy(Qt::ClickFocus);
        canvas->installEventFilter(this);
        plot->setCanvas(canvas);
        auto grid = new QwtPlotGrid;
        grid->setPen(QColor(225, 225, 225));
        grid->attach(plot);
        // The legend beside the data, never over it; a click on an entry
        // hides or shows its trace.
        auto legend = new Fixed_Legend;
        legend->setDefaultItemMode(QwtLegendData::Checkable);
        legend->setFont(small_font());
        plot->insertLegend(legend, QwtPlot::RightLegend);
        // A long name is cut at the legend's width; its tool tip has it whole.
        if (auto scroller = legend->findChild<QScrollArea*>())
            scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        connect(legend, &QwtLegend::checked, this,
                [this, plot](const QVariant& info, bool on, int) {
                    if (auto item = plot->infoToItem(info)) {
                        item->setVisible(on);
                        Changed = true;
                        Moved = true;
                        show_cursors();
                    }
                });
        const QColor line_colours[3] = {QColor(80, 80, 80), QColor(0, 114, 178),
                                        QColor(213, 94, 0)};
        for (size_t m = 0; m < 3; ++m) {
            auto line = new QwtPlotMarker(
                m == 0 ? QStringLiteral("cursor")
                       : QStringLiteral("cursor %1").arg(QChar('A' + int(m) - 1)));
            line->setLineStyle(QwtPlotMarker::VLine);
            line->setLinePen(line_colours[m], 1, m == 0 ? Qt::DashLine : Qt::SolidLine);
            line->setZ(40);
            line->setVisible(false);
            line->attach(plot);
            Lines[p][m] = line;
        }
        plot_layout->addWidget(plot, 1);
        Plots[p] = plot;
    }
    for (int t = 0; t < Trace_Count; ++t) {
        auto curve = new QwtPlotCurve(small(QString::fromUtf8(Signal(t).name)));
        curve->setPen(Signal(t).colour, Is_Switch(t) ? 1.2 : 1.5);
        curve->setPaintAttribute(QwtPlotCurve::ClipPolygons, true);
        curve->setLegendAttribute(QwtPlotCurve::LegendShowLine, true);
        if (Is_Switch(t))
            curve->setStyle(QwtPlotCurve::Steps);
        Curves[size_t(t)] = curve;
    }

    Bands = new Band_Strip(&Readings, [this] {
        QwtPlot* bottom = Plots.back();
        for (QwtPlot* plot : Plots)
            if (!plot->isHidden())
                bottom = plot;
        const QwtScaleMap map = bottom->canvasMap(QwtPlot::xBottom);
        const int offset = bottom->canvas()->mapTo(widget(), QPoint(0, 0)).x() -
                           Bands->mapTo(widget(), QPoint(0, 0)).x();
        return Band_Strip::Mapping{map.p1() + offset, map.p2() + offset, From, To};
    });
    plot_layout->addSpacing(2);
    plot_layout->addWidget(Bands);
    scroller->setWidget(plots);
    layout->addWidget(scroller, 1);
    setWidget(page);

    for (int group = 0; group < Plot_Count; ++group) {
        if (group == Input_Plot || group == Fault_Plot)
            Signals_Menu->addSeparator();
        for (int t = 0; t < Trace_Count; ++t) {
            if (Signal(t).plot != group)
                continue;
            QAction* action = Signals_Menu->addAction(QStringLiteral("%1 (%2)").arg(
                QString::fromUtf8(Signal(t).name), QLatin1String(Signal(t).code)));
            action->setObjectName(QStringLiteral("actSignal%1").arg(QLatin1String(Signal(t).code)));
            action->setCheckable(true);
            action->setData(t);
            connect(action, &QAction::toggled, this, [this, t](bool on) {
                choose(t, on);
                remember_signals();
            });
        }
    }
    Set_Signals(QSettings().value(QLatin1String(Signals_Key), Default_Signals()).toStringList());
    Set_Clock_Time(false);

    auto escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &Charts_Dock::Clear_Cursors);

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

Charts_Dock::~Charts_Dock()
{
    // A plot deletes the curves it shows; those of signals not shown are the
    // dock's own.
    for (QwtPlotCurve* curve : Curves)
        if (!curve->plot())
            delete curve;
}

QwtPlot* Charts_Dock::plot_of(int trace) const
{
    return Plots[size_t(Signal(trace).plot)];
}

QwtInterval Charts_Dock::Value_Range(int trace) const
{
    return plot_of(trace)->axisInterval(QwtPlot::yLeft);
}

QwtPlot* Charts_Dock::first_shown() const
{
    for (QwtPlot* plot : Plots)
        if (!plot->isHidden())
            return plot;
    return Plots.front();
}

QwtInterval Charts_Dock::Time_Range() const
{
    return first_shown()->axisInterval(QwtPlot::xBottom);
}

int Charts_Dock::Columns() const
{
    return std::max(1, first_shown()->canvas()->width());
}

bool Charts_Dock::Is_Paused() const
{
    return Pause->isChecked();
}

QStringList Charts_Dock::Signals() const
{
    QStringList codes;
    for (int t = 0; t < Trace_Count; ++t)
        if (Chosen[size_t(t)])
            codes << QLatin1String(Signal(t).code);
    return codes;
}

void Charts_Dock::Set_Signals(const QStringList& codes)
{
    for (QAction* action : Signals_Menu->actions()) {
        if (action->isSeparator())
            continue;
        const int t = action->data().toInt();
        const bool on = codes.contains(QLatin1String(Signal(t).code), Qt::CaseInsensitive);
        const QSignalBlocker quiet(action);
        action->setChecked(on);
        choose(t, on);
    }
    lay_out_plots();
}

void Charts_Dock::remember_signals() const
{
    QSettings().setValue(QLatin1String(Signals_Key), Signals());
}

void Charts_Dock::choose(int trace, bool chosen)
{
    const auto t = size_t(trace);
    if (Chosen[t] == chosen && (Curves[t]->plot() != nullptr) == chosen)
        return;
    Chosen[t] = chosen;
    if (chosen) {
        Curves[t]->setVisible(true);
        Curves[t]->attach(plot_of(trace));
        // Attached, the curve has its legend entry: checked while it shows.
        auto legend = qobject_cast<QwtLegend*>(plot_of(trace)->legend());
        if (auto label = qobject_cast<QwtLegendLabel*>(
                legend->legendWidget(plot_of(trace)->itemToInfo(Curves[t])))) {
            label->setChecked(true);
            label->setToolTip(QString::fromUtf8(Signal(trace).name));
        }
    } else {
        Curves[t]->detach();
    }
    lay_out_plots();
}

bool Charts_Dock::Is_Hidden(int trace) const
{
    return Chosen[size_t(trace)] && !Curves[size_t(trace)]->isVisible();
}

void Charts_Dock::Set_Hidden(int trace, bool hidden)
{
    QwtPlotCurve* curve = Curves[size_t(trace)];
    if (!curve->plot())
        return;
    auto legend = qobject_cast<QwtLegend*>(curve->plot()->legend());
    if (auto label =
            qobject_cast<QwtLegendLabel*>(legend->legendWidget(curve->plot()->itemToInfo(curve))))
        label->setChecked(!hidden);
    curve->setVisible(!hidden);
    Changed = true;
    show_cursors();
}

// Only the plots with a chosen signal are shown; the lowest of them carries
// the time axis.
void Charts_Dock::lay_out_plots()
{
    QwtPlot* bottom = nullptr;
    bool changed = false;
    for (int p = 0; p < Plot_Count; ++p) {
        QwtPlot* plot = Plots[size_t(p)];
        const QVector<int> chosen = Lanes(Chosen, p);
        const bool shown = !chosen.isEmpty();
        changed = changed || plot->isHidden() == shown;
        plot->setHidden(!shown);
        if (shown)
            bottom = plot;
        if (p < Input_Plot)
            continue;
        // Each lane named on the axis, at its 0.
        plot->setMinimumHeight(std::max(Plot_Height, int(chosen.size()) * Lane_Height + 20));
        const int n = int(chosen.size());
        plot->setAxisScaleDraw(QwtPlot::yLeft, new Label_Draw([chosen, n](double v) {
                                   const int i = n - 1 - int(std::lround(v));
                                   return i >= 0 && i < n ? QLatin1String(Signal(chosen[i]).code)
                                                          : QString();
                               }));
        plot->axisScaleDraw(QwtPlot::yLeft)->setMinimumExtent(48);
    }
    for (QwtPlot* plot : Plots) {
        plot->enableAxis(QwtPlot::xBottom, plot == bottom);
        plot->setAxisTitle(
            QwtPlot::xBottom,
            small(Clock->isChecked() ? QStringLiteral("time") : QStringLiteral("time (s)")));
    }
    Changed = true;
    Moved = true;
    if (changed)
        emit Plots_Changed();
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
            // The clock time of the tap's second 0, from the first reading.
            if (!Readings.Start().isValid()) {
                Readings.Set_Start(QDateTime::currentDateTimeUtc().addMSecs(-f.t_us / 1000));
                Set_Clock_Time(Clock->isChecked()); // labels made before it are stale
            }
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
    Readings.Set_Lever_Length(QSettings().value(QStringLiteral("System/ll"), 6.0).toDouble());
    setWindowTitle(QStringLiteral("Charts"));
    Clear_Cursors();
    Set_Paused(false);
    follow_live();
}

void Charts_Dock::Show_Recording(const Chart_Data& data, const QString& title)
{
    Live = false;
    Readings = data;
    Set_Clock_Time(Clock->isChecked()); // the labels of another start are stale
    Plots.front()->setTitle(small(title));
    Pause->setChecked(false);
    Clear_Cursors();
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
    Zoomed.fill(QwtInterval());
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
    Plots[Temperature_Plot]->setAxisTitle(QwtPlot::yLeft,
                                          small(Plot_Unit(Temperature_Plot, fahrenheit)));
    Changed = true;
    show_cursors();
}

QString Charts_Dock::Time_Text(double t_s) const
{
    if (Clock->isChecked() && Readings.Start().isValid())
        return Readings.Start()
            .addMSecs(qint64(std::llround(t_s * 1000)))
            .toLocalTime()
            .toString(QStringLiteral("HH:mm:ss"));
    return QString::number(t_s, 'f', std::abs(To - From) < 20 ? 2 : 1) + QStringLiteral(" s");
}

void Charts_Dock::Set_Clock_Time(bool clock)
{
    if (Clock->isChecked() != clock) {
        Clock->setChecked(clock); // comes back here
        return;
    }
    for (QwtPlot* plot : Plots)
        plot->setAxisScaleDraw(QwtPlot::xBottom, new Label_Draw([this](double t) {
                                   return Clock->isChecked() && Readings.Start().isValid()
                                              ? Time_Text(t)
                                              : QString::number(t);
                               }));
    lay_out_plots();
    show_cursors();
}

bool Charts_Dock::Export_Image(const QString& file, QString* error)
{
    QList<QwtPlot*> shown;
    for (QwtPlot* plot : Plots)
        if (!plot->isHidden())
            shown << plot;
    return Write_Chart_Image(shown, Bands, file, error);
}

void Charts_Dock::export_dialog()
{
    QString file =
        QFileDialog::getSaveFileName(this, QStringLiteral("Export Image"), QString(),
                                     QStringLiteral("PNG image (*.png);;SVG image (*.svg)"));
    if (file.isEmpty())
        return;
    if (!file.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive) &&
        !file.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        file += QStringLiteral(".png");
    QString error;
    if (!Export_Image(file, &error))
        Quillon::Ask_User(QMessageBox::Critical, QStringLiteral("Export Image"), error,
                          QMessageBox::Ok, QMessageBox::NoButton, this);
}

void Charts_Dock::resizeEvent(QResizeEvent* event)
{
    // Other pixel columns.
    Changed = true;
    QDockWidget::resizeEvent(event);
}

} // namespace Views
