// The counter history store: time stamps, the stream format of one history,
// the file it lives in, and what happens when that file cannot be read or
// written.

#include "app_test_main.h"

#include <fault_counts_class.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include <csignal>
#include <sys/resource.h>

namespace {

const QDateTime First(QDate(2015, 3, 23), QTime(15, 4, 5));
const QDateTime Second(QDate(2016, 2, 1), QTime(9, 8, 7));

QString path_of(const QString& name)
{
    return Fault_Counts_Class::Directory() + QLatin1Char('/') + name;
}

QByteArray read_all(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Each history with exactly one 0 entry: started afresh.
bool all_restarted(const Fault_Counts_Class& counts)
{
    for (int i = 0; i < counts.Series_Count(); ++i) {
        if (counts.Series(i).size() != 1 || counts.Series(i).first() != 0)
            return false;
    }
    return true;
}

} // namespace

class Fault_Counts_Test : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(QDir(Fault_Counts_Class::Directory()).removeRecursively()); }
    void stream_data();
    void stream();
    void file_is_the_settings_store_own();
    void unreadable_file_is_set_aside_data();
    void unreadable_file_is_set_aside();
    void write_cut_short_leaves_previous_file();
};

void Fault_Counts_Test::stream_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<fc_map_type>("map");
    QTest::addColumn<bool>("damaged");
    // Keys 150323150405 and 160201090807 with the values 7 and 40000.
    const QByteArray two = QByteArray::fromHex("00000002"
                                               "00000022fff53e450007"
                                               "000000254cbaa6f79c40");
    QTest::newRow("two entries, the second above 32767")
        << two << fc_map_type{{150323150405, 7}, {160201090807, 40000}} << false;
    QTest::newRow("repeated key, the last wins")
        << QByteArray::fromHex("00000003"
                               "00000000000000050001"
                               "00000000000000030009"
                               "00000000000000050002")
        << fc_map_type{{3, 9}, {5, 2}} << false;
    // Damage keeps the entries read before it.
    QTest::newRow("ends inside a pair")
        << two.left(two.size() - 1) << fc_map_type{{150323150405, 7}} << true;
    QTest::newRow("negative count")
        << QByteArray::fromHex("ffffffff") + two.mid(4) << fc_map_type() << true;
}

void Fault_Counts_Test::stream()
{
    QFETCH(QByteArray, bytes);
    QFETCH(fc_map_type, map);
    QFETCH(bool, damaged);
    QDataStream in(bytes);
    fc_map_type read{{1, 1}}; // replaced, not added to
    in >> read;
    QCOMPARE(read, map);
    QCOMPARE(read.damaged, damaged);
    QCOMPARE(in.status() != QDataStream::Ok, damaged);
    // A map of distinct keys streams back to the same bytes.
    if (!damaged && bytes.size() == 4 + 10 * map.size()) {
        QByteArray written;
        QDataStream out(&written, QIODevice::WriteOnly);
        out << map;
        QCOMPARE(written, bytes);
    }
}

void Fault_Counts_Test::file_is_the_settings_store_own()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QVERIFY(documents.startsWith(QDir::homePath())); // the test's own home, never the user's
    QCOMPARE(Fault_Counts_Class::Directory(), documents + QStringLiteral("/Pelmar Interface"));
    // 09:08:07 on 1 February 2016; fields of 0 count as 0.
    QCOMPARE(Fault_Counts_Class::Time_Stamp(Second), Q_INT64_C(160201090807));
    QCOMPARE(Fault_Counts_Class::Time_Stamp(QDateTime(QDate(2000, 1, 1), QTime(0, 0))),
             Q_INT64_C(101000000));

    // Twelve series, so that the keys 1 to 12 sort as text; a new file is
    // written at once.
    Fault_Counts_Class counts(QStringLiteral("text.ini"), 12);
    QCOMPARE(counts.File_Path(), path_of(QStringLiteral("text.ini")));
    QVERIFY(QFileInfo(counts.File_Path()).isFile());
    QVERIFY(all_restarted(counts));
    // Values whose bytes need every kind of escape: separators, a space, a
    // quote, a backslash, control characters, bytes above 0x7e, and hex
    // digits right after an escape.
    const quint16 awkward[] = {0x2C3B, 0x3D20, 0x225C, 0x7FFF, 0x0041, 0x0A0D, 0x0709, 0x0B08,
                               0x0C30, 0x1B66, 0x8000, 0x2020, 0x6162, 0x0001, 40000};
    for (int n = 0; n < int(sizeof awkward / sizeof *awkward); ++n)
        QVERIFY(counts.record(n % 12, awkward[n], First.addSecs(n * 3671)));
    // Within one second the second value replaces the first.
    QVERIFY(counts.record(0, 5, Second));
    QVERIFY(counts.record(0, 6, Second.addMSecs(900)));
    QCOMPARE(counts.Series(0).value(160201090807), quint16(6));

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

void Fault_Counts_Test::unreadable_file_is_set_aside_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<fc_map_type>("kept"); // series 0 as read; empty: all started afresh
    // Three series, series 0 holding two entries before its start entry.
    QByteArray three, four;
    {
        Fault_Counts_Class counts(QStringLiteral("three.ini"), 3);
        counts.record(0, 1, First);
        counts.record(0, 2, Second);
        three = read_all(counts.File_Path());
        four = read_all(Fault_Counts_Class(QStringLiteral("four.ini"), 4).File_Path());
    }
    // Series 0 cut inside its last entry, series 2 stored as plain text.
    QByteArray damaged = three;
    damaged.remove(damaged.indexOf('\n', damaged.indexOf("arr1\\1\\val=")) - 6, 5);
    const int third = damaged.indexOf("arr1\\3\\val=");
    damaged.replace(third, damaged.indexOf('\n', third) - third, "arr1\\3\\val=twelve");

    QTest::newRow("noise") << QByteArray("\x01\xfe=\n[cts\x7f") << fc_map_type();
    QTest::newRow("another number of series") << four << fc_map_type();
    QTest::newRow("damaged series") << damaged << fc_map_type{{150323150405, 1}, {160201090807, 2}};
    QTest::newRow("over 1 MB") << three + QByteArray(Fault_Counts_Class::Largest_File, '\n')
                               << fc_map_type();
}

void Fault_Counts_Test::unreadable_file_is_set_aside()
{
    QFETCH(QByteArray, bytes);
    QFETCH(fc_map_type, kept);
    const QString path = path_of(QStringLiteral("parameters.ini"));
    QDir().mkpath(Fault_Counts_Class::Directory());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    Fault_Counts_Class counts(QStringLiteral("parameters.ini"), 3);
    // Not rewritten before anything is recorded.
    QCOMPARE(read_all(path), bytes);
    QVERIFY(kept.isEmpty() ? all_restarted(counts) : counts.Series(0) == kept);
    QCOMPARE(counts.Series(2).isEmpty(), !kept.isEmpty());

    // The first write keeps the bytes in a copy beside the file, told once.
    QVERIFY(counts.record(1, 5, Second));
    const QString copy = counts.Take_Set_Aside();
    QVERIFY2(QRegularExpression(QRegularExpression::escape(path) + "\\.unreadable-\\d{8}-\\d{6}$")
                 .match(copy)
                 .hasMatch(),
             qPrintable(copy));
    QCOMPARE(read_all(copy), bytes);
    QVERIFY(counts.Take_Set_Aside().isEmpty());
    QVERIFY(counts.record(1, 6, First));
    QVERIFY(counts.Take_Set_Aside().isEmpty());
    QCOMPARE(QDir(Fault_Counts_Class::Directory()).entryList(QDir::Files).size(), 2);
    Fault_Counts_Class reread(QStringLiteral("parameters.ini"), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(reread.Series(i), counts.Series(i));
}

void Fault_Counts_Test::write_cut_short_leaves_previous_file()
{
    Fault_Counts_Class counts(QStringLiteral("cut.ini"), 3);
    for (int i = 0; i < 40; ++i)
        QVERIFY(counts.record(0, quint16(i), First.addSecs(i)));
    const QString path = counts.File_Path();
    const QByteArray before = read_all(path);

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
    QVERIFY(!counts.Error_String().isEmpty());
    QCOMPARE(read_all(path), before);
    // Nothing is left beside it: no temporary file, no lock.
    QCOMPARE(QDir(Fault_Counts_Class::Directory()).entryList(QDir::Files),
             QStringList{QStringLiteral("cut.ini")});

    // The value waited in memory and goes out with the next write.
    QVERIFY(counts.record(2, 5, Second));
    Fault_Counts_Class reread(QStringLiteral("cut.ini"), 3);
    QCOMPARE(reread.Series(1).value(160201090807), quint16(77));
    QCOMPARE(reread.Series(0), counts.Series(0));
}

VANTOR_TEST_MAIN(Fault_Counts_Test)
#include "tst_fault_counts.moc"
