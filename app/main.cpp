#include "application_identity.h"
#include "main_window.h"
#include "recording/csv_export.h"
#include "report/report_command.h"

#include <replay.h>
#include <virtual_controller.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

#include <memory>

namespace {

struct Options
{
    QString port;
    bool simulate = false;
    QString screenshot;
    int quit_after_ms = 4000;
    std::shared_ptr<const Sim::Replay> replay; // for the virtual controller
    double replay_speed = 1.0;
    bool quit_after_set = false;
    QString record;
    // Docks shown at start, and a recording shown instead of a port.
    QStringList show;
    QString open;
    QString report;
};

// The toolkit's own options, which QApplication takes out of the command line
// for itself. They are left out here, where the command line is read before
// there is any application object.
QStringList without_toolkit_options(const QStringList& arguments)
{
    static const QStringList with_value =
        QStringLiteral("platform platformpluginpath platformtheme plugin qwindowgeometry geometry "
                       "qwindowtitle title qwindowicon icon session style stylesheet display name "
                       "visual ncols cmap")
            .split(QLatin1Char(' '));
    static const QStringList flags =
        QStringLiteral("reverse widgetcount sync nograb dograb").split(QLatin1Char(' '));
    // Written as -style=NAME, in one argument.
    static const QStringList joined =
        QStringLiteral("style stylesheet qmljsdebugger").split(QLatin1Char(' '));
    QStringList kept;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (i == 0 || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            kept << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            kept << arguments.mid(i);
            break;
        }
        const QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
        const bool is_joined = name.contains(QLatin1Char('=')) &&
                               joined.contains(name.section(QLatin1Char('='), 0, 0));
        if (flags.contains(name) || is_joined)
            continue;
        if (with_value.contains(name)) {
            ++i;
            continue;
        }
        kept << arg;
    }
    return kept;
}

// Writes a recording as CSV, without a window or a port; returns the exit
// status. An existing CSV is never replaced from the command line.
int export_csv(const QString& recording, const QStringList& outputs, bool traffic)
{
    QTextStream err(stderr);
    if (recording.isEmpty() || outputs.size() != 1) {
        err << "usage: --export-csv RECORDING OUT.csv [--traffic]\n";
        return 2;
    }
    if (QFileInfo::exists(outputs[0])) {
        err << outputs[0] << " already exists; remove it or choose another name\n";
        return 1;
    }
    QString error;
    if (!Recording::Export_CSV(recording, outputs[0], traffic, &error)) {
        err << error << '\n';
        return 1;
    }
    return 0;
}

// Reads the command line; returns the exit status when the program is to end
// at once, -1 when it is to run. Help, the version and mistakes are answered
// with a QCoreApplication, which needs no display: QApplication would give up
// first when there is none (SSH, scripts).
int parse(int& argc, char** argv, Options* options)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    arguments = without_toolkit_options(arguments);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Service tool for the air-suspension controller."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Open this port without asking: a port name "
                                                 "such as ttyUSB0, or a device path."),
                                  QStringLiteral("NAME"));
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Start the built-in virtual controller and connect to it."));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the window to FILE (PNG) and exit."),
        QStringLiteral("FILE"));
    const QCommandLineOption quit_after(
        QStringLiteral("quit-after"),
        QStringLiteral("Milliseconds before the screenshot is taken (default 4000), or "
                       "before the program ends without one."),
        QStringLiteral("MS"), QStringLiteral("4000"));
    const QCommandLineOption record(
        QStringLiteral("record"),
        QStringLiteral("Record the session from the first exchange into FILE (a new SQLite "
                       "file)."),
        QStringLiteral("FILE"));
    parser.addOptions({port, simulate, screenshot, quit_after, record});
    const QCommandLineOption export_option(
        QStringLiteral("export-csv"),
        QStringLiteral("Write the session recording RECORDING as CSV to OUT.csv and exit."),
        QStringLiteral("RECORDING"));
    const QCommandLineOption traffic(
        QStringLiteral("traffic"),
        QStringLiteral("With --export-csv: write the traffic on the line, not the readings."));
    parser.addOptions({export_option, traffic});
    parser.addPositionalArgument(QStringLiteral("OUT.csv"),
                                 QStringLiteral("With --export-csv: the CSV file to write."),
                                 QStringLiteral("[OUT.csv]"));
    // Replaying a session recording through the virtual controller: checked
    // and loaded here, so that a bad recording ends the program before any
    // window opens.
    const QCommandLineOption replay(
        QStringLiteral("replay"),
        QStringLiteral("With --simulate: answer with the values of this session recording."),
        QStringLiteral("FILE"));
    const QCommandLineOption replay_speed(
        QStringLiteral("replay-speed"),
        QStringLiteral("Play the recording X times as fast (default 1)."), QStringLiteral("X"),
        QStringLiteral("1"));
    parser.addOptions({replay, replay_speed});
    const QCommandLineOption show(QStringLiteral("show"),
                                  QStringLiteral("Show these docks at start: charts, traffic."),
                                  QStringLiteral("DOCKS"));
    const QCommandLineOption open(
        QStringLiteral("open"),
        QStringLiteral("Show this session recording in the charts and traffic docks, without "
                       "a port."),
        QStringLiteral("RECORDING"));
    parser.addOptions({show, open});
    const QCommandLineOption report(
        QStringLiteral("report"),
        QStringLiteral("With --port or --simulate: read the controller once, write a service "
                       "report to FILE (.pdf or .html) and exit; needs no display."),
        QStringLiteral("FILE"));
    parser.addOption(report);
    if (!parser.parse(arguments) || parser.isSet(help) || parser.isSet(version) ||
        parser.isSet(QStringLiteral("help-all"))) {
        QCoreApplication app(argc, argv);
        // Prints the help, the version or the mistake, and exits.
        parser.process(arguments);
        return 2;
    }
    if (parser.isSet(export_option) || parser.isSet(traffic)) {
        QCoreApplication app(argc, argv);
        return export_csv(parser.value(export_option), parser.positionalArguments(),
                          parser.isSet(traffic));
    }

    options->port = parser.value(port);
    options->simulate = parser.isSet(simulate);
    options->screenshot = parser.value(screenshot);
    bool ok = false;
    options->quit_after_ms = parser.value(quit_after).toInt(&ok);
    if (!ok || options->quit_after_ms < 0) {
        QTextStream(stderr) << "--quit-after takes a number of milliseconds\n";
        return 2;
    }
    options->quit_after_set = parser.isSet(quit_after);
    options->record = parser.value(record);
    if (!options->record.isEmpty() && QFileInfo::exists(options->record)) {
        QTextStream(stderr) << options->record
                            << " already exists; a recording never replaces a file\n";
        return 2;
    }
    if (options->simulate && !options->port.isEmpty()) {
        QTextStream(stderr) << "--simulate and --port cannot be used together\n";
        return 2;
    }
    for (const QString& dock : parser.value(show).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (dock != QLatin1String("charts") && dock != QLatin1String("traffic")) {
            QTextStream(stderr) << "--show takes charts, traffic or both: charts,traffic\n";
            return 2;
        }
        options->show << dock;
    }
    options->open = parser.value(open);
    if (!options->open.isEmpty() && (options->simulate || !options->port.isEmpty())) {
        QTextStream(stderr) << "--open shows a recording without a port: no --simulate or --port\n";
        return 2;
    }
    options->report = parser.value(report);
    if (parser.isSet(report) && options->port.isEmpty() && !options->simulate) {
        QTextStream(stderr) << "--report needs --port NAME or --simulate\n";
        return 2;
    }
    if (parser.isSet(replay) || parser.isSet(replay_speed)) {
        options->replay_speed = parser.value(replay_speed).toDouble(&ok);
        std::string error = "--replay needs --simulate, and --replay-speed needs --replay";
        if (options->simulate && parser.isSet(replay)) {
            if (!ok || !(options->replay_speed > 0) || options->replay_speed > 1000)
                error = "--replay-speed takes a factor above 0, at most 1000";
            else
                options->replay = Sim::Replay::load(
                    QFile::encodeName(parser.value(replay)).toStdString(), &error);
        }
        if (!options->replay) {
            QTextStream(stderr) << QString::fromStdString(error) << '\n';
            return 2;
        }
    }
    return -1;
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
    Options options;
    const int status = parse(argc, argv, &options);
    if (status >= 0)
        return status;

    // A report is made without a window: with no display, off screen.
    if (!options.report.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Quillon::init();
    if (!options.report.isEmpty()) {
        Sim::Virtual_Controller simulated;
        if (options.simulate) {
            simulated.set_replay(options.replay, options.replay_speed);
            std::string error;
            if (!simulated.start(&error)) {
                QTextStream(stderr)
                    << "virtual controller: " << QString::fromStdString(error) << '\n';
                return 1;
            }
            options.port = QString::fromStdString(simulated.device_path());
        }
        return Service_Report::Run_Command(options.port, options.report);
    }

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
    // (and so the recording, cleanly) after that time.
    if (!options.record.isEmpty()) {
        QString error;
        if (!window.Start_Recording(options.record, &error)) {
            QTextStream(stderr) << error << '\n';
            return 2;
        }
    }
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
    return loop_status != 0 ? loop_status : screenshot_status;
}
