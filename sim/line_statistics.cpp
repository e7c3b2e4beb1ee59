#include "line_statistics.h"

#include <algorithm>
#include <cstdio>

namespace Sim {

namespace {

double micros(Line_Statistics::Clock::duration d)
{
    return std::max(0.0, std::chrono::duration<double, std::micro>(d).count());
}

} // namespace

Line_Statistics::Line_Statistics() : since_(Clock::now()) {}

void Line_Statistics::Histogram::add(double us)
{
    ++count;
    max_us = std::max(max_us, us);
    ++bins[static_cast<std::size_t>(std::min(us, double(Bins)))];
}

double Line_Statistics::Histogram::percentile(double fraction) const
{
    if (count == 0)
        return 0;
    // The smallest bin that holds at least this share of the samples; a
    // sample in bin n took from n to n+1 us, so its middle is reported.
    const auto wanted = static_cast<std::uint64_t>(fraction * double(count - 1)) + 1;
    std::uint64_t seen = 0;
    for (int bin = 0; bin < Bins; ++bin) {
        seen += bins[static_cast<std::size_t>(bin)];
        if (seen >= wanted)
            return bin + 0.5;
    }
    return max_us;
}

void Line_Statistics::request_arrived(Clock::time_point at)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!answer_pending_)
        return;
    answer_pending_ = false;
    turnaround_.add(micros(at - last_answer_));
}

void Line_Statistics::answer_sent(Clock::time_point at, Clock::time_point due)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++answers_;
    last_answer_ = at;
    answer_pending_ = true;
    lateness_.add(micros(at - due));
}

Line_Statistics::Summary Line_Statistics::take(bool reset)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const Clock::time_point now = Clock::now();
    Summary summary;
    summary.seconds = std::chrono::duration<double>(now - since_).count();
    summary.answers = answers_;
    summary.turnarounds = turnaround_.count;
    summary.median_us = turnaround_.percentile(0.5);
    summary.p99_us = turnaround_.percentile(0.99);
    summary.max_us = turnaround_.max_us;
    summary.late_median_us = lateness_.percentile(0.5);
    summary.late_p99_us = lateness_.percentile(0.99);
    if (reset) {
        // A request on its way now still follows the answer sent before.
        since_ = now;
        answers_ = 0;
        turnaround_ = Histogram();
        lateness_ = Histogram();
    }
    return summary;
}

std::string Line_Statistics::text(const Summary& s)
{
    char line[320];
    std::snprintf(line, sizeof line,
                  "seconds %.3f answers %llu per_second %.1f turnaround_us median %.1f p99 %.1f "
                  "max %.1f late_us median %.1f p99 %.1f samples %llu\n",
                  s.seconds, static_cast<unsigned long long>(s.answers),
                  s.seconds > 0 ? double(s.answers) / s.seconds : 0.0, s.median_us, s.p99_us,
                  s.max_us, s.late_median_us, s.late_p99_us,
                  static_cast<unsigned long long>(s.turnarounds));
    return line;
}

} // namespace Sim
