#include "chart_data.h"

#include "fault_names.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace Quillon;

namespace Views {

namespace {

// The command code each channel is read from; derived traces have none.
const char* const codes[Channel_Count] = {"PXV", "OAT", "IGV", "DSA", "PSA", "",    "",    "CES",
                                          "BAH", "DSH", "DSL", "LOL", "CSR", "CSS", "DSS", "RVS",
                                          "",    "",    "",    "",    "",    "",    "",    "",
                                          "",    "",    "",    "",    "MOD", "FM1", "FM2", "FM3"};
static_assert(Channel_Count == 32, "one code per channel");

constexpr double Degrees_To_Radians = 3.14159265358979323846 / 180.0;

QString mode_name(int mode)
{
    static const char* const names[] = {"Idle", "Lowering", "Raising", "Compressor test"};
    return mode >= 0 && mode < 4 ? QLatin1String(names[mode]) : QStringLiteral("mode %1").arg(mode);
}

QColor mode_colour(const QString& name)
{
    if (name == QLatin1String("Idle"))
        return QColor(210, 225, 240);
    if (name == QLatin1String("Lowering"))
        return QColor(120, 170, 230);
    if (name == QLatin1String("Raising"))
        return QColor(120, 200, 130);
    return QColor(240, 190, 90);
}

} // namespace

int Channel_Of(const char* code)
{
    if (!code)
        return -1;
    for (int c = 0; c < Channel_Count; ++c)
        if (codes[c][0] && std::strncmp(code, codes[c], 3) == 0)
            return c;
    return -1;
}

bool Chart_Value(Packet_Class* packet, int* channel, double* value)
{
    if (!packet || !packet->isValid() || !qobject_cast<Packet_Resp_Class*>(packet))
        return false;
    *channel = Channel_Of(packet->getData());
    if (auto angle = qobject_cast<Packet_Resp_Suspension_Angle*>(packet))
        *value = angle->Angle();
    else if (auto psi = qobject_cast<Packet_Resp_Pressure*>(packet))
        *value = psi->Pressure();
    else if (auto volts = qobject_cast<Packet_Resp_Voltage*>(packet))
        *value = volts->Voltage();
    else if (auto temperature = qobject_cast<Packet_Resp_OAT*>(packet))
        *value = temperature->Temp_C();
    else if (auto duty = qobject_cast<Packet_Resp_CES*>(packet))
        *value = duty->Duty_cycle() * 100.0;
    else if (auto flag = qobject_cast<Packet_Resp_Bool*>(packet))
        *value = flag->Value() ? 1 : 0;
    else
        *value = QByteArray(packet->getData() + 4, 5).trimmed().toInt();
    return *channel >= 0;
}

void Chart_Data::Add(double t_s, int channel, double value)
{
    if (channel < 0 || channel >= Channel_Count)
        return;
    if (Is_Empty())
        First = t_s;
    First = std::min(First, t_s);
    Last = std::max(Last, t_s);
    if (channel < Trace_Count) {
        Traces[size_t(channel)].append(QPointF(t_s, value));
        // The height the main tab shows beside the angle.
        if ((channel == Driver_Angle || channel == Curb_Angle) && Lever_Length > 0)
            Traces[size_t(channel - Driver_Angle + Driver_Height)].append(
                QPointF(t_s, std::sin(value * Degrees_To_Radians) * Lever_Length));
        return;
    }
    QString text;
    QVector<Change>* changes = &Faults;
    if (channel == Mode) {
        if (int(value) == Last_Mode)
            return;
        Last_Mode = int(value);
        text = mode_name(Last_Mode);
        changes = &Modes;
    } else {
        const int word = channel - Fault_Word_1;
        Fault_Digits[size_t(word)] = int(value);
        // Flag digits 1-4 of the word, left to right, as 0/1 traces.
        for (int flag = 1, scale = 1000; flag <= 4; ++flag, scale /= 10)
            Traces[size_t(First_Fault + word * 4 + flag - 1)].append(
                QPointF(t_s, (int(value) / scale) % 10 == 1 ? 1 : 0));
        QStringList active;
        for (int word = 0; word < 3; ++word)
            active += Fault_Names(word, Fault_Digits[size_t(word)]);
        text = active.join(QStringLiteral(", "));
    }
    if (changes->isEmpty() || changes->last().text != text)
        changes->append(Change{t_s, text});
}

void Chart_Data::Sort()
{
    const auto by_time = [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); };
    for (QVector<QPointF>& trace : Traces)
        if (!std::is_sorted(trace.begin(), trace.end(), by_time))
            std::stable_sort(trace.begin(), trace.end(), by_time);
}

void Chart_Data::Drop_Before(double t_s)
{
    for (QVector<QPointF>& trace : Traces) {
        const auto end = std::lower_bound(trace.begin(), trace.end(), t_s,
                                          [](const QPointF& p, double t) { return p.x() < t; });
        const int drop = int(end - trace.begin()) - 1;
        if (drop > 0)
            trace.remove(0, drop);
    }
    for (QVector<Change>* changes : {&Modes, &Faults}) {
        int drop = 0;
        while (drop + 1 < changes->size() && (*changes)[drop + 1].t <= t_s)
            ++drop;
        changes->remove(0, drop);
    }
    First = std::max(First, t_s);
}

QVector<Band> Chart_Data::Mode_Bands() const
{
    QVector<Band> out;
    for (int i = 0; i < Modes.size(); ++i) {
        const double to = i + 1 < Modes.size() ? Modes[i + 1].t : Last;
        out.append(Band{Modes[i].t, to, Modes[i].text, mode_colour(Modes[i].text)});
    }
    return out;
}

QVector<Band> Chart_Data::Fault_Bands() const
{
    QVector<Band> out;
    for (int i = 0; i < Faults.size(); ++i) {
        if (Faults[i].text.isEmpty())
            continue;
        const double to = i + 1 < Faults.size() ? Faults[i + 1].t : Last;
        out.append(Band{Faults[i].t, to, Faults[i].text, QColor(220, 60, 50)});
    }
    return out;
}

} // namespace Views
