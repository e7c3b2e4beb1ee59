// The charts as an image: an SVG keeps the traces as vector lines and the
// words as text, and the command line's export answers with its exit status,
// writing nothing when it fails.
#include "app_test_main.h"
#include "ramp_recording.h"

#include "views/charts_dock.h"
#include "views/recording_reader.h"

#include <QImage>
#include <QProcess>
#include <qwt_plot.h>

using namespace Views;

class Chart_Export : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Write_Ramp_Recording(recording()); }
    void svg_keeps_lines_and_words();
    void command_line_data();
    void command_line();

private:
    QString recording() const { return dir.filePath(QStringLiteral("ramps.sqlite")); }
    QTemporaryDir dir;
};

void Chart_Export::svg_keeps_lines_and_words()
{
    Charts_Dock charts;
    charts.resize(900, 700);
    charts.show();
    QVERIFY(QTest::qWaitForWindowExposed(&charts));
    Recording_Views views;
    QString error;
    QVERIFY(Read_Recording(recording(), &views, &error));
    charts.Set_Signals({"PXV", "DSA", "CSR"});
    charts.Show_Recording(views.charts, QStringLiteral("ramps"));
    charts.Redraw();
    const QString svg = dir.filePath(QStringLiteral("shown.svg"));
    QVERIFY2(charts.Export_Image(svg, &error), qPrintable(error));
    QFile file(svg);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    // Each trace one line of many points, not a picture of one.
    QVERIFY(!text.contains(QLatin1String("<image")));
    int long_lines = 0;
    const QRegularExpression line(QStringLiteral("<(polyline|path)[^>]*(points|d)=\"([^\"]*)\""));
    for (auto it = line.globalMatch(text); it.hasNext();)
        long_lines += it.next().captured(3).count(QLatin1Char(',')) > 100;
    QVERIFY2(long_lines >= 3, qPrintable(QString::number(long_lines)));
    for (const char* word :
         {">Reservoir<", ">Driver side<", ">Compressor<", ">psi<", ">deg<", ">CSR<", ">time (s)<"})
        QVERIFY2(text.contains(QLatin1String(word)), word);

    const QString png = dir.filePath(QStringLiteral("shown.png"));
    QVERIFY(charts.Export_Image(png, &error));
    const QImage image(png);
    QVERIFY(!image.isNull() && image.width() >= charts.Plot(Pressure_Plot)->width());
}

void Chart_Export::command_line_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::newRow("svg") << QStringList{"--export-chart", "out.svg"} << 0;
    QTest::newRow("png, signals and range")
        << QStringList{"--export-chart", "out.PNG", "--signals", "pxv,F23,RVS",
                       "--from",         "10",      "--to",      "20"}
        << 0;
    QTest::newRow("unreadable recording")
        << QStringList{"--open", "missing.sqlite", "--export-chart", "out.svg"} << 1;
    QTest::newRow("no such folder") << QStringList{"--export-chart", "none/out.png"} << 1;
    QTest::newRow("no recording") << QStringList{"--export-chart", "out.svg", "--open"} << 2;
    QTest::newRow("other ending") << QStringList{"--export-chart", "out.pdf"} << 2;
    QTest::newRow("unknown signal")
        << QStringList{"--export-chart", "out.svg", "--signals", "PXV,XYZ"} << 2;
    QTest::newRow("from not a number")
        << QStringList{"--export-chart", "out.svg", "--from", "ten"} << 2;
    QTest::newRow("to before from")
        << QStringList{"--export-chart", "out.svg", "--from", "20", "--to", "10"} << 2;
    QTest::newRow("signals alone") << QStringList{"--signals", "PXV"} << 2;
    QTest::newRow("with a port") << QStringList{"--export-chart", "out.svg", "--simulate"} << 2;
}

void Chart_Export::command_line()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QTemporaryDir work;
    if (!arguments.contains(QLatin1String("--open")))
        arguments << QStringLiteral("--open") << recording();
    else if (arguments.last() == QLatin1String("--open"))
        arguments.removeLast();
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), work.path());
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(work.path());
    program.start(QStringLiteral(VANTOR_PROGRAM), arguments);
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    const QString said = QString::fromLocal8Bit(program.readAllStandardError());
    QVERIFY2(program.exitCode() == status, qPrintable(said));
    const QStringList made = QDir(work.path()).entryList(QDir::Files);
    if (status == 0) {
        QCOMPARE(made.size(), 1);
        QVERIFY(!QImage(work.filePath(made[0])).isNull() ||
                made[0].endsWith(QLatin1String(".svg")));
    } else {
        // One line, and nothing written.
        QVERIFY2(made.isEmpty(), qPrintable(made.join(' ')));
        QCOMPARE(said.count(QLatin1Char('\n')), 1);
    }
}

VANTOR_TEST_MAIN(Chart_Export)
#include "tst_chart_export.moc"
