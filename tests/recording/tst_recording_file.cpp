// The recording module: the writer's files, and the one reader on every kind
// of file a user may name as a recording.

#include "schema_sql.h"
#include "session_reader.h"
#include "session_writer.h"
#include "sql_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs SQL against a new file, as a damaged or foreign program would have
// written it.
bool make(const QString& path, const QStringList& statements)
{
    Sql_File db(path);
    const bool ok = db.exec(statements.join(';'));
    if (!ok)
        qWarning("%s", qPrintable(db.error()));
    return ok;
}

QStringList with_version(const QString& value)
{
    return {schema_sql(value)};
}

// Tables without types or constraints, as a hostile file may have them.
QStringList loose(const QStringList& rows)
{
    return QStringList{"CREATE TABLE session(key, value)",
                       "CREATE TABLE readings(t_us, code, raw, value, unit)",
                       "CREATE TABLE traffic(t_us, direction, bytes)",
                       "CREATE TABLE events(t_us, kind, text)",
                       "INSERT INTO session VALUES('schema_version', 2)"} +
           rows;
}

QStringList listing(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// The traffic's keys a slice of SIZE at a time, as a view finds them, each
// slice going on from the last key; false on a failure or a key met twice.
bool keys_in_slices(Recording::Reader& reader, std::size_t size,
                    std::vector<Recording::Traffic_Key>* keys)
{
    for (std::size_t got = size; got == size;) {
        got = 0;
        if (!reader.traffic_keys(keys->empty() ? nullptr : &keys->back(), size,
                                 [&](const Recording::Traffic_Key& key) {
                                     keys->push_back(key);
                                     ++got;
                                     return true;
                                 }))
            return false;
        if (keys->size() > 1000000)
            return false;
    }
    return true;
}

// Everything the reader offers, to the end; false on the first failure.
bool read_all(Recording::Reader& reader, QString* why)
{
    const auto all = [](const auto&) { return true; };
    using Order = Recording::Reader::Order;
    const bool ok = reader.readings(Order::Time, all) && reader.readings(Order::Written, all) &&
                    reader.readings(Order::By_Code, all) && reader.readings_of("PXV", all) &&
                    reader.traffic(all) && reader.last_traffic(10000, all) && reader.events(all) &&
                    reader.results(all) && reader.markers(all);
    std::vector<Recording::Traffic_Key> keys;
    const bool sliced = keys_in_slices(reader, 3, &keys) &&
                        (keys.empty() || reader.traffic_from(keys.back(), 10, all));
    reader.codes();
    reader.session();
    reader.job();
    *why = QString::fromStdString(reader.error());
    return ok && sliced;
}

} // namespace

class Recording_File : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    // Read-only media: a tmpfs remounted read-only as root, who ignores
    // permissions; else a folder the user cannot write. Empty when neither.
    QString read_only_mount;
    bool mounted = false;

    QString path(const QString& name) const { return dir.filePath(name); }

    // A recording by the writer: two readings, a frame each way, an event,
    // and the tables of version 2. Killed before its close when asked.
    bool write(const QString& file, bool kill_before_close = false)
    {
        const pid_t child = kill_before_close ? fork() : 0;
        if (child < 0)
            return false;
        if (child > 0) {
            int status = 0;
            waitpid(child, &status, 0);
            return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        }
        Recording::Writer w;
        bool ok = w.create(QFile::encodeName(file).toStdString()) && w.begin() &&
                  w.set_session("port", "/dev/pts/7") &&
                  w.add_traffic(10, Recording::Direction::Tx, "get PXV\r", 8) &&
                  w.add_traffic(900, Recording::Direction::Rx, "PXV 00758\n", 10) &&
                  w.add_reading(900, "PXV", 758, 120.4, "psi") &&
                  w.add_reading(1900, "DSS", 1, std::nullopt, nullptr) &&
                  w.add_event(2000, "port_opened", "/dev/pts/7") &&
                  w.add_result(3000, "compressor", "pass", "<TEST DONE>", "{}") &&
                  w.add_marker(3500, "door open") && w.set_job("vin", "1FT123") && w.commit();
        if (kill_before_close)
            raise(SIGKILL);
        return w.close() && ok;
    }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void bad_files_data();
    void bad_files();
    void writer_round_trip();
    void killed_writer_keeps_what_was_committed();
    void recording_being_written_reads_what_is_committed();
    void writer_refuses_an_existing_file();
    void long_rows_come_out_cut();
    void traffic_in_slices();
};

void Recording_File::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(mkfifo(QFile::encodeName(path("fifo.sqlite")).constData(), 0600) == 0);
    QVERIFY(QDir(dir.path()).mkdir("folder.sqlite"));
    QFile text(path("text.sqlite"));
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write(QByteArray(4096, 'a')) > 0);
    text.close();
    QFile(path("empty.sqlite")).open(QIODevice::WriteOnly);
    QVERIFY(make(path("v0.sqlite"), with_version("'0'")));
    QVERIFY(make(path("v-1.sqlite"), with_version("-1")));
    QVERIFY(make(path("vabc.sqlite"), with_version("'abc'")));
    QVERIFY(make(path("vreal.sqlite"), with_version("2.5")));
    QVERIFY(make(path("vnone.sqlite"), with_version(QString())));
    QVERIFY(make(path("nosession.sqlite"), {"CREATE TABLE t(x)"}));
    QVERIFY(make(path("v3.sqlite"), with_version("'3'")));
    QVERIFY(make(path("vhuge.sqlite"), with_version("'99999999999999999999999'")));
    QVERIFY(make(path("v1.sqlite"), with_version("1") << "DROP TABLE job"
                                                      << "DROP TABLE results"
                                                      << "DROP TABLE markers"
                                                      << "INSERT INTO readings VALUES(5, 'PXV', "
                                                         "700, 110.5, 'psi')"));
    QVERIFY(QFile::copy(VANTOR_TEST_DATA "/v1.sqlite", path("odd ?#%:name.sqlite")));
    QVERIFY(make(path("wal.sqlite"),
                 with_version("1") << "PRAGMA journal_mode=WAL"
                                   << "INSERT INTO readings VALUES(5, 'PXV', 700, 110.5, 'psi')"));
    QVERIFY(make(path("mixed.sqlite"),
                 loose({"INSERT INTO readings VALUES(1, 'PXV', 700, 110.5, 'psi'), (2, "
                        "CAST('PXV' AS BLOB), 701, 110.7, 'psi'), (3, 'DSA', 1, 2, 'deg')"})));
    QVERIFY(make(path("nulls.sqlite"),
                 loose({"INSERT INTO readings VALUES(NULL, NULL, NULL, NULL, NULL), (NULL, "
                        "'PXV', NULL, NULL, NULL)",
                        "INSERT INTO traffic VALUES(NULL, NULL, NULL)",
                        "INSERT INTO events VALUES(NULL, NULL, NULL)"})));
    QVERIFY(make(path("types.sqlite"),
                 loose({"INSERT INTO readings VALUES('abc', 12, 'x', 'y', 7), (1.5, 'PXV', "
                        "2.5, 1e999, X'00'), (2, X'00FF00', 1, -1e999, 'psi'), (3, "
                        "'" +
                            QString(100, 'C') + "', 1, 1, 'psi')",
                        "INSERT INTO traffic VALUES('t', 42, 42), (1, 'rx', 1.5), (2, "
                        "'tx', 'text bytes'), (3, X'7478', X'00')",
                        "INSERT INTO events VALUES(X'01', 5, X'00')"})));
    QVERIFY(make(path("times.sqlite"),
                 loose({"INSERT INTO readings VALUES(9223372036854775807, 'PXV', 1, 1, 'psi'), "
                        "(-9223372036854775808, 'PXV', 2, 2, 'psi'), (1e300, 'PXV', 3, 3, "
                        "'psi'), (-1e300, 'DSA', 4, 4, 'deg')",
                        "INSERT INTO traffic VALUES(9223372036854775807, 'rx', X'41'), "
                        "(-9223372036854775808, 'tx', X'42')",
                        "INSERT INTO events VALUES(-9223372036854775808, 'box', 'x')"})));
    QVERIFY(make(
        path("huge.sqlite"),
        loose({"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20) "
               "INSERT INTO traffic SELECT i, 'noise', zeroblob(1048576) FROM n",
               "INSERT INTO traffic VALUES(30, 'rx', '" + QString(70000, 'T') + "')",
               "INSERT INTO readings VALUES(1, '" + QString(1 << 20, 'R') + "', 1, 1, 'psi')"})));
    QVERIFY(write(path("unreadable.sqlite")));
    QVERIFY(QFile::setPermissions(path("unreadable.sqlite"), QFileDevice::WriteOwner));

    // Read-only media: a clean recording, one left in WAL mode without its
    // -wal (as closed by earlier versions), and one whose writer was killed.
    QVERIFY(QDir(dir.path()).mkdir("media"));
    const QByteArray media = QFile::encodeName(path("media"));
    mounted = geteuid() == 0 && mount("tmpfs", media.constData(), "tmpfs", 0, "size=16m") == 0;
    if (geteuid() == 0 && !mounted) {
        qWarning("no read-only mount: %s", strerror(errno));
        return;
    }
    read_only_mount = path("media");
    QVERIFY(write(path("media/clean.sqlite")));
    QVERIFY(QFile::copy(path("wal.sqlite"), path("media/wal.sqlite")));
    QVERIFY(write(path("media/killed.sqlite"), true));
    QVERIFY(QFile::exists(path("media/killed.sqlite-wal")));
    if (mounted)
        QVERIFY(mount("tmpfs", media.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=16m") ==
                0);
    else
        QVERIFY(chmod(media.constData(), 0555) == 0);
}

void Recording_File::cleanupTestCase()
{
    if (mounted)
        umount(QFile::encodeName(read_only_mount).constData());
    else if (!read_only_mount.isEmpty())
        chmod(QFile::encodeName(read_only_mount).constData(), 0755);
}

void Recording_File::bad_files_data()
{
    QTest::addColumn<QString>("file");
    // Empty: the file reads whole.
    QTest::addColumn<QString>("expected");
    // The codes of a file that reads, -1 where they do not matter.
    QTest::addColumn<int>("codes");
    const QString not_recording = "not a session recording";
    QTest::newRow("missing") << "nothing.sqlite"
                             << "No such file or directory" << -1;
    QTest::newRow("FIFO") << "fifo.sqlite" << not_recording << -1;
    QTest::newRow("directory") << "folder.sqlite"
                               << "Is a directory" << -1;
    QTest::newRow("device") << "/dev/null" << not_recording << -1;
    QTest::newRow("not SQLite") << "text.sqlite" << not_recording << -1;
    QTest::newRow("empty file") << "empty.sqlite" << not_recording << -1;
    QTest::newRow("no session table") << "nosession.sqlite" << not_recording << -1;
    QTest::newRow("version missing") << "vnone.sqlite" << not_recording << -1;
    QTest::newRow("version 0") << "v0.sqlite" << not_recording << -1;
    QTest::newRow("version -1") << "v-1.sqlite" << not_recording << -1;
    QTest::newRow("version abc") << "vabc.sqlite" << not_recording << -1;
    QTest::newRow("version 2.5") << "vreal.sqlite" << not_recording << -1;
    QTest::newRow("newer") << "v3.sqlite"
                           << "a recording of a newer format (version 3); this program reads "
                              "up to 2"
                           << -1;
    QTest::newRow("far newer") << "vhuge.sqlite"
                               << "a recording of a newer format (version "
                                  "99999999999999999999999); this program reads up to 2"
                               << -1;
    QTest::newRow("unreadable") << "unreadable.sqlite"
                                << "Permission denied" << -1;
    QTest::newRow("version 1") << "v1.sqlite" << QString() << 1;
    QTest::newRow("version 1, as recorded") << VANTOR_TEST_DATA "/v1.sqlite" << QString() << 22;
    QTest::newRow("URI characters in the name") << "odd ?#%:name.sqlite" << QString() << 22;
    QTest::newRow("path starting with //") << "/" + path("v1.sqlite") << QString() << 1;
    QTest::newRow("left in WAL mode") << "wal.sqlite" << QString() << -1;
    QTest::newRow("same code as text and blob") << "mixed.sqlite" << QString() << 2;
    QTest::newRow("NULLs") << "nulls.sqlite" << QString() << -1;
    QTest::newRow("wrong types") << "types.sqlite" << QString() << 2;
    QTest::newRow("extreme times") << "times.sqlite" << QString() << -1;
    QTest::newRow("huge rows") << "huge.sqlite" << QString() << 0;
    QTest::newRow("read-only media") << "media/clean.sqlite" << QString() << -1;
    QTest::newRow("read-only media, WAL") << "media/wal.sqlite" << QString() << -1;
    QTest::newRow("read-only media, killed") << "media/killed.sqlite" << QString() << -1;
}

void Recording_File::bad_files()
{
    QFETCH(QString, file);
    QFETCH(QString, expected);
    QFETCH(int, codes);
    if (file.startsWith("media/") && read_only_mount.isEmpty())
        QSKIP("no read-only mount");
    const QString name = QDir::isAbsolutePath(file) ? file : path(file);
    if (expected == "Permission denied" && geteuid() == 0) {
        // Root reads every file: the reader runs as nobody instead.
        QVERIFY(chmod(QFile::encodeName(dir.path()).constData(), 0711) == 0);
        const pid_t child = fork();
        if (child == 0) {
            Recording::Reader reader;
            _exit(setgid(65534) == 0 && setuid(65534) == 0 &&
                          !reader.open(QFile::encodeName(name).toStdString()) &&
                          reader.error() == "Permission denied"
                      ? 0
                      : 1);
        }
        int status = -1;
        QVERIFY(child > 0 && waitpid(child, &status, 0) == child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        return;
    }
    const QString folder = QFileInfo(name).absolutePath();
    const QStringList before = listing(folder);
    Recording::Reader reader;
    const bool opened = reader.open(QFile::encodeName(name).toStdString());
    QCOMPARE(QString::fromStdString(reader.error()), expected);
    QCOMPARE(opened, expected.isEmpty());
    QString why;
    if (opened)
        QVERIFY2(read_all(reader, &why), qPrintable(why));
    if (codes >= 0)
        QCOMPARE(int(reader.codes().size()), codes);
    reader.close();
    QCOMPARE(listing(folder), before);
}

void Recording_File::writer_round_trip()
{
    QVERIFY(write(path("round.sqlite")));
    Recording::Reader r;
    QVERIFY2(r.open(QFile::encodeName(path("round.sqlite")).toStdString()), r.error().c_str());
    QCOMPARE(r.version(), Recording::Schema_Version);
    QCOMPARE(r.session_value("port"), std::string("/dev/pts/7"));
    QCOMPARE(r.job().size(), size_t(1));
    QStringList seen;
    QVERIFY(r.readings(Recording::Reader::Order::Time, [&](const Recording::Reading& x) {
        seen << QString("%1 %2 %3 %4 %5")
                    .arg(x.t_us)
                    .arg(QString::fromUtf8(x.code.data(), int(x.code.size())))
                    .arg(x.raw)
                    .arg(x.has_value ? QString::number(x.value) : "-")
                    .arg(QString::fromUtf8(x.unit.data(), int(x.unit.size())));
        return true;
    }));
    QCOMPARE(seen, QStringList({"900 PXV 758 120.4 psi", "1900 DSS 1 - "}));
    seen.clear();
    QVERIFY(r.traffic([&](const Recording::Traffic& t) {
        seen << QString::fromStdString(Recording::Direction_Name(t.direction) + (":" + t.bytes));
        return true;
    }));
    QCOMPARE(seen, QStringList({"tx:get PXV\r", "rx:PXV 00758\n"}));
    int results = 0;
    QVERIFY(r.results([&](const Recording::Result& x) {
        results += x.verdict == "pass" && x.summary == "<TEST DONE>" && x.details == "{}";
        return true;
    }));
    QCOMPARE(results, 1);
}

void Recording_File::killed_writer_keeps_what_was_committed()
{
    QTemporaryDir alone;
    const QString file = alone.filePath("killed.sqlite");
    QVERIFY(write(file, true));
    const QStringList left = listing(alone.path());
    QVERIFY(left.contains("killed.sqlite-wal"));
    Recording::Reader r;
    QVERIFY2(r.open(QFile::encodeName(file).toStdString()), r.error().c_str());
    int readings = 0;
    QVERIFY(r.readings(Recording::Reader::Order::Written, [&](const Recording::Reading&) {
        ++readings;
        return true;
    }));
    QCOMPARE(readings, 2);
    r.close();
    QCOMPARE(listing(alone.path()), left);
}

void Recording_File::recording_being_written_reads_what_is_committed()
{
    QTemporaryDir alone;
    const std::string file = QFile::encodeName(alone.filePath("live.sqlite")).toStdString();
    Recording::Writer w;
    QVERIFY(w.create(file) && w.begin() && w.add_reading(1, "PXV", 1, 1.0, "psi") && w.commit());
    QVERIFY(w.begin() && w.add_reading(2, "PXV", 2, 2.0, "psi"));
    const QStringList before = listing(alone.path());
    {
        Recording::Reader r;
        QVERIFY2(r.open(file), r.error().c_str());
        int readings = 0;
        QVERIFY(r.readings_of("PXV", [&](const Recording::Reading&) {
            ++readings;
            return true;
        }));
        QCOMPARE(readings, 1);
    }
    QCOMPARE(listing(alone.path()), before);
    QVERIFY(w.commit());
    QVERIFY2(w.close(), w.error().c_str());
    // A clean close leaves one file whose header names the rollback journal:
    // nothing is needed beside it, even on read-only media.
    QCOMPARE(listing(alone.path()), QStringList{"live.sqlite"});
    QFile f(alone.filePath("live.sqlite"));
    QVERIFY(f.open(QIODevice::ReadOnly) && f.read(20).endsWith("\x01\x01"));
}

void Recording_File::writer_refuses_an_existing_file()
{
    const QString file = path("text.sqlite");
    Recording::Writer w;
    QVERIFY(!w.create(QFile::encodeName(file).toStdString()));
    QCOMPARE(QString::fromStdString(w.error()), QString("File exists"));
    QCOMPARE(QFileInfo(file).size(), qint64(4096));
    QVERIFY(!w.create(QFile::encodeName(path("no/such/folder.sqlite")).toStdString()));
    QCOMPARE(QString::fromStdString(w.error()), QString("No such file or directory"));
    // A new file beside the write-ahead log of an earlier one of its name.
    const QString again = path("again.sqlite");
    QFile(again + "-wal").open(QIODevice::WriteOnly);
    QVERIFY(!w.create(QFile::encodeName(again).toStdString()));
    QVERIFY(QString::fromStdString(w.error()).endsWith(
        "again.sqlite-wal is left from an earlier file of this name"));
    QVERIFY(!QFileInfo::exists(again));
}

void Recording_File::long_rows_come_out_cut()
{
    Recording::Reader r;
    QVERIFY(r.open(QFile::encodeName(path("huge.sqlite")).toStdString()));
    std::size_t held = 0;
    QStringList rows;
    std::vector<std::int64_t> ids;
    QVERIFY(r.last_traffic(10000, [&](const Recording::Traffic& t) {
        held += t.bytes.size();
        rows << QString("%1 %2 %3").arg(t.bytes.size()).arg(t.length).arg(t.is_cut());
        ids.push_back(t.row);
        return true;
    }));
    QCOMPARE(rows.size(), 21);
    QCOMPARE(rows.first(), QString("4096 1048576 1"));
    QCOMPARE(rows.last(), QString("4096 70000 1"));
    QVERIFY(held <= 21 * Recording::Max_Row_Bytes);
    // Whole, in pieces, for an export.
    std::size_t whole = 0, largest = 0;
    QVERIFY(r.whole_bytes(ids.front(), [&](const char*, std::size_t n) {
        whole += n;
        largest = std::max(largest, n);
        return true;
    }));
    QCOMPARE(whole, std::size_t(1048576));
    QVERIFY(largest <= 64 * 1024);
    // A code of a megabyte is no code.
    QCOMPARE(r.codes().size(), std::size_t(0));
}

// Times of any type in a damaged file: numbers in order, rows of equal time
// by rowid, the rest and times past 64 bits left out; a slice of rows starts
// at its key's row.
void Recording_File::traffic_in_slices()
{
    const QString file = path("slices.sqlite");
    QVERIFY(make(
        file,
        loose({"INSERT INTO traffic VALUES (3, 'tx', 'c'), (1.5, 'rx', 'a'), "
               "('abc', 'tx', 'x'), (x'00', 'tx', 'x'), (NULL, 'tx', 'x'), "
               "(2, 'tx', 'b'), (1.5, 'noise', 'a2'), (9e999, 'tx', 'd'), (-9e999, 'tx', 'e')"})));
    Recording::Reader reader;
    QVERIFY(reader.open(QFile::encodeName(file).toStdString()));
    std::vector<Recording::Traffic_Key> keys;
    QVERIFY(keys_in_slices(reader, 1, &keys));
    QStringList order;
    for (const auto& key : keys)
        order << QStringLiteral("%1/%2")
                     .arg(key.is_real ? key.t_real : double(key.t_us))
                     .arg(key.row);
    QCOMPARE(order, (QStringList{"-inf/9", "1.5/2", "1.5/7", "2/6", "3/1"}));
    QStringList bytes;
    QVERIFY(reader.traffic_from(keys[2], 2, [&](const Recording::Traffic& t) {
        bytes << QString::fromStdString(t.bytes);
        return true;
    }));
    QCOMPARE(bytes, (QStringList{"a2", "b"}));
}

QTEST_GUILESS_MAIN(Recording_File)
#include "tst_recording_file.moc"
