#ifndef APP_VIEWS_CHART_DATA_H
#define APP_VIEWS_CHART_DATA_H

#include <Quillon.h>

#include <QColor>
#include <QPointF>
#include <QString>
#include <QVector>

#include <array>

namespace Views {

// What the charts draw, and the command code each comes from.
enum Channel
{
    Pressure,     // PXV, psi
    Temperature,  // OAT, degC
    Battery,      // IGV, V
    Driver_Angle, // DSA, deg
    Curb_Angle,   // PSA, deg
    Trace_Count,
    Mode = Trace_Count, // MOD, raw
    Fault_Word_1,       // FM1-FM3, flag digits as one number
    Fault_Word_2,
    Fault_Word_3,
    Channel_Count
};

// The channel of a command code, -1 for codes the charts do not show.
int Channel_Of(const char* code);
const char* Channel_Code(int channel);
// A live answer as a value in the recording's units; false when the charts
// do not show it or it is not valid.
bool Chart_Value(Quillon::Packet_Class* packet, int* channel, double* value);

// A stretch of time with one mode, or with the same active faults.
struct Band
{
    double from = 0, to = 0;
    QString text;
    QColor colour;
};

// The readings of the charts, in time order per channel, and the mode and
// fault bands derived from them. Times are seconds.
class Chart_Data
{
public:
    void Add(double t_s, int channel, double value);
    // Puts the traces in time order, should readings have come out of it.
    void Sort();
    // Drops what is older than T_S, keeping one earlier point per trace.
    void Drop_Before(double t_s);
    void Clear() { *this = Chart_Data(); }
    const QVector<QPointF>& Trace(int channel) const { return Traces[size_t(channel)]; }
    QVector<Band> Mode_Bands() const;
    QVector<Band> Fault_Bands() const;
    double First_Time() const { return First; }
    double Last_Time() const { return Last; }
    bool Is_Empty() const { return Last < First; }

private:
    struct Change
    {
        double t;
        QString text;
    };
    std::array<QVector<QPointF>, Trace_Count> Traces;
    QVector<Change> Modes, Faults;
    std::array<int, 3> Fault_Digits{{0, 0, 0}};
    int Last_Mode = -1;
    double First = 1, Last = 0;
};

} // namespace Views

#endif // APP_VIEWS_CHART_DATA_H
