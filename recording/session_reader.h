#ifndef RECORDING_SESSION_READER_H
#define RECORDING_SESSION_READER_H

#include "session_schema.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct sqlite3;

namespace Recording {

// Code and unit stay valid until the visitor returns; the code is followed
// by a NUL. Millions of readings are visited in about a second.
struct Reading
{
    std::int64_t t_us = 0;
    std::string_view code;
    std::int64_t raw = 0;
    // The value in its unit; false for a switch, and for a value that is not
    // a finite number.
    bool has_value = false;
    double value = 0;
    std::string_view unit;
};

struct Traffic
{
    std::int64_t t_us = 0;
    Direction direction = Direction::Other;
    // At most Max_Row_Bytes of the row; length is the row's whole size.
    std::string bytes;
    std::int64_t length = 0;
    // For Reader::whole_bytes.
    std::int64_t row = 0;
    bool is_cut() const { return length > std::int64_t(bytes.size()); }
};

// Where a traffic row stands in time order: its time as stored (a damaged
// file's real number kept as such) and its rowid.
struct Traffic_Key
{
    std::int64_t t_us = 0;
    bool is_real = false;
    double t_real = 0;
    std::int64_t row = 0;
};

struct Event
{
    std::int64_t t_us = 0;
    std::string kind;
    std::string text;
};

struct Result
{
    std::int64_t t_us = 0;
    std::string test, verdict, summary, details;
};

struct Marker
{
    std::int64_t t_us = 0;
    std::string text;
};

// The one way a recording is read. open() refuses at once anything that is
// not a regular file (a FIFO never blocks it), opens the file read-only and
// creates nothing beside it, so that a recording on read-only media or in a
// folder the user cannot write reads like any other. Versions 1 up to
// Schema_Version are read; the tables a version lacks read as empty.
//
// Whatever the file holds, the reader neither crashes nor hangs: values of
// the wrong type are converted or the row skipped, and a traffic row never
// comes out longer than Max_Row_Bytes. Each visitor returns false to stop
// early; each query returns false with error() set when the file failed.
// A reader is used by one thread at a time.
class Reader
{
public:
    Reader() = default;
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // On failure error() is one reason for the user: "not a session
    // recording", "a recording of a newer format (version N); this program
    // reads up to M", or the system's ("Permission denied").
    bool open(const std::string& path);
    void close();
    bool is_open() const { return Db != nullptr; }
    int version() const { return Version; }
    const std::string& error() const { return Error; }

    // The session's and the job's rows, by key.
    std::vector<std::pair<std::string, std::string>> session();
    std::string session_value(const std::string& key);
    std::vector<std::pair<std::string, std::string>> job();

    // The codes read, each once, in byte order.
    std::vector<std::string> codes();

    enum class Order
    {
        Time,    // by time, rows of one time as written
        Written, // as written: time order for every file this program writes, and the fastest
        By_Code  // by code, then time
    };
    // Codes longer than 32 bytes are no command codes: such rows are skipped.
    bool readings(Order order, const std::function<bool(const Reading&)>& visit);
    // The readings of one code with a value, in time order.
    bool readings_of(const std::string& code, const std::function<bool(const Reading&)>& visit);

    bool traffic(const std::function<bool(const Traffic&)>& visit);
    // The newest COUNT rows, in time order.
    bool last_traffic(std::size_t count, const std::function<bool(const Traffic&)>& visit);
    // Traffic in time order, a slice at a time, for views that read on
    // demand: the keys of the rows after AFTER (from the first when null),
    // at most LIMIT; and at most COUNT rows from the row of key FROM on. Rows
    // whose time is no number, or a number past 64 bits, are left out of both.
    bool traffic_keys(const Traffic_Key* after, std::size_t limit,
                      const std::function<bool(const Traffic_Key&)>& visit);
    bool traffic_from(const Traffic_Key& from, std::size_t count,
                      const std::function<bool(const Traffic&)>& visit);
    // At most LIMIT rows after AFTER (from the first when null), each with
    // its key, for views that choose the rows they show as they go; and the
    // rows of the given rowids, in time order.
    bool traffic_after(const Traffic_Key* after, std::size_t limit,
                       const std::function<bool(const Traffic_Key&, const Traffic&)>& visit);
    bool traffic_rows(const std::vector<std::int64_t>& rows,
                      const std::function<bool(const Traffic&)>& visit);
    // A row whole, in pieces of at most 64 KiB.
    bool whole_bytes(std::int64_t row, const std::function<bool(const char*, std::size_t)>& piece);

    bool events(const std::function<bool(const Event&)>& visit);
    bool results(const std::function<bool(const Result&)>& visit);
    bool markers(const std::function<bool(const Marker&)>& visit);

private:
    bool fail(const std::string& why);
    bool fail_sqlite();
    bool has_table(const char* name);
    bool traffic_query(const std::string& sql, const std::function<bool(const Traffic&)>& visit);
    bool traffic_query(const std::string& sql,
                       const std::function<bool(const Traffic_Key&, const Traffic&)>& visit);

    sqlite3* Db = nullptr;
    int Version = 0;
    std::string Error;
};

} // namespace Recording

#endif // RECORDING_SESSION_READER_H
