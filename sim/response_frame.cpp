#include "response_frame.h"

#include <algorithm>
#include <cstdio>

namespace Sim {

char frame_checksum(const std::string& body)
{
    unsigned char sum = 0;
    for (std::size_t i = 1; i < body.size() && i < checksum_index; ++i)
        sum ^= static_cast<unsigned char>(body[i]);
    return static_cast<char>(sum);
}

std::string value_response(const std::string& code, const std::string& field)
{
    std::string frame = code + ' ' + field;
    frame += frame_checksum(frame);
    frame += line_feed;
    return frame;
}

std::string system_response(const std::string& text)
{
    return text + line_feed;
}

bool is_system_text(const std::string& text)
{
    constexpr std::size_t longest = 19;
    if (text.size() < 2 || text.size() > longest || text.front() != '<' || text.back() != '>')
        return false;
    return text.find_first_of("<>", 1) == text.size() - 1;
}

std::string unsigned_field(unsigned value)
{
    char digits[8];
    std::snprintf(digits, sizeof digits, "%05u", std::min(value, 65535u));
    return digits;
}

std::string bool_field(bool value)
{
    return value ? "00001" : "00000";
}

} // namespace Sim
