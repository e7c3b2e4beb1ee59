#include "line_pacer.h"

#include <algorithm>

namespace Sim {

Line_Pacer::Clock::time_point Line_Pacer::carry(Clock::time_point from)
{
    line_free_ = next_crossing(from);
    return line_free_;
}

Line_Pacer::Clock::time_point Line_Pacer::next_crossing(Clock::time_point from) const
{
    return std::max(from, line_free_) + byte_time;
}

} // namespace Sim
