#include "session_schema.h"

namespace Recording {

// Times are microseconds from the start of the recording on a monotonic clock.
const char* const Schema[] = {
    // schema_version, started (ISO 8601, UTC), program_version, port;
    // serial_number and firmware once read.
    "CREATE TABLE session(key TEXT PRIMARY KEY, value TEXT)",
    // direction: 'tx' a request as written, 'rx' a frame as received,
    // 'noise' bytes the receiver dropped.
    "CREATE TABLE traffic(t_us INTEGER NOT NULL, direction TEXT NOT NULL, bytes BLOB NOT NULL)",
    // One row per valid value answer: its code, the 16-bit raw value and the
    // value as the tabs show it in its unit (NULL for booleans).
    "CREATE TABLE readings(t_us INTEGER NOT NULL, code TEXT NOT NULL, raw INTEGER NOT NULL, "
    "value REAL, unit TEXT)",
    "CREATE TABLE events(t_us INTEGER NOT NULL, kind TEXT NOT NULL, text TEXT)",
    // Since version 2: the work order the recording belongs to (customer,
    // vehicle, VIN, odometer, technician, job number, notes).
    "CREATE TABLE job(key TEXT PRIMARY KEY, value TEXT)",
    // Since version 2: the outcome of a test run, details as JSON.
    "CREATE TABLE results(t_us INTEGER, test TEXT, verdict TEXT, summary TEXT, details TEXT)",
    // Since version 2: the technician's own marks.
    "CREATE TABLE markers(t_us INTEGER, text TEXT)",
    "CREATE INDEX traffic_by_time ON traffic(t_us)",
    "CREATE INDEX readings_by_code ON readings(code, t_us)",
    "CREATE INDEX readings_by_time ON readings(t_us)",
    "CREATE INDEX events_by_time ON events(t_us)",
};

const std::size_t Schema_Statements = sizeof Schema / sizeof Schema[0];

const char* Direction_Name(Direction direction)
{
    switch (direction) {
    case Direction::Tx:
        return "tx";
    case Direction::Rx:
        return "rx";
    case Direction::Noise:
        return "noise";
    case Direction::Other:
        break;
    }
    return "other";
}

} // namespace Recording
