#ifndef APP_RECORDING_RECORDING_SCHEMA_H
#define APP_RECORDING_RECORDING_SCHEMA_H

// The file format of a session recording: one SQLite database, a public
// format that users open with sqlite3, Python or a spreadsheet (see the
// README). Plain C++ without Qt, so that the virtual controller's replay and
// the tests read the same definition. Any change that readers could notice
// takes a new Schema_Version.
namespace Recording {

constexpr int Schema_Version = 1;

// Times are microseconds from the start of the recording on a monotonic clock.
constexpr const char* Schema[] = {
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
    "CREATE INDEX traffic_by_time ON traffic(t_us)",
    "CREATE INDEX readings_by_code ON readings(code, t_us)",
    "CREATE INDEX readings_by_time ON readings(t_us)",
    "CREATE INDEX events_by_time ON events(t_us)",
};

} // namespace Recording

#endif // APP_RECORDING_RECORDING_SCHEMA_H
