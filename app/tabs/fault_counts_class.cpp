#include "fault_counts_class.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

#include <cstring>

namespace {

const QString Group = QStringLiteral("cts");
const QString Array = QStringLiteral("arr1");
const QString Value_Key = QStringLiteral("val");

bool is_hex_digit(uchar c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A value as the settings store's INI format writes text of Latin-1
// characters, so that the store reads it back unchanged: C escapes, \0, \xhh
// for the other control and non-ASCII characters (and for a hex digit right
// after such an escape, which would otherwise extend it), and quotes around a
// value holding a separator or with a space at either end.
QByteArray ini_escaped(const QByteArray& text)
{
    QByteArray out;
    bool needs_quotes = false;
    bool escape_if_hex_digit = false;
    for (const char c : text) {
        const uchar ch = uchar(c);
        if (ch == ';' || ch == ',' || ch == '=')
            needs_quotes = true;
        if (escape_if_hex_digit && is_hex_digit(ch)) {
            out += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        escape_if_hex_digit = false;
        static const char controls[] = "\a\b\f\n\r\t\v";
        static const char letters[] = "abfnrtv";
        if (ch == 0) {
            out += "\\0";
            escape_if_hex_digit = true;
        } else if (const char* at = std::strchr(controls, c)) {
            out += '\\';
            out += letters[at - controls];
        } else if (ch == '"' || ch == '\\') {
            out += '\\';
            out += c;
        } else if (ch <= 0x1F || ch >= 0x7F) {
            out += "\\x" + QByteArray::number(ch, 16);
            escape_if_hex_digit = true;
        } else {
            out += c;
        }
    }
    if (needs_quotes || out.startsWith(' ') || out.endsWith(' '))
        out = '"' + out + '"';
    return out;
}

// Replaces the file by a new one holding `bytes`. The bytes go to a new file
// in the same folder, are flushed to the disk, and only then is the new file
// renamed over the old one; a write that fails or falls short leaves the old
// file as it was and removes the new one.
bool replace_file(const QString& path, const QByteArray& bytes, QString* error)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("Cannot create the folder ") + folder;
        return false;
    }
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush() &&
        file.commit())
        return true;
    *error = file.errorString();
    file.cancelWriting();
    return false;
}

} // namespace

QDataStream& operator<<(QDataStream& out, const fc_map_type& map)
{
    out << qint32(map.size());
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        out << qint64(it.key()) << quint16(it.value());
    return out;
}

QDataStream& operator>>(QDataStream& in, fc_map_type& map)
{
    map.clear();
    qint32 count = 0;
    in >> count;
    if (count < 0)
        in.setStatus(QDataStream::ReadCorruptData);
    // Stops at the first pair the data does not hold, whatever the count says.
    for (qint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        qint64 key = 0;
        quint16 value = 0;
        in >> key >> value;
        if (in.status() == QDataStream::Ok)
            map.insert(key, value);
    }
    map.damaged = in.status() != QDataStream::Ok;
    return in;
}

Fault_Counts_Class::Fault_Counts_Class(const QString& file_name, int series_count, QObject* parent)
    : QObject(parent), file_path(Directory() + QDir::separator() + file_name),
      series_count(qMax(0, series_count))
{
    Register_Types();
    Load();
}

void Fault_Counts_Class::Register_Types()
{
    static const bool registered = [] {
        qRegisterMetaType<fc_map_type>("fc_map_type");
        qRegisterMetaTypeStreamOperators<fc_map_type>("fc_map_type");
        return true;
    }();
    Q_UNUSED(registered)
}

qint64 Fault_Counts_Class::Time_Stamp(const QDateTime& local)
{
    const QDate date = local.date();
    const QTime time = local.time();
    const int fields[] = {date.year() % 100, date.month(),  date.day(),
                          time.hour(),       time.minute(), time.second()};
    qint64 stamp = 0;
    for (int field : fields)
        stamp = stamp * 100 + (field >= 1 && field <= 99 ? field : 0);
    return stamp;
}

QString Fault_Counts_Class::Directory()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QDir::separator() +
           QCoreApplication::applicationName();
}

bool Fault_Counts_Class::record(int index, quint16 value)
{
    return record(index, value, QDateTime::currentDateTime());
}

bool Fault_Counts_Class::record(int index, quint16 value, const QDateTime& when)
{
    if (index < 0 || index >= series.size())
        return false;
    series[index].insert(Time_Stamp(when), value);
    return Save();
}

QString Fault_Counts_Class::Take_Set_Aside()
{
    QString copy;
    copy.swap(set_aside);
    return copy;
}

void Fault_Counts_Class::Restore_Series(int index, const fc_map_type& map)
{
    if (index >= 0 && index < series.size())
        series[index] = map;
}

void Fault_Counts_Class::Load()
{
    series.clear();
    const QFileInfo file(file_path);
    bool read_whole = !file.exists();
    if (file.exists() && file.size() <= Largest_File) {
        QSettings settings(file_path, QSettings::IniFormat);
        settings.beginGroup(Group);
        const int stored = settings.beginReadArray(Array);
        read_whole = settings.status() == QSettings::NoError && stored == series_count;
        for (int i = 0; stored == series_count && i < series_count; ++i) {
            settings.setArrayIndex(i);
            QVariant value = settings.value(Value_Key);
            // What was stored under another type, or could not be read at all
            // (an unknown type, no value), becomes an empty series; a damaged
            // one keeps the entries before the damage.
            if (value.userType() != qMetaTypeId<fc_map_type>() &&
                !value.convert(qMetaTypeId<fc_map_type>())) {
                fc_map_type unread;
                unread.damaged = true;
                value = QVariant::fromValue(unread);
            }
            series.append(value.value<fc_map_type>());
            read_whole = read_whole && !series.last().damaged;
        }
    }
    // Nothing on disk is lost by a write unless the file held something
    // that was not read.
    unreadable = !read_whole && file.isFile() && file.size() > 0;
    if (series.size() == series_count)
        return;

    // A new file, one written for another number of series, or one that could
    // not be read: every series starts again from 0.
    series.clear();
    const qint64 now = Time_Stamp(QDateTime::currentDateTime());
    for (int i = 0; i < series_count; ++i)
        series.append(fc_map_type{{now, 0}});
    if (!file.exists())
        Save();
}

bool Fault_Counts_Class::Save()
{
    // The keys in the order in which the settings store writes them, each
    // with its value as the store turns it into text.
    QMap<QString, QByteArray> values;
    for (int i = 0; i < series_count; ++i) {
        QByteArray variant;
        QDataStream out(&variant, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_4_0); // the store's version for values
        out << QVariant::fromValue(series.at(i));
        values.insert(QStringLiteral("%1/%2/%3").arg(Array).arg(i + 1).arg(Value_Key),
                      "@Variant(" + variant + ')');
    }
    values.insert(Array + QStringLiteral("/size"), QByteArray::number(series_count));

    QByteArray text = '[' + Group.toLatin1() + "]\n";
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        text += QString(it.key()).replace(QLatin1Char('/'), QLatin1Char('\\')).toLatin1() + '=' +
                ini_escaped(it.value()) + '\n';
    }
    // A file removed meanwhile has nothing left to keep.
    if (unreadable && QFileInfo::exists(file_path)) {
        const QString copy = file_path + QDateTime::currentDateTime().toString(
                                             QStringLiteral("'.unreadable-'yyyyMMdd-HHmmss"));
        QFile original(file_path);
        if (!original.copy(copy)) {
            error_string = QStringLiteral("Cannot keep a copy of the unreadable file as ") + copy +
                           QStringLiteral(": ") + original.errorString();
            return false;
        }
        unreadable = false;
        set_aside = copy;
    }
    error_string.clear();
    return replace_file(file_path, text, &error_string);
}
