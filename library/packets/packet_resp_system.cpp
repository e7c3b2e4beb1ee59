#include "packet_resp_system.h"

#include <cstring>

namespace Quillon {

Packet_Resp_System::~Packet_Resp_System()
{
    delete[] System_Text;
}

void Packet_Resp_System::check_data(char* text)
{
    if (!text)
        return;
    Valid = text[0] == '<';
    size_t length = 0;
    if (text[0] != '\0') {
        for (length = 1; text[length] != '\0'; ++length) {
            const char c = text[length];
            if (c == '<' || (c == '>' && text[length + 1] != '\0'))
                Valid = false;
        }
    }
    // The length is kept in eight bits; a longer text cannot come from the
    // line and is cut rather than miscounted.
    if (length > 255) {
        length = 255;
        Valid = false;
    }
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    delete[] System_Text;
    System_Text = copy;
    Text_Length = quint8(length);
}

void Packet_Resp_System::set_default_data(char* buf)
{
    // A fresh buffer holds no text yet, so it is adopted empty.
    if (buf != System_Text)
        delete[] System_Text;
    System_Text = buf;
    Text_Length = 0;
}

} // namespace Quillon
