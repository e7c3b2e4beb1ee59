#ifndef SIM_LINE_ASSEMBLER_H
#define SIM_LINE_ASSEMBLER_H

// Cuts the received byte stream into request lines at each carriage return.

#include <cstddef>
#include <string>

namespace Sim {

class Line_Assembler
{
public:
    // The longest request is 11 bytes; anything beyond this is kept only as
    // far as it helps to show what arrived.
    static constexpr std::size_t max_kept = 64;

    // True when this byte ended a line; the line is then in line().
    bool feed(char byte);
    const std::string& line() const { return complete_; }
    // Forgets a partial line, e.g. when the client has gone.
    void clear();

private:
    std::string partial_;
    std::string complete_;
};

} // namespace Sim

#endif // SIM_LINE_ASSEMBLER_H
