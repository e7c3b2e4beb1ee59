#ifndef RECORDING_SESSION_WRITER_H
#define RECORDING_SESSION_WRITER_H

#include "session_schema.h"

#include <cstdint>
#include <optional>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace Recording {

// Writes one new recording. Rows are added between begin() and commit(), one
// transaction per batch; the file is in WAL mode while it is written, so a
// writer that is killed leaves what it committed, readable. close() switches
// it back to the rollback journal, so that one self-contained file remains.
// Every failure leaves a one-line reason in error(); a failed statement
// inside a batch makes commit() fail as well.
class Writer
{
public:
    Writer() = default;
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Creates PATH with the schema and the session's schema_version; refuses
    // a PATH that exists. On failure nothing is left behind.
    bool create(const std::string& path);
    bool is_open() const { return Db != nullptr; }

    bool begin();
    bool commit();
    // Drops the batch under way, if any.
    void rollback();

    bool set_session(const std::string& key, const std::string& value);
    bool set_job(const std::string& key, const std::string& value);
    bool add_traffic(std::int64_t t_us, Direction direction, const void* bytes, std::size_t size);
    bool add_reading(std::int64_t t_us, const std::string& code, std::int64_t raw,
                     std::optional<double> value, const char* unit);
    // A null text is stored as NULL.
    bool add_event(std::int64_t t_us, const std::string& kind, const char* text);
    bool add_result(std::int64_t t_us, const std::string& test, const std::string& verdict,
                    const std::string& summary, const std::string& details_json);
    bool add_marker(std::int64_t t_us, const std::string& text);

    // Ends the recording: one self-contained file. False (with error()) when
    // the switch back from WAL failed; the file is closed all the same.
    bool close();
    // Closes without the switch, as after a failed write.
    void abandon();

    const std::string& error() const { return Error; }

private:
    enum Statement_Index
    {
        Insert_Traffic,
        Insert_Reading,
        Insert_Event,
        Insert_Session,
        Insert_Job,
        Insert_Result,
        Insert_Marker,
        Statement_Count
    };
    bool exec(const char* sql);
    bool step(Statement_Index index);
    bool fail();
    void finalize();

    sqlite3* Db = nullptr;
    sqlite3_stmt* Statements[Statement_Count] = {};
    std::string Error;
};

} // namespace Recording

#endif // RECORDING_SESSION_WRITER_H
