#ifndef APP_VIEWS_CHARTS_DOCK_H
#define APP_VIEWS_CHARTS_DOCK_H

#include "chart_cursor.h"
#include "chart_data.h"
#include "line_tap.h"

#include <QDockWidget>
#include <QPoint>
#include <QTimer>

#include <array>

#include <qwt_interval.h>

class QCheckBox;
class QLabel;
class QMenu;
class QRubberBand;
class QwtPlot;
class QwtPlotCurve;
class QwtPlotMarker;

namespace Views {

class Band_Strip;

// Traces of the suspension on one time axis, one plot per kind of reading
// (psi, temperature, volts, angles, heights, exhaust duty, and the inputs,
// outputs and fault flags as 0/1 lanes), with the mode and the active faults
// as bands beneath. The technician chooses the signals ("Signals", kept
// between runs) and hides one by clicking its legend entry. Live, the last
// two minutes scroll by; a recording is shown whole.
//
// The mouse: hovering shows a line across the plots and every shown value
// at that time; a click pins cursor A, the next cursor B, and the read-out
// adds the difference and the rate per minute; Escape clears them. The wheel
// zooms the time axis, a drag pans it, a box drawn with the right button or
// Shift zooms time and that plot's values; each pauses the scrolling, and
// "Fit" shows everything again. Only a few points per pixel column are
// drawn, at most ten times a second.
class Charts_Dock : public QDockWidget
{
    Q_OBJECT

public:
    static constexpr double Live_Span_S = 120;
    // A live session keeps its last hour of readings and marks; older ones
    // are dropped.
    static constexpr double Kept_S = 3600;
    // Where the chosen signals are kept, as their codes.
    static constexpr const char* Signals_Key = "Charts/signals";

    explicit Charts_Dock(QWidget* parent = nullptr);
    ~Charts_Dock() override;

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
    QwtPlot* Plot(int plot) const { return Plots[size_t(plot)]; }
    // What a trace's plot shows, as drawn last.
    QwtInterval Value_Range(int trace) const;
    QwtInterval Time_Range() const;
    // The pixel columns of the plots.
    int Columns() const;

    // The chosen signals by code, in the chooser's order. Set_Signals
    // ignores unknown codes and does not remember the choice; the chooser
    // does.
    QStringList Signals() const;
    void Set_Signals(const QStringList& codes);
    // A chosen trace hidden from its legend.
    bool Is_Hidden(int trace) const;
    void Set_Hidden(int trace, bool hidden);

    // The cursors' times; A and B only once pinned.
    std::optional<double> Hover_Time() const { return Hover; }
    std::optional<double> Cursor_A() const { return Pin_A; }
    std::optional<double> Cursor_B() const { return Pin_B; }
    // True with the times of cursors A and B, earlier first, when both are
    // pinned.
    bool Cursor_Span(double* from_s, double* to_s) const;
    // Every shown signal at the cursors, as the read-out gives it.
    QVector<Cursor_Reading> Read_Out() const;
    // A time as the axis shows it: seconds, or the clock time.
    QString Time_Text(double t_s) const;
    void Set_Clock_Time(bool clock);

    // Writes the charts as shown: SVG where FILE ends in .svg, else PNG.
    bool Export_Image(const QString& file, QString* error);

public slots:
    void Set_Paused(bool paused);
    void Fit();
    void Set_Fahrenheit(bool fahrenheit);
    // Draws now what changed since the last drawing.
    void Redraw();
    // Moves the hover line and the read-out to T_S, scrolling the view to it
    // where it is out of sight.
    void Set_Cursor_Time(double t_s);
    // Pins cursor A, or B once A is pinned, or A afresh once both are.
    void Pin_Cursor(double t_s);
    void Clear_Cursors();

signals:
    // The technician clicked the charts at T_S (the click that pins a cursor).
    void Time_Clicked(double t_s);
    // Plots were shown or hidden as the chosen signals changed.
    void Plots_Changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void follow_live();
    QwtPlot* plot_of(int trace) const;
    void lay_out_plots();
    void remember_signals() const;
    void choose(int trace, bool chosen);
    // Places the cursors' lines, and replots unless a replot follows.
    void show_cursors(bool replot = true);
    void export_dialog();
    bool canvas_event(QWidget* canvas, QEvent* event);
    double time_at(const QwtPlot* plot, int x) const;
    QwtPlot* first_shown() const;

    Chart_Data Readings;
    std::array<QwtPlot*, Plot_Count> Plots{};
    std::array<QwtPlotCurve*, Trace_Count> Curves{};
    // Per plot: the hover line and cursors A and B.
    std::array<std::array<QwtPlotMarker*, 3>, Plot_Count> Lines{};
    // Values the technician zoomed a plot to; invalid where it fits its data.
    std::array<QwtInterval, Plot_Count> Zoomed{};
    std::array<bool, Trace_Count> Chosen{};
    Band_Strip* Bands;
    QCheckBox* Pause;
    QCheckBox* Clock;
    QLabel* Read_Out_Label;
    QMenu* Signals_Menu;
    QRubberBand* Box = nullptr;
    QTimer Redraw_Timer;
    double From = 0, To = Live_Span_S;
    std::optional<double> Hover, Pin_A, Pin_B;
    bool Live = true;
    bool Changed = true;
    // Set by the technician's zooming and panning, which is drawn at once.
    bool Moved = false;
    int Ticks = 0;
    bool Fahrenheit = true;
    // A press on a canvas: where, and whether it became a pan or a box.
    QPoint Press_At;
    QWidget* Pressed_Canvas = nullptr;
    bool Panning = false;
    bool Boxing = false;
    int Drag_X = -1;
    bool On_Screen = false;
};

} // namespace Views

#endif // APP_VIEWS_CHARTS_DOCK_H
