#ifndef SIM_REPLAY_H
#define SIM_REPLAY_H

// The readings of a session recording, held in memory so that the virtual
// controller can answer Gets with what a real controller answered at the same
// point of a session.

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Sim {

class Replay
{
public:
    // Reads the recording at `path` (opened read-only) once. A missing file,
    // a file that is no recording, or one of a newer format: nothing, and a
    // one-line *error naming the file.
    static std::shared_ptr<const Replay> load(const std::string& path, std::string* error);

    // The raw value of the latest reading of `code` at or before `offset`
    // into the session; before its first reading, the first. Nothing for a
    // code never read, and for the codes whose answers are not values the
    // recording can stand for (texts, reset challenges).
    std::optional<unsigned> raw_at(const std::string& code, std::chrono::microseconds offset) const;

private:
    struct Reading
    {
        std::int64_t t_us;
        unsigned raw;
    };
    std::map<std::string, std::vector<Reading>> readings_; // each sorted by time
};

} // namespace Sim

#endif // SIM_REPLAY_H
