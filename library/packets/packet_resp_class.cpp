#include "packet_resp_class.h"

#include "reset_code.h"

#include <cstring>

namespace Quillon {

void Packet_Resp_Class::check_data(char* buf)
{
    if (!buf)
        return;
    char* copy = new char[Packet_Length()];
    std::memcpy(copy, buf, Packet_Length());
    adopt_data(copy);
    Valid = readValue();
}

QByteArray Packet_Resp_Class::field() const
{
    if (!Data)
        return QByteArray();
    const char* start = Data + Field_Offset;
    const void* nul = std::memchr(start, 0, Field_Length);
    const int n = nul ? int(static_cast<const char*>(nul) - start) : Field_Length;
    return QByteArray(start, n);
}

bool Packet_Resp_Bool::readValue()
{
    if (!Data)
        return false;
    const char last = Data[Field_Offset + 4];
    if (last == '1')
        value = true;
    else if (last == '0')
        value = false;
    else
        return false;
    return std::memcmp(Data + Field_Offset, "0000", 4) == 0;
}

bool Packet_Resp_String::readValue()
{
    text = QString::fromLatin1(field());
    return true;
}

bool Packet_Resp_Faults::readValue()
{
    if (!Data)
        return false;
    for (int i = 0; i < 5; ++i) {
        const char c = Data[Field_Offset + i];
        if (c == '1')
            Flags[i] = true;
        else if (c == '0')
            Flags[i] = false;
        else
            return false;
    }
    return true;
}

bool Packet_Resp_UInt16::readValue()
{
    bool ok = false;
    raw_value = field().toUShort(&ok, 10);
    return ok;
}

bool Packet_Resp_Reset_Code::readValue()
{
    if (!Packet_Resp_UInt16::readValue() || raw_value >= 1000)
        return false;
    reset_code = Reset_Code_For(raw_value);
    return true;
}

bool Packet_Resp_Suspension_Angle::readValue()
{
    if (!Packet_Resp_UInt16::readValue())
        return false;
    angle = (raw_value - 102.3) / 9.1044 - double(45.0f);
    return true;
}

bool Packet_Resp_Pressure::readValue()
{
    if (!Packet_Resp_UInt16::readValue())
        return false;
    pressure = (raw_value - 102.3) / 5.462666;
    return true;
}

bool Packet_Resp_Voltage::readValue()
{
    if (!Packet_Resp_UInt16::readValue())
        return false;
    voltage = raw_value * double(0.02490234375f);
    return true;
}

} // namespace Quillon
