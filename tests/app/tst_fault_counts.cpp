// The counter history store: time stamps, the stream format of one history,
// the file it lives in (read back byte for byte), reinitialisation, and what
// happens when the file cannot be read or written.

#include "app_test_main.h"

#include <fault_counts_class.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

const QDateTime First(QDate(2015, 3, 23), QTime(15, 4, 5));
const QDateTime Second(QDate(2016, 2, 1), QTime(9, 8, 7));

QByteArray streamed(const fc_map_type& map)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << map;
    return bytes;
}

// Keys 150323150405 and 160201090807 with the values 7 and -2, as streamed.
const QByteArray Two_Entries = QByteArray::fromHex("00000002"
                                                   "00000022fff53e45"
                                                   "0007"
                                                   "000000254cbaa6f7"
                                                   "fffe");

// Undoes the escaping of a value in an INI file of the settings store:
// surrounding quotes, \0 and other octal escapes, \xHH, and the C escapes.
QByteArray ini_unescaped(QByteArray text)
{
    if (text.size() >= 2 && text.startsWith('"') && text.endsWith('"'))
        text = text.mid(1, text.size() - 2);
    QByteArray out;
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c != '\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const char e = text.at(++i);
        const auto digits = [&](int base) {
            int value = 0;
            while (i < text.size()) {
                bool ok = false;
                const int d = QByteArray(1, text.at(i)).toInt(&ok, base);
                if (!ok)
                    break;
                value = value * base + d;
                ++i;
            }
            --i;
            return char(value);
        };
        if (e == 'x') {
            ++i;
            out += digits(16);
        } else if (e >= '0' && e <= '7') {
            out += digits(8);
        } else {
            const char* from = "abfnrtv";
            const char* to = "\a\b\f\n\r\t\v";
            const char* at = std::strchr(from, e);
            out += at ? to[at - from] : e;
        }
    }
    return out;
}

// The raw value of `key` in an INI file, unescaped.
QByteArray ini_value(const QString& path, const QByteArray& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(key + '='))
            return ini_unescaped(line.mid(key.size() + 1));
    }
    return QByteArray();
}

ino_t inode_of(const QString& path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

QByteArray read_all(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool write_file(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// Each history with exactly one 0 entry, stamped between `before` and now.
bool all_restarted(const Fault_Counts_Class& counts, qint64 before)
{
    const qint64 after = Fault_Counts_Class::Time_Stamp(QDateTime::currentDateTime());
    for (int i = 0; i < counts.Series_Count(); ++i) {
        const fc_map_type series = counts.Series(i);
        if (series.size() != 1 || series.first() != 0 || series.firstKey() < before ||
            series.firstKey() > after)
            return false;
    }
    return true;
}

} // namespace

class Fault_Counts_Test : public QObject
{
    Q_OBJECT

private slots:
    void time_stamp_data();
    void time_stamp();
    void later_time_larger_stamp();
    void stream_writes_count_then_pairs_in_key_order();
    void stream_reads_pairs_last_repeated_key_wins();
    void stream_rejects_damaged_data_data();
    void stream_rejects_damaged_data();
    void file_in_documents_folder_of_the_application();
    void new_file_starts_every_series_at_zero();
    void history_file_read_back_byte_for_byte();
    void file_text_is_the_settings_store_own();
    void records_survive_reopening();
    void same_second_keeps_the_second_value();
    void other_index_is_refused();
    void series_count_change_reinitialises();
    void damaged_file_does_not_stop_the_program();
    void damaged_series_becomes_empty();
    void unwritable_file_keeps_values_in_memory();
    void write_replaces_the_file_as_a_whole();
    void write_cut_short_leaves_previous_file();

private:
    QString path_of(const QString& name) const
    {
        return Fault_Counts_Class::Directory() + QLatin1Char('/') + name;
    }
};

void Fault_Counts_Test::time_stamp_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<qint64>("stamp");
    QTest::newRow("15:04:05 23 Mar 2015") << First << Q_INT64_C(150323150405);
    QTest::newRow("09:08:07 1 Feb 2016") << Second << Q_INT64_C(160201090807);
    QTest::newRow("midnight 1 Jan 2000")
        << QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0)) << Q_INT64_C(101000000);
    QTest::newRow("last second of 2099")
        << QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59)) << Q_INT64_C(991231235959);
}

void Fault_Counts_Test::time_stamp()
{
    QFETCH(QDateTime, when);
    QFETCH(qint64, stamp);
    QCOMPARE(Fault_Counts_Class::Time_Stamp(when), stamp);
}

void Fault_Counts_Test::later_time_larger_stamp()
{
    QDateTime when = First;
    for (const int step : {1, 60, 3600, 86400, 86400 * 31, 86400 * 366}) {
        const QDateTime later = when.addSecs(step);
        QVERIFY(Fault_Counts_Class::Time_Stamp(later) > Fault_Counts_Class::Time_Stamp(when));
        when = later;
    }
}

void Fault_Counts_Test::stream_writes_count_then_pairs_in_key_order()
{
    fc_map_type map;
    map.insert(160201090807, -2); // inserted out of order on purpose
    map.insert(150323150405, 7);
    QCOMPARE(streamed(map), Two_Entries);
    QCOMPARE(streamed(fc_map_type()), QByteArray::fromHex("00000000"));
}

void Fault_Counts_Test::stream_reads_pairs_last_repeated_key_wins()
{
    QByteArray bytes = Two_Entries;
    QDataStream in(bytes);
    fc_map_type map{{1, 1}}; // replaced, not added to
    in >> map;
    QCOMPARE(in.status(), QDataStream::Ok);
    QCOMPARE(map, (fc_map_type{{150323150405, 7}, {160201090807, -2}}));

    const QByteArray repeated = QByteArray::fromHex("00000003"
                                                    "0000000000000005"
                                                    "0001"
                                                    "0000000000000003"
                                                    "0009"
                                                    "0000000000000005"
                                                    "0002");
    QDataStream again(repeated);
    again >> map;
    QCOMPARE(map, (fc_map_type{{3, 9}, {5, 2}}));
}

void Fault_Counts_Test::stream_rejects_damaged_data_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ends inside a pair") << Two_Entries.left(Two_Entries.size() - 1);
    QTest::newRow("count larger than the data")
        << QByteArray::fromHex("7fffffff") + Two_Entries.mid(4);
    QTest::newRow("negative count") << QByteArray::fromHex("ffffffff") + Two_Entries.mid(4);
    QTest::newRow("no count") << QByteArray::fromHex("0000");
}

void Fault_Counts_Test::stream_rejects_damaged_data()
{
    QFETCH(QByteArray, bytes);
    QDataStream in(bytes);
    fc_map_type map{{1, 1}};
    in >> map;
    QVERIFY(in.status() != QDataStream::Ok);
    QVERIFY(map.isEmpty());
}

void Fault_Counts_Test::file_in_documents_folder_of_the_application()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QVERIFY(documents.startsWith(QDir::homePath())); // the test's own home, never the user's
    QCOMPARE(Fault_Counts_Class::Directory(), documents + QStringLiteral("/Pelmar Interface"));
    QVERIFY(!QFileInfo::exists(Fault_Counts_Class::Directory()));

    Fault_Counts_Class counts(QStringLiteral("parameters.ini"), 3);
    QCOMPARE(counts.File_Path(), path_of(QStringLiteral("parameters.ini")));
    // The folder is made on the first write, which comes at once for a new file.
    QVERIFY(QFileInfo(counts.File_Path()).isFile());
}

void Fault_Counts_Test::new_file_starts_every_series_at_zero()
{
    const qint64 before = Fault_Counts_Class::Time_Stamp(QDateTime::currentDateTime());
    Fault_Counts_Class counts(QStringLiteral("new.ini"), 3);
    QCOMPARE(counts.Series_Count(), 3);
    QVERIFY(all_restarted(counts, before));

    QSettings file(counts.File_Path(), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("cts/arr1/size")).toInt(), 3);
    const QVariant stored = file.value(QStringLiteral("cts/arr1/3/val"));
    QCOMPARE(stored.userType(), qMetaTypeId<fc_map_type>());
    QCOMPARE(QMetaType::typeName(stored.userType()), "fc_map_type");
    QCOMPARE(stored.value<fc_map_type>(), counts.Series(2));
}

void Fault_Counts_Test::history_file_read_back_byte_for_byte()
{
    Fault_Counts_Class counts(QStringLiteral("bytes.ini"), 2);
    const fc_map_type fresh = counts.Series(0);
    QVERIFY(counts.record(1, 7, First));
    QVERIFY(counts.record(1, -2, Second));

    // Series 1 also holds its starting 0 entry, the latest of the three keys.
    fc_map_type expected{{150323150405, 7}, {160201090807, -2}};
    expected.insert(counts.Series(1).lastKey(), 0);
    QCOMPARE(counts.Series(1), expected);
    QCOMPARE(counts.Series(0), fresh);

    // A variant of a registered type, in the stream version the settings
    // store uses for values: the type number for user types, then the type's
    // name with its NUL, then the history itself.
    const QByteArray variant_head = QByteArray::fromHex("0000007f") +
                                    QByteArray::fromHex("0000000c") + QByteArray("fc_map_type", 12);
    const QByteArray history =
        QByteArray::fromHex("00000003"
                            "00000022fff53e45"
                            "0007"
                            "000000254cbaa6f7"
                            "fffe") +
        QByteArray::fromHex(QByteArray::number(expected.lastKey(), 16).rightJustified(16, '0')) +
        QByteArray::fromHex("0000");
    const QByteArray stored = ini_value(counts.File_Path(), "arr1\\2\\val");
    QCOMPARE(stored, QByteArray("@Variant(") + variant_head + history + ')');
    QCOMPARE(ini_value(counts.File_Path(), "arr1\\size"), QByteArray("2"));
    QVERIFY(read_all(counts.File_Path()).startsWith("[cts]\n"));
}

void Fault_Counts_Test::file_text_is_the_settings_store_own()
{
    // Values whose bytes need every kind of escape: separators, a space, a
    // quote, a backslash, control characters, bytes above 0x7e, and hex
    // digits right after an escape.
    const qint16 awkward[] = {0x2C3B, 0x3D20, 0x225C, 0x7FFF, 0x0041, 0x0A0D, 0x0709,
                              0x0B08, 0x0C30, 0x1B66, -32768, 0x2020, 0x6162, 0x0001};
    Fault_Counts_Class counts(QStringLiteral("text.ini"), 12); // keys 1 to 12 sort as text
    int n = 0;
    for (const qint16 value : awkward) {
        QVERIFY(counts.record(n % 12, value, First.addSecs(n * 3671)));
        ++n;
    }

    const QString theirs = path_of(QStringLiteral("store.ini"));
    {
        QSettings store(theirs, QSettings::IniFormat);
        store.beginGroup(QStringLiteral("cts"));
        store.beginWriteArray(QStringLiteral("arr1"), counts.Series_Count());
        for (int i = 0; i < counts.Series_Count(); ++i) {
            store.setArrayIndex(i);
            store.setValue(QStringLiteral("val"), QVariant::fromValue(counts.Series(i)));
        }
        store.endArray();
        store.endGroup();
    }
    QCOMPARE(read_all(counts.File_Path()), read_all(theirs));

    Fault_Counts_Class reread(QStringLiteral("text.ini"), 12);
    for (int i = 0; i < 12; ++i)
        QCOMPARE(reread.Series(i), counts.Series(i));
}

void Fault_Counts_Test::records_survive_reopening()
{
    {
        Fault_Counts_Class counts(QStringLiteral("reopen.ini"), 3);
        QVERIFY(counts.record(0, 12, First));
        QVERIFY(counts.record(2, 32767, Second));
        QVERIFY(counts.record(2, -32768, First));
    }
    Fault_Counts_Class counts(QStringLiteral("reopen.ini"), 3);
    QCOMPARE(counts.Series(0).value(150323150405), qint16(12));
    QCOMPARE(counts.Series(2).value(160201090807), qint16(32767));
    QCOMPARE(counts.Series(2).value(150323150405), qint16(-32768));
    QCOMPARE(counts.Series(0).size(), 2);
    QCOMPARE(counts.Series(1).size(), 1);
    QCOMPARE(counts.Series(2).size(), 3);
}

void Fault_Counts_Test::same_second_keeps_the_second_value()
{
    Fault_Counts_Class counts(QStringLiteral("second.ini"), 1);
    QVERIFY(counts.record(0, 5, First));
    QVERIFY(counts.record(0, 6, First.addMSecs(900)));
    QCOMPARE(counts.Series(0).count(150323150405), 1);
    QCOMPARE(counts.Series(0).value(150323150405), qint16(6));

    // Without a time the value goes under the present one.
    const qint64 before = Fault_Counts_Class::Time_Stamp(QDateTime::currentDateTime());
    QVERIFY(counts.record(0, 3));
    const qint64 after = Fault_Counts_Class::Time_Stamp(QDateTime::currentDateTime());
    const fc_map_type series = counts.Series(0);
    const auto recorded = series.lowerBound(before);
    QVERIFY(recorded != series.end() && recorded.key() <= after);
    QCOMPARE(recorded.value(), qint16(3));
}

void Fault_Counts_Test::other_index_is_refused()
{
    Fault_Counts_Class counts(QStringLiteral("index.ini"), 2);
    const QByteArray before = read_all(counts.File_Path());
    QVERIFY(!counts.record(2, 1));
    QVERIFY(!counts.record(-1, 1));
    QVERIFY(counts.Series(2).isEmpty());
    QCOMPARE(read_all(counts.File_Path()), before);
}

void Fault_Counts_Test::series_count_change_reinitialises()
{
    {
        Fault_Counts_Class counts(QStringLiteral("count.ini"), 3);
        QVERIFY(counts.record(1, 44, First));
    }
    const qint64 before = Fault_Counts_Class::Time_Stamp(QDateTime::currentDateTime());
    {
        Fault_Counts_Class counts(QStringLiteral("count.ini"), 4);
        QCOMPARE(counts.Series_Count(), 4);
        QVERIFY(all_restarted(counts, before));
    }
    QSettings file(path_of(QStringLiteral("count.ini")), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("cts/arr1/size")).toInt(), 4);

    // Back to fewer series: the file keeps no element beyond the new count.
    Fault_Counts_Class counts(QStringLiteral("count.ini"), 2);
    QVERIFY(all_restarted(counts, before));
    QVERIFY(!read_all(counts.File_Path()).contains("arr1\\3\\"));
    QVERIFY(!read_all(counts.File_Path()).contains("arr1\\4\\"));
}

void Fault_Counts_Test::damaged_file_does_not_stop_the_program()
{
    const QString path = path_of(QStringLiteral("damaged.ini"));
    QByteArray noise;
    for (int i = 0; i < 4096; ++i)
        noise += char((i * 7919 + 13) % 256);
    QVERIFY(write_file(path, noise));

    const qint64 before = Fault_Counts_Class::Time_Stamp(QDateTime::currentDateTime());
    Fault_Counts_Class counts(QStringLiteral("damaged.ini"), 3);
    QVERIFY(all_restarted(counts, before));
    QVERIFY(counts.record(0, 9, First));

    Fault_Counts_Class reread(QStringLiteral("damaged.ini"), 3);
    QCOMPARE(reread.Series(0), counts.Series(0));
}

void Fault_Counts_Test::damaged_series_becomes_empty()
{
    {
        Fault_Counts_Class counts(QStringLiteral("series.ini"), 3);
        QVERIFY(counts.record(0, 1, First));
        QVERIFY(counts.record(2, 3, First));
    }
    // Series 1 cut inside its history, series 2 stored as plain text.
    const QString path = path_of(QStringLiteral("series.ini"));
    QByteArray text = read_all(path);
    const auto line = [&text](const QByteArray& key) {
        const int start = text.indexOf(key);
        return qMakePair(start, start < 0 ? -1 : text.indexOf('\n', start) - start);
    };
    const auto second = line("arr1\\2\\val=");
    QVERIFY(second.first >= 0 && second.second > 20);
    text.replace(second.first + second.second - 6, 6, ")");
    const auto third = line("arr1\\3\\val=");
    QVERIFY(third.first >= 0 && third.second > 0);
    text.replace(third.first, third.second, "arr1\\3\\val=twelve");
    QVERIFY(write_file(path, text));

    Fault_Counts_Class counts(QStringLiteral("series.ini"), 3);
    QCOMPARE(counts.Series(0).value(150323150405), qint16(1));
    QVERIFY(counts.Series(1).isEmpty());
    QVERIFY(counts.Series(2).isEmpty());
    QVERIFY(counts.record(1, 5, Second));
    QCOMPARE(counts.Series(1), (fc_map_type{{160201090807, 5}}));
}

void Fault_Counts_Test::unwritable_file_keeps_values_in_memory()
{
    // A folder where the file should be: it can be neither read nor written.
    const QString path = path_of(QStringLiteral("blocked.ini"));
    QVERIFY(QDir().mkpath(path));

    Fault_Counts_Class counts(QStringLiteral("blocked.ini"), 2);
    QCOMPARE(counts.Series(1).size(), 1);
    QVERIFY(!counts.record(1, 8, First));
    QCOMPARE(counts.Series(1).value(150323150405), qint16(8));

    // Once the way is clear the next write succeeds and carries everything.
    QVERIFY(QDir(path).removeRecursively());
    QVERIFY(counts.record(1, 9, Second));
    Fault_Counts_Class reread(QStringLiteral("blocked.ini"), 2);
    QCOMPARE(reread.Series(1), counts.Series(1));
}

void Fault_Counts_Test::write_replaces_the_file_as_a_whole()
{
    Fault_Counts_Class counts(QStringLiteral("atomic.ini"), 3);
    const QString path = counts.File_Path();
    const ino_t first = inode_of(path);
    QVERIFY(first != 0);
    QVERIFY(counts.record(0, 1, First));
    const ino_t second = inode_of(path);
    // A new file took the old one's place; it was not rewritten in place.
    QVERIFY(second != 0);
    QVERIFY(second != first);
    // Nothing is left beside it: no temporary file, no lock.
    const QStringList left = QDir(Fault_Counts_Class::Directory())
                                 .entryList({QStringLiteral("atomic.ini*")}, QDir::Files);
    QCOMPARE(left, QStringList{QStringLiteral("atomic.ini")});
}

void Fault_Counts_Test::write_cut_short_leaves_previous_file()
{
    Fault_Counts_Class counts(QStringLiteral("cut.ini"), 3);
    for (int i = 0; i < 40; ++i)
        QVERIFY(counts.record(0, qint16(i), First.addSecs(i)));
    const QString path = counts.File_Path();
    const QByteArray before = read_all(path);
    QVERIFY(before.size() > 1000);

    // Files may grow no further than a little past the present one: the next
    // write stops partway, as on a full disk.
    struct rlimit old_limit = {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    struct rlimit limit = old_limit;
    limit.rlim_cur = rlim_t(before.size() + 8);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool written = counts.record(1, 77, Second);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);

    QVERIFY(!written);
    QCOMPARE(read_all(path), before);
    const QStringList left =
        QDir(Fault_Counts_Class::Directory()).entryList({QStringLiteral("cut.ini*")}, QDir::Files);
    QCOMPARE(left, QStringList{QStringLiteral("cut.ini")});

    // The value waited in memory and goes out with the next write.
    QVERIFY(counts.record(2, 5, Second));
    Fault_Counts_Class reread(QStringLiteral("cut.ini"), 3);
    QCOMPARE(reread.Series(1).value(160201090807), qint16(77));
    QCOMPARE(reread.Series(0), counts.Series(0));
}

VANTOR_TEST_MAIN(Fault_Counts_Test)
#include "tst_fault_counts.moc"
