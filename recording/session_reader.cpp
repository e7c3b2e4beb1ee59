#include "session_reader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Recording {

namespace {

// No value of a damaged file is loaded bigger than this; a query that meets
// one fails instead.
constexpr int Max_Value_Bytes = 64 * 1024 * 1024;
constexpr std::size_t Max_Code_Bytes = 32;
constexpr std::size_t Piece_Bytes = 64 * 1024;

const char* const Not_Recording = "not a session recording";

struct Statement
{
    sqlite3_stmt* s = nullptr;
    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(s); }
};

struct Blob
{
    sqlite3_blob* b = nullptr;
    Blob() = default;
    Blob(const Blob&) = delete;
    Blob& operator=(const Blob&) = delete;
    ~Blob() { sqlite3_blob_close(b); }
};

// A column as text, whatever its type; NULL as empty.
std::string text(sqlite3_stmt* s, int column)
{
    const auto data = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return data ? std::string(data, std::size_t(sqlite3_column_bytes(s, column))) : std::string();
}

// A path as the file name of an SQLite URI.
std::string uri_path(const std::string& path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || std::strchr("/-._~", c))
            out += c;
        else
            out += {'%', hex[byte >> 4], hex[byte & 15]};
    }
    return out;
}

bool exists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// "2", "+2" and " 2 " are versions; "abc", "2.5" and "" are not. Versions
// too large for 64 bits are kept as written.
bool parse_version(const std::string& text, long long* version, std::string* as_written)
{
    std::size_t begin = text.find_first_not_of(" \t");
    const std::size_t end = text.find_last_not_of(" \t");
    if (begin == std::string::npos)
        return false;
    std::string digits = text.substr(begin, end - begin + 1);
    const bool negative = digits[0] == '-';
    if (digits[0] == '+' || negative)
        digits.erase(0, 1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    const long long value = std::strtoll(digits.c_str(), nullptr, 10);
    *version = errno == ERANGE ? (negative ? -1 : LLONG_MAX) : (negative ? -value : value);
    *as_written = (negative ? "-" : "") + digits;
    return true;
}

} // namespace

Reader::~Reader()
{
    close();
}

void Reader::close()
{
    if (Db)
        sqlite3_close_v2(Db);
    Db = nullptr;
    Version = 0;
}

bool Reader::fail(const std::string& why)
{
    Error = why;
    return false;
}

bool Reader::fail_sqlite()
{
    return fail(Db ? sqlite3_errmsg(Db) : "out of memory");
}

bool Reader::open(const std::string& path)
{
    close();
    Error.clear();
    // A FIFO or a device would block or never end: only regular files.
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return fail(std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        return fail(std::strerror(EISDIR));
    if (!S_ISREG(st.st_mode))
        return fail(Not_Recording);
    // Read here first for the system's reason, and for the header, which says
    // whether the file was left in WAL mode.
    unsigned char header[100] = {};
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            return fail(std::strerror(errno));
        ssize_t got = 0;
        const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
        if (regular)
            got = ::pread(fd, header, sizeof header, 0);
        const int read_errno = errno;
        ::close(fd);
        if (!regular)
            return fail(Not_Recording);
        if (got < 0)
            return fail(std::strerror(read_errno));
        if (got < ssize_t(sizeof header) || std::memcmp(header, "SQLite format 3", 16) != 0)
            return fail(Not_Recording);
    }
    const bool wal_mode = header[18] == 2 || header[19] == 2;
    // A file in WAL mode without its -wal is whole, and nobody writes it: read
    // as immutable, SQLite needs no -shm beside it, which read-only media
    // could not hold and which it would otherwise leave behind. With a -wal
    // (a recording being written, or one whose writer was killed) the rows
    // committed there count, and the reader takes part in WAL's locking.
    // A file in rollback mode is read with the usual locks, creating nothing.
    // An absolute path with an empty authority: "//host" is no authority.
    const std::string uri = (path[0] == '/' ? "file://" : "file:") + uri_path(path) +
                            (wal_mode && !exists(path + "-wal") ? "?immutable=1" : "?mode=ro");
    // One thread at a time uses a reader: no lock around every call.
    if (sqlite3_open_v2(uri.c_str(), &Db,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        fail_sqlite();
        close();
        return false;
    }
    sqlite3_limit(Db, SQLITE_LIMIT_LENGTH, Max_Value_Bytes);
    // A damaged file cannot keep a reader waiting on a lock for long.
    sqlite3_busy_timeout(Db, 2000);

    Statement version;
    if (sqlite3_prepare_v2(Db, "SELECT value FROM session WHERE key = 'schema_version'", -1,
                           &version.s, nullptr) != SQLITE_OK) {
        const int code = sqlite3_errcode(Db);
        // No session table, or no database at all.
        if (code == SQLITE_ERROR || code == SQLITE_NOTADB || code == SQLITE_CORRUPT)
            fail(Not_Recording);
        else
            fail_sqlite();
        close();
        return false;
    }
    const int rc = sqlite3_step(version.s);
    long long number = 0;
    std::string written;
    bool ok = false;
    if (rc == SQLITE_ROW) {
        const int type = sqlite3_column_type(version.s, 0);
        if (type == SQLITE_INTEGER) {
            number = sqlite3_column_int64(version.s, 0);
            written = std::to_string(number);
            ok = true;
        } else if (type == SQLITE_TEXT) {
            ok = parse_version(text(version.s, 0), &number, &written);
        }
    } else if (rc != SQLITE_DONE) {
        const int code = sqlite3_errcode(Db);
        if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT)
            fail(Not_Recording);
        else
            fail_sqlite();
        close();
        return false;
    }
    if (!ok || number < 1) {
        close();
        return fail(Not_Recording);
    }
    if (number > Schema_Version) {
        close();
        return fail("a recording of a newer format (version " + written +
                    "); this program reads up to " + std::to_string(Schema_Version));
    }
    Version = int(number);
    return true;
}

bool Reader::has_table(const char* name)
{
    Statement st;
    if (sqlite3_prepare_v2(Db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?", -1,
                           &st.s, nullptr) != SQLITE_OK)
        return false;
    sqlite3_bind_text(st.s, 1, name, -1, SQLITE_STATIC);
    return sqlite3_step(st.s) == SQLITE_ROW;
}

namespace {

std::vector<std::pair<std::string, std::string>> key_values(sqlite3* db, const char* sql)
{
    std::vector<std::pair<std::string, std::string>> rows;
    Statement st;
    if (!db || sqlite3_prepare_v2(db, sql, -1, &st.s, nullptr) != SQLITE_OK)
        return rows;
    while (sqlite3_step(st.s) == SQLITE_ROW)
        rows.emplace_back(text(st.s, 0), text(st.s, 1));
    return rows;
}

} // namespace

std::vector<std::pair<std::string, std::string>> Reader::session()
{
    return key_values(Db, "SELECT key, value FROM session ORDER BY key");
}

std::string Reader::session_value(const std::string& key)
{
    for (const auto& row : session())
        if (row.first == key)
            return row.second;
    return std::string();
}

std::vector<std::pair<std::string, std::string>> Reader::job()
{
    if (!Db || !has_table("job"))
        return {};
    return key_values(Db, "SELECT key, value FROM job ORDER BY key");
}

std::vector<std::string> Reader::codes()
{
    std::set<std::string> found;
    Statement st;
    if (!Db || sqlite3_prepare_v2(Db, "SELECT DISTINCT code FROM readings", -1, &st.s, nullptr) !=
                   SQLITE_OK) {
        fail_sqlite();
        return {};
    }
    int rc;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
        const int type = sqlite3_column_type(st.s, 0);
        // The same letters as text and as a blob are one code.
        if ((type == SQLITE_TEXT || type == SQLITE_BLOB) &&
            std::size_t(sqlite3_column_bytes(st.s, 0)) <= Max_Code_Bytes)
            found.insert(text(st.s, 0));
    }
    if (rc != SQLITE_DONE)
        fail_sqlite();
    return std::vector<std::string>(found.begin(), found.end());
}

namespace {

// False when the row is no reading.
bool to_reading(sqlite3_stmt* s, Reading* r)
{
    const int code_type = sqlite3_column_type(s, 1);
    if (code_type != SQLITE_TEXT && code_type != SQLITE_BLOB)
        return false;
    const auto code = reinterpret_cast<const char*>(sqlite3_column_text(s, 1));
    const auto code_bytes = std::size_t(sqlite3_column_bytes(s, 1));
    if (!code || code_bytes > Max_Code_Bytes)
        return false;
    r->t_us = sqlite3_column_int64(s, 0);
    r->code = std::string_view(code, code_bytes);
    r->raw = sqlite3_column_int64(s, 2);
    const int value_type = sqlite3_column_type(s, 3);
    r->value = sqlite3_column_double(s, 3);
    r->has_value =
        (value_type == SQLITE_INTEGER || value_type == SQLITE_FLOAT) && std::isfinite(r->value);
    if (!r->has_value)
        r->value = 0;
    r->unit = std::string_view();
    if (sqlite3_column_type(s, 4) == SQLITE_TEXT) {
        const auto unit = reinterpret_cast<const char*>(sqlite3_column_text(s, 4));
        r->unit = std::string_view(unit, std::size_t(sqlite3_column_bytes(s, 4)));
    }
    return true;
}

} // namespace

bool Reader::readings(Order order, const std::function<bool(const Reading&)>& visit)
{
    static const char* const sql[] = {
        "SELECT t_us, code, raw, value, unit FROM readings ORDER BY t_us, rowid",
        "SELECT t_us, code, raw, value, unit FROM readings ORDER BY rowid",
        "SELECT t_us, code, raw, value, unit FROM readings ORDER BY code, t_us, rowid",
    };
    Statement st;
    if (!Db || sqlite3_prepare_v2(Db, sql[int(order)], -1, &st.s, nullptr) != SQLITE_OK)
        return fail_sqlite();
    Reading r;
    int rc;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW)
        if (to_reading(st.s, &r) && !visit(r))
            return true;
    return rc == SQLITE_DONE || fail_sqlite();
}

bool Reader::readings_of(const std::string& code, const std::function<bool(const Reading&)>& visit)
{
    Statement st;
    if (!Db || sqlite3_prepare_v2(Db,
                                  "SELECT t_us, code, raw, value, unit FROM readings WHERE code = "
                                  "? AND value IS NOT NULL ORDER BY t_us, rowid",
                                  -1, &st.s, nullptr) != SQLITE_OK)
        return fail_sqlite();
    sqlite3_bind_text(st.s, 1, code.data(), int(code.size()), SQLITE_STATIC);
    Reading r;
    int rc;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW)
        if (to_reading(st.s, &r) && r.has_value && !visit(r))
            return true;
    return rc == SQLITE_DONE || fail_sqlite();
}

namespace {

// The columns every traffic query selects: a blob small enough comes whole
// with its row; a longer one, or text, is read in part through a blob handle,
// so that its whole is never loaded.
const char* const Traffic_Columns =
    "SELECT rowid, t_us, direction, typeof(bytes), "
    "CASE WHEN typeof(bytes) = 'blob' AND length(bytes) <= 4096 THEN bytes END FROM traffic ";

// A row's key from its time and rowid columns.
Traffic_Key key_of(sqlite3_stmt* s, int time_column, int row_column)
{
    Traffic_Key key;
    key.is_real = sqlite3_column_type(s, time_column) == SQLITE_FLOAT;
    key.t_real = sqlite3_column_double(s, time_column);
    key.t_us = sqlite3_column_int64(s, time_column);
    key.row = sqlite3_column_int64(s, row_column);
    return key;
}

Direction direction_of(sqlite3_stmt* s, int column)
{
    const auto name = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    if (!name)
        return Direction::Other;
    for (const Direction d : {Direction::Tx, Direction::Rx, Direction::Noise})
        if (std::strcmp(name, Direction_Name(d)) == 0)
            return d;
    return Direction::Other;
}

} // namespace

bool Reader::traffic_query(const std::string& sql, const std::function<bool(const Traffic&)>& visit)
{
    return traffic_query(sql, [&](const Traffic_Key&, const Traffic& t) { return visit(t); });
}

bool Reader::traffic_query(const std::string& sql,
                           const std::function<bool(const Traffic_Key&, const Traffic&)>& visit)
{
    static_assert(Max_Row_Bytes == 4096, "the traffic query cuts at 4096 bytes");
    Statement st;
    if (!Db || sqlite3_prepare_v2(Db, sql.c_str(), -1, &st.s, nullptr) != SQLITE_OK)
        return fail_sqlite();
    Traffic t;
    Traffic_Key key;
    int rc;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
        key = key_of(st.s, 1, 0);
        t.row = key.row;
        t.t_us = key.t_us;
        t.direction = direction_of(st.s, 2);
        const auto type = reinterpret_cast<const char*>(sqlite3_column_text(st.s, 3));
        t.bytes.clear();
        t.length = 0;
        if (sqlite3_column_type(st.s, 4) == SQLITE_BLOB) {
            t.length = sqlite3_column_bytes(st.s, 4);
            t.bytes.assign(static_cast<const char*>(sqlite3_column_blob(st.s, 4)),
                           std::size_t(t.length));
        } else if (type && (std::strcmp(type, "blob") == 0 || std::strcmp(type, "text") == 0)) {
            Blob blob;
            if (sqlite3_blob_open(Db, "main", "traffic", "bytes", t.row, 0, &blob.b) != SQLITE_OK)
                return fail_sqlite();
            t.length = sqlite3_blob_bytes(blob.b);
            t.bytes.resize(std::min<std::size_t>(std::size_t(t.length), Max_Row_Bytes));
            if (!t.bytes.empty() &&
                sqlite3_blob_read(blob.b, &t.bytes[0], int(t.bytes.size()), 0) != SQLITE_OK)
                return fail_sqlite();
        } else if (type && std::strcmp(type, "null") != 0) {
            // A number where bytes belong: its text.
            Statement value;
            if (sqlite3_prepare_v2(Db, "SELECT bytes FROM traffic WHERE rowid = ?", -1, &value.s,
                                   nullptr) != SQLITE_OK)
                return fail_sqlite();
            sqlite3_bind_int64(value.s, 1, t.row);
            if (sqlite3_step(value.s) == SQLITE_ROW)
                t.bytes = text(value.s, 0);
            t.length = std::int64_t(t.bytes.size());
        }
        if (!visit(key, t))
            return true;
    }
    return rc == SQLITE_DONE || fail_sqlite();
}

bool Reader::traffic(const std::function<bool(const Traffic&)>& visit)
{
    return traffic_query(std::string(Traffic_Columns) + "ORDER BY t_us, rowid", visit);
}

bool Reader::last_traffic(std::size_t count, const std::function<bool(const Traffic&)>& visit)
{
    return traffic_query(std::string(Traffic_Columns) +
                             "WHERE rowid IN (SELECT rowid FROM traffic ORDER BY t_us DESC, rowid "
                             "DESC LIMIT " +
                             std::to_string(count) + ") ORDER BY t_us, rowid",
                         visit);
}

namespace {

// Rows of a number for a time, in time order; a time of text or a blob sorts
// after every number and is left out by the range, as is one past 64 bits.
const char* const Numeric_Time = "WHERE t_us <= 9223372036854775807 ";

std::string key_literal(const Traffic_Key& key)
{
    char t[40];
    if (key.is_real && std::isinf(key.t_real))
        std::snprintf(t, sizeof t, "%s9e999", key.t_real < 0 ? "-" : "");
    else if (key.is_real)
        std::snprintf(t, sizeof t, "%.17g", key.t_real);
    else
        std::snprintf(t, sizeof t, "%lld", static_cast<long long>(key.t_us));
    return "(" + std::string(t) + ", " + std::to_string(key.row) + ")";
}

// Rows of a number for a time after AFTER, or all of them when null.
std::string rows_after(const Traffic_Key* after)
{
    return std::string(Numeric_Time) +
           (after ? "AND (t_us, rowid) > " + key_literal(*after) + " " : std::string());
}

} // namespace

bool Reader::traffic_keys(const Traffic_Key* after, std::size_t limit,
                          const std::function<bool(const Traffic_Key&)>& visit)
{
    const std::string sql = "SELECT t_us, rowid FROM traffic " + rows_after(after) +
                            "ORDER BY t_us, rowid LIMIT " + std::to_string(limit);
    Statement st;
    if (!Db || sqlite3_prepare_v2(Db, sql.c_str(), -1, &st.s, nullptr) != SQLITE_OK)
        return fail_sqlite();
    int rc;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW)
        if (!visit(key_of(st.s, 0, 1)))
            return true;
    return rc == SQLITE_DONE || fail_sqlite();
}

bool Reader::traffic_from(const Traffic_Key& from, std::size_t count,
                          const std::function<bool(const Traffic&)>& visit)
{
    return traffic_query(std::string(Traffic_Columns) + Numeric_Time +
                             "AND (t_us, rowid) >= " + key_literal(from) +
                             " ORDER BY t_us, rowid LIMIT " + std::to_string(count),
                         visit);
}

bool Reader::traffic_after(const Traffic_Key* after, std::size_t limit,
                           const std::function<bool(const Traffic_Key&, const Traffic&)>& visit)
{
    return traffic_query(std::string(Traffic_Columns) + rows_after(after) +
                             "ORDER BY t_us, rowid LIMIT " + std::to_string(limit),
                         visit);
}

bool Reader::traffic_rows(const std::vector<std::int64_t>& rows,
                          const std::function<bool(const Traffic&)>& visit)
{
    if (rows.empty())
        return true;
    std::string list;
    for (const std::int64_t row : rows)
        list += (list.empty() ? "" : ",") + std::to_string(row);
    return traffic_query(
        std::string(Traffic_Columns) + "WHERE rowid IN (" + list + ") ORDER BY t_us, rowid", visit);
}

bool Reader::whole_bytes(std::int64_t row,
                         const std::function<bool(const char*, std::size_t)>& piece)
{
    if (!Db)
        return fail("the recording is closed");
    Blob blob;
    if (sqlite3_blob_open(Db, "main", "traffic", "bytes", row, 0, &blob.b) != SQLITE_OK) {
        // NULL or a number: what the traffic query made of it.
        bool found = false;
        traffic_query(std::string(Traffic_Columns) + "WHERE rowid = " + std::to_string(row),
                      [&](const Traffic& t) {
                          found = true;
                          piece(t.bytes.data(), t.bytes.size());
                          return false;
                      });
        return found || fail("no such traffic row");
    }
    const int size = sqlite3_blob_bytes(blob.b);
    std::string buffer(std::min<std::size_t>(std::size_t(size), Piece_Bytes), '\0');
    for (int at = 0; at < size;) {
        const int n = std::min(size - at, int(buffer.size()));
        if (sqlite3_blob_read(blob.b, &buffer[0], n, at) != SQLITE_OK)
            return fail_sqlite();
        if (!piece(buffer.data(), std::size_t(n)))
            return true;
        at += n;
    }
    return true;
}

bool Reader::events(const std::function<bool(const Event&)>& visit)
{
    Statement st;
    if (!Db || sqlite3_prepare_v2(Db, "SELECT t_us, kind, text FROM events ORDER BY t_us, rowid",
                                  -1, &st.s, nullptr) != SQLITE_OK)
        return fail_sqlite();
    Event e;
    int rc;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
        e.t_us = sqlite3_column_int64(st.s, 0);
        e.kind = text(st.s, 1);
        e.text = text(st.s, 2);
        if (!visit(e))
            return true;
    }
    return rc == SQLITE_DONE || fail_sqlite();
}

bool Reader::results(const std::function<bool(const Result&)>& visit)
{
    if (!Db || !has_table("results"))
        return Db || fail("the recording is closed");
    Statement st;
    if (sqlite3_prepare_v2(Db,
                           "SELECT t_us, test, verdict, summary, details FROM results ORDER BY "
                           "t_us, rowid",
                           -1, &st.s, nullptr) != SQLITE_OK)
        return fail_sqlite();
    Result r;
    int rc;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
        r.t_us = sqlite3_column_int64(st.s, 0);
        r.test = text(st.s, 1);
        r.verdict = text(st.s, 2);
        r.summary = text(st.s, 3);
        r.details = text(st.s, 4);
        if (!visit(r))
            return true;
    }
    return rc == SQLITE_DONE || fail_sqlite();
}

bool Reader::markers(const std::function<bool(const Marker&)>& visit)
{
    if (!Db || !has_table("markers"))
        return Db || fail("the recording is closed");
    Statement st;
    if (sqlite3_prepare_v2(Db, "SELECT t_us, text FROM markers ORDER BY t_us, rowid", -1, &st.s,
                           nullptr) != SQLITE_OK)
        return fail_sqlite();
    Marker m;
    int rc;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
        m.t_us = sqlite3_column_int64(st.s, 0);
        m.text = text(st.s, 1);
        if (!visit(m))
            return true;
    }
    return rc == SQLITE_DONE || fail_sqlite();
}

} // namespace Recording
