#include "command_line.h"

#include "diagnostics/test_runner.h"
#include "sim_fault_options.h"
#include "views/chart_signals.h"

#include <replay.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cmath>

namespace Command_Line {

namespace {

QString dashed(const QCommandLineOption& option)
{
    return QStringLiteral("--") + option.names().constLast();
}

// The help needs an application object for the program's name; the command
// line is read before there is one.
QString help_text(const QCommandLineParser& parser, const QString& program)
{
    if (QCoreApplication::instance())
        return parser.helpText();
    QByteArray name = program.toLocal8Bit();
    int argc = 1;
    char* argv[] = {name.data(), nullptr};
    QCoreApplication app(argc, argv);
    return parser.helpText();
}

// Why an option's values are wrong whatever the option: given twice, empty,
// or missing (the next option taken for the value); empty when they are not.
QString misused(const QCommandLineParser& parser, const QCommandLineOption& option)
{
    if (!parser.isSet(option))
        return QString();
    const QStringList values = parser.values(option);
    const QString name = dashed(option);
    if (values.size() > 1)
        return QStringLiteral("%1 is given twice: %1 %2 and %1 %3").arg(name, values[0], values[1]);
    if (values[0].isEmpty())
        return QStringLiteral("%1 needs %2, not an empty value").arg(name, option.valueName());
    if (values[0].startsWith(QLatin1String("--")))
        return QStringLiteral("Missing value after '%1'.").arg(name);
    return QString();
}

} // namespace

QStringList Without_Toolkit_Options(const QStringList& arguments)
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

int Parse(const QStringList& all_arguments, Options* options, QTextStream& out, QTextStream& err)
{
    const QStringList arguments = Without_Toolkit_Options(all_arguments);
    const auto refuse = [&err](const QString& line) {
        err << line << '\n';
        err.flush();
        return Usage_Error;
    };

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
    const QCommandLineOption export_csv(
        QStringLiteral("export-csv"),
        QStringLiteral("Write the session recording RECORDING as CSV to OUT.csv and exit."),
        QStringLiteral("RECORDING"));
    const QCommandLineOption traffic(
        QStringLiteral("traffic"),
        QStringLiteral("With --export-csv: write the traffic on the line, not the readings."));
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
    const QCommandLineOption show(QStringLiteral("show"),
                                  QStringLiteral("Show these docks at start: charts, traffic."),
                                  QStringLiteral("DOCKS"));
    const QCommandLineOption open(
        QStringLiteral("open"),
        QStringLiteral("Show this session recording in the charts and traffic docks, without "
                       "a port."),
        QStringLiteral("RECORDING"));
    const QCommandLineOption report(
        QStringLiteral("report"),
        QStringLiteral("With --port or --simulate: read the controller once, write a service "
                       "report to FILE (.pdf or .html) and exit; needs no display."),
        QStringLiteral("FILE"));
    const QCommandLineOption run_test(
        QStringLiteral("run-test"),
        QStringLiteral("With --port or --simulate: run one guided test (leak, sensors or "
                       "compressor) without a window, print its verdict and exit with 0 for "
                       "pass, 3 for fail, 4 for inconclusive, 1 when the controller cannot be "
                       "read; needs no display."),
        QStringLiteral("TEST"));
    const QCommandLineOption minutes(
        QStringLiteral("minutes"),
        QStringLiteral("With --run-test leak or compressor: the test's length in minutes "
                       "(at least 0.5)."),
        QStringLiteral("N"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("With --run-test: print the result as JSON."));
    const QCommandLineOption export_chart(
        QStringLiteral("export-chart"),
        QStringLiteral("With --open: write the recording's charts to OUT (.svg or .png) and "
                       "exit; needs no display."),
        QStringLiteral("OUT"));
    const QCommandLineOption chart_signals(
        QStringLiteral("signals"),
        QStringLiteral("With --export-chart: the signals to draw, by code (PXV,OAT,...)."),
        QStringLiteral("CODES"));
    const QCommandLineOption chart_from(
        QStringLiteral("from"), QStringLiteral("With --export-chart: the first second to draw."),
        QStringLiteral("S"));
    const QCommandLineOption chart_to(
        QStringLiteral("to"), QStringLiteral("With --export-chart: the last second to draw."),
        QStringLiteral("S"));
    // Repeatable, so not among the options given once with a value.
    const QCommandLineOption job(
        QStringLiteral("job"),
        QStringLiteral("One entry of the work order for the report and the recording, "
                       "repeatable; KEY is customer, vehicle, vin, odometer (with its unit: "
                       "\"84210 mi\"), technician, job or notes."),
        QStringLiteral("KEY=VALUE"));
    const QList<QCommandLineOption> with_values = {
        port, screenshot, quit_after,   record,        export_csv, replay,   replay_speed, show,
        open, report,     export_chart, chart_signals, chart_from, chart_to, run_test,     minutes};
    parser.addOptions({port,       simulate, screenshot,   quit_after,    record,
                       export_csv, traffic,  replay,       replay_speed,  show,
                       open,       report,   export_chart, chart_signals, chart_from,
                       chart_to,   job,      run_test,     minutes,       json});
    parser.addOptions(Fault_Options());
    parser.addPositionalArgument(QStringLiteral("OUT.csv"),
                                 QStringLiteral("With --export-csv: the CSV file to write."),
                                 QStringLiteral("[OUT.csv]"));

    if (!parser.parse(arguments))
        return refuse(parser.errorText());
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        out << help_text(parser, arguments.value(0));
        return 0;
    }
    if (parser.isSet(version)) {
        out << QCoreApplication::applicationName() << ' ' << QCoreApplication::applicationVersion()
            << '\n';
        return 0;
    }
    for (const QCommandLineOption& option : with_values) {
        const QString mistake = misused(parser, option);
        if (!mistake.isEmpty())
            return refuse(mistake);
    }

    // What the run does decides which options may come with it.
    const QList<QCommandLineOption> all = {
        port,       simulate,     screenshot, quit_after, record,  export_csv,   traffic,
        replay,     replay_speed, show,       open,       report,  export_chart, chart_signals,
        chart_from, chart_to,     job,        run_test,   minutes, json};
    const auto alone_but = [&](const QCommandLineOption& task,
                               const QList<QCommandLineOption>& allowed) {
        for (const QCommandLineOption& option : all) {
            if (option.names() == task.names() || !parser.isSet(option))
                continue;
            bool is_allowed = false;
            for (const QCommandLineOption& a : allowed)
                is_allowed = is_allowed || a.names() == option.names();
            if (!is_allowed)
                return QStringLiteral("%1 and %2 cannot be used together")
                    .arg(dashed(task), dashed(option));
        }
        return QString();
    };
    const QStringList positional = parser.positionalArguments();
    bool faults = false;
    const QString fault_mistake = Read_Fault_Options(parser, &options->plant_faults, &faults);
    if (!fault_mistake.isEmpty())
        return refuse(fault_mistake);
    if (faults && !parser.isSet(simulate))
        return refuse(QStringLiteral("the vehicle faults (--leak-reservoir ...) need --simulate"));
    if (parser.isSet(export_csv)) {
        const QString mistake = alone_but(export_csv, {traffic});
        if (!mistake.isEmpty())
            return refuse(mistake);
        if (positional.isEmpty())
            return refuse(QStringLiteral("usage: --export-csv RECORDING OUT.csv [--traffic]"));
        if (positional[0].isEmpty())
            return refuse(QStringLiteral("--export-csv needs OUT.csv, not an empty name"));
        if (positional.size() > 1)
            return refuse(QStringLiteral("'%1': unexpected argument; --export-csv writes "
                                         "one OUT.csv")
                              .arg(positional[1]));
        options->task = Task::Export_CSV;
        options->export_recording = parser.value(export_csv);
        options->export_output = positional[0];
        options->traffic = parser.isSet(traffic);
        return Run;
    }
    if (parser.isSet(traffic))
        return refuse(QStringLiteral("--traffic needs --export-csv"));
    if (parser.isSet(export_chart)) {
        const QString mistake =
            alone_but(export_chart, {open, chart_signals, chart_from, chart_to});
        if (!mistake.isEmpty())
            return refuse(mistake);
        if (!parser.isSet(open))
            return refuse(QStringLiteral("--export-chart needs --open RECORDING"));
        if (!positional.isEmpty())
            return refuse(QStringLiteral("'%1': unexpected argument").arg(positional[0]));
        const QString out = parser.value(export_chart);
        if (!out.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive) &&
            !out.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
            return refuse(
                QStringLiteral("--export-chart writes OUT.svg or OUT.png, not %1").arg(out));
        for (const QString& code :
             parser.value(chart_signals).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (Views::Signal_Of(code.trimmed()) < 0)
                return refuse(QStringLiteral("--signals: '%1' is no signal's code").arg(code));
            options->chart_signals << code.trimmed();
        }
        if (parser.isSet(chart_signals) && options->chart_signals.isEmpty())
            return refuse(QStringLiteral("--signals needs at least one code"));
        for (const auto& [option, value] : {std::make_pair(&chart_from, &options->chart_from),
                                            std::make_pair(&chart_to, &options->chart_to)}) {
            if (!parser.isSet(*option))
                continue;
            bool number = false;
            *value = parser.value(*option).toDouble(&number);
            if (!number || !std::isfinite(**value))
                return refuse(QStringLiteral("%1 takes a number of seconds").arg(dashed(*option)));
        }
        if (options->chart_from && options->chart_to &&
            !(*options->chart_to > *options->chart_from))
            return refuse(QStringLiteral("--to must come after --from"));
        options->task = Task::Export_Chart;
        options->open = parser.value(open);
        options->export_chart = out;
        return Run;
    }
    for (const QCommandLineOption& option : {chart_signals, chart_from, chart_to})
        if (parser.isSet(option))
            return refuse(QStringLiteral("%1 needs --export-chart").arg(dashed(option)));
    if (!positional.isEmpty())
        return refuse(QStringLiteral("'%1': unexpected argument; only --export-csv takes one "
                                     "(OUT.csv)")
                          .arg(positional[0]));
    if (parser.isSet(run_test)) {
        const QString mistake = alone_but(
            run_test, {port, simulate, replay, replay_speed, minutes, json, report, record, job});
        if (!mistake.isEmpty())
            return refuse(mistake);
        if (!Diagnostics::Test_From_Key(parser.value(run_test), &options->test))
            return refuse(QStringLiteral("--run-test takes leak, sensors or compressor"));
        if (!parser.isSet(port) && !parser.isSet(simulate))
            return refuse(QStringLiteral("--run-test needs --port NAME or --simulate"));
        if (parser.isSet(minutes)) {
            if (options->test == Diagnostics::Test_Kind::Sensors)
                return refuse(QStringLiteral("--minutes sets the length of the leak and "
                                             "compressor tests; the sensor test's follows from "
                                             "its moves"));
            bool ok = false;
            options->minutes = parser.value(minutes).toDouble(&ok);
            if (!ok || !(options->minutes >= Diagnostics::Leak_Down_Runner::Script_Least_Minutes) ||
                options->minutes > 1440)
                return refuse(QStringLiteral("--minutes takes a number of minutes from 0.5 to "
                                             "1440"));
        }
        options->json = parser.isSet(json);
        options->task = Task::Run_Test;
    } else if (parser.isSet(minutes) || parser.isSet(json)) {
        return refuse(QStringLiteral("--minutes and --json need --run-test"));
    } else if (parser.isSet(report)) {
        const QString mistake = alone_but(report, {port, simulate, replay, replay_speed, job});
        if (!mistake.isEmpty())
            return refuse(mistake);
        options->task = Task::Report;
    }

    if (parser.isSet(job) && parser.isSet(open))
        return refuse(QStringLiteral("--job belongs to a report or a recording, not to --open"));
    for (const QString& entry : parser.values(job)) {
        QString mistake;
        if (!Service_Report::Job_Info::Parse_Option(entry, &options->job, &mistake))
            return refuse(mistake);
    }

    options->port = parser.value(port);
    options->simulate = parser.isSet(simulate);
    if (options->simulate && parser.isSet(port))
        return refuse(QStringLiteral("--simulate and --port cannot be used together"));
    options->screenshot = parser.value(screenshot);
    bool ok = false;
    options->quit_after_ms = parser.value(quit_after).toInt(&ok);
    if (!ok || options->quit_after_ms < 0)
        return refuse(QStringLiteral("--quit-after takes a number of milliseconds"));
    options->quit_after_set = parser.isSet(quit_after);
    options->record = parser.value(record);
    if (parser.isSet(record) && parser.isSet(open))
        return refuse(QStringLiteral("--record and --open cannot be used together: a recording "
                                     "is shown without a port"));
    if (parser.isSet(record) && QFileInfo::exists(options->record))
        return refuse(QStringLiteral("%1 already exists; a recording never replaces a file")
                          .arg(options->record));
    for (const QString& dock : parser.value(show).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (dock != QLatin1String("charts") && dock != QLatin1String("traffic"))
            return refuse(QStringLiteral("--show takes charts, traffic or both: charts,traffic"));
        options->show << dock;
    }
    options->open = parser.value(open);
    if (parser.isSet(open) && (options->simulate || parser.isSet(port)))
        return refuse(
            QStringLiteral("--open shows a recording without a port: no --simulate or --port"));
    options->report = parser.value(report);
    if (parser.isSet(report) && !parser.isSet(port) && !options->simulate)
        return refuse(QStringLiteral("--report needs --port NAME or --simulate"));
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
        if (!options->replay)
            return refuse(QString::fromStdString(error));
    }
    return Run;
}

} // namespace Command_Line
