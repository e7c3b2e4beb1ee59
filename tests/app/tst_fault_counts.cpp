// The counter history store: the stream format of one history, the file it
// lives in, and what happens when that file cannot be read or written.

#include "app_test_main.h"

#include "tabs/fault_counts_class.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include <csignal>
#include <sys/resource.h>

namespace {

const QDateTime First(QDate(2015, 3, 23), QTime(15, 4, 5));
const QDateTime Second(QDate(2016, 2, 1), QTime(9, 8, 7));

QByteArray read_all(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class Fault_Counts_Test : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(QDir(Fault_Counts_Class::Directory()).removeRecursively()); }
    void stream();
    void file_reads_back_and_is_replaced_whole();
    void unreadable_file_is_set_aside_data();
    void unreadable_file_is_set_aside();
};

void Fault_Counts_Test::stream()
{
    // Keys 150323150405 and 160201090807 with the values 7 and 40000.
    const QByteArray two = QByteArray::fromHex("00000002"
                                               "00000022fff53e450007"
                                               "000000254cbaa6f79c40");
    const fc_map_type map{{150323150405, 7}, {160201090807, 40000}};
    QByteArray written;
    QDataStream out(&written, QIODevice::WriteOnly);
    out << map;
    QCOMPARE(written, two);
    // Data cut short keeps the entries read before the damage.
    for (const QByteArray& bytes : {two, two.left(two.size() - 1)}) {
        QDataStream in(bytes);
        fc_map_type read{{1, 1}}; // replaced, not added to
        in >> read;
        QCOMPARE(read.damaged, bytes != two);
        QCOMPARE(read, (read.damaged ? fc_map_type{{150323150405, 7}} : map));
    }
}

void Fault_Counts_Test::file_reads_back_and_is_replaced_whole()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QVERIFY(documents.startsWith(QDir::homePath())); // the test's own home, never the user's
    QCOMPARE(Fault_Counts_Class::Directory(), documents + QStringLiteral("/Pelmar Interface"));
    // 09:08:07 on 1 February 2016.
    QCOMPARE(Fault_Counts_Class::Time_Stamp(Second), Q_INT64_C(160201090807));

    // Twelve series, some numbered with two digits; a new file is written
    // at once.
    Fault_Counts_Class counts(QStringLiteral("text.ini"), 12);
    QVERIFY(QFileInfo(counts.File_Path()).isFile());
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

    // Files may grow no further than a little past the present one: the next
    // write stops partway, as on a full disk, and leaves the file as it was,
    // with nothing beside it.
    const QByteArray before = read_all(counts.File_Path());
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
    QCOMPARE(read_all(counts.File_Path()), before);
    QCOMPARE(QDir(Fault_Counts_Class::Directory()).entryList(QDir::Files),
             QStringList{QStringLiteral("text.ini")});

    // The value waited in memory and goes out with the next write.
    QVERIFY(counts.record(2, 5, Second));
    Fault_Counts_Class reread(QStringLiteral("text.ini"), 12);
    QCOMPARE(reread.Series(1).value(160201090807), quint16(77));
    for (int i = 0; i < 12; ++i)
        QCOMPARE(reread.Series(i), counts.Series(i));
}

void Fault_Counts_Test::unreadable_file_is_set_aside_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<fc_map_type>("kept"); // series 0 as read; empty: all started afresh
    // Three series, series 0 holding three entries at fixed times: its start
    // entry, stamped with the time of day, would be escaped differently by
    // the clock, and so would the cut below.
    QByteArray three, four;
    {
        Fault_Counts_Class counts(QStringLiteral("three.ini"), 3);
        counts.Restore_Series(0, fc_map_type{{150323150405, 1}, {160201090807, 2}});
        counts.record(0, 3, Second.addYears(1));
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
    const QString path = Fault_Counts_Class::Directory() + QStringLiteral("/parameters.ini");
    QDir().mkpath(Fault_Counts_Class::Directory());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    Fault_Counts_Class counts(QStringLiteral("parameters.ini"), 3);
    // Not rewritten before anything is recorded.
    QCOMPARE(read_all(path), bytes);
    // What could not be read starts again with one 0 entry.
    QVERIFY(kept.isEmpty() ? counts.Series(0).values() == QList<quint16>{0}
                           : counts.Series(0) == kept);
    QCOMPARE(counts.Series(2).isEmpty(), !kept.isEmpty());

    // The first write keeps the bytes in a copy beside the file, told once.
    QVERIFY(counts.record(1, 5, Second));
    const QString copy = counts.Take_Set_Aside();
    QVERIFY2(QRegularExpression(QRegularExpression::escape(path) + "\\.unreadable-\\d{8}-\\d{6}$")
                 .match(copy)
                 .hasMatch(),
             qPrintable(copy));
    QCOMPARE(read_all(copy), bytes);
    QVERIFY(counts.record(1, 6, First));
    QVERIFY(counts.Take_Set_Aside().isEmpty());
    QCOMPARE(QDir(Fault_Counts_Class::Directory()).entryList(QDir::Files).size(), 2);
    Fault_Counts_Class reread(QStringLiteral("parameters.ini"), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(reread.Series(i), counts.Series(i));
}

VANTOR_TEST_MAIN(Fault_Counts_Test)
#include "tst_fault_counts.moc"
