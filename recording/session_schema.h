#ifndef RECORDING_SESSION_SCHEMA_H
#define RECORDING_SESSION_SCHEMA_H

// The file format of a session recording: one SQLite database, a public
// format that users open with sqlite3, Python or a spreadsheet (the README
// lists its tables and their history). Any change that readers could notice
// takes a new Schema_Version; every older version stays readable.

#include <cstddef>
#include <cstdint>

namespace Recording {

// 1: session, traffic, readings, events.
// 2: job, results and markers added.
constexpr int Schema_Version = 2;

// The statements that make an empty recording of Schema_Version, in order.
extern const char* const Schema[];
extern const std::size_t Schema_Statements;

// A traffic row longer than this comes out of the reader cut to it, with its
// full length: a damaged or hostile file cannot make a view hold gigabytes.
constexpr std::size_t Max_Row_Bytes = 4096;

enum class Direction
{
    Tx,    // "tx": a request as written
    Rx,    // "rx": a frame as received
    Noise, // "noise": bytes the receiver dropped
    Other  // anything else a damaged file holds
};

const char* Direction_Name(Direction direction);

} // namespace Recording

#endif // RECORDING_SESSION_SCHEMA_H
