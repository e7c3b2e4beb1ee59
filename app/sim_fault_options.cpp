#include "sim_fault_options.h"

#include "../sim/command_line.h" // vantor-sim's, not the program's

#include <QCommandLineParser>

#include <string>
#include <vector>

namespace Command_Line {

namespace {

// The options' names, values and help as the program lists them; their values
// are read by vantor-sim's own parser, so that both take the same.
struct Fault_Option
{
    const char* name;
    const char* value; // nullptr for a switch
    const char* help;
    const char* wrong; // what a wrong value is told
};

const Fault_Option table[] = {
    {"leak-reservoir", "PSI_PER_MIN",
     "With --simulate: the reservoir leaks this many psi a minute (up to 1000).",
     "takes psi a minute, 0 to 1000"},
    {"leak-driver", "IN_PER_HOUR",
     "With --simulate: the driver's side sinks this many inches an hour while its valves are "
     "shut.",
     "takes inches an hour, 0 to 1000"},
    {"leak-curb", "IN_PER_HOUR", "With --simulate: the curb side sinks likewise.",
     "takes inches an hour, 0 to 1000"},
    {"stuck-sensor", "driver|curb",
     "With --simulate: that side's height sensor keeps the reading it had.",
     "takes driver or curb"},
    {"reversed-sensor", "driver|curb",
     "With --simulate: that side's height sensor reads up as down.", "takes driver or curb"},
    {"swapped-sensors", nullptr,
     "With --simulate: each side's angle is read from the other side's sensor.", ""},
    {"weak-compressor", "FACTOR",
     "With --simulate: the compressor fills at its rate times FACTOR (0 to 1).",
     "takes a factor from 0 to 1"},
};

// One fault added to *FAULTS as vantor-sim reads "--NAME VALUE".
bool apply(const Fault_Option& option, const QString& value, Sim::Plant_Faults* faults)
{
    const std::string flag = std::string("--") + option.name;
    const std::string text = value.toStdString();
    std::vector<const char*> argv = {"vantor-sim", flag.c_str()};
    if (option.value)
        argv.push_back(text.c_str());
    Sim::Command_Line read;
    read.plant_faults = *faults;
    std::string error;
    if (!Sim::parse_command_line(int(argv.size()), argv.data(), &read, &error))
        return false;
    *faults = read.plant_faults;
    return true;
}

} // namespace

const QList<QCommandLineOption>& Fault_Options()
{
    static const QList<QCommandLineOption> options = [] {
        QList<QCommandLineOption> made;
        for (const Fault_Option& o : table) {
            if (o.value)
                made << QCommandLineOption(QLatin1String(o.name), QLatin1String(o.help),
                                           QLatin1String(o.value));
            else
                made << QCommandLineOption(QLatin1String(o.name), QLatin1String(o.help));
        }
        return made;
    }();
    return options;
}

QString Read_Fault_Options(const QCommandLineParser& parser, Sim::Plant_Faults* faults, bool* any)
{
    *any = false;
    for (const Fault_Option& o : table) {
        const QString name = QLatin1String(o.name);
        if (!parser.isSet(name))
            continue;
        *any = true;
        // A side's fault may be given for both sides.
        const QStringList values = o.value ? parser.values(name) : QStringList{QString()};
        for (const QString& value : values) {
            if (!apply(o, value, faults))
                return QStringLiteral("--%1 %2, not '%3'").arg(name, QLatin1String(o.wrong), value);
        }
    }
    return QString();
}

} // namespace Command_Line
