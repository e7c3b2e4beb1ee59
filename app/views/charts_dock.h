#ifndef APP_VIEWS_CHARTS_DOCK_H
#define APP_VIEWS_CHARTS_DOCK_H

#include "chart_data.h"
#include "line_tap.h"

#include <QDockWidget>
#include <QTimer>

#include <array>

namespace QtCharts {
class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;
} // namespace QtCharts

class QCheckBox;

namespace Views {

class Band_Strip;

// Traces of the suspension on one time axis, with the mode and the active
// faults as bands beneath. Live, the last two minutes scroll by; a recording
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
    bool Is_Paused() const;
    // The shown time range, in seconds.
    double View_From() const { return From; }
    double View_To() const { return To; }
    void Set_View(double from, double to);
    const Chart_Data& Data() const { return Readings; }
    QtCharts::QLineSeries* Series(int trace) const { return Lines[size_t(trace)]; }
    QtCharts::QValueAxis* Value_Axis(int trace) const;
    QtCharts::QValueAxis* Time_Axis() const { return Time; }
    QtCharts::QChartView* View() const { return Chart_View; }

public slots:
    void Set_Paused(bool paused);
    void Fit();
    void Set_Fahrenheit(bool fahrenheit);
    // Draws now what changed since the last drawing.
    void Redraw();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow_live();

    Chart_Data Readings;
    QtCharts::QChart* Chart;
    QtCharts::QChartView* Chart_View;
    std::array<QtCharts::QLineSeries*, Trace_Count> Lines{};
    std::array<QtCharts::QValueAxis*, 4> Value_Axes{};
    QtCharts::QValueAxis* Time;
    Band_Strip* Bands;
    QCheckBox* Pause;
    QTimer Redraw_Timer;
    double From = 0, To = Live_Span_S;
    bool Live = true;
    bool Changed = true;
    bool Fahrenheit = true;
    int Drag_X = -1;
};

} // namespace Views

#endif // APP_VIEWS_CHARTS_DOCK_H
