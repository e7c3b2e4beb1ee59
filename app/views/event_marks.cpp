#include "event_marks.h"

#include <QHelpEvent>
#include <QToolTip>

#include <qwt_plot.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_map.h>
#include <qwt_text.h>

#include <algorithm>
#include <cmath>

namespace Views {

namespace {

enum Group
{
    Connection,
    Fault,
    Box,
    Action,
    Test,
    Marker,
    Other
};

// Okabe and Ito's palette, told apart with every common colour blindness;
// faults are also dashed.
const QColor group_colours[] = {QColor(0, 114, 178),  QColor(213, 94, 0),    QColor(230, 159, 0),
                                QColor(0, 158, 115),  QColor(204, 121, 167), QColor(0, 0, 0),
                                QColor(120, 120, 120)};

const struct
{
    const char* kind;
    const char* title;
    Group group;
} kinds[] = {
    {"port_opened", "port opened", Connection},
    {"port_closed", "port closed", Connection},
    {"serial_error", "serial error", Fault},
    {"timeout", "time-out", Fault},
    {"box", "box", Box},
    {"move_pressed", "move", Action},
    {"move_released", "move ended", Action},
    {"preset_move", "go to", Action},
    {"preset_save", "saved", Action},
    {"counter_reset", "counter reset", Action},
    {"mode_save", "mode saved", Action},
    {"lever_length_save", "lever length saved", Action},
    {"compressor_test_start", "compressor test start", Test},
    {"compressor_test_verdict", "compressor test verdict", Test},
    {"guided_test_start", "test start", Test},
    {"guided_test_verdict", "test verdict", Test},
    {"result", "result", Test},
    {"marker", "mark", Marker},
};

// A pointer this close to a line is on it.
constexpr int Near_Px = 4;
// A label reads up the first plot, which is about 90 px high.
constexpr int Label_Chars = 14;

Group group_of(const QString& kind, QString* title)
{
    for (const auto& k : kinds)
        if (kind == QLatin1String(k.kind)) {
            *title = QLatin1String(k.title);
            return k.group;
        }
    *title = QString(kind).replace(QLatin1Char('_'), QLatin1Char(' '));
    // The steps of a guided test are named after it.
    return kind.contains(QLatin1String("test")) ? Test : Other;
}

// A type of its own: code that clears a plot's other markers (cursors)
// leaves these alone.
class Mark_Item : public QwtPlotMarker
{
public:
    int rtti() const override { return QwtPlotItem::Rtti_PlotUserItem + 25; }
};

} // namespace

QString Mark_Label(const Mark& mark)
{
    QString title;
    const Group group = group_of(mark.kind, &title);
    // What the technician did or typed says more than its kind.
    QString label = title;
    if ((group == Action || group == Marker) && !mark.text.isEmpty())
        label = mark.kind == QLatin1String("move_released") ? mark.text + QStringLiteral(" end")
                                                            : mark.text;
    else if (mark.kind == QLatin1String("compressor_test_start"))
        label = QStringLiteral("test start");
    else if (mark.kind == QLatin1String("guided_test_start"))
        label = mark.text;
    else if (mark.kind == QLatin1String("compressor_test_verdict"))
        label = mark.text;
    else if (mark.kind == QLatin1String("guided_test_verdict")) // "Air leak-down: fail - ..."
        label = mark.text.section(QStringLiteral(": "), 1).section(QStringLiteral(" - "), 0, 0);
    else if (mark.kind == QLatin1String("result"))
        label = mark.text.section(QLatin1Char(','), 0, 0).remove(QLatin1Char(':'));
    label = label.simplified();
    if (label.size() > Label_Chars)
        label = label.left(Label_Chars - 1) + QChar(0x2026);
    return label;
}

QString Mark_Tip(const Mark& mark)
{
    QString title;
    group_of(mark.kind, &title);
    return QStringLiteral("%1 s  %2").arg(mark.t_s, 0, 'f', 3).arg(title) +
           (mark.text.isEmpty() ? QString() : QStringLiteral(": ") + mark.text);
}

QString Result_Text(const QString& test, const QString& verdict, const QString& summary)
{
    const QString said = test + QStringLiteral(": ") + verdict;
    return summary.isEmpty() ? said : said + QStringLiteral(", ") + summary;
}

Event_Marks::Event_Marks(QObject* parent) : QObject(parent)
{
    // A burst of marks is drawn once.
    Replot_Timer.setSingleShot(true);
    Replot_Timer.setInterval(200);
    connect(&Replot_Timer, &QTimer::timeout, this, [this] {
        for (const QPointer<QwtPlot>& plot : qAsConst(Plots))
            if (plot && plot->isVisible())
                plot->replot();
    });
}

Event_Marks::~Event_Marks()
{
    Clear();
}

void Event_Marks::Follow(QWidget* charts)
{
    if (Charts)
        disconnect(Charts, nullptr, this, nullptr);
    Charts = charts;
    if (charts && charts->metaObject()->indexOfSignal("Plots_Changed()") >= 0)
        connect(charts, SIGNAL(Plots_Changed()), this, SLOT(Reattach()));
    Reattach();
}

void Event_Marks::Reattach()
{
    Attach(Charts ? Charts->findChildren<QwtPlot*>() : QList<QwtPlot*>());
}

void Event_Marks::Attach(const QList<QwtPlot*>& plots)
{
    for (Line& line : Shown)
        erase(line);
    for (const QPointer<QwtPlot>& plot : qAsConst(Plots))
        if (plot)
            plot->canvas()->removeEventFilter(this);
    Plots.clear();
    for (QwtPlot* plot : plots) {
        Plots << plot;
        plot->canvas()->installEventFilter(this);
    }
    for (Line& line : Shown)
        draw(line);
    replot_soon();
}

void Event_Marks::draw(Line& line)
{
    Group group = Other;
    for (const Mark& mark : qAsConst(line.marks)) {
        QString title;
        group = std::min(group, group_of(mark.kind, &title));
    }
    // The others of the moment are in the tool tip.
    QwtText label(
        Mark_Label(line.marks.first()) +
        (line.marks.size() > 1 ? QStringLiteral(" +%1").arg(line.marks.size() - 1) : QString()));
    QFont font = label.font();
    font.setPointSizeF(font.pointSizeF() * 0.8);
    label.setFont(font);
    const QColor colour = group_colours[group];
    label.setColor(colour);
    for (const QPointer<QwtPlot>& plot : qAsConst(Plots)) {
        if (!plot) {
            line.items << nullptr;
            continue;
        }
        auto item = new Mark_Item;
        item->setLineStyle(QwtPlotMarker::VLine);
        item->setLinePen(colour, 1, group == Fault ? Qt::DashLine : Qt::SolidLine);
        item->setXValue(line.marks.first().t_s);
        // The plots share one time axis: one label, upwards from the foot of
        // the first plot, names the line through all of them.
        if (line.items.isEmpty()) {
            item->setLabel(label);
            item->setLabelOrientation(Qt::Vertical);
            item->setLabelAlignment(Qt::AlignRight | Qt::AlignBottom);
        }
        // Above the grid, beneath the traces.
        item->setZ(15);
        item->attach(plot);
        line.items << item;
    }
}

void Event_Marks::erase(Line& line)
{
    // A plot deletes its items with itself.
    for (int i = 0; i < line.items.size(); ++i)
        if (i < Plots.size() && Plots[i])
            delete line.items[i];
    line.items.clear();
}

void Event_Marks::drop_front(int count)
{
    count = std::min(count, int(Shown.size()));
    if (count <= 0)
        return;
    for (int i = 0; i < count; ++i)
        erase(Shown[i]);
    Shown.remove(0, count);
}

void Event_Marks::replot_soon()
{
    if (!Replot_Timer.isActive())
        Replot_Timer.start();
}

void Event_Marks::Add(const Mark& mark, double kept_s)
{
    int old = 0;
    while (old < Shown.size() && Shown[old].marks.first().t_s < mark.t_s - kept_s)
        ++old;
    drop_front(old);
    // The line's time-outs come a batch after their moment.
    auto at =
        std::upper_bound(Shown.begin(), Shown.end(), mark.t_s,
                         [](double t, const Line& line) { return t < line.marks.first().t_s; });
    if (at != Shown.begin() && (at - 1)->marks.first().t_s == mark.t_s) {
        Line& same = *(at - 1);
        erase(same);
        same.marks << mark;
        draw(same);
    } else {
        draw(*Shown.insert(at, Line{{mark}, {}}));
        drop_front(Shown.size() - Max_Live);
    }
    replot_soon();
}

void Event_Marks::Show(QVector<Mark> marks)
{
    Clear();
    std::stable_sort(marks.begin(), marks.end(),
                     [](const Mark& a, const Mark& b) { return a.t_s < b.t_s; });
    for (const Mark& mark : qAsConst(marks)) {
        if (!Shown.isEmpty() && Shown.last().marks.first().t_s == mark.t_s)
            Shown.last().marks << mark;
        else
            Shown.append(Line{{mark}, {}});
    }
    for (Line& line : Shown)
        draw(line);
    replot_soon();
}

void Event_Marks::Clear()
{
    drop_front(Shown.size());
    replot_soon();
}

QVector<Mark> Event_Marks::Marks() const
{
    QVector<Mark> all;
    for (const Line& line : Shown)
        all << line.marks;
    return all;
}

QString Event_Marks::Text_Near(const QwtPlot* plot, int x) const
{
    const QwtScaleMap map = plot->canvasMap(QwtPlot::xBottom);
    QStringList tips;
    for (const Line& line : Shown)
        if (std::abs(map.transform(line.marks.first().t_s) - x) <= Near_Px)
            for (const Mark& mark : line.marks)
                tips << Mark_Tip(mark);
    return tips.join(QLatin1Char('\n'));
}

bool Event_Marks::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return false;
    const auto canvas = qobject_cast<QWidget*>(watched);
    const auto plot = canvas ? qobject_cast<QwtPlot*>(canvas->parentWidget()) : nullptr;
    if (!plot)
        return false;
    const auto help = static_cast<QHelpEvent*>(event);
    const QString text = Text_Near(plot, help->pos().x());
    if (text.isEmpty())
        return false;
    QToolTip::showText(help->globalPos(), text, canvas);
    return true;
}

} // namespace Views
