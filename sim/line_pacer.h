#ifndef SIM_LINE_PACER_H
#define SIM_LINE_PACER_H

// The time the bytes would take on the controller's half-duplex line at
// 115200 baud, 8N1: ten bit times per byte, one direction at a time.

#include <chrono>

namespace Sim {

class Line_Pacer
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::nanoseconds byte_time{86806}; // 10 / 115200 s

    // A byte is put on the line no earlier than `from` and once the line is
    // free; the result is when its last bit has crossed. Used for both
    // directions, so a request and an answer never overlap.
    Clock::time_point carry(Clock::time_point from);
    // When the next byte would have crossed if it were put on now.
    Clock::time_point next_crossing(Clock::time_point from) const;

private:
    Clock::time_point line_free_{};
};

} // namespace Sim

#endif // SIM_LINE_PACER_H
