#include "frame_check.h"

unsigned char checksum_of(const std::string& frame)
{
    unsigned char sum = 0;
    for (std::size_t i = 1; i <= 8 && i < frame.size(); ++i)
        sum ^= static_cast<unsigned char>(frame[i]);
    return sum;
}

bool is_value_response(const std::string& frame, const std::string& code)
{
    return frame.size() == 11 && frame.compare(0, 3, code) == 0 && frame[3] == ' ' &&
           static_cast<unsigned char>(frame[9]) == checksum_of(frame) && frame[10] == '\n';
}

std::string field_of(const std::string& frame)
{
    return frame.size() >= 9 ? frame.substr(4, 5) : std::string();
}

long number_of(const std::string& frame)
{
    const std::string field = field_of(frame);
    if (field.size() != 5 || field.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::stol(field);
}
