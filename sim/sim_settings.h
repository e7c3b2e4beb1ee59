#ifndef SIM_SIM_SETTINGS_H
#define SIM_SIM_SETTINGS_H

// How the virtual controller misbehaves on the line, and whether it paces the
// line. Defaults: a well-behaved controller on an instant line.

#include <chrono>
#include <set>
#include <string>

namespace Sim {

struct Settings
{
    // Requests that are read and counted but neither carried out nor
    // answered. An entry is a code ("DSA": every request with that code) or a
    // request key ("get ALG": only that kind).
    std::set<std::string> silent;
    // Nothing at all is answered or sent, not even a test verdict.
    bool all_silent = false;

    std::chrono::milliseconds answer_delay{0};
    // Each answer byte written on its own, this long after the one before.
    bool trickle = false;
    std::chrono::microseconds trickle_gap{std::chrono::milliseconds(1)};
    // Bytes that cannot start a frame, sent before each answer.
    unsigned noise_bytes = 0;
    // Value responses carry a checksum byte that does not match.
    bool bad_checksums = false;
    // Move commands answered with "<REFUSED>" instead of "<OK>".
    bool refuse_moves = false;

    // The compressor test's outcome, sent this long after its "<OK>".
    std::string test_verdict = "<TEST DONE>";
    std::chrono::milliseconds test_duration{std::chrono::seconds(8)};

    // Every byte takes its time at 115200 baud 8N1, on a half-duplex line.
    bool line_pacing = false;
};

} // namespace Sim

#endif // SIM_SIM_SETTINGS_H
