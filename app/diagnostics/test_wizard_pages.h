#ifndef APP_DIAGNOSTICS_TEST_WIZARD_PAGES_H
#define APP_DIAGNOSTICS_TEST_WIZARD_PAGES_H

// The three pages of a guided test: what the technician confirms before it
// starts, the test as it runs, and its verdict.

#include "diagnostics/test_runner.h"

#include <QPointF>
#include <QVector>
#include <QWizardPage>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QTableWidget;
class QwtPlot;
class QwtPlotCurve;

namespace Diagnostics {

// The preconditions as a checklist: Next only once every box is ticked.
class Checklist_Page : public QWizardPage
{
    Q_OBJECT

public:
    explicit Checklist_Page(Test_Kind kind, QWidget* parent = nullptr);
    bool isComplete() const override;
    // The test's length in minutes; NaN for a test whose length is its own.
    double Minutes() const;
    QList<QCheckBox*> Boxes() const { return boxes; }

private:
    QList<QCheckBox*> boxes;
    QDoubleSpinBox* minutes = nullptr;
};

// The signals the test watches on a small chart, the time left and what the
// test does now. Complete once the runner has finished.
class Live_Page : public QWizardPage
{
    Q_OBJECT

public:
    Live_Page(Test_Runner* runner, QWidget* parent = nullptr);
    bool isComplete() const override;
    // The test has ended, or could not start.
    void Finish();

private:
    void add(const Sample& sample);
    // A nearly flat signal would fill its axis with the noise of its last
    // digits: each axis spans at least its least range.
    void rescale();
    void progress(double elapsed, double left);

    struct Trace;
    Test_Runner* runner;
    QwtPlot* plot;
    QVector<QwtPlotCurve*> curves;
    QVector<QVector<QPointF>> points;
    bool done = false;
    QProgressBar* bar;
    QLabel* time_left;
    QLabel* step;
};

// The verdict, each figure beside its limit, what was found and why a result
// is inconclusive.
class Result_Page : public QWizardPage
{
    Q_OBJECT

public:
    explicit Result_Page(QWidget* parent = nullptr);
    void Show(const Result& result);

private:
    QLabel* verdict;
    QLabel* summary;
    QTableWidget* figures;
    QLabel* findings;
    QLabel* reason;
};

} // namespace Diagnostics

#endif // APP_DIAGNOSTICS_TEST_WIZARD_PAGES_H
