#include "replay.h"

#include "recording_schema.h"

#include <algorithm>
#include <sqlite3.h>

namespace Sim {

namespace {

// Owns the open database and the statement being stepped.
struct Database
{
    ~Database()
    {
        sqlite3_finalize(statement);
        sqlite3_close(db);
    }
    bool prepare(const char* sql)
    {
        sqlite3_finalize(statement);
        statement = nullptr;
        return sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK;
    }
    std::string message() const { return db ? sqlite3_errmsg(db) : "out of memory"; }

    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
};

// Answers that stay live: texts carry no raw value, and a reset challenge
// must be the one the controller checks the reset code against.
bool is_replayable(const std::string& code)
{
    static const char* const live[] = {"PRT", "REV", "ALG", "ALO", "ALR"};
    return std::none_of(std::begin(live), std::end(live), [&](const char* c) { return code == c; });
}

} // namespace

std::shared_ptr<const Replay> Replay::load(const std::string& path, std::string* error)
{
    const auto fail = [&](const std::string& why) {
        if (error)
            *error = path + ": " + why;
        return nullptr;
    };
    Database d;
    if (sqlite3_open_v2(path.c_str(), &d.db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return fail("cannot open the recording (" + d.message() + ")");
    if (!d.prepare("SELECT value FROM session WHERE key = 'schema_version'"))
        return fail("not a session recording (" + d.message() + ")");
    const int step = sqlite3_step(d.statement);
    if (step == SQLITE_ERROR || step == SQLITE_CORRUPT || step == SQLITE_NOTADB)
        return fail("not a session recording (" + d.message() + ")");
    if (step != SQLITE_ROW)
        return fail("not a session recording (it has no schema version)");
    const int version = sqlite3_column_int(d.statement, 0);
    if (version != Recording::Schema_Version)
        return fail("recording format " + std::to_string(version) + ", this program reads format " +
                    std::to_string(Recording::Schema_Version));

    // Equal times keep the order they were written in: the later one counts.
    if (!d.prepare("SELECT code, t_us, raw FROM readings ORDER BY code, t_us, rowid"))
        return fail("not a session recording (" + d.message() + ")");
    auto replay = std::make_shared<Replay>();
    int row;
    while ((row = sqlite3_step(d.statement)) == SQLITE_ROW) {
        const auto* code = reinterpret_cast<const char*>(sqlite3_column_text(d.statement, 0));
        const sqlite3_int64 raw = sqlite3_column_int64(d.statement, 2);
        // A value no answer can carry is a damaged row, not a reading.
        if (!code || raw < 0 || raw > 65535 || !is_replayable(code))
            continue;
        replay->readings_[code].push_back(
            {sqlite3_column_int64(d.statement, 1), static_cast<unsigned>(raw)});
    }
    if (row != SQLITE_DONE)
        return fail("cannot read the readings (" + d.message() + ")");
    return replay;
}

std::optional<unsigned> Replay::raw_at(const std::string& code,
                                       std::chrono::microseconds offset) const
{
    const auto found = readings_.find(code);
    if (found == readings_.end())
        return std::nullopt;
    const std::vector<Reading>& readings = found->second;
    auto after = std::upper_bound(readings.begin(), readings.end(), offset.count(),
                                  [](std::int64_t t, const Reading& r) { return t < r.t_us; });
    return (after == readings.begin() ? after : after - 1)->raw;
}

} // namespace Sim
