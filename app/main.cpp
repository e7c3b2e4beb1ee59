#include "application_identity.h"
#include "command_line.h"
#include "diagnostics/run_test_command.h"
#include "main_window.h"
#include "recording/csv_export.h"
#include "recording/session_recorder.h"
#include "report/report_command.h"
#include "views/chart_export.h"

#include <virtual_controller.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

#include <memory>

namespace {

// Writes a recording as CSV, without a window or a port; returns the exit
// status. An existing CSV is never replaced from the command line.
int export_csv(const Command_Line::Options& options)
{
    QTextStream err(stderr);
    if (QFileInfo::exists(options.export_output)) {
        err << options.export_output << " already exists; remove it or choose another name\n";
        return 1;
    }
    QString error;
    if (!Recording::Export_CSV(options.export_recording, options.export_output, options.traffic,
                               &error)) {
        err << error << '\n';
        return 1;
    }
    return 0;
}

// A run that ends by itself (--quit-after, --screenshot) has nobody to
// answer a box: each is one line on the error output instead, answered with
// its default button.
QMessageBox::StandardButton tell_the_error_output(const Quillon::User_Prompt& prompt)
{
    QString line = prompt.title + QStringLiteral(": ") + prompt.text;
    if (!prompt.informative_text.isEmpty())
        line += QLatin1Char(' ') + prompt.informative_text;
    QTextStream(stderr) << line.simplified() << '\n';
    if (prompt.default_button != QMessageBox::NoButton)
        return prompt.default_button;
    if (prompt.buttons.testFlag(QMessageBox::Ok))
        return QMessageBox::Ok;
    return prompt.buttons.testFlag(QMessageBox::No) ? QMessageBox::No : QMessageBox::Cancel;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setOrganizationName(Identity::Organisation_Name);
    QCoreApplication::setOrganizationDomain(Identity::Organisation_Domain);
    QCoreApplication::setApplicationName(Identity::Application_Name);
    QCoreApplication::setApplicationVersion(Identity::Version + QLatin1Char('.') +
                                            Identity::Date_Code);
    // The installed desktop entry: its name and icon for the program's windows.
    QGuiApplication::setDesktopFileName(QStringLiteral("vantor"));
    Command_Line::Options options;
    {
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        QTextStream out(stdout);
        QTextStream err(stderr);
        const int status = Command_Line::Parse(arguments, &options, out, err);
        if (status != Command_Line::Run)
            return status;
    }
    // Needs no display, nor a port.
    if (options.task == Command_Line::Task::Export_CSV) {
        QCoreApplication app(argc, argv);
        return export_csv(options);
    }

    // A report, a test or a chart is made without a window: with no
    // display, off screen.
    const bool reporting =
        options.task == Command_Line::Task::Report || options.task == Command_Line::Task::Run_Test;
    const bool charting = options.task == Command_Line::Task::Export_Chart;
    // A failed export says so in one line of its own; the toolkit's notes
    // about the off-screen platform are left out.
    if (charting)
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                QTextStream(stderr) << text << '\n';
        });
    if ((reporting || charting) && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Quillon::init();
    if (charting) {
        QTextStream err(stderr);
        return Views::Export_Chart(options.open, options.export_chart, options.chart_signals,
                                   options.chart_from, options.chart_to, err);
    }
    if (reporting) {
        Sim::Virtual_Controller simulated;
        if (options.simulate) {
            simulated.set_replay(options.replay, options.replay_speed);
            simulated.set_plant_faults(options.plant_faults);
            std::string error;
            if (!simulated.start(&error)) {
                QTextStream(stderr)
                    << "virtual controller: " << QString::fromStdString(error) << '\n';
                return 1;
            }
            options.port = QString::fromStdString(simulated.device_path());
        }
        if (options.task == Command_Line::Task::Run_Test) {
            Diagnostics::Run_Test_Request request;
            request.port = options.port;
            request.test = options.test;
            request.minutes = options.minutes;
            request.json = options.json;
            request.report = options.report;
            request.record = options.record;
            request.job = options.job;
            return Diagnostics::Run_Test_Command(request);
        }
        return Service_Report::Run_Command(options.port, options.report, options.job);
    }

    // Before the window, which may already have something to say.
    if (options.quit_after_set || !options.screenshot.isEmpty())
        Quillon::Set_User_Prompt_Handler(tell_the_error_output);
    // Declared before the window, so that it outlives the window's worker.
    std::unique_ptr<Sim::Virtual_Controller> controller;
    MainWindow window;
    window.show();
    const QString icon =
        QCoreApplication::applicationDirPath() + QDir::separator() + QStringLiteral("branding.ico");
    if (QFile::exists(icon))
        QApplication::setWindowIcon(QIcon(icon));

    // A picture that could not be written fails the run, so that a script
    // can tell.
    int screenshot_status = 0;
    if (!options.screenshot.isEmpty()) {
        QTimer::singleShot(options.quit_after_ms, &window, [&] {
            // The whole window, even where it is larger than the screen.
            window.resize(window.size().expandedTo(window.Whole_Pages_Size()));
            QCoreApplication::processEvents();
            if (!window.grab().save(options.screenshot, "PNG")) {
                QTextStream(stderr) << "could not write " << options.screenshot << '\n';
                screenshot_status = 1;
            }
            window.Quit_Now();
        });
    }

    // Recording from the first exchange; --quit-after alone ends the program
    // (and so the recording, cleanly) after that time. A recording that
    // stops early, on a full disk or a vanished file, fails the run: the
    // window tells why.
    int recording_status = 0;
    if (!options.record.isEmpty()) {
        QObject::connect(window.Recorder(), &Session_Recorder::Recording_Failed, &window,
                         [&recording_status] { recording_status = 1; });
        QString error;
        if (!window.Start_Recording(options.record, &error)) {
            QTextStream(stderr) << error << '\n';
            return 2;
        }
    }
    window.Set_Job(options.job);
    if (options.quit_after_set && options.screenshot.isEmpty())
        QTimer::singleShot(options.quit_after_ms, &window, [&] { window.Quit_Now(); });

    window.Show_Views(options.show);
    if (!options.open.isEmpty()) {
        QString error;
        if (!window.Open_Recording(options.open, &error)) {
            QTextStream(stderr) << error << '\n';
            return 2;
        }
    } else if (options.simulate) {
        controller = std::make_unique<Sim::Virtual_Controller>();
        controller->set_replay(options.replay, options.replay_speed);
        controller->set_plant_faults(options.plant_faults);
        std::string error;
        if (!controller->start(&error)) {
            QTextStream(stderr) << "virtual controller: " << QString::fromStdString(error) << '\n';
            return 1;
        }
        window.Open_Port(QString::fromStdString(controller->device_path()));
    } else if (!options.port.isEmpty()) {
        window.Open_Port(options.port);
    } else {
        window.Open_COM_Dialog();
    }
    const int loop_status = app.exec();
    if (loop_status != 0)
        return loop_status;
    return screenshot_status != 0 ? screenshot_status : recording_status;
}
