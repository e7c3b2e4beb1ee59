#ifndef TESTS_SUPPORT_SCHEMA_SQL_H
#define TESTS_SUPPORT_SCHEMA_SQL_H

// The SQL that makes an empty recording of the program's schema and names its
// format's version: VERSION is an SQL value, none when empty.

#include <session_schema.h>

#include <QString>

inline QString
schema_sql(const QString& version = '\'' + QString::number(Recording::Schema_Version) + '\'')
{
    QString sql;
    for (std::size_t i = 0; i < Recording::Schema_Statements; ++i)
        sql += QString::fromLatin1(Recording::Schema[i]) + ';';
    return version.isEmpty()
               ? sql
               : sql + "INSERT INTO session VALUES('schema_version', " + version + ");";
}

#endif // TESTS_SUPPORT_SCHEMA_SQL_H
