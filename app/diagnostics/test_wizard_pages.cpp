#include "diagnostics/test_wizard_pages.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <qwt_legend.h>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>

namespace Diagnostics {

namespace {

struct Checklist
{
    Test_Kind kind;
    const char* intro;
    std::initializer_list<const char*> items;
    double default_minutes; // 0: the test's length is its own
    double least_minutes;
};

const Checklist checklists[] = {
    {Test_Kind::Leak_Down,
     "The test watches the reservoir and both heights while the vehicle stands still. "
     "It commands nothing.",
     {"The vehicle is parked at ride height, on level ground.", "The ignition is on.",
      "The doors, the boot and the bonnet are closed.",
      "Nobody is in or on the vehicle, and nothing is loaded or unloaded until the end."},
     Leak_Down_Runner::Default_Minutes,
     Leak_Down_Runner::Least_Minutes},
    {Test_Kind::Sensors,
     "The test raises and then lowers each side in turn for a few seconds and checks that "
     "each height sensor follows its own side.",
     {"The vehicle is parked on level ground with the ignition on.",
      "There is clearance: nobody and nothing is under, beside or above the vehicle, and "
      "both sides may rise and fall.",
      "The reservoir holds at least 90 psi (the Status tab shows it)."},
     0,
     0},
    {Test_Kind::Compressor,
     "The test watches the compressor: it waits for the controller to start it below its "
     "cut-in and measures the run until it stops. Raise the vehicle from the Manual tab to "
     "spend air if the reservoir is full.",
     {"The vehicle is parked with the ignition on.",
      "The compressor's intake is clear and nobody works on the air system.",
      "The compressor may run for several minutes."},
     Compressor_Runner::Default_Minutes,
     Leak_Down_Runner::Least_Minutes},
};

const Checklist& checklist(Test_Kind kind)
{
    for (const Checklist& c : checklists) {
        if (c.kind == kind)
            return c;
    }
    return checklists[0];
}

// A signal on the live chart: pressures and angles on the left axis,
// heights and temperatures on the right.
struct Trace_Info
{
    Test_Kind kind;
    const char* name;
    QwtPlot::Axis axis;
    QColor colour;
    double Sample::*value;
    double least_range; // what the axis spans at least
};

const Trace_Info traces[] = {
    {Test_Kind::Leak_Down, "Reservoir (psi)", QwtPlot::yLeft, Qt::darkBlue, &Sample::pressure, 5},
    {Test_Kind::Leak_Down, "Driver height (in)", QwtPlot::yRight, Qt::darkGreen,
     &Sample::driver_height, 1},
    {Test_Kind::Leak_Down, "Curb height (in)", QwtPlot::yRight, Qt::darkMagenta,
     &Sample::curb_height, 1},
    {Test_Kind::Sensors, "Driver angle (deg)", QwtPlot::yLeft, Qt::darkGreen, &Sample::driver_angle,
     5},
    {Test_Kind::Sensors, "Curb angle (deg)", QwtPlot::yLeft, Qt::darkMagenta, &Sample::curb_angle,
     5},
    {Test_Kind::Compressor, "Reservoir (psi)", QwtPlot::yLeft, Qt::darkBlue, &Sample::pressure, 5},
    {Test_Kind::Compressor, "Compressor (°C)", QwtPlot::yRight, Qt::darkRed, &Sample::temperature,
     5},
};

QString minutes_and_seconds(double seconds)
{
    const int s = int(std::ceil(std::max(0.0, seconds)));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

Checklist_Page::Checklist_Page(Test_Kind kind, QWidget* parent) : QWizardPage(parent)
{
    const Checklist& c = checklist(kind);
    setObjectName(QStringLiteral("checklistPage"));
    setTitle(Test_Title(kind));
    setSubTitle(QString::fromUtf8(c.intro));
    auto layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Confirm each of these before the test starts:")));
    for (const char* item : c.items) {
        auto box = new QCheckBox(QString::fromUtf8(item));
        boxes << box;
        layout->addWidget(box);
        connect(box, &QCheckBox::toggled, this, &QWizardPage::completeChanged);
    }
    if (c.default_minutes > 0) {
        auto form = new QFormLayout;
        minutes = new QDoubleSpinBox;
        minutes->setObjectName(QStringLiteral("minutes"));
        minutes->setDecimals(0);
        minutes->setRange(c.least_minutes, 120);
        minutes->setValue(c.default_minutes);
        minutes->setSuffix(QStringLiteral(" min"));
        minutes->setMaximumWidth(minutes->sizeHint().width() * 2);
        form->addRow(QStringLiteral("Length of the test:"), minutes);
        layout->addLayout(form);
    }
    layout->addStretch();
}

bool Checklist_Page::isComplete() const
{
    for (const QCheckBox* box : boxes) {
        if (!box->isChecked())
            return false;
    }
    return true;
}

double Checklist_Page::Minutes() const
{
    return minutes ? minutes->value() : std::nan("");
}

Live_Page::Live_Page(Test_Runner* r, QWidget* parent)
    : QWizardPage(parent), runner(r), plot(new QwtPlot), bar(new QProgressBar),
      time_left(new QLabel), step(new QLabel)
{
    setObjectName(QStringLiteral("livePage"));
    setTitle(Test_Title(runner->Kind()));
    setSubTitle(QStringLiteral("The test runs. Stop ends it at once, without a verdict."));
    plot->setObjectName(QStringLiteral("testChart"));
    plot->setMinimumHeight(180);
    plot->insertLegend(new QwtLegend, QwtPlot::BottomLegend);
    plot->setAxisTitle(QwtPlot::xBottom, QStringLiteral("time (s)"));
    (new QwtPlotGrid)->attach(plot);
    bool right = false;
    for (const Trace_Info& t : traces) {
        if (t.kind != runner->Kind())
            continue;
        auto curve = new QwtPlotCurve(QString::fromUtf8(t.name));
        curve->setPen(t.colour, 1.5);
        curve->setYAxis(t.axis);
        curve->attach(plot);
        curves << curve;
        points << QVector<QPointF>();
        right = right || t.axis == QwtPlot::yRight;
    }
    plot->enableAxis(QwtPlot::yRight, right);
    bar->setObjectName(QStringLiteral("testProgress"));
    bar->setRange(0, 1000);
    bar->setTextVisible(false);
    time_left->setObjectName(QStringLiteral("timeLeft"));
    step->setObjectName(QStringLiteral("testStep"));
    step->setWordWrap(true);
    auto layout = new QVBoxLayout(this);
    layout->addWidget(plot, 1);
    auto row = new QHBoxLayout;
    row->addWidget(bar, 1);
    row->addWidget(time_left);
    layout->addLayout(row);
    layout->addWidget(step);
    connect(runner, &Test_Runner::Sample_Added, this, &Live_Page::add);
    connect(runner, &Test_Runner::Progress, this, &Live_Page::progress);
    connect(runner, &Test_Runner::Step_Changed, step, &QLabel::setText);
}

bool Live_Page::isComplete() const
{
    return done;
}

void Live_Page::Finish()
{
    done = true;
    emit completeChanged();
}

void Live_Page::add(const Sample& sample)
{
    int i = 0;
    for (const Trace_Info& t : traces) {
        if (t.kind != runner->Kind())
            continue;
        const double value = sample.*t.value;
        if (std::isfinite(value)) {
            points[i] << QPointF(sample.t, value);
            curves[i]->setSamples(points[i]);
        }
        ++i;
    }
    rescale();
    plot->replot();
}

void Live_Page::rescale()
{
    for (const auto axis : {QwtPlot::yLeft, QwtPlot::yRight}) {
        double low = INFINITY;
        double high = -INFINITY;
        double least = 0;
        int i = 0;
        for (const Trace_Info& t : traces) {
            if (t.kind != runner->Kind())
                continue;
            if (t.axis == axis) {
                least = std::max(least, t.least_range);
                for (const QPointF& p : points[i]) {
                    low = std::min(low, p.y());
                    high = std::max(high, p.y());
                }
            }
            ++i;
        }
        if (!(high >= low))
            continue;
        if (high - low < least)
            plot->setAxisScale(axis, (low + high - least) / 2, (low + high + least) / 2);
        else
            plot->setAxisAutoScale(axis);
    }
}

void Live_Page::progress(double elapsed, double left)
{
    const double whole = elapsed + left;
    bar->setValue(whole > 0 ? int(1000 * elapsed / whole) : 0);
    time_left->setText(QStringLiteral("%1 left").arg(minutes_and_seconds(left)));
}

Result_Page::Result_Page(QWidget* parent)
    : QWizardPage(parent), verdict(new QLabel), summary(new QLabel), figures(new QTableWidget),
      findings(new QLabel), reason(new QLabel)
{
    setObjectName(QStringLiteral("resultPage"));
    setTitle(QStringLiteral("Result"));
    verdict->setObjectName(QStringLiteral("verdict"));
    QFont big = verdict->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    verdict->setFont(big);
    summary->setWordWrap(true);
    figures->setObjectName(QStringLiteral("figures"));
    figures->setColumnCount(4);
    figures->setHorizontalHeaderLabels({QStringLiteral("Figure"), QStringLiteral("Measured"),
                                        QStringLiteral("Limit"), QStringLiteral("How measured")});
    figures->verticalHeader()->hide();
    figures->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    figures->setSelectionMode(QAbstractItemView::NoSelection);
    figures->setFocusPolicy(Qt::NoFocus);
    figures->setEditTriggers(QAbstractItemView::NoEditTriggers);
    figures->setWordWrap(true);
    figures->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    figures->horizontalHeader()->setStretchLastSection(true);
    findings->setObjectName(QStringLiteral("findings"));
    findings->setWordWrap(true);
    reason->setObjectName(QStringLiteral("reason"));
    reason->setWordWrap(true);
    auto layout = new QVBoxLayout(this);
    layout->addWidget(verdict);
    layout->addWidget(summary);
    layout->addWidget(figures, 1);
    layout->addWidget(findings);
    layout->addWidget(reason);
}

void Result_Page::Show(const Result& result)
{
    setTitle(Test_Title(result.test));
    static const char* colours[] = {"#1a7f37", "#c62828", "#b26a00"}; // by Outcome
    verdict->setText(Outcome_Text(result.outcome));
    verdict->setStyleSheet(
        QStringLiteral("color: %1").arg(QLatin1String(colours[int(result.outcome)])));
    summary->setText(result.summary);
    figures->setRowCount(result.figures.size());
    for (int row = 0; row < result.figures.size(); ++row) {
        const Figure& f = result.figures[row];
        const QString measured =
            f.Measured() ? Figure::Number(f.value, f.decimals) + QLatin1Char(' ') + f.unit
                         : QStringLiteral("not measured");
        const QString cells[] = {f.name, measured.trimmed(), f.Limit_Text(), f.note};
        for (int column = 0; column < 4; ++column)
            figures->setItem(row, column, new QTableWidgetItem(cells[column]));
        if (f.kind != Figure::No_Limit && f.Measured() && !f.Passed())
            figures->item(row, 1)->setForeground(QColor(colours[int(Outcome::Fail)]));
    }
    QStringList found;
    for (auto it = result.findings.cbegin(); it != result.findings.cend(); ++it)
        found << QStringLiteral("%1: %2").arg(
            QString(it.key()).replace(QLatin1Char('_'), QLatin1Char(' ')), it.value());
    findings->setText(found.join(QLatin1Char('\n')));
    findings->setVisible(!found.isEmpty());
    reason->setText(result.reason.isEmpty() ? QString()
                                            : QStringLiteral("Why inconclusive: ") + result.reason);
    reason->setVisible(!result.reason.isEmpty());
}

} // namespace Diagnostics
