#include "chart_signals.h"

namespace Views {

namespace {

// The fault flags in flag-digit order within their words (see Fault_Names),
// named by the fault codes the fault display gives them.
const Signal_Look looks[Trace_Count] = {
    {"PXV", "Reservoir", "psi", Pressure_Plot, QColor(30, 100, 200)},
    {"OAT", "Comp. temp.", "°F", Temperature_Plot, QColor(220, 110, 20)},
    {"IGV", "Battery", "V", Battery_Plot, QColor(40, 150, 60)},
    {"DSA", "Driver side", "deg", Angle_Plot, QColor(150, 50, 170)},
    {"PSA", "Curb side", "deg", Angle_Plot, QColor(200, 40, 90)},
    {"DHT", "Driver height", "in", Height_Plot, QColor(150, 50, 170)},
    {"CHT", "Curb height", "in", Height_Plot, QColor(200, 40, 90)},
    {"CES", "Exhaust duty", "%", Duty_Plot, QColor(90, 90, 90)},
    {"BAH", "Trigger", "", Input_Plot, QColor(0, 114, 178)},
    {"DSH", "Door (high)", "", Input_Plot, QColor(213, 94, 0)},
    {"DSL", "Door (low)", "", Input_Plot, QColor(0, 158, 115)},
    {"LOL", "System enable", "", Input_Plot, QColor(204, 121, 167)},
    {"CSR", "Compressor", "", Output_Plot, QColor(0, 114, 178)},
    {"CSS", "Curb valve", "", Output_Plot, QColor(213, 94, 0)},
    {"DSS", "Driver valve", "", Output_Plot, QColor(0, 158, 115)},
    {"RVS", "Reservoir valve", "", Output_Plot, QColor(204, 121, 167)},
    {"F22", "Compressor cool-off", "", Fault_Plot, QColor(200, 40, 40)},
    {"F13", "Pressure sensor", "", Fault_Plot, QColor(200, 40, 40)},
    {"F12", "Curb sensor", "", Fault_Plot, QColor(200, 40, 40)},
    {"F11", "Driver sensor", "", Fault_Plot, QColor(200, 40, 40)},
    {"F31", "Driver valve time-out", "", Fault_Plot, QColor(200, 40, 40)},
    {"F24", "Over-pressure", "", Fault_Plot, QColor(200, 40, 40)},
    {"F23", "Air leak", "", Fault_Plot, QColor(200, 40, 40)},
    {"F21", "Compressor time-out", "", Fault_Plot, QColor(200, 40, 40)},
    {"F43", "Reservoir valve time-out", "", Fault_Plot, QColor(200, 40, 40)},
    {"F42", "Exhaust valve time-out", "", Fault_Plot, QColor(200, 40, 40)},
    {"F41", "Over-temperature", "", Fault_Plot, QColor(200, 40, 40)},
    {"F32", "Curb valve time-out", "", Fault_Plot, QColor(200, 40, 40)},
};

// The lanes of switches are named one by one instead.
const char* const plot_units[Plot_Count] = {"psi", "°F", "V", "deg", "in", "%", "", "", ""};

} // namespace

const Signal_Look& Signal(int trace)
{
    return looks[trace];
}

bool Is_Switch(int trace)
{
    return looks[trace].plot >= Input_Plot;
}

QVector<int> Lanes(const std::array<bool, Trace_Count>& chosen, int plot)
{
    QVector<int> out;
    for (int t = 0; t < Trace_Count; ++t)
        if (chosen[size_t(t)] && Signal(t).plot == plot)
            out << t;
    return out;
}

int Signal_Of(const QString& code)
{
    for (int t = 0; t < Trace_Count; ++t)
        if (code.compare(QLatin1String(looks[t].code), Qt::CaseInsensitive) == 0)
            return t;
    return -1;
}

QStringList Default_Signals()
{
    return {QStringLiteral("PXV"), QStringLiteral("OAT"), QStringLiteral("IGV"),
            QStringLiteral("DSA"), QStringLiteral("PSA")};
}

QString Plot_Unit(int plot, bool fahrenheit)
{
    if (plot == Temperature_Plot && !fahrenheit)
        return QString::fromUtf8("°C");
    return QString::fromUtf8(plot_units[plot]);
}

} // namespace Views
