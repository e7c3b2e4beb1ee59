// The charts: column decimation, a recording shown whole, a paused live view,
// the cursors' values and rates, and the chosen and hidden signals.
#include "app_test_main.h"
#include "test_responses.h"

#include "main_window.h"
#include "ramp_recording.h"
#include "sql_file.h"
#include "views/charts_dock.h"
#include "views/column_decimation.h"
#include "views/recording_reader.h"
#include "views/traffic_dock.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <qwt_legend.h>
#include <qwt_legend_label.h>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <session_schema.h>

using namespace Views;

class Charts : public QObject
{
    Q_OBJECT

private slots:
    void decimation_keeps_each_columns_extremes_data();
    void decimation_keeps_each_columns_extremes();
    void recording_is_shown_whole();
    void refused_recordings_data();
    void refused_recordings();
    void paused_view_stays_while_data_arrives();
    void cursors_read_values_and_rates_data();
    void cursors_read_values_and_rates();
    void mouse_pins_zooms_and_escape_clears();
    void signals_chosen_hidden_and_remembered();

private:
    // The ramp recording shown in CHARTS, with every signal of CODES chosen.
    void show_ramps(Charts_Dock* charts, const QStringList& codes);
    QTemporaryDir dir;
};

void Charts::show_ramps(Charts_Dock* charts, const QStringList& codes)
{
    const QString file = dir.filePath(QStringLiteral("ramps.sqlite"));
    if (!QFile::exists(file))
        Write_Ramp_Recording(file);
    Recording_Views views;
    QString error;
    QVERIFY2(Read_Recording(file, &views, &error), qPrintable(error));
    charts->Set_Signals(codes);
    charts->Show_Recording(views.charts, QStringLiteral("ramps"));
}

void Charts::decimation_keeps_each_columns_extremes_data()
{
    QTest::addColumn<int>("samples");
    QTest::addColumn<QList<int>>("spikes"); // one sample wide, alternately up and down
    QTest::addColumn<double>("x0");
    QTest::addColumn<double>("x1");
    QTest::addColumn<int>("columns");
    QTest::newRow("fewer samples than columns") << 50 << QList<int>{10, 11} << 0.0 << 50.0 << 200;
    QTest::newRow("spike in a crowded column")
        << 100000 << QList<int>{4321, 50000} << 0.0 << 100000.0 << 300;
    QTest::newRow("spikes at column edges")
        << 10000 << QList<int>{0, 99, 100, 9999} << 0.0 << 10000.0 << 100;
    QTest::newRow("part of the trace")
        << 10000 << QList<int>{2999, 3000, 6000} << 2500.0 << 6500.0 << 37;
    QTest::newRow("one column") << 1000 << QList<int>{500, 501} << 0.0 << 1000.0 << 1;
}

void Charts::decimation_keeps_each_columns_extremes()
{
    QFETCH(int, samples);
    QFETCH(QList<int>, spikes);
    QFETCH(double, x0);
    QFETCH(double, x1);
    QFETCH(int, columns);
    QVector<QPointF> trace;
    for (int i = 0; i < samples; ++i)
        trace << QPointF(i, std::sin(i * 0.01) * 10);
    for (int k = 0; k < spikes.size(); ++k)
        trace[spikes[k]].setY(k % 2 ? -1000 - k : 1000 + k);

    const QVector<QPointF> kept = Decimate_Columns(trace, x0, x1, columns);
    QVERIFY(kept.size() <= 2 * columns + 2);
    QVERIFY(std::is_sorted(kept.begin(), kept.end(),
                           [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }));
    // Column by column, the same lowest and highest values as the trace.
    const auto column = [&](double x) {
        return std::min(columns - 1, int(std::floor((x - x0) * columns / (x1 - x0))));
    };
    QMap<int, QPair<double, double>> want, got;
    const auto widen = [](QMap<int, QPair<double, double>>& m, int c, double y) {
        auto it = m.find(c);
        if (it == m.end())
            m.insert(c, {y, y});
        else
            *it = {std::min(it->first, y), std::max(it->second, y)};
    };
    for (const QPointF& p : qAsConst(trace))
        if (p.x() >= x0 && p.x() <= x1)
            widen(want, column(p.x()), p.y());
    for (const QPointF& p : kept)
        if (p.x() >= x0 && p.x() <= x1)
            widen(got, column(p.x()), p.y());
    QCOMPARE(got, want);
    // The line runs on to the samples just outside the view.
    if (x0 > 0)
        QCOMPARE(kept.first().x(), std::ceil(x0) - 1);
    if (x1 < samples)
        QCOMPARE(kept.last().x(), std::floor(x1) + 1);
}

// A recording written by the test in the recording format: a reservoir
// pressure ramp with one spike, a mode change, a fault, and traffic.
void Charts::recording_is_shown_whole()
{
    const QString file = dir.filePath(QStringLiteral("shown.sqlite"));
    {
        Sql_File db(file);
        for (std::size_t i = 0; i < Recording::Schema_Statements; ++i)
            QVERIFY(db.exec(QString::fromLatin1(Recording::Schema[i])));
        QVERIFY(db.exec(QStringLiteral("INSERT INTO session VALUES ('schema_version', '1')")));
        QVERIFY(db.exec("BEGIN"));
        const auto reading = [&](qint64 t_us, const char* code, double value) {
            QVERIFY(db.run(QStringLiteral("INSERT INTO readings VALUES (?, ?, 0, ?, NULL)"),
                           {t_us, QString::fromLatin1(code), value}));
        };
        for (int i = 0; i < 20000; ++i)
            reading(i * 10000LL, "PXV", i == 12345 ? 250.0 : 100.0 + i * 0.001);
        reading(0, "MOD", 0);
        reading(100000000, "MOD", 2);
        reading(50000000, "FM2", 10); // air leak
        reading(60000000, "FM2", 0);
        for (int i = 0; i < 10500; ++i)
            QVERIFY(db.run(QStringLiteral("INSERT INTO traffic VALUES (?, 'tx', ?)"),
                           {i * 1000LL, QByteArray("get PXV\r")}));
        QVERIFY(db.exec("COMMIT"));
    }
    const QByteArray before = [&] {
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();

    MainWindow window;
    window.show();
    QString error;
    QVERIFY2(window.Open_Recording(file, &error), qPrintable(error));
    Charts_Dock* charts = window.Charts();
    QVERIFY(charts->isVisible() && window.Traffic()->isVisible());
    QVERIFY(!charts->Is_Live());
    QCOMPARE(charts->View_From(), 0.0);
    QCOMPARE(charts->View_To(), 199.99);
    const QwtPlotCurve* pressure = charts->Curve(Pressure);
    QTRY_VERIFY(pressure->dataSize() > 100);
    charts->Redraw(); // at the dock's final size
    QVERIFY(int(pressure->dataSize()) <= 2 * charts->Columns() + 2);
    QVERIFY(charts->Value_Range(Pressure).minValue() <= 100.0);
    QVERIFY(charts->Value_Range(Pressure).maxValue() >= 250.0);
    QCOMPARE(charts->Curve(Battery)->dataSize(), size_t(0));
    QCOMPARE(charts->Data().Mode_Bands().size(), 2);
    QCOMPARE(charts->Data().Mode_Bands().last().text, QStringLiteral("Raising"));
    QCOMPARE(charts->Data().Fault_Bands().size(), 1);
    QCOMPARE(charts->Data().Fault_Bands()[0].text, QStringLiteral("air leak"));
    // The whole traffic, in time order.
    window.Traffic()->Recorded()->Index_All();
    const Traffic_Table* traffic = window.Traffic()->Source();
    QCOMPARE(traffic->rowCount(), 10500);
    QCOMPARE(traffic->Row(10499).t_s, 10.499);
    QCOMPARE(traffic->Text(0, Traffic_Table::Meaning),
             QStringLiteral("read PXV reservoir pressure"));
    // Hidden and shown again, the docks keep showing the recording.
    for (QDockWidget* dock :
         {static_cast<QDockWidget*>(charts), static_cast<QDockWidget*>(window.Traffic())})
        dock->hide();
    QVERIFY(!window.Views_Tap()->Is_Wanted());
    window.Show_Views({"charts", "traffic"});
    QVERIFY(!window.Views_Tap()->Is_Wanted());
    QVERIFY(!charts->Is_Live());
    QCOMPARE(window.Traffic()->Source()->rowCount(), 10500);
    QCOMPARE(charts->Data().Mode_Bands().size(), 2);
    QFile after(file);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QVERIFY(after.readAll() == before);
}

void Charts::refused_recordings_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("said");
    QTest::newRow("missing") << QByteArray() << "No such file or directory";
    QTest::newRow("not a database") << QByteArray("hello") << "not a session recording";
    QTest::newRow("newer format") << QByteArray("CREATE TABLE session(key, value);"
                                                "INSERT INTO session VALUES "
                                                "('schema_version', '99');")
                                  << "newer format";
}

void Charts::refused_recordings()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, said);
    const QString file = dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    if (content.startsWith("CREATE")) {
        Sql_File db(file);
        QVERIFY2(db.exec(QString::fromLatin1(content)), qPrintable(db.error()));
    } else if (!content.isEmpty()) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    MainWindow window;
    QString error;
    QVERIFY(!window.Open_Recording(file, &error));
    QVERIFY2(error.contains(said), qPrintable(error));
    QVERIFY(window.Charts()->Is_Live());
}

void Charts::paused_view_stays_while_data_arrives()
{
    Charts_Dock charts;
    charts.resize(800, 500);
    charts.show();
    QVERIFY(QTest::qWaitForWindowExposed(&charts));
    const auto feed = [&](int from_s, int to_s) {
        QVector<Line_Frame> frames;
        for (int t = from_s; t < to_s; ++t) {
            Line_Frame f;
            f.t_us = t * 1000000LL;
            f.direction = Direction::Answer;
            f.packet =
                response(QByteArray("PXV ") + QByteArray::number(600 + t).rightJustified(5, '0'));
            frames << f;
        }
        charts.Add_Frames(frames);
        charts.Redraw();
    };
    feed(0, 150);
    QCOMPARE(charts.View_To(), 149.0);
    QCOMPARE(charts.View_From(), 29.0);

    QTest::mouseClick(charts.findChild<QCheckBox*>(QStringLiteral("cbxChartsPause")),
                      Qt::LeftButton);
    QVERIFY(charts.Is_Paused());
    const double shown_min = charts.Value_Range(Pressure).minValue();
    feed(150, 200);
    QCOMPARE(charts.View_To(), 149.0);
    QCOMPARE(charts.Time_Range().maxValue(), 149.0);
    QCOMPARE(charts.Value_Range(Pressure).minValue(), shown_min);

    // "Fit" scrolls on again.
    QTest::mouseClick(charts.findChild<QPushButton*>(QStringLiteral("btnChartsFit")),
                      Qt::LeftButton);
    QVERIFY(!charts.Is_Paused());
    charts.Redraw();
    QCOMPARE(charts.Time_Range().maxValue(), 199.0);

    // The wheel zooms about the pointer and pauses; a drag pans.
    QWidget* canvas = charts.findChild<QwtPlot*>(QStringLiteral("plot0"))->canvas();
    const QPointF middle(canvas->width() / 2.0, 5);
    QWheelEvent wheel(middle, canvas->mapToGlobal(middle.toPoint()), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(canvas, &wheel);
    QVERIFY(charts.Is_Paused());
    QVERIFY(qFuzzyCompare(charts.View_To() - charts.View_From(), 120 * 0.8));
    const double from = charts.View_From();
    const auto mouse = [&](QEvent::Type type, int x) {
        QMouseEvent event(type, QPointF(x, 5), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(canvas, &event);
    };
    mouse(QEvent::MouseButtonPress, 200);
    mouse(QEvent::MouseMove, 100);
    mouse(QEvent::MouseButtonRelease, 100);
    QVERIFY(charts.View_From() > from);
}

void Charts::cursors_read_values_and_rates_data()
{
    QTest::addColumn<int>("trace");
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<double>("at_a");
    QTest::addColumn<double>("at_b");
    QTest::addColumn<double>("per_minute");
    QTest::newRow("pressure ramp") << int(Pressure) << 10.0 << 70.0 << 105.0 << 135.0 << 30.0;
    QTest::newRow("between readings")
        << int(Pressure) << 10.05 << 20.05 << 105.025 << 110.025 << 30.0;
    QTest::newRow("B before A") << int(Pressure) << 70.0 << 10.0 << 135.0 << 105.0 << 30.0;
    QTest::newRow("falling angle") << int(Driver_Angle) << 0.0 << 60.0 << 10.0 << 4.0 << -6.0;
    QTest::newRow("height from the angle")
        << int(Driver_Height) << 0.0 << 100.0 << 6 * std::sin(10 * M_PI / 180) << 0.0
        << -6 * std::sin(10 * M_PI / 180) * 0.6;
    QTest::newRow("temperature in degF") << int(Temperature) << 0.0 << 50.0 << 68.0 << 77.0 << 10.8;
    QTest::newRow("switch keeps its state")
        << int(Compressor_Out) << 39.95 << 40.05 << 0.0 << 1.0 << 600.0;
}

void Charts::cursors_read_values_and_rates()
{
    QFETCH(int, trace);
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(double, at_a);
    QFETCH(double, at_b);
    QFETCH(double, per_minute);
    Charts_Dock charts;
    show_ramps(&charts, {"PXV", "OAT", "DSA", "DHT", "CSR"});
    charts.Pin_Cursor(a);
    double from = 0, to = 0;
    QVERIFY(!charts.Cursor_Span(&from, &to));
    charts.Pin_Cursor(b);
    QVERIFY(charts.Cursor_Span(&from, &to));
    QCOMPARE(from, std::min(a, b));
    QCOMPARE(to, std::max(a, b));
    const QVector<Cursor_Reading> read = charts.Read_Out();
    QCOMPARE(read.size(), 5);
    const auto r = std::find_if(read.begin(), read.end(),
                                [&](const Cursor_Reading& r) { return r.trace == trace; });
    QVERIFY(r != read.end() && r->at_a && r->at_b);
    QVERIFY2(std::abs(*r->at_a - at_a) < 1e-6, qPrintable(QString::number(*r->at_a)));
    QVERIFY2(std::abs(*r->at_b - at_b) < 1e-6, qPrintable(QString::number(*r->at_b)));
    QVERIFY(std::abs(*r->Per_Minute(a, b) - per_minute) < 1e-6);
    // A second pair starts afresh.
    charts.Pin_Cursor(a);
    QVERIFY(!charts.Cursor_B() && !charts.Cursor_Span(&from, &to));
}

void Charts::mouse_pins_zooms_and_escape_clears()
{
    Charts_Dock charts;
    charts.resize(900, 700);
    charts.show();
    QVERIFY(QTest::qWaitForWindowExposed(&charts));
    show_ramps(&charts, Default_Signals());
    QSignalSpy clicked(&charts, &Charts_Dock::Time_Clicked);
    QWidget* canvas = charts.Plot(Pressure_Plot)->canvas();
    const QwtScaleMap map = charts.Plot(Pressure_Plot)->canvasMap(QwtPlot::xBottom);
    const int x25 = int(map.transform(25)), x75 = int(map.transform(75));
    QTest::mouseMove(canvas, QPoint(x25, 20));
    QVERIFY(charts.Hover_Time() && std::abs(*charts.Hover_Time() - 25) < 0.5);
    QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(x25, 20));
    QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(x75, 20));
    QCOMPARE(clicked.size(), 2);
    QVERIFY(std::abs(clicked[1][0].toDouble() - 75) < 0.5);
    double from = 0, to = 0;
    QVERIFY(charts.Cursor_Span(&from, &to) && from < to);
    QVERIFY(charts.findChild<QLabel*>("lblChartsCursor")->text().contains("psi/min"));
    QTest::keyClick(canvas, Qt::Key_Escape);
    QVERIFY(!charts.Hover_Time() && !charts.Cursor_A() && !charts.Cursor_Span(&from, &to));

    // A box with the right button zooms time and that plot's values.
    const QwtScaleMap values = charts.Plot(Pressure_Plot)->canvasMap(QwtPlot::yLeft);
    const int y120 = int(values.transform(120)), y130 = int(values.transform(130));
    QTest::mousePress(canvas, Qt::RightButton, {}, QPoint(x25, y130));
    QTest::mouseMove(canvas, QPoint(x75, y120));
    QTest::mouseRelease(canvas, Qt::RightButton, {}, QPoint(x75, y120));
    charts.Redraw();
    QVERIFY(std::abs(charts.View_From() - 25) < 0.5 && std::abs(charts.View_To() - 75) < 0.5);
    QVERIFY(std::abs(charts.Value_Range(Pressure).maxValue() - 130) < 0.5);
    // Out of sight, the linked cursor brings its time into view.
    charts.Set_Cursor_Time(90);
    QVERIFY(charts.View_From() < 90 && charts.View_To() > 90);
    charts.Fit();
    charts.Redraw();
    QCOMPARE(charts.View_To(), 100.0);
    // The clock from the recording's start.
    charts.Set_Clock_Time(true);
    QCOMPARE(charts.Time_Text(30), QDateTime(QDate(2026, 3, 1), QTime(8, 0, 30), Qt::UTC)
                                       .toLocalTime()
                                       .toString(QStringLiteral("HH:mm:ss")));
    QVERIFY(charts.Value_Range(Pressure).maxValue() >= 150);
}

void Charts::signals_chosen_hidden_and_remembered()
{
    QSettings().remove(QLatin1String(Charts_Dock::Signals_Key));
    {
        Charts_Dock charts;
        QCOMPARE(charts.Signals(), Default_Signals());
        QVERIFY(charts.Plot(Output_Plot)->isHidden());
        QSignalSpy plots(&charts, &Charts_Dock::Plots_Changed);
        charts.findChild<QAction*>("actSignalCSR")->trigger();
        QVERIFY(!charts.Plot(Output_Plot)->isHidden());
        QCOMPARE(plots.size(), 1);
        show_ramps(&charts, charts.Signals());
        QCOMPARE(charts.Curve(Compressor_Out)->plot(), charts.Plot(Output_Plot));
        QVERIFY(charts.Curve(Compressor_Out)->dataSize() > 0);
        // A click on the legend entry hides the trace, and another shows it.
        const auto legend = qobject_cast<QwtLegend*>(charts.Plot(Pressure_Plot)->legend());
        const auto entry = qobject_cast<QwtLegendLabel*>(
            legend->legendWidget(charts.Plot(Pressure_Plot)->itemToInfo(charts.Curve(Pressure))));
        QVERIFY(entry && entry->isChecked());
        QTest::mouseClick(entry, Qt::LeftButton);
        QVERIFY(charts.Is_Hidden(Pressure) && !charts.Curve(Pressure)->isVisible());
        charts.Pin_Cursor(10);
        QCOMPARE(charts.Read_Out().size(), 5);
        QTest::mouseClick(entry, Qt::LeftButton);
        QVERIFY(!charts.Is_Hidden(Pressure));
        // The list stays open while signals are ticked.
        auto menu = charts.findChild<QMenu*>("menuChartsSignals");
        menu->popup(QPoint(0, 0));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QAction* leak = charts.findChild<QAction*>("actSignalF23");
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(leak).center());
        QVERIFY(leak->isChecked() && menu->isVisible());
    }
    // The choice outlives the dock.
    Charts_Dock again;
    QCOMPARE(again.Signals(), Default_Signals() << "CSR"
                                                << "F23");
}

VANTOR_TEST_MAIN(Charts)
#include "tst_charts.moc"
