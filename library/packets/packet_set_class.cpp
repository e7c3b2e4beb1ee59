#include "packet_set_class.h"

#include "request_text.h"

#include <cstring>

namespace Quillon {

void Packet_Set_Short_Class::set_default_data(char* buf)
{
    adopt_data(buf);
    detail::write_request_head(Data, "set", getName());
}

void Packet_Set_Long_Class::set_default_data(char* buf)
{
    adopt_data(buf);
    const int n = detail::write_request_head(Data, "set", getName());
    std::memcpy(Data + n, " 000", 4);
}

void Packet_Set_Bool_Class::setValue(bool v)
{
    if (Data)
        Data[Value_Offset + 2] = v ? '1' : '0';
}

bool Packet_Set_Bool_Class::Value() const
{
    return Data && Data[Value_Offset + 2] == '1';
}

void Packet_Set_UInt_Class::setValue(unsigned short v)
{
    if (v > 999 || !Data) {
        Valid = false;
        return;
    }
    Data[Value_Offset] = char('0' + v / 100);
    Data[Value_Offset + 1] = char('0' + v / 10 % 10);
    Data[Value_Offset + 2] = char('0' + v % 10);
    Valid = true;
}

quint16 Packet_Set_UInt_Class::Value() const
{
    if (!Data)
        return 0;
    quint16 v = 0;
    for (int i = Value_Offset; i < Value_Offset + 3; ++i) {
        if (Data[i] < '0' || Data[i] > '9')
            return 0;
        v = quint16(v * 10 + (Data[i] - '0'));
    }
    return v;
}

} // namespace Quillon
