#include "csv_export.h"

#include "recording_schema.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QLocale>
#include <QMap>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace Recording {

namespace {

// Seconds with microsecond precision, without going through a double.
QByteArray seconds(qint64 t_us)
{
    const qint64 whole = qAbs(t_us);
    return (t_us < 0 ? "-" : "") + QByteArray::number(whole / 1000000) + '.' +
           QByteArray::number(whole % 1000000).rightJustified(6, '0');
}

QByteArray field(const QByteArray& text)
{
    if (!text.contains(',') && !text.contains('"') && !text.contains('\n') && !text.contains('\r'))
        return text;
    QByteArray quoted = text;
    return '"' + quoted.replace('"', "\"\"") + '"';
}

// The bytes as readable text: CR as \r, LF as \n, the backslash doubled and
// anything else outside printable ASCII as \xHH.
QByteArray printable(const QByteArray& bytes)
{
    QByteArray text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r')
            text += "\\r";
        else if (c == '\n')
            text += "\\n";
        else if (c == '\\')
            text += "\\\\";
        else if (byte < 0x20 || byte > 0x7e)
            text += "\\x" + QByteArray::number(byte, 16).toUpper().rightJustified(2, '0');
        else
            text += c;
    }
    return text;
}

QByteArray number(const QVariant& value, const QVariant& raw)
{
    if (value.isNull())
        return QByteArray::number(raw.toLongLong());
    // The shortest text that reads back as the same double; never localised.
    return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest).toLatin1();
}

bool write_readings(QSqlDatabase& db, QSaveFile& out)
{
    QSqlQuery codes(db);
    if (!codes.exec(QStringLiteral("SELECT DISTINCT code FROM readings ORDER BY code")))
        return false;
    QMap<QString, int> column;
    QByteArray header = "time_s";
    while (codes.next()) {
        const QString code = codes.value(0).toString();
        column.insert(code, column.size());
        header += ',' + field(code.toUtf8());
    }
    out.write(header + '\n');

    QSqlQuery rows(db);
    rows.setForwardOnly(true);
    if (!rows.exec(
            QStringLiteral("SELECT t_us, code, raw, value FROM readings ORDER BY t_us, rowid")))
        return false;
    QList<QByteArray> cells;
    qint64 time = 0;
    const auto flush = [&] {
        if (!cells.isEmpty())
            out.write(seconds(time) + ',' + cells.join(',') + '\n');
    };
    while (rows.next()) {
        const qint64 t_us = rows.value(0).toLongLong();
        if (cells.isEmpty() || t_us != time) {
            flush();
            time = t_us;
            cells = QVector<QByteArray>(column.size()).toList();
        }
        cells[column.value(rows.value(1).toString())] = number(rows.value(3), rows.value(2));
    }
    flush();
    // A recording that breaks off half-way is not passed off as a whole one.
    return !rows.lastError().isValid();
}

bool write_traffic(QSqlDatabase& db, QSaveFile& out)
{
    QSqlQuery rows(db);
    rows.setForwardOnly(true);
    if (!rows.exec(
            QStringLiteral("SELECT t_us, direction, bytes FROM traffic ORDER BY t_us, rowid")))
        return false;
    out.write("time_s,direction,text\n");
    while (rows.next())
        out.write(seconds(rows.value(0).toLongLong()) + ',' +
                  field(rows.value(1).toString().toUtf8()) + ',' +
                  field(printable(rows.value(2).toByteArray())) + '\n');
    return !rows.lastError().isValid();
}

bool export_from(QSqlDatabase& db, const QString& recording, const QString& csv, bool traffic,
                 QString* error)
{
    const QString not_recording = recording + QStringLiteral(" is not a session recording");
    if (!db.open()) {
        *error = not_recording;
        return false;
    }
    QSqlQuery version(db);
    if (!version.exec(QStringLiteral("SELECT value FROM session WHERE key = 'schema_version'")) ||
        !version.next()) {
        *error = not_recording;
        return false;
    }
    bool ok = false;
    const int schema = version.value(0).toInt(&ok);
    if (!ok || schema < 1) {
        *error = not_recording;
        return false;
    }
    if (schema > Schema_Version) {
        *error = QStringLiteral("%1 was written by a newer version of the program (format %2, "
                                "this one reads up to %3)")
                     .arg(recording)
                     .arg(schema)
                     .arg(Schema_Version);
        return false;
    }
    QSaveFile out(csv);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(csv, out.errorString());
        return false;
    }
    if (!(traffic ? write_traffic(db, out) : write_readings(db, out))) {
        *error = not_recording;
        return false;
    }
    if (!out.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(csv, out.errorString());
        return false;
    }
    return true;
}

} // namespace

bool Export_CSV(const QString& recording, const QString& csv, bool traffic, QString* error)
{
    QString message;
    if (!error)
        error = &message;
    const QFileInfo source(recording);
    if (!source.isFile()) {
        *error = QStringLiteral("cannot open %1: no such file").arg(recording);
        return false;
    }
    // A CSV picked over the recording would destroy it.
    if (source.canonicalFilePath() == QFileInfo(csv).canonicalFilePath()) {
        *error = QStringLiteral("will not write the CSV over the recording %1").arg(recording);
        return false;
    }
    static QAtomicInt connections;
    const QString name = QStringLiteral("csv_export_%1").arg(connections.fetchAndAddRelaxed(1));
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(recording);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        ok = export_from(db, recording, csv, traffic, error);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

} // namespace Recording
