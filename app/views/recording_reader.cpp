#include "recording_reader.h"

#include "recording/recording_schema.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <memory>

namespace Views {

namespace {

// The plain C interface: an hour of readings is millions of rows, read here
// in about a second.
struct Statement
{
    sqlite3_stmt* s = nullptr;
    ~Statement() { sqlite3_finalize(s); }
};

bool prepare(sqlite3* db, const char* sql, Statement* st, QString* error)
{
    if (sqlite3_prepare_v2(db, sql, -1, &st->s, nullptr) == SQLITE_OK)
        return true;
    *error = QString::fromUtf8(sqlite3_errmsg(db));
    return false;
}

// Every reading in the order written, which is time order: one pass over
// the table is several times faster than one index look-up per row.
bool read_readings(sqlite3* db, Chart_Data* charts, QString* error)
{
    Statement st;
    if (!prepare(db, "SELECT t_us, code, value FROM readings ORDER BY rowid", &st, error))
        return false;
    int rc;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
        const int channel = Channel_Of(reinterpret_cast<const char*>(sqlite3_column_text(st.s, 1)));
        if (channel >= 0)
            charts->Add(double(sqlite3_column_int64(st.s, 0)) / 1e6, channel,
                        sqlite3_column_double(st.s, 2));
    }
    charts->Sort();
    if (rc == SQLITE_DONE)
        return true;
    *error = QString::fromUtf8(sqlite3_errmsg(db));
    return false;
}

bool read_traffic(sqlite3* db, QVector<Traffic_Row>* rows, QString* error)
{
    Statement st;
    // The newest rows, turned back into time order.
    const QByteArray sql = "SELECT t_us, direction, bytes FROM (SELECT rowid, * FROM traffic "
                           "ORDER BY t_us DESC, rowid DESC LIMIT " +
                           QByteArray::number(Traffic_Model::Max_Rows) + ") ORDER BY t_us, rowid";
    if (!prepare(db, sql.constData(), &st, error))
        return false;
    int rc;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
        const auto direction = reinterpret_cast<const char*>(sqlite3_column_text(st.s, 1));
        Traffic_Row row;
        row.t_s = double(sqlite3_column_int64(st.s, 0)) / 1e6;
        row.direction = qstrcmp(direction, "tx") == 0   ? Direction::Request
                        : qstrcmp(direction, "rx") == 0 ? Direction::Answer
                                                        : Direction::Noise;
        row.bytes = QByteArray(static_cast<const char*>(sqlite3_column_blob(st.s, 2)),
                               sqlite3_column_bytes(st.s, 2));
        rows->append(row);
    }
    if (rc == SQLITE_DONE)
        return true;
    *error = QString::fromUtf8(sqlite3_errmsg(db));
    return false;
}

} // namespace

bool Read_Recording(const QString& file, Recording_Views* out, QString* error)
{
    *out = Recording_Views();
    QString why;
    if (!QFileInfo(file).isFile()) {
        *error = QStringLiteral("Cannot open %1: no such file.").arg(file);
        return false;
    }
    sqlite3* raw = nullptr;
    const int rc =
        sqlite3_open_v2(QFile::encodeName(file).constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    bool ok = rc == SQLITE_OK;
    if (!ok)
        why = QString::fromUtf8(raw ? sqlite3_errmsg(raw) : "out of memory");
    Statement version;
    ok = ok &&
         prepare(raw, "SELECT value FROM session WHERE key = 'schema_version'", &version, &why);
    if (ok) {
        const bool found = sqlite3_step(version.s) == SQLITE_ROW;
        const int v = found ? sqlite3_column_int(version.s, 0) : 0;
        if (!found || v < 1 || v > Recording::Schema_Version) {
            why = found ? QStringLiteral("a recording of a newer format")
                        : QStringLiteral("no recording");
            ok = false;
        }
    } else if (why.contains(QLatin1String("no such table")) ||
               why.contains(QLatin1String("not a database"))) {
        why = QStringLiteral("no recording");
    }
    ok = ok && read_readings(raw, &out->charts, &why);
    ok = ok && read_traffic(raw, &out->traffic, &why);
    if (ok)
        return true;
    *out = Recording_Views();
    *error = QStringLiteral("Cannot open %1: %2.").arg(file, why);
    return false;
}

} // namespace Views
