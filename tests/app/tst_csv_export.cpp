#include "app_test_main.h"
#include "main_window.h"
#include "recording/csv_export.h"
#include "recording/recording_schema.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

// Recordings are built here with the program's own schema; the export is run
// as a function, as the program on a command line without a display, and
// from the main window.
class Csv_Export : public QObject
{
    Q_OBJECT

    enum Via
    {
        Function,
        Program,
        Window
    };
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

    void make_recording(const QString& file, int schema_version)
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "make");
            db.setDatabaseName(file);
            QVERIFY(db.open());
            QSqlQuery q(db);
            for (const char* statement : Recording::Schema)
                QVERIFY(q.exec(statement));
            const QStringList rows = {
                QStringLiteral("INSERT INTO session VALUES('schema_version', '%1')")
                    .arg(schema_version),
                "INSERT INTO readings VALUES(0, 'DSA', 512, 12.5, 'deg'), (0, 'IGV', 1, NULL, ''),"
                " (1500, 'RES', 1200, 120, 'psi'), (1500, 'DSA', 514, -0.125, 'deg'),"
                " (2000001, 'IGV', 0, NULL, '')",
                "INSERT INTO traffic VALUES(0, 'tx', CAST('GDSA' || char(13) AS BLOB)),"
                " (250, 'rx', CAST('R,1' || char(10, 1) AS BLOB)), (300, 'noise', x'FF5C')"};
            for (const QString& row : rows)
                QVERIFY2(q.exec(row), qPrintable(q.lastError().text()));
        }
        QSqlDatabase::removeDatabase("make");
    }

    // Exit status (0 or 1) and the message.
    QPair<int, QString> run(Via via, const QStringList& arguments, const QString& locale = "C")
    {
        const bool traffic = arguments.size() > 2;
        if (via == Program) {
            QProcess program;
            program.setEnvironment({"HOME=" + QDir::homePath(), "LC_ALL=" + locale});
            program.start(VANTOR_PROGRAM, QStringList{"--export-csv"} + arguments);
            program.waitForFinished(30000);
            return {program.exitCode(), program.readAllStandardError().trimmed()};
        }
        QString error;
        if (via == Function)
            return {!Recording::Export_CSV(arguments[0], arguments[1], traffic, &error), error};
        Prompt_Answers prompts;
        MainWindow window;
        const bool ok = window.Export_CSV(arguments[0], arguments[1], traffic);
        if (prompts.asked.size() != (ok ? 0 : 1))
            return {-1, "prompts: " + QString::number(prompts.asked.size())};
        return {!ok, ok ? QString() : prompts.asked.value(0).text};
    }

private slots:
    void initTestCase()
    {
        make_recording(path("session.rec"), Recording::Schema_Version);
        make_recording(path("newer.rec"), 99);
        QFile text(path("notes.txt"));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("not a database\n") > 0);
        QFile existing(path("existing.csv"));
        QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("keep me\n") > 0);
    }

    void exports_data()
    {
        QTest::addColumn<int>("via");
        QTest::addColumn<bool>("traffic");
        const QByteArray readings = "time_s,DSA,IGV,RES\n0.000000,12.5,1,\n"
                                    "0.001500,-0.125,,120\n2.000001,,0,\n";
        const QByteArray traffic = "time_s,direction,text\n0.000000,tx,GDSA\\r\n"
                                   "0.000250,rx,\"R,1\\n\\x01\"\n0.000300,noise,\\xFF\\\\\n";
        QTest::addColumn<QByteArray>("csv");
        for (const Via via : {Function, Program, Window}) {
            const QByteArray name = QByteArray::number(via);
            QTest::newRow("readings " + name) << int(via) << false << readings;
            QTest::newRow("traffic " + name) << int(via) << true << traffic;
        }
    }
    void exports()
    {
        QFETCH(int, via);
        QFETCH(bool, traffic);
        QFETCH(QByteArray, csv);
        // German writes 12,5; the export must not.
        QLocale::setDefault(QLocale::German);
        const QString out = path(QStringLiteral("out%1.csv").arg(QTest::currentDataTag()));
        QStringList arguments{path("session.rec"), out};
        if (traffic)
            arguments << "--traffic";
        QCOMPARE(run(Via(via), arguments, "de_DE.UTF-8"), qMakePair(0, QString()));
        QLocale::setDefault(QLocale::c());
        QFile written(out);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), csv);
    }

    void refuses_data()
    {
        QTest::addColumn<QString>("recording");
        QTest::addColumn<QString>("csv");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "gone.rec"
                                 << "a.csv"
                                 << "no such file";
        QTest::newRow("text file") << "notes.txt"
                                   << "a.csv"
                                   << "not a session recording";
        QTest::newRow("newer format") << "newer.rec"
                                      << "a.csv"
                                      << "newer version";
        QTest::newRow("over itself") << "session.rec"
                                     << "session.rec"
                                     << "over the recording|already exists";
        QTest::newRow("missing folder") << "session.rec"
                                        << "none/a.csv"
                                        << "cannot write";
    }
    void refuses()
    {
        QFETCH(QString, recording);
        QFETCH(QString, csv);
        QFETCH(QString, message);
        const QByteArray before = [&] {
            QFile f(path(recording));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        for (const Via via : {Function, Program, Window}) {
            const auto [status, said] = run(via, {path(recording), path(csv)});
            QCOMPARE(status, 1);
            QVERIFY2(said.contains(QRegularExpression(message)) && !said.contains('\n'),
                     qPrintable(said));
            QVERIFY(!QFile::exists(path("a.csv")));
            QFile f(path(recording));
            QCOMPARE(f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(), before);
        }
    }

    // The command line never replaces a file; a directory cannot be replaced.
    void keeps_what_is_there_data()
    {
        QTest::addColumn<int>("via");
        QTest::addColumn<QString>("csv");
        QTest::addColumn<QString>("message");
        QTest::newRow("program, file") << int(Program) << "existing.csv"
                                       << "already exists";
        QTest::newRow("function, folder") << int(Function) << "."
                                          << "cannot write";
    }
    void keeps_what_is_there()
    {
        QFETCH(int, via);
        QFETCH(QString, csv);
        QFETCH(QString, message);
        const auto [status, said] = run(Via(via), {path("session.rec"), path(csv)});
        QCOMPARE(status, 1);
        QVERIFY2(said.contains(message), qPrintable(said));
        QFile existing(path("existing.csv"));
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), QByteArray("keep me\n"));
        QVERIFY(QFileInfo(path(".")).isDir());
    }
};

VANTOR_TEST_MAIN(Csv_Export)
#include "tst_csv_export.moc"
