#ifndef QUILLON_CALCULATE_CRC_CLASS_H
#define QUILLON_CALCULATE_CRC_CLASS_H

#include "quillon_global.h"

namespace Quillon {

// The checksum of a value response: an 8-bit longitudinal XOR of body bytes
// 1 to 8 (despite the name, not a CRC).
class QUILLON_EXPORT Calculate_CRC_Class
{
public:
    void Clear() { crc = 0; }
    void Add(const char* bytes, int count);
    char Value() const { return crc; }

    // The checksum byte of a complete 9-byte value response body.
    static char Of_Body(const char* body);

private:
    char crc = 0;
};

} // namespace Quillon

#endif // QUILLON_CALCULATE_CRC_CLASS_H
