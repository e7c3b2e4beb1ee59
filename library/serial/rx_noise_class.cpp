#include "rx_noise_class.h"

#include <cstring>

namespace Quillon {

Rx_Noise_Class::Rx_Noise_Class(char* buffer, unsigned char row_length, QObject* parent)
    : QObject(parent), Row_Base(buffer), Fill_Row(buffer), Row_Length(row_length)
{}

Rx_Noise_Class::~Rx_Noise_Class()
{
    delete[] Row_Base;
}

void Rx_Noise_Class::add_rejected(const char* bytes, unsigned char count)
{
    emit Rejected(bytes, count);
    if (Row_Length == 0)
        return;
    while (count > 0) {
        const unsigned char room = static_cast<unsigned char>(Row_Length - Fill_Count);
        const unsigned char n = count < room ? count : room;
        std::memcpy(Fill_Row + Fill_Count, bytes, n);
        Fill_Count = quint16(Fill_Count + n);
        bytes += n;
        count = static_cast<unsigned char>(count - n);
        if (Fill_Count == Row_Length)
            toggle_row_ptr();
    }
}

char* Rx_Noise_Class::last_row()
{
    char* row = Last_Row;
    Last_Row = nullptr;
    return row;
}

void Rx_Noise_Class::toggle_row_ptr()
{
    Last_Row = Fill_Row;
    Fill_Row = other_row(Fill_Row);
    Fill_Count = 0;
}

char* Rx_Noise_Class::remaining(unsigned char& count)
{
    if (Fill_Count == 0)
        return nullptr;
    count = static_cast<unsigned char>(Fill_Count);
    char* row = Fill_Row;
    Fill_Row = other_row(Fill_Row);
    Last_Row = nullptr;
    Fill_Count = 0;
    return row;
}

char* Rx_Noise_Class::other_row(const char* row) const
{
    return row == Row_Base ? Row_Base + Row_Length : Row_Base;
}

} // namespace Quillon
