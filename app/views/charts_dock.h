#ifndef APP_VIEWS_CHARTS_DOCK_H
#define APP_VIEWS_CHARTS_DOCK_H

#include "chart_data.h"
#include "line_tap.h"

#include <QDockWidget>
#include <QTimer>

#include <array>

#include <qwt_interval.h>

class QCheckBox;
class QwtPlot;
class QwtPlotCurve;

namespace Views {

class Band_Strip;

// Traces of the suspension on one time axis, in four aligned plots (psi,
// temperature, volts, the two angles), with the mode and the active faults as
// bands beneath. Live, the last two minutes scroll by; a recording
// is shown whole. The wheel zooms the time axis, a drag pans it, and either
// pauses the scrolling; "Fit" shows everything again and resumes it. Only a
// few points per pixel column are drawn, at most ten times a second.
class Charts_Dock : public QDockWidget
{
    Q_OBJECT

public:
    static constexpr double Live_Span_S = 120;

    explicit Charts_Dock(QWidget* parent = nullptr);

    // Live answers from the line tap; ignored while a recording is shown.
    void Add_Frames(const QVector<Line_Frame>& frames);
    void Start_Live();
    void Show_Recording(const Chart_Data& data, const QString& title);
    bool Is_Live() const { return Live; }
    // Shown on the screen, as its last visibilityChanged said.
    bool Is_Shown() const { return On_Screen; }
    bool Is_Paused() const;
    // The shown time range, in seconds.
    double View_From() const { return From; }
    double View_To() const { return To; }
    void Set_View(double from, double to);
    const Chart_Data& Data() const { return Readings; }
    QwtPlotCurve* Curve(int trace) const { return Curves[size_t(trace)]; }
    // What a trace's plot shows, as drawn last.
    QwtInterval Value_Range(int trace) const;
    QwtInterval Time_Range() const;
    // The pixel columns of the plots.
    int Columns() const;

public slots:
    void Set_Paused(bool paused);
    void Fit();
    void Set_Fahrenheit(bool fahrenheit);
    // Draws now what changed since the last drawing.
    void Redraw();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void follow_live();
    QwtPlot* plot_of(int trace) const;

    Chart_Data Readings;
    std::array<QwtPlot*, 4> Plots{};
    std::array<QwtPlotCurve*, Trace_Count> Curves{};
    Band_Strip* Bands;
    QCheckBox* Pause;
    QTimer Redraw_Timer;
    double From = 0, To = Live_Span_S;
    bool Live = true;
    bool Changed = true;
    // Set by the technician's zooming and panning, which is drawn at once.
    bool Moved = false;
    int Ticks = 0;
    bool Fahrenheit = true;
    int Drag_X = -1;
    bool On_Screen = false;
};

} // namespace Views

#endif // APP_VIEWS_CHARTS_DOCK_H
