#ifndef APP_VIEWS_EVENT_MARKS_H
#define APP_VIEWS_EVENT_MARKS_H

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVector>

class QwtPlot;
class QwtPlotMarker;

namespace Views {

// One moment of the session worth seeing beside the traces: an event (kind
// as the recording names it), a test's result ("result") or the
// technician's marker ("marker"). Seconds, as the charts count them.
struct Mark
{
    double t_s = 0;
    QString kind;
    QString text;
};

// The short label of a mark, drawn beside its line, and its whole text.
QString Mark_Label(const Mark& mark);
QString Mark_Tip(const Mark& mark);
// A test's result as its mark says it.
QString Result_Text(const QString& test, const QString& verdict, const QString& summary);

// Draws marks as thin labelled vertical lines across every plot it is given,
// coloured by what they are, and shows their whole text in a tool tip when
// the pointer rests near one. Live marks are kept for a bounded time; a
// recording's are shown all at once in their place.
class Event_Marks : public QObject
{
    Q_OBJECT

public:
    // At most this many live marks are kept, the newest.
    static constexpr int Max_Live = 500;

    explicit Event_Marks(QObject* parent = nullptr);
    ~Event_Marks() override;

    // Draws on these plots from now on.
    void Attach(const QList<QwtPlot*>& plots);
    // Draws on the plots inside CHARTS, again whenever it says
    // Plots_Changed() because it rebuilt them.
    void Follow(QWidget* charts);
    // A live mark; marks older than T_S - KEPT_S go.
    void Add(const Mark& mark, double kept_s);
    // Replaces every mark by a recording's.
    void Show(QVector<Mark> marks);
    void Clear();
    // Every mark shown, in time order.
    QVector<Mark> Marks() const;
    // The lines drawn: marks of one moment share one.
    int Lines() const { return Shown.size(); }
    // The marks' whole texts within a few pixels of canvas column X of PLOT.
    QString Text_Near(const QwtPlot* plot, int x) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void Reattach();

private:
    struct Line
    {
        QVector<Mark> marks;
        // One per plot, in the order of Plots.
        QList<QwtPlotMarker*> items;
    };
    void draw(Line& line);
    void erase(Line& line);
    void drop_front(int count);
    void replot_soon();

    QPointer<QWidget> Charts;
    QList<QPointer<QwtPlot>> Plots;
    QVector<Line> Shown;
    QTimer Replot_Timer;
};

} // namespace Views

#endif // APP_VIEWS_EVENT_MARKS_H
