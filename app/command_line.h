#ifndef APP_COMMAND_LINE_H
#define APP_COMMAND_LINE_H

// The program's command line: what it asks for, read and checked as a whole
// before anything is opened or written.

#include "diagnostics/test_result.h"

#include "report/job_info.h"
#include <plant_faults.h>

#include <QString>
#include <QStringList>

#include <cmath>
#include <memory>
#include <optional>

class QTextStream;

namespace Sim {
class Replay;
}

namespace Command_Line {

// What a run does: the window, or one job done without it.
enum class Task
{
    Window,
    Export_CSV,   // --export-csv RECORDING OUT.csv [--traffic]
    Report,       // --report FILE with --port or --simulate
    Export_Chart, // --open RECORDING --export-chart OUT.svg|OUT.png [--signals ...]
    Run_Test,     // --run-test leak|sensors|compressor with --port or --simulate
};

struct Options
{
    Task task = Task::Window;
    QString port;
    bool simulate = false;
    QString screenshot;
    int quit_after_ms = 4000;
    bool quit_after_set = false;
    QString record;
    // Docks shown at start, and a recording shown instead of a port.
    QStringList show;
    QString open;
    QString report;
    // For the virtual controller: a recording to answer with, and its pace.
    std::shared_ptr<const Sim::Replay> replay;
    double replay_speed = 1.0;
    QString export_recording;
    QString export_output;
    bool traffic = false;
    // One guided test without a window, its length in minutes (its own
    // unless set) and its result as JSON rather than a line.
    Diagnostics::Test_Kind test = Diagnostics::Test_Kind::Leak_Down;
    double minutes = std::nan("");
    bool json = false;
    // The virtual controller's vehicle faults, with --simulate.
    Sim::Plant_Faults plant_faults;
    // The chart image: its file, the signals' codes (empty for the
    // remembered choice) and the time range in seconds.
    QString export_chart;
    QStringList chart_signals;
    std::optional<double> chart_from, chart_to;
    // --job KEY=VALUE, for the report and the recording.
    Service_Report::Job_Info job;
};

// Parse's answer when the program is to go on with *options.
constexpr int Run = -1;
// The exit status of every mistake in the command line: an unknown option, a
// missing, empty or wrong value, options that cannot go together.
constexpr int Usage_Error = 2;

// The toolkit's own options (-platform NAME, -style=NAME, ...), which
// QApplication takes out of the command line for itself, left out.
QStringList Without_Toolkit_Options(const QStringList& arguments);

// Reads ARGUMENTS (the program's name first, as on its command line). Returns
// Run with *options filled in, or the exit status when the program is to end
// at once: 0 once the help or the version is written to OUT, Usage_Error once
// one line on ERR has said what is wrong. Nothing is opened or written; only
// a recording to replay is read, so that a bad one is a wrong value too.
int Parse(const QStringList& arguments, Options* options, QTextStream& out, QTextStream& err);

} // namespace Command_Line

#endif // APP_COMMAND_LINE_H
