#include "command_packets.h"

#include "response_filters.h"

namespace Quillon {

bool Packet_Resp_BPD::readValue()
{
    const bool valid = Packet_Resp_Bool::readValue();
    // Invert only a digit that was decoded, never a stale value.
    const char digit = Data ? Data[Field_Offset + 4] : '\0';
    if (digit == '0' || digit == '1')
        value = !value;
    return valid;
}

bool Packet_Resp_CES::readValue()
{
    if (!Packet_Resp_UInt16::readValue() || raw_value > 1024)
        return false;
    duty_cycle = raw_value == 0 ? 0.0 : raw_value * double(0.0009765625f);
    return true;
}

bool Packet_Resp_MOD::readValue()
{
    return Packet_Resp_UInt16::readValue() && raw_value <= 5;
}

QString Packet_Resp_MOD::Mode_name() const
{
    if (!Valid)
        return QString();
    switch (raw_value) {
    case Mode_Idle:
        return QStringLiteral("Idle");
    case Mode_Lowering:
        return QStringLiteral("Lowering");
    case Mode_Raising:
        return QStringLiteral("Raising");
    case Mode_Compressor_Test:
        return QStringLiteral("Compressor test");
    default:
        return QString();
    }
}

namespace {

// One straight segment of the temperature sensor's curve, from reading
// `start` up to the next segment's start.
struct Temperature_Segment
{
    int start;
    double slope;
    int offset_c;
};

const Temperature_Segment Temperature_Curve[] = {
    {0, 2.857, -60},   {7, 1.667, -40},   {13, 1.0, -30},   {23, 0.625, -20}, {39, 0.385, -10},
    {65, 0.27, 0},     {102, 0.196, 10},  {153, 0.149, 20}, {220, 0.127, 30}, {299, 0.112, 40},
    {388, 0.105, 50},  {483, 0.115, 60},  {570, 0.122, 70}, {652, 0.141, 80}, {723, 0.167, 90},
    {783, 0.208, 100}, {831, 0.256, 110}, {870, 0.0, 120},
};

double temperature_c(int reading)
{
    const Temperature_Segment* segment = &Temperature_Curve[0];
    for (const Temperature_Segment& s : Temperature_Curve) {
        if (reading >= s.start)
            segment = &s;
    }
    return (reading - segment->start) * segment->slope + segment->offset_c;
}

} // namespace

bool Packet_Resp_OAT::readValue()
{
    if (!Packet_Resp_UInt16::readValue())
        return false;
    temp_c = temperature_c(raw_value);
    temp_f = temp_c * 1.8 + 32;
    return true;
}

Packet_Set_BPD::Packet_Set_BPD(QObject* parent) : Packet_Set_Bool_Class(parent)
{
    setResponse_FiltertoDefault();
}

void Packet_Set_BPD::setResponse_FiltertoDefault()
{
    Response_Filter = OK_Response_Filter;
}

} // namespace Quillon
