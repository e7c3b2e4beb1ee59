// The charts' cursors: the hover line and cursors A and B, the read-out of
// the values at them, and the mouse on the plots that moves and pins them,
// pans, and zooms.
#include "charts_dock.h"

#include <QLabel>
#include <QMouseEvent>
#include <QRubberBand>
#include <QWheelEvent>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_map.h>

#include <algorithm>
#include <cmath>

namespace Views {

namespace {

// A press that moves less than this is a click.
constexpr int Click_Slack = 3;

} // namespace

QVector<Cursor_Reading> Charts_Dock::Read_Out() const
{
    QVector<Cursor_Reading> out;
    for (int t = 0; t < Trace_Count; ++t) {
        if (!Chosen[size_t(t)] || !Curves[size_t(t)]->isVisible())
            continue;
        Cursor_Reading r;
        r.trace = t;
        r.name = QString::fromUtf8(Signal(t).name);
        r.unit = t == Temperature ? Plot_Unit(Temperature_Plot, Fahrenheit)
                                  : QString::fromUtf8(Signal(t).unit);
        const auto at = [&](const std::optional<double>& time) -> std::optional<double> {
            if (!time)
                return std::nullopt;
            auto v = Value_At(Readings.Trace(t), *time, Is_Switch(t));
            if (v && t == Temperature && Fahrenheit)
                *v = *v * 1.8 + 32;
            return v;
        };
        r.at_hover = at(Hover);
        r.at_a = at(Pin_A);
        r.at_b = at(Pin_B);
        out << r;
    }
    return out;
}

bool Charts_Dock::Cursor_Span(double* from_s, double* to_s) const
{
    if (!Pin_A || !Pin_B)
        return false;
    *from_s = std::min(*Pin_A, *Pin_B);
    *to_s = std::max(*Pin_A, *Pin_B);
    return true;
}

void Charts_Dock::show_cursors(bool replot)
{
    const std::array<std::optional<double>, 3> times = {Hover, Pin_A, Pin_B};
    for (int p = 0; p < Plot_Count; ++p) {
        for (size_t m = 0; m < 3; ++m) {
            Lines[size_t(p)][m]->setVisible(times[m].has_value());
            if (times[m])
                Lines[size_t(p)][m]->setXValue(*times[m]);
        }
        if (replot && !Plots[size_t(p)]->isHidden())
            Plots[size_t(p)]->replot();
    }
    if (!Hover && !Pin_A) {
        Read_Out_Label->setText(
            QStringLiteral("Point at the charts for the values; click to pin cursor A, "
                           "then B; Esc clears them."));
        return;
    }
    const auto text = [this](const std::optional<double>& t) {
        return t ? Time_Text(*t) : QStringLiteral("–");
    };
    Read_Out_Label->setText(
        Cursor_Text(Read_Out(), text(Hover), Pin_A, Pin_B, text(Pin_A), text(Pin_B)));
}

void Charts_Dock::Set_Cursor_Time(double t_s)
{
    if (!std::isfinite(t_s))
        return;
    Hover = t_s;
    if (t_s < From || t_s > To) {
        const double half = (To - From) / 2;
        if (Live)
            Set_Paused(true);
        Set_View(t_s - half, t_s + half);
    }
    show_cursors();
}

void Charts_Dock::Pin_Cursor(double t_s)
{
    if (!Pin_A || Pin_B) {
        Pin_A = t_s;
        Pin_B.reset();
    } else {
        Pin_B = t_s;
    }
    Hover = t_s;
    show_cursors();
}

void Charts_Dock::Clear_Cursors()
{
    Hover.reset();
    Pin_A.reset();
    Pin_B.reset();
    show_cursors();
}

double Charts_Dock::time_at(const QwtPlot* plot, int x) const
{
    return plot->canvasMap(QwtPlot::xBottom).invTransform(x);
}

bool Charts_Dock::eventFilter(QObject* watched, QEvent* event)
{
    const auto canvas = qobject_cast<QWidget*>(watched);
    if (!canvas || !qobject_cast<QwtPlot*>(canvas->parentWidget()))
        return QDockWidget::eventFilter(watched, event);
    return canvas_event(canvas, event);
}

bool Charts_Dock::canvas_event(QWidget* canvas, QEvent* event)
{
    const double width = std::max(1, canvas->width());
    const auto plot = static_cast<QwtPlot*>(canvas->parentWidget());
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
    case QEvent::MouseButtonPress: {
        auto mouse = static_cast<QMouseEvent*>(event);
        Pressed_Canvas = canvas;
        Press_At = mouse->pos();
        Drag_X = mouse->pos().x();
        Panning = false;
        Boxing = mouse->button() == Qt::RightButton ||
                 (mouse->button() == Qt::LeftButton && (mouse->modifiers() & Qt::ShiftModifier));
        if (Boxing) {
            if (!Box)
                Box = new QRubberBand(QRubberBand::Rectangle);
            Box->setParent(canvas);
            Box->setGeometry(QRect(Press_At, QSize()));
            Box->show();
        }
        return true;
    }
    case QEvent::MouseMove: {
        auto mouse = static_cast<QMouseEvent*>(event);
        const int x = mouse->pos().x();
        if (Pressed_Canvas != canvas) {
            Hover = time_at(plot, x);
            show_cursors();
            return true;
        }
        if (Boxing) {
            Box->setGeometry(QRect(Press_At, mouse->pos()).normalized());
            return true;
        }
        if (!Panning && std::abs(x - Press_At.x()) < Click_Slack)
            return true;
        Panning = true;
        const double shift = (x - Drag_X) * (To - From) / width;
        Drag_X = x;
        Set_Paused(true);
        Set_View(From - shift, To - shift);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        if (Pressed_Canvas != canvas)
            return true;
        Pressed_Canvas = nullptr;
        auto mouse = static_cast<QMouseEvent*>(event);
        if (Boxing) {
            Box->hide();
            const QRect box = QRect(Press_At, mouse->pos()).normalized();
            if (box.width() >= Click_Slack) {
                Set_Paused(true);
                Set_View(time_at(plot, box.left()), time_at(plot, box.right()));
            }
            const int p = int(std::find(Plots.begin(), Plots.end(), plot) - Plots.begin());
            if (box.height() >= Click_Slack && p < Input_Plot) {
                const QwtScaleMap map = plot->canvasMap(QwtPlot::yLeft);
                Zoomed[size_t(p)] =
                    QwtInterval(map.invTransform(box.bottom()), map.invTransform(box.top()));
            }
            Changed = true;
            Moved = true;
            return true;
        }
        if (!Panning && mouse->button() == Qt::LeftButton) {
            const double t = time_at(plot, mouse->pos().x());
            Pin_Cursor(t);
            emit Time_Clicked(t);
        }
        Panning = false;
        return true;
    }
    default:
        return false;
    }
}

} // namespace Views
