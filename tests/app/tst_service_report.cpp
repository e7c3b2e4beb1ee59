// Service reports against the virtual controller: every value as the tabs
// show it, and nothing claimed that was not read.
#include "app_test_main.h"

#include "main_window.h"
#include "recording/session_recorder.h"
#include "report/job_dialog.h"
#include "report/report_collector.h"
#include "report/report_command.h"
#include "report/report_writer.h"
#include "tabs/fault_counts_class.h"
#include "tabs/maint_ctrl.h"

#include <session_reader.h>
#include <virtual_controller.h>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
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

// A report of a failed test and a job typed by someone hostile.
Service_Report::Data hostile_report()
{
    Service_Report::Data data;
    data.created = QDateTime::currentDateTime();
    data.job.Set(QStringLiteral("customer"), QStringLiteral("<script>x()</script>\x01\x1b[31m"));
    data.job.Set(QStringLiteral("vin"), QStringLiteral("1HGCM82633A00435O"));
    data.job.Set(QStringLiteral("technician"), QStringLiteral("Pat \"Q\" O'Neil & Co"));
    data.job.Set(QStringLiteral("notes"), QString(20000, QLatin1Char('n')));
    Diagnostics::Result leak;
    leak.outcome = Diagnostics::Outcome::Fail;
    leak.summary = QStringLiteral("reservoir loses 3.2 psi/min");
    Diagnostics::Figure loss;
    loss.name = QStringLiteral("Reservoir pressure loss");
    loss.value = 3.24;
    loss.unit = QStringLiteral("psi/min");
    loss.kind = Diagnostics::Figure::At_Most;
    loss.limit = 1.0;
    leak.figures << loss;
    data.tests << leak;
    Diagnostics::Series samples(61);
    for (int i = 0; i <= 60; ++i) {
        samples[i].t = i;
        samples[i].pressure = 150 - i * 0.05;
        samples[i].driver_height = 1.0;
    }
    data.chart = Service_Report::Samples_Chart(samples, QStringLiteral("Air leak-down test"));
    return data;
}

QByteArray run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return process.readAllStandardOutput();
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
    void hostile_job_verdict_pages_chart_data();
    void hostile_job_verdict_pages_chart();
    void job_option_data();
    void job_option();
    void job_dialog_marks_vin_and_remembers();

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
        "Faults Driver's Side Solenoid Timeout (31) active Over Temperature (41) "
        "active",
        "Overall: FAIL",
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
    document.setHtml(Service_Report::Html(data));
    const QString text = document.toPlainText().simplified();
    for (const char* label :
         {"Serial number", "Firmware part number", "Controller mode", "Driver's side angle",
          "Curb side height", "Reservoir pressure", "Compressor temperature", "Battery voltage",
          "Operating mode", "Inputs: Ignition", "Outputs: Exhaust", "Compressor time", "On time",
          "Compressor overheat count"})
        QVERIFY2(text.contains(QLatin1String(label) + QStringLiteral(" not read")), label);
    QVERIFY(text.contains(QLatin1String("Fault words FM1, FM2, FM3 not read")));
    QVERIFY(text.contains(QLatin1String("Overall: INCOMPLETE")));
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
    window.Set_Job_Editor([](Service_Report::Job_Info* job, QWidget*) {
        return job->Set(QStringLiteral("customer"), QStringLiteral("Acme <b>"));
    });
    window.Set_Report_File_Chooser([&](QWidget*) { return file; });
    QSignalSpy done(&window, &MainWindow::Service_Report_Done);
    window.findChild<QAction*>(QStringLiteral("actionSaveServiceReport"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 20000);
    QCOMPARE(done.at(0).at(1).toBool(), true);

    const QString text = report_text(file);
    for (const QString& line :
         {QStringLiteral("Compressor overheat count not read"),
          QStringLiteral("passed Test Succeeded. (0:0"),
          QStringLiteral("Serial number 202407154711"),
          QStringLiteral("Recording ") + dir.filePath(QStringLiteral("run.sqlite")),
          QStringLiteral("Customer Acme <b>")})
        QVERIFY2(text.contains(line), qPrintable(line + " not in: " + text));
    QFile html(file);
    QVERIFY(html.open(QIODevice::ReadOnly));
    QVERIFY(html.readAll().contains("<svg class=\"chart\""));
    Recording::Reader reader;
    QVERIFY(reader.open(dir.filePath(QStringLiteral("run.sqlite")).toStdString()));
    const auto job = reader.job();
    QVERIFY(std::find(job.begin(), job.end(),
                      std::make_pair(std::string("customer"), std::string("Acme <b>"))) !=
            job.end());
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

void Service_Report_Test::hostile_job_verdict_pages_chart_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("PDF") << QStringLiteral("hostile.pdf");
    QTest::newRow("HTML") << QStringLiteral("hostile.html");
}

void Service_Report_Test::hostile_job_verdict_pages_chart()
{
    QFETCH(QString, file);
    const QString path = dir.filePath(file);
    QString error;
    QVERIFY2(Service_Report::Write(hostile_report(), path, &error), qPrintable(error));
    const QString text = report_text(path);
    for (const char* line : {"Overall: FAIL", "FAIL Air leak-down test reservoir loses 3.2 psi/min",
                             "Reservoir pressure loss 3.2 psi/min at most 1.0 psi/min outside",
                             "Customer <script>x()</script>[31m",
                             "VIN 1HGCM82633A00435O (not a valid 17-character VIN)",
                             "Technician: Pat \"Q\" O'Neil & Co", "Customer's signature",
                             "Reservoir pressure (psi)", "Time (s)"})
        QVERIFY2(text.contains(QString::fromUtf8(line)),
                 qPrintable(QString::fromUtf8(line) + " not in: " + text));
    QVERIFY(!text.contains(QString(4001, QLatin1Char('n'))));
    QFile in(path);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    if (file.endsWith(QLatin1String(".pdf"))) {
        // Every page numbered out of the whole, and the chart drawn, not an image.
        QRegularExpressionMatchIterator pages =
            QRegularExpression(QStringLiteral("Page (\\d+) of (\\d+)")).globalMatch(text);
        int count = 0;
        while (pages.hasNext()) {
            const QRegularExpressionMatch page = pages.next();
            QCOMPARE(page.captured(1).toInt(), ++count);
            QVERIFY(page.captured(2).toInt() >= 2);
        }
        QVERIFY(count >= 2);
        QCOMPARE(run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), path})
                     .trimmed()
                     .split('\n')
                     .size(),
                 2);
        return;
    }
    for (const char* part : {"<!DOCTYPE html>", "<html lang=\"en\">", "<meta charset=\"utf-8\">",
                             "<svg class=\"chart\"", "counter(pages)", "&lt;script&gt;"})
        QVERIFY2(bytes.contains(part), part);
    QCOMPARE(bytes.count("<style>"), 1);
    QVERIFY(!bytes.contains("<script>"));
    for (const char byte : bytes)
        QVERIFY(byte == '\n' || uchar(byte) >= 0x20);
}

void Service_Report_Test::job_option_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("vin") << "vin=1HGCM82633A004352" << true << "vin"
                         << "1HGCM82633A004352";
    QTest::newRow("spaced key") << " Odometer =84210 mi" << true << "odometer"
                                << "84210 mi";
    QTest::newRow("equals in value") << "notes=a=b" << true << "notes"
                                     << "a=b";
    QTest::newRow("unknown key") << "colour=red" << false << ""
                                 << "";
    QTest::newRow("no value") << "customer" << false << ""
                              << "";
}

void Service_Report_Test::job_option()
{
    QFETCH(QString, option);
    QFETCH(bool, taken);
    QFETCH(QString, key);
    QFETCH(QString, value);
    Service_Report::Job_Info job;
    QString error;
    QCOMPARE(Service_Report::Job_Info::Parse_Option(option, &job, &error), taken);
    QCOMPARE(error.isEmpty(), taken);
    if (taken)
        QCOMPARE(*job.Entry(key), value);
}

void Service_Report_Test::job_dialog_marks_vin_and_remembers()
{
    Service_Report::Job_Info job;
    job.vin = QStringLiteral("ABC123");
    Service_Report::Job_Dialog dialog(job);
    auto mark = dialog.findChild<QWidget*>(QStringLiteral("job_vin_mark"));
    QVERIFY(!mark->isHidden());
    dialog.findChild<QLineEdit*>(QStringLiteral("job_vin"))
        ->setText(QStringLiteral("1hgcm82633a004352"));
    QVERIFY(mark->isHidden());
    dialog.findChild<QLineEdit*>(QStringLiteral("job_technician"))->setText(QStringLiteral("Sam"));
    dialog.findChild<QLineEdit*>(QStringLiteral("job_odometer"))->setText(QStringLiteral("84210"));
    dialog.findChild<QComboBox*>(QStringLiteral("job_odometer_unit"))
        ->setCurrentText(QStringLiteral("km"));
    dialog.accept();
    QCOMPARE(dialog.Job().vin, QStringLiteral("1HGCM82633A004352"));
    QCOMPARE(dialog.Job().odometer, QStringLiteral("84210 km"));
    QCOMPARE(Service_Report::Job_Dialog(Service_Report::Job_Info()).Job().technician,
             QStringLiteral("Sam"));
}

VANTOR_TEST_MAIN(Service_Report_Test)
#include "tst_service_report.moc"
