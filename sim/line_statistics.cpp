#include "line_statistics.h"

#include <algorithm>
#include <cstdio>

namespace Sim {

Line_Statistics::Line_Statistics() : since_(Clock::now()) {}

void Line_Statistics::request_arrived(Clock::time_point at)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!answer_pending_)
        return;
    answer_pending_ = false;
    const double us = std::chrono::duration<double, std::micro>(at - last_answer_).count();
    const double clamped = std::max(0.0, us);
    ++turnarounds_;
    max_us_ = std::max(max_us_, clamped);
    ++histogram_[static_cast<std::size_t>(std::min(clamped, double(Bins)))];
}

void Line_Statistics::answer_sent(Clock::time_point at)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++answers_;
    last_answer_ = at;
    answer_pending_ = true;
}

double Line_Statistics::percentile_us_locked(double fraction) const
{
    if (turnarounds_ == 0)
        return 0;
    // The smallest bin that holds at least this share of the samples; a
    // sample in bin n took from n to n+1 us, so its middle is reported.
    const auto wanted = static_cast<std::uint64_t>(fraction * double(turnarounds_ - 1)) + 1;
    std::uint64_t seen = 0;
    for (int bin = 0; bin <= Bins; ++bin) {
        seen += histogram_[static_cast<std::size_t>(bin)];
        if (seen >= wanted)
            return bin == Bins ? max_us_ : bin + 0.5;
    }
    return max_us_;
}

Line_Statistics::Summary Line_Statistics::take(bool reset)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const Clock::time_point now = Clock::now();
    Summary summary;
    summary.seconds = std::chrono::duration<double>(now - since_).count();
    summary.answers = answers_;
    summary.turnarounds = turnarounds_;
    summary.median_us = percentile_us_locked(0.5);
    summary.p99_us = percentile_us_locked(0.99);
    summary.max_us = max_us_;
    if (reset) {
        since_ = now;
        answers_ = 0;
        turnarounds_ = 0;
        max_us_ = 0;
        histogram_.fill(0);
        // A request on its way now still follows an answer sent before.
    }
    return summary;
}

std::string Line_Statistics::text(const Summary& s)
{
    char line[256];
    std::snprintf(line, sizeof line,
                  "seconds %.3f answers %llu per_second %.1f turnaround_us median %.1f p99 %.1f "
                  "max %.1f samples %llu\n",
                  s.seconds, static_cast<unsigned long long>(s.answers),
                  s.seconds > 0 ? double(s.answers) / s.seconds : 0.0, s.median_us, s.p99_us,
                  s.max_us, static_cast<unsigned long long>(s.turnarounds));
    return line;
}

} // namespace Sim
