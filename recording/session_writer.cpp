#include "session_writer.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Recording {

Writer::~Writer()
{
    if (Db)
        close();
}

bool Writer::create(const std::string& path)
{
    abandon();
    Error.clear();
    // Made here rather than by SQLite, which would name a folder that cannot
    // be written only at the first statement, less clearly, and would open an
    // existing file.
    // What SQLite keeps beside a database, left from an earlier file of this
    // name, would be taken for the new file's own: an old recording's pages
    // played into the new one, or an I/O error.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        struct stat left;
        if (::lstat((path + suffix).c_str(), &left) == 0) {
            Error = path + suffix + " is left from an earlier file of this name";
            return false;
        }
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        Error = std::strerror(errno);
        return false;
    }
    ::close(fd);
    const auto give_up = [&] {
        if (Error.empty())
            Error = "cannot write the file";
        abandon();
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            ::unlink((path + suffix).c_str());
        return false;
    };
    if (sqlite3_open_v2(path.c_str(), &Db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        Error = Db ? sqlite3_errmsg(Db) : "out of memory";
        return give_up();
    }
    bool ok = exec("PRAGMA journal_mode=WAL") && exec("PRAGMA synchronous=NORMAL") && exec("BEGIN");
    for (std::size_t i = 0; ok && i < Schema_Statements; ++i)
        ok = exec(Schema[i]);
    static const char* const sql[Statement_Count] = {
        "INSERT INTO traffic VALUES (?, ?, ?)",     "INSERT INTO readings VALUES (?, ?, ?, ?, ?)",
        "INSERT INTO events VALUES (?, ?, ?)",      "INSERT OR REPLACE INTO session VALUES (?, ?)",
        "INSERT OR REPLACE INTO job VALUES (?, ?)", "INSERT INTO results VALUES (?, ?, ?, ?, ?)",
        "INSERT INTO markers VALUES (?, ?)",
    };
    for (int i = 0; ok && i < Statement_Count; ++i)
        ok = sqlite3_prepare_v3(Db, sql[i], -1, SQLITE_PREPARE_PERSISTENT, &Statements[i],
                                nullptr) == SQLITE_OK ||
             fail();
    ok = ok && set_session("schema_version", std::to_string(Schema_Version)) && commit();
    return ok || give_up();
}

bool Writer::exec(const char* sql)
{
    return sqlite3_exec(Db, sql, nullptr, nullptr, nullptr) == SQLITE_OK || fail();
}

bool Writer::fail()
{
    if (Error.empty())
        Error = Db ? sqlite3_errmsg(Db) : "the recording is closed";
    return false;
}

bool Writer::step(Statement_Index index)
{
    sqlite3_stmt* s = Statements[index];
    const int rc = sqlite3_step(s);
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
    return rc == SQLITE_DONE || fail();
}

bool Writer::begin()
{
    if (!Db)
        return fail();
    Error.clear();
    return exec("BEGIN");
}

bool Writer::commit()
{
    // A row that failed inside the batch fails the batch.
    if (!Db || !Error.empty()) {
        fail();
        rollback();
        return false;
    }
    return exec("COMMIT");
}

void Writer::rollback()
{
    if (Db && !sqlite3_get_autocommit(Db))
        sqlite3_exec(Db, "ROLLBACK", nullptr, nullptr, nullptr);
}

namespace {

void bind_text(sqlite3_stmt* s, int column, const std::string& text)
{
    sqlite3_bind_text(s, column, text.data(), int(text.size()), SQLITE_STATIC);
}

} // namespace

bool Writer::set_session(const std::string& key, const std::string& value)
{
    if (!Db)
        return fail();
    sqlite3_stmt* s = Statements[Insert_Session];
    bind_text(s, 1, key);
    bind_text(s, 2, value);
    return step(Insert_Session);
}

bool Writer::set_job(const std::string& key, const std::string& value)
{
    if (!Db)
        return fail();
    sqlite3_stmt* s = Statements[Insert_Job];
    bind_text(s, 1, key);
    bind_text(s, 2, value);
    return step(Insert_Job);
}

bool Writer::add_traffic(std::int64_t t_us, Direction direction, const void* bytes,
                         std::size_t size)
{
    if (!Db)
        return fail();
    sqlite3_stmt* s = Statements[Insert_Traffic];
    sqlite3_bind_int64(s, 1, t_us);
    sqlite3_bind_text(s, 2, Direction_Name(direction), -1, SQLITE_STATIC);
    // A zero-length blob still needs a pointer: NULL would store NULL.
    sqlite3_bind_blob64(s, 3, size ? bytes : "", size, SQLITE_STATIC);
    return step(Insert_Traffic);
}

bool Writer::add_reading(std::int64_t t_us, const std::string& code, std::int64_t raw,
                         std::optional<double> value, const char* unit)
{
    if (!Db)
        return fail();
    sqlite3_stmt* s = Statements[Insert_Reading];
    sqlite3_bind_int64(s, 1, t_us);
    bind_text(s, 2, code);
    sqlite3_bind_int64(s, 3, raw);
    if (value)
        sqlite3_bind_double(s, 4, *value);
    if (unit)
        sqlite3_bind_text(s, 5, unit, -1, SQLITE_STATIC);
    return step(Insert_Reading);
}

bool Writer::add_event(std::int64_t t_us, const std::string& kind, const char* text)
{
    if (!Db)
        return fail();
    sqlite3_stmt* s = Statements[Insert_Event];
    sqlite3_bind_int64(s, 1, t_us);
    bind_text(s, 2, kind);
    if (text)
        sqlite3_bind_text(s, 3, text, -1, SQLITE_STATIC);
    return step(Insert_Event);
}

bool Writer::add_result(std::int64_t t_us, const std::string& test, const std::string& verdict,
                        const std::string& summary, const std::string& details_json)
{
    if (!Db)
        return fail();
    sqlite3_stmt* s = Statements[Insert_Result];
    sqlite3_bind_int64(s, 1, t_us);
    bind_text(s, 2, test);
    bind_text(s, 3, verdict);
    bind_text(s, 4, summary);
    bind_text(s, 5, details_json);
    return step(Insert_Result);
}

bool Writer::add_marker(std::int64_t t_us, const std::string& text)
{
    if (!Db)
        return fail();
    sqlite3_stmt* s = Statements[Insert_Marker];
    sqlite3_bind_int64(s, 1, t_us);
    bind_text(s, 2, text);
    return step(Insert_Marker);
}

void Writer::finalize()
{
    for (sqlite3_stmt*& s : Statements) {
        sqlite3_finalize(s);
        s = nullptr;
    }
}

bool Writer::close()
{
    if (!Db)
        return false;
    rollback();
    finalize();
    Error.clear();
    // Back to the rollback journal: the WAL is written into the file and
    // removed, and a reader needs nothing beside it, also on read-only media.
    // Fails while another connection has the file open; it then stays in WAL
    // mode, still whole once the last connection has closed.
    std::string mode;
    const auto result = [](void* out, int, char** values, char**) {
        *static_cast<std::string*>(out) = values[0] ? values[0] : "";
        return 0;
    };
    bool ok = sqlite3_exec(Db, "PRAGMA journal_mode=DELETE", result, &mode, nullptr) == SQLITE_OK;
    if (!ok)
        fail();
    else if (mode != "delete")
        Error = "the file stays in WAL mode (journal mode " + mode + ")";
    ok = ok && mode == "delete";
    sqlite3_close(Db);
    Db = nullptr;
    return ok;
}

void Writer::abandon()
{
    if (!Db)
        return;
    rollback();
    finalize();
    sqlite3_close(Db);
    Db = nullptr;
}

} // namespace Recording
