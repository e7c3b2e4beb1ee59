#ifndef FAULT_COUNTS_CLASS_H
#define FAULT_COUNTS_CLASS_H

#include <QDataStream>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QObject>
#include <QString>

// The dated history of one counter: time stamp (local time as the decimal
// number YYMMDDhhmmss) to value. A type of its own, so that a settings file
// names it "fc_map_type" and its stream format is the one below rather than
// the toolkit's generic one for maps. The counters are unsigned 16-bit.
class fc_map_type : public QMap<qint64, quint16>
{
public:
    fc_map_type() = default;
    fc_map_type(std::initializer_list<std::pair<qint64, quint16>> entries)
        : QMap<qint64, quint16>(entries)
    {}

    // Read from damaged data: the map holds the entries read before the damage.
    bool damaged = false;
};
Q_DECLARE_METATYPE(fc_map_type)

// Stream format: a signed 32-bit entry count, then for each entry in
// ascending key order the key (signed 64-bit) and the value (16 bits, read as
// unsigned), in the stream's byte order (big-endian by default). Reading
// inserts each pair, so a repeated key keeps its last value; a negative count
// or data that ends early sets the stream's status and marks the map damaged,
// keeping the pairs read before.
QDataStream& operator<<(QDataStream& out, const fc_map_type& map);
QDataStream& operator>>(QDataStream& in, fc_map_type& map);

// A fixed number of counter histories kept in an INI file in the folder named
// after the application inside the user's documents folder (group "cts",
// array "arr1", one "val" per series, each a variant of fc_map_type). The
// settings store reads the file. Every record rewrites it whole, in the
// store's own INI text, through a new file that replaces the old one only once
// it has been written completely: the store's own writing would put a file cut
// short by a full disk in place of the old one.
//
// A file that cannot be read whole (damaged, another number of series, or too
// large to be a history) never stops the program: what could be read is kept,
// series that could not be read start again with one 0 entry, and the file is
// left alone until the first write, which first keeps its bytes in a copy
// beside it, "<name>.unreadable-YYYYMMDD-HHMMSS". Only a missing file is
// written at once.
class Fault_Counts_Class : public QObject
{
    Q_OBJECT

public:
    Fault_Counts_Class(const QString& file_name, int series_count, QObject* parent = nullptr);

    // Registers fc_map_type and its stream operators; the constructor calls
    // it, and calling it again does nothing.
    static void Register_Types();
    // The local time as YYMMDDhhmmss: 09:08:07 on 1 February 2016 is 160201090807.
    static qint64 Time_Stamp(const QDateTime& local);
    // The folder the history files live in.
    static QString Directory();

    // A larger file is not a history file and is not read.
    static constexpr qint64 Largest_File = 1 << 20;

    // Adds the value under the present time stamp (replacing one recorded in
    // the same second) and writes every series to the file. False when the
    // index is out of range or the file could not be written (Error_String
    // says why); in the latter case the value stays in memory and goes out
    // with the next write.
    bool record(int index, quint16 value);
    bool record(int index, quint16 value, const QDateTime& when);
    // Why the last write failed, in the system's words.
    QString Error_String() const { return error_string; }
    // The copy of an unreadable file that a write has made, once; then empty.
    QString Take_Set_Aside();
    // Puts a series back as it was, without writing: a record taken back.
    void Restore_Series(int index, const fc_map_type& map);

    int Series_Count() const { return series_count; }
    // An empty map for an index out of range.
    fc_map_type Series(int index) const { return series.value(index); }
    QString File_Path() const { return file_path; }

private:
    void Load();
    bool Save();

    QString file_path;
    int series_count;
    QList<fc_map_type> series;
    // The file holds what was not read; a copy goes beside it before a write.
    bool unreadable = false;
    QString set_aside;
    QString error_string;
};

#endif // FAULT_COUNTS_CLASS_H
