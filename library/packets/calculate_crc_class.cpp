#include "calculate_crc_class.h"

namespace Quillon {

void Calculate_CRC_Class::Add(const char* bytes, int count)
{
    for (int i = 0; i < count; ++i)
        crc = char(crc ^ bytes[i]);
}

char Calculate_CRC_Class::Of_Body(const char* body)
{
    Calculate_CRC_Class sum;
    sum.Add(body + 1, 8);
    return sum.Value();
}

} // namespace Quillon
