#ifndef SIM_LINE_STATISTICS_H
#define SIM_LINE_STATISTICS_H

// What the controller's side of the line sees of the client's pace: answers
// sent, and the host's turnaround, from an answer's last byte leaving the
// controller to the first byte of the next request reaching it. Recorded by
// the serving thread, read from any thread.

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace Sim {

class Line_Statistics
{
public:
    using Clock = std::chrono::steady_clock;

    struct Summary
    {
        double seconds = 0;           // since the last reset
        std::uint64_t answers = 0;    // answers sent
        std::uint64_t turnarounds = 0; // answers followed by a request
        double median_us = 0;
        double p99_us = 0;
        double max_us = 0;
    };

    Line_Statistics();

    // The first byte of a request has come in at `at`.
    void request_arrived(Clock::time_point at);
    // The last byte of an answer has left at `at`.
    void answer_sent(Clock::time_point at);

    // Everything since the last reset (or the start); starts over when asked.
    Summary take(bool reset);
    static std::string text(const Summary& summary);

    // Turnarounds are counted in 1 us bins up to this, longer ones together.
    static constexpr int Bins = 100000;

private:
    double percentile_us_locked(double fraction) const;

    std::mutex mutex_;
    Clock::time_point since_;
    Clock::time_point last_answer_{};
    bool answer_pending_ = false;
    std::uint64_t answers_ = 0;
    std::uint64_t turnarounds_ = 0;
    double max_us_ = 0;
    std::array<std::uint32_t, Bins + 1> histogram_{};
};

} // namespace Sim

#endif // SIM_LINE_STATISTICS_H
