// The programs that read recordings, run as a user runs them, on files they
// must refuse at once and on a recording of the first format; and what the
// traffic monitor makes of rows too long to show.

#include "views/recorded_traffic_model.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <session_schema.h>
#include <sqlite3.h>
#include <sys/stat.h>

class Front_Ends : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(mkfifo(QFile::encodeName(path("fifo.sqlite")).constData(), 0600) == 0);
        QVERIFY(QDir(dir.path()).mkdir("folder.sqlite"));
        QFile text(path("text.sqlite"));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("time,code\n0,DSA\n") > 0);
        text.close();
        sqlite3* db = nullptr;
        QVERIFY(sqlite3_open(QFile::encodeName(path("v3.sqlite")).constData(), &db) == SQLITE_OK);
        QVERIFY(sqlite3_exec(db,
                             "CREATE TABLE session(key, value);"
                             "INSERT INTO session VALUES('schema_version', 3);",
                             nullptr, nullptr, nullptr) == SQLITE_OK);
        sqlite3_close(db);
    }

    void refuses_at_once_data()
    {
        QTest::addColumn<QString>("front_end");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const struct
        {
            const char* file;
            const char* reason;
        } files[] = {
            {"fifo.sqlite", "not a session recording"},
            {"folder.sqlite", "Is a directory"},
            {"text.sqlite", "not a session recording"},
            {"missing.sqlite", "No such file or directory"},
            {"v3.sqlite", "a recording of a newer format (version 3); this program reads up to 2"}};
        for (const auto& f : files) {
            const QString file = path(f.file);
            const QString reason = QString::fromLatin1(f.reason);
            QTest::addRow("--open %s", f.file)
                << "open" << file << 2 << QStringLiteral("Cannot open %1: %2.").arg(file, reason);
            QTest::addRow("--export-csv %s", f.file)
                << "export" << file << 1 << QStringLiteral("cannot read %1: %2").arg(file, reason);
            QTest::addRow("vantor-sim --replay %s", f.file)
                << "replay" << file << 2 << QStringLiteral("vantor-sim: %1: %2").arg(file, reason);
            QTest::addRow("--simulate --replay %s", f.file)
                << "simulate" << file << 2 << QStringLiteral("%1: %2").arg(file, reason);
        }
        // The kept recording of the first format: every front end reads it.
        const QString v1 = VANTOR_TEST_DATA "/v1.sqlite";
        for (const char* front_end : {"open", "export", "replay", "simulate"})
            QTest::addRow("%s version 1", front_end) << front_end << v1 << 0 << QString();
    }

    void refuses_at_once()
    {
        QFETCH(QString, front_end);
        QFETCH(QString, file);
        QFETCH(int, status);
        QFETCH(QString, message);
        const QString csv = path(QStringLiteral("%1.csv").arg(QTest::currentDataTag()));
        QString program = VANTOR_PROGRAM;
        QStringList arguments;
        if (front_end == "open")
            arguments = QStringList{"--open", file, "--quit-after", "300"};
        else if (front_end == "export")
            arguments = QStringList{"--export-csv", file, csv};
        else if (front_end == "simulate")
            arguments = QStringList{"--simulate", "--replay", file, "--quit-after", "300"};
        else
            program = VANTOR_SIM_PROGRAM, arguments = QStringList{"--replay", file};
        QProcess run;
        run.start(program, arguments);
        QVERIFY(run.waitForStarted());
        if (front_end == "replay" && status == 0) {
            // It serves until it is stopped, naming its pseudo-terminal first.
            QVERIFY(run.waitForReadyRead(10000));
            QVERIFY(run.readLine().startsWith("/dev/"));
            run.terminate();
        }
        // A FIFO must not keep any of them waiting for a writer.
        QVERIFY2(run.waitForFinished(20000), "still running");
        QCOMPARE(run.exitCode(), status);
        // The last line: Qt may have its say first on a headless machine.
        const QString said =
            QString::fromLocal8Bit(run.readAllStandardError()).trimmed().section('\n', -1);
        if (!message.isEmpty())
            QCOMPARE(said, message);
        if (front_end == "export")
            QCOMPARE(QFile::exists(csv), status == 0);
    }

    void long_rows_are_shown_cut()
    {
        const QString file = path("long.sqlite");
        sqlite3* db = nullptr;
        QVERIFY(sqlite3_open(QFile::encodeName(file).constData(), &db) == SQLITE_OK);
        std::string sql;
        for (std::size_t i = 0; i < Recording::Schema_Statements; ++i)
            sql += std::string(Recording::Schema[i]) + ";";
        sql += "INSERT INTO session VALUES('schema_version', '2');"
               "INSERT INTO traffic VALUES(1, 'noise', zeroblob(5000000)),"
               "(2, 'rx', CAST('PXV 00758' || printf('%.6000c', 'x') AS BLOB)),"
               "(3, 'tx', CAST('get PXV' || char(13) AS BLOB));";
        QVERIFY(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK);
        sqlite3_close(db);
        Views::Recorded_Traffic_Model shown;
        QString error;
        QVERIFY2(shown.Open(file, &error), qPrintable(error));
        shown.Index_All();
        QCOMPARE(shown.rowCount(), 3);
        QCOMPARE(shown.Row(0).bytes.size(), int(Recording::Max_Row_Bytes));
        const auto text = [&](int row, int column) { return shown.Text(row, column); };
        using Table = Views::Traffic_Table;
        QVERIFY(text(0, Table::Bytes).endsWith(QStringLiteral(" ...")));
        QCOMPARE(text(0, Table::Meaning), QStringLiteral("noise, 5000000 bytes"));
        QVERIFY2(text(1, Table::Meaning).endsWith(QStringLiteral(" ... (6009 bytes)")),
                 qPrintable(text(1, Table::Meaning)));
        QCOMPARE(text(2, Table::Meaning), QStringLiteral("read PXV reservoir pressure"));
    }
};

QTEST_GUILESS_MAIN(Front_Ends)
#include "tst_front_ends.moc"
