#ifndef APP_VIEWS_CHART_DATA_H
#define APP_VIEWS_CHART_DATA_H

#include "chart_signals.h"

#include <Quillon.h>

#include <QColor>
#include <QDateTime>
#include <QPointF>
#include <QString>
#include <QVector>

#include <array>

namespace Views {

// The channel of a command code, -1 for codes the charts do not show.
int Channel_Of(const char* code);
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
    // An angle also adds its height, a fault word its flags.
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
    // Inches, for the heights of angles added from now on.
    void Set_Lever_Length(double inches) { Lever_Length = inches; }
    // The wall-clock time of second 0, when known.
    QDateTime Start() const { return Started; }
    void Set_Start(const QDateTime& start) { Started = start; }

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
    double Lever_Length = 6.0;
    QDateTime Started;
};

} // namespace Views

#endif // APP_VIEWS_CHART_DATA_H
