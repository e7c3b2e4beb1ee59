#include "sim_fault_options.h"

#include <QCommandLineParser>

namespace Command_Line {

namespace {

bool to_side(const QString& text, std::size_t* side)
{
    if (text != QLatin1String("driver") && text != QLatin1String("curb"))
        return false;
    *side = Sim::Plant_Faults::index(text == QLatin1String("driver") ? Sim::Side::Driver
                                                                     : Sim::Side::Curb);
    return true;
}

struct Fault_Option
{
    const char* name;
    const char* value; // nullptr for a switch
    const char* help;
    const char* wrong; // what a wrong value is told
    bool (*apply)(Sim::Plant_Faults&, const QString&);
};

double number(const QString& text, bool* ok)
{
    return text.toDouble(ok);
}

const Fault_Option table[] = {
    {"leak-reservoir", "PSI_PER_MIN",
     "With --simulate: the reservoir leaks this many psi a minute (up to 1000).",
     "takes psi a minute, 0 to 1000",
     [](Sim::Plant_Faults& f, const QString& v) {
         bool ok = false;
         f.reservoir_leak = number(v, &ok);
         return ok && Sim::Plant_Faults::valid_reservoir_leak(f.reservoir_leak);
     }},
    {"leak-driver", "IN_PER_HOUR",
     "With --simulate: the driver's side sinks this many inches an hour while its valves are "
     "shut.",
     "takes inches an hour, 0 to 1000",
     [](Sim::Plant_Faults& f, const QString& v) {
         bool ok = false;
         double& leak = f.side_leak[Sim::Plant_Faults::index(Sim::Side::Driver)];
         leak = number(v, &ok);
         return ok && Sim::Plant_Faults::valid_side_leak(leak);
     }},
    {"leak-curb", "IN_PER_HOUR", "With --simulate: the curb side sinks likewise.",
     "takes inches an hour, 0 to 1000",
     [](Sim::Plant_Faults& f, const QString& v) {
         bool ok = false;
         double& leak = f.side_leak[Sim::Plant_Faults::index(Sim::Side::Curb)];
         leak = number(v, &ok);
         return ok && Sim::Plant_Faults::valid_side_leak(leak);
     }},
    {"stuck-sensor", "driver|curb",
     "With --simulate: that side's height sensor keeps the reading it had.", "takes driver or curb",
     [](Sim::Plant_Faults& f, const QString& v) {
         std::size_t side = 0;
         return to_side(v, &side) && (f.stuck_sensor[side] = true);
     }},
    {"reversed-sensor", "driver|curb",
     "With --simulate: that side's height sensor reads up as down.", "takes driver or curb",
     [](Sim::Plant_Faults& f, const QString& v) {
         std::size_t side = 0;
         return to_side(v, &side) && (f.reversed_sensor[side] = true);
     }},
    {"swapped-sensors", nullptr,
     "With --simulate: each side's angle is read from the other side's sensor.", "",
     [](Sim::Plant_Faults& f, const QString&) { return f.swapped_sensors = true; }},
    {"weak-compressor", "FACTOR",
     "With --simulate: the compressor fills at its rate times FACTOR (0 to 1).",
     "takes a factor from 0 to 1",
     [](Sim::Plant_Faults& f, const QString& v) {
         bool ok = false;
         f.compressor_factor = number(v, &ok);
         return ok && Sim::Plant_Faults::valid_compressor_factor(f.compressor_factor);
     }},
};

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
            if (!o.apply(*faults, value))
                return QStringLiteral("--%1 %2, not '%3'").arg(name, QLatin1String(o.wrong), value);
        }
    }
    return QString();
}

} // namespace Command_Line
