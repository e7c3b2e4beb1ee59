#ifndef TESTS_SUPPORT_SQL_FILE_H
#define TESTS_SUPPORT_SQL_FILE_H

// An SQLite file as a user's script or a foreign program sees it, through
// SQLite's C API: to make recordings of any shape and to look into them.

#include <QFile>
#include <QString>
#include <QVariant>

#include <sqlite3.h>

class Sql_File
{
public:
    explicit Sql_File(const QString& file, bool read_only = false)
    {
        sqlite3_open_v2(
            QFile::encodeName(file).constData(), &db,
            read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    }
    ~Sql_File() { sqlite3_close(db); }
    Sql_File(const Sql_File&) = delete;
    Sql_File& operator=(const Sql_File&) = delete;

    // One statement with its values bound in order; false with error() set
    // when it failed.
    bool run(const QString& sql, const QVariantList& values = {})
    {
        QVariantList ignored;
        return query(sql, values, &ignored);
    }
    // Statements separated by ';', without values.
    bool exec(const QString& sql)
    {
        char* message = nullptr;
        const bool ok =
            sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK;
        Error = message ? QString::fromUtf8(message) : QString();
        sqlite3_free(message);
        return ok;
    }
    // The first column of every row.
    QVariantList column(const QString& sql, const QVariantList& values = {})
    {
        QVariantList rows;
        query(sql, values, &rows);
        return rows;
    }
    QVariant value(const QString& sql) { return column(sql).value(0); }
    QString error() const { return Error; }

private:
    bool query(const QString& sql, const QVariantList& values, QVariantList* first_column)
    {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &s, nullptr) != SQLITE_OK) {
            Error = QString::fromUtf8(sqlite3_errmsg(db));
            return false;
        }
        for (int i = 0; i < values.size(); ++i) {
            const QVariant& v = values[i];
            if (v.isNull())
                sqlite3_bind_null(s, i + 1);
            else if (v.type() == QVariant::ByteArray)
                sqlite3_bind_blob(s, i + 1, v.toByteArray().constData(), v.toByteArray().size(),
                                  SQLITE_TRANSIENT);
            else if (v.type() == QVariant::Double)
                sqlite3_bind_double(s, i + 1, v.toDouble());
            else if (v.type() == QVariant::String)
                sqlite3_bind_text(s, i + 1, v.toString().toUtf8().constData(), -1,
                                  SQLITE_TRANSIENT);
            else
                sqlite3_bind_int64(s, i + 1, v.toLongLong());
        }
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            switch (sqlite3_column_type(s, 0)) {
            case SQLITE_INTEGER:
                *first_column << qlonglong(sqlite3_column_int64(s, 0));
                break;
            case SQLITE_FLOAT:
                *first_column << sqlite3_column_double(s, 0);
                break;
            case SQLITE_NULL:
                *first_column << QVariant();
                break;
            case SQLITE_BLOB:
                *first_column << QByteArray(static_cast<const char*>(sqlite3_column_blob(s, 0)),
                                            sqlite3_column_bytes(s, 0));
                break;
            default:
                *first_column << QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
            }
        }
        Error = rc == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(s);
        return rc == SQLITE_DONE;
    }

    sqlite3* db = nullptr;
    QString Error;
};

#endif // TESTS_SUPPORT_SQL_FILE_H
