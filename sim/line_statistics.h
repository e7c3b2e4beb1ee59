#ifndef SIM_LINE_STATISTICS_H
#define SIM_LINE_STATISTICS_H

// What the controller's side of the line sees of the client's pace: answers
// sent, and the host's turnaround, from an answer's last byte leaving the
// controller to the first byte of the next request reaching it. Beside it,
// the controller's own lateness: how long after the paced line would have
// carried an answer's last byte it was actually written. Recorded by the
// serving thread, read from any thread.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace Sim {

class Line_Statistics
{
public:
    using Clock = std::chrono::steady_clock;

    struct Summary
    {
        double seconds = 0;            // since the last reset
        std::uint64_t answers = 0;     // answers sent
        std::uint64_t turnarounds = 0; // answers followed by a request
        double median_us = 0;
        double p99_us = 0;
        double max_us = 0;
        double late_median_us = 0; // the controller's own lateness
        double late_p99_us = 0;
    };

    Line_Statistics();

    // The first byte of a request has come in at `at`.
    void request_arrived(Clock::time_point at);
    // The last byte of an answer has left at `at`; the line would have
    // carried it at `due`.
    void answer_sent(Clock::time_point at, Clock::time_point due);

    // Everything since the last reset (or the start); starts over when asked.
    Summary take(bool reset);
    static std::string text(const Summary& summary);

    // Turnarounds are counted in 1 us bins up to this, longer ones together.
    static constexpr int Bins = 100000;

private:
    // Durations in 1 us bins, longer ones in the last.
    struct Histogram
    {
        void add(double us);
        double percentile(double fraction) const;
        std::uint64_t count = 0;
        double max_us = 0;
        std::vector<std::uint32_t> bins = std::vector<std::uint32_t>(Bins + 1);
    };

    std::mutex mutex_;
    Clock::time_point since_;
    Clock::time_point last_answer_{};
    bool answer_pending_ = false;
    std::uint64_t answers_ = 0;
    Histogram turnaround_;
    Histogram lateness_;
};

} // namespace Sim

#endif // SIM_LINE_STATISTICS_H
