#include "line_faults.h"

#include "response_frame.h"

namespace Sim {

namespace {

bool starts_frame(unsigned char byte)
{
    return byte == '<' || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

} // namespace

std::string noise_bytes(unsigned count, std::mt19937& random)
{
    std::uniform_int_distribution<int> any_byte(0, 255);
    std::string noise;
    while (noise.size() < count) {
        const auto byte = static_cast<unsigned char>(any_byte(random));
        if (!starts_frame(byte))
            noise += static_cast<char>(byte);
    }
    return noise;
}

void spoil_checksum(std::string& answer)
{
    if (answer.size() == value_response_size && answer.front() != '<')
        answer[checksum_index] = static_cast<char>(~frame_checksum(answer));
}

} // namespace Sim
