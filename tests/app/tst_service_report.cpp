// Service reports against the virtual controller: every value as the tabs
// show it, and nothing claimed that was not read.
#include "app_test_main.h"

#include "tabs/fault_counts_class.h"
#include "main_window.h"
#include "tabs/maint_ctrl.h"
#include "recording/session_recorder.h"
#include "report/report_collector.h"
#include "report/report_command.h"
#include "report/report_writer.h"

#include <virtual_controller.h>

#include <QAbstractButton>
#include <QAction>
#include <QProcess>
#include <QSignalSpy>
#include <QTextDocument>
#include <QTimeZone>

namespace {

// The report's text as a reader finds it, whitespace collapsed: a PDF
// through pdftotext, an HTML page through its rendering.
QString report_text(const QString& file)
{
    QFile in(file);
    if (file.endsWith(QLatin1String(".pdf"))) {
        QProcess pdftotext;
        pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, "-"});
        pdftotext.waitForFinished(30000);
        return QString::fromUtf8(pdftotext.readAllStandardOutput()).simplified();
    }
    QTextDocument document;
    if (in.open(QIODevice::ReadOnly))
        document.setHtml(QString::fromUtf8(in.readAll()));
    return document.toPlainText().simplified();
}

} // namespace

class Service_Report_Test : public QObject
{
    Q_OBJECT

private slots:
    void report_holds_what_was_read_data();
    void report_holds_what_was_read();
    void states_as_the_tabs_show_them_data();
    void states_as_the_tabs_show_them();
    void nothing_read_claims_nothing();
    void refused_files_data();
    void refused_files();
    void time_zone_data();
    void time_zone();
    void command_line_data();
    void command_line();
    void window_report_marks_what_was_not_read();
    void lost_connection_ends_the_reading();

private:
    QTemporaryDir dir;
};

void Service_Report_Test::report_holds_what_was_read_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("PDF") << QStringLiteral("report.pdf");
    QTest::newRow("HTML") << QStringLiteral("report.html");
}

void Service_Report_Test::report_holds_what_was_read()
{
    QFETCH(QString, file);
    Sim::Virtual_Controller sim;
    sim.set_angle_raw(Sim::Side::Driver, 785);
    sim.set_battery_raw(300);
    sim.set_counter(Sim::Counter::Compressor_Time, 321);
    sim.set_counter(Sim::Counter::On_Time, 1234);
    sim.set_counter(Sim::Counter::Overheat, 7);
    sim.set_input(Sim::Input::Trigger, true);
    QVERIFY(sim.set_fault_flags(2, "01000"));
    QVERIFY(sim.set_fault_flags(3, "00010"));
    QVERIFY(sim.start());
    Fault_Counts_Class history(QStringLiteral("parameters.ini"), 3);
    QVERIFY(history.record(1, 250, QDateTime(QDate(2025, 3, 4), QTime(5, 6, 7))));

    const QString path = dir.filePath(file);
    QCOMPARE(Service_Report::Run_Command(QString::fromStdString(sim.device_path()), path), 0);
    const QString text = report_text(path);
    const QString expected[] = {
        "Vantor Service Report",
        "Program version " + QCoreApplication::applicationVersion(),
        "Port " + QString::fromStdString(sim.device_path()),
        "Serial number 202407154711",
        "Firmware part number AS150 R1.07",
        "Controller mode Ambulance Mode",
        "Lever length 6.0 in",
        "Driver's side angle 30.0°",
        "Driver's side height 3.0\"",
        "Reservoir pressure",
        "Compressor temperature 68 °F / 20 °C",
        "Battery voltage 7.",
        "Operating mode Idle",
        "Inputs: Trigger on",
        "Outputs: Compressor off",
        "Warnings Battery Under-voltage warning",
        "Faults Driver's Side Solenoid Timeout (31) Over Temperature (41) Maintenance",
        "Compressor time 321 hours Recorded 2025-03-04 05:06:07 250 hours",
        "On time 1234 hours",
        "Compressor overheat count 7",
        "Compressor test Not run",
    };
    for (const QString& line : expected)
        QVERIFY2(text.contains(line), qPrintable(line + " not in: " + text));
    QVERIFY(!text.contains(QLatin1String("not read")));
    QVERIFY(!text.contains(QLatin1String("No active faults")));
}

void Service_Report_Test::states_as_the_tabs_show_them_data()
{
    QTest::addColumn<QString>("fm1");
    QTest::addColumn<unsigned>("pressure_raw");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("no faults") << "00000" << 0u
                               << QStringList{"Faults No active faults Maintenance"};
    QTest::newRow("both sensors faulted")
        << "00011" << 0u
        << QStringList{"Driver's side angle Faulted", "Curb side angle Faulted",
                       "Driver's Side Sensor (11)", "Curb Side Sensor (12)"};
    QTest::newRow("low reservoir")
        << "00000" << 100u << QStringList{"Warnings Reservoir pressure under 90 PSI"};
}

void Service_Report_Test::states_as_the_tabs_show_them()
{
    QFETCH(QString, fm1);
    QFETCH(unsigned, pressure_raw);
    QFETCH(QStringList, expected);
    Sim::Virtual_Controller sim;
    QVERIFY(sim.set_fault_flags(1, fm1.toStdString()));
    if (pressure_raw) {
        sim.set_compressor_enabled(false);
        sim.set_pressure_raw(pressure_raw);
    }
    QVERIFY(sim.start());
    const QString path = dir.filePath(QStringLiteral("states.html"));
    QCOMPARE(Service_Report::Run_Command(QString::fromStdString(sim.device_path()), path), 0);
    const QString text = report_text(path);
    for (const QString& line : expected)
        QVERIFY2(text.contains(line), qPrintable(line + " not in: " + text));
}

void Service_Report_Test::nothing_read_claims_nothing()
{
    // Nothing answered: no tab's default (0.0°, "Invalid", 100 psi) may show.
    Service_Report::Data data;
    data.created = QDateTime::currentDateTime();
    QTextDocument document;
    document.setHtml(Service_Report::Html(data, QString()));
    const QString text = document.toPlainText().simplified();
    for (const char* label :
         {"Serial number", "Firmware part number", "Controller mode", "Driver's side angle",
          "Curb side height", "Reservoir pressure", "Compressor temperature", "Battery voltage",
          "Operating mode", "Inputs: Ignition", "Outputs: Exhaust", "Compressor time", "On time",
          "Compressor overheat count"})
        QVERIFY2(text.contains(QLatin1String(label) + QStringLiteral(" not read")), label);
    QVERIFY(text.contains(QLatin1String("Fault words FM1, FM2, FM3: not read")));
    QVERIFY(text.contains(QLatin1String("Warnings None")));
    QVERIFY(!text.contains(QLatin1String("No active faults")));
}

void Service_Report_Test::refused_files_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("error");
    QTest::newRow("a folder in the way") << "folder.pdf"
                                         << "cannot write";
    QTest::newRow("no such folder") << "missing/report.html"
                                    << "cannot write";
    QTest::newRow("neither PDF nor HTML") << "report.odt"
                                          << "written as .pdf or .html";
}

void Service_Report_Test::refused_files()
{
    QFETCH(QString, name);
    QFETCH(QString, error);
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("folder.pdf")));
    Service_Report::Data data;
    QString said;
    QVERIFY(!Service_Report::Write(data, dir.filePath(name), &said));
    QVERIFY2(said.contains(error), qPrintable(said));
    QCOMPARE(QFileInfo(dir.filePath(name)).isFile(), false);
}

void Service_Report_Test::time_zone_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("text");
    const QDate day(2026, 1, 2);
    const QTime time(3, 4, 5);
    QTest::newRow("UTC") << QDateTime(day, time, Qt::UTC) << "2026-01-02 03:04:05 UTC, UTC+00:00";
    QTest::newRow("Berlin") << QDateTime(day, time, QTimeZone("Europe/Berlin"))
                            << "2026-01-02 03:04:05 CET, UTC+01:00";
    QTest::newRow("Newfoundland") << QDateTime(day, time, QTimeZone("America/St_Johns"))
                                  << "2026-01-02 03:04:05 NST, UTC-03:30";
}

void Service_Report_Test::time_zone()
{
    QFETCH(QDateTime, when);
    QFETCH(QString, text);
    QCOMPARE(Service_Report::Time_Text(when), text);
}

void Service_Report_Test::command_line_data()
{
    QTest::addColumn<QStringList>("silent");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("answering") << QStringList() << "a.pdf" << 0 << QString();
    QTest::newRow("neither PDF nor HTML")
        << QStringList() << "a.txt" << 2 << "a.txt: a report is written as .pdf or .html";
    QTest::newRow("silent") << QStringList{"all"} << "b.pdf" << 1
                            << "no answer from the controller on";
    QTest::newRow("one value unanswered")
        << QStringList{"OAT"} << "c.html" << 1 << "not read: OAT; no report written";
}

void Service_Report_Test::command_line()
{
    QFETCH(QStringList, silent);
    QFETCH(QString, file);
    QFETCH(int, status);
    QFETCH(QString, message);
    Sim::Virtual_Controller sim;
    sim.set_all_silent(silent == QStringList{"all"});
    if (!sim.settings().all_silent && !silent.isEmpty())
        sim.set_silent_commands({silent[0].toStdString()});
    QVERIFY(sim.start());
    file = dir.filePath(file);

    // Without a display and without a platform named: off screen by itself.
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    program.setProcessEnvironment(environment);
    program.start(VANTOR_PROGRAM,
                  {"--port", QString::fromStdString(sim.device_path()), "--report", file});
    QVERIFY(program.waitForFinished(60000));
    const QString said = QString::fromLocal8Bit(program.readAllStandardError());
    QCOMPARE(program.exitCode(), status);
    // One line that says what was not read, or nothing.
    QCOMPARE(said.count(QLatin1Char('\n')), int(status != 0));
    QVERIFY2(said.contains(message), qPrintable(said));
    QCOMPARE(QFileInfo::exists(file), status == 0);
}

void Service_Report_Test::window_report_marks_what_was_not_read()
{
    Prompt_Answers prompts;
    Sim::Virtual_Controller sim;
    sim.set_silent_commands({"OTC"});
    sim.set_test_duration(std::chrono::milliseconds(50));
    QVERIFY(sim.start());
    MainWindow window;
    QString error;
    QVERIFY2(window.Start_Recording(dir.filePath(QStringLiteral("run.sqlite")), &error),
             qPrintable(error));
    window.Open_Port(QString::fromStdString(sim.device_path()));
    auto maintenance = window.findChild<MaintCtrl*>();
    window.findChild<QAbstractButton*>(QStringLiteral("btnCompTest"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(maintenance->Test_Runs().size(), 1, 10000);
    QTRY_VERIFY(window.Recorder()->Exchanges() > 20);

    const QString file = dir.filePath(QStringLiteral("window.html"));
    window.Set_Report_File_Chooser([&](QWidget*) { return file; });
    QSignalSpy done(&window, &MainWindow::Service_Report_Done);
    window.findChild<QAction*>(QStringLiteral("actionSaveServiceReport"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 20000);
    QCOMPARE(done.at(0).at(1).toBool(), true);

    const QString text = report_text(file);
    for (const QString& line :
         {QStringLiteral("Compressor overheat count not read"),
          QStringLiteral("passed Test Succeeded. (0:00.0"),
          QStringLiteral("Serial number 202407154711"),
          QStringLiteral("File ") + dir.filePath(QStringLiteral("run.sqlite"))})
        QVERIFY2(text.contains(line), qPrintable(line + " not in: " + text));
    QFile html(file);
    QVERIFY(html.open(QIODevice::ReadOnly));
    QVERIFY(html.readAll().contains("<img src=\"data:image/png;base64,"));
    // The unanswered read ended quietly: no box asked to retry the connection.
    for (const Quillon::User_Prompt& prompt : prompts.asked)
        QVERIFY2(prompt.title != QLatin1String("COM Timeout"), qPrintable(prompt.text));
}

void Service_Report_Test::lost_connection_ends_the_reading()
{
    Prompt_Answers prompts;
    Sim::Virtual_Controller sim;
    sim.set_answer_delay(std::chrono::milliseconds(20));
    QVERIFY(sim.start());
    MainWindow window;
    window.Set_Port_Dialog_Runner([](Quillon::COM_Setup*) { return int(QDialog::Rejected); });
    window.Open_Port(QString::fromStdString(sim.device_path()));
    QSignalSpy done(&window, &MainWindow::Service_Report_Done);
    const QString file = dir.filePath(QStringLiteral("lost.html"));
    QVERIFY(window.Save_Service_Report(file));
    QTest::qWait(200);
    sim.hang_up();
    // Long before the reading would give up by itself.
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, Service_Report::Collector::Longest_Ms / 4);
    QVERIFY(report_text(file).contains(QLatin1String("not read")));
}

VANTOR_TEST_MAIN(Service_Report_Test)
#include "tst_service_report.moc"
