#ifndef APP_VIEWS_CHART_SIGNALS_H
#define APP_VIEWS_CHART_SIGNALS_H

#include <QColor>
#include <QStringList>
#include <QVector>

#include <array>

namespace Views {

// Every reading the charts can draw, each a trace of its own, and after them
// the readings drawn only as bands beneath.
enum Channel
{
    Pressure,            // PXV, psi
    Temperature,         // OAT, degC
    Battery,             // IGV, V
    Driver_Angle,        // DSA, deg
    Curb_Angle,          // PSA, deg
    Driver_Height,       // from DSA and the lever length, in
    Curb_Height,         // from PSA and the lever length, in
    Exhaust_Duty,        // CES, %
    Trigger_In,          // BAH, the inputs and outputs as 0/1
    Door_High_In,        // DSH
    Door_Low_In,         // DSL
    Enable_In,           // LOL
    Compressor_Out,      // CSR
    Curb_Valve_Out,      // CSS
    Driver_Valve_Out,    // DSS
    Reservoir_Valve_Out, // RVS
    First_Fault,         // the twelve fault flags, as 0/1, FM1's first
    Trace_Count = First_Fault + 12,
    Mode = Trace_Count, // MOD, raw
    Fault_Word_1,       // FM1-FM3, flag digits as one number
    Fault_Word_2,
    Fault_Word_3,
    Channel_Count
};

// The plots the traces are drawn on, top to bottom.
enum Plot_Group
{
    Pressure_Plot,
    Temperature_Plot,
    Battery_Plot,
    Angle_Plot,
    Height_Plot,
    Duty_Plot,
    Input_Plot,
    Output_Plot,
    Fault_Plot,
    Plot_Count
};

struct Signal_Look
{
    const char* code; // as the command line and the settings name it
    const char* name;
    const char* unit; // empty for a 0/1 trace
    Plot_Group plot;
    QColor colour;
};

const Signal_Look& Signal(int trace);
// A 0/1 trace, drawn as steps in a lane of its own.
bool Is_Switch(int trace);
// The trace of a code ("PXV", "F23"), -1 when there is none.
int Signal_Of(const QString& code);
// The traces shown unless the technician chose others.
QStringList Default_Signals();
// The chosen switches of a lane plot, top lane first.
QVector<int> Lanes(const std::array<bool, Trace_Count>& chosen, int plot);
// The unit a plot's axis is titled with.
QString Plot_Unit(int plot, bool fahrenheit);

} // namespace Views

#endif // APP_VIEWS_CHART_SIGNALS_H
