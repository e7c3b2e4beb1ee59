#include "app_test_main.h"
#include "main_window.h"
#include "recording/csv_export.h"
#include "recording/recording_schema.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>

// Recordings are built here with the program's own schema; the export runs as
// a function (F), as the program on a command line without a display (P) and
// from the main window (W).
class Csv_Export : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray contents(const QString& name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    }

    // The exit status (0 or 1) and the one-line message.
    QPair<int, QString> run(char via, const QString& recording, const QString& csv, bool traffic)
    {
        if (via == 'P') {
            QProcess program;
            program.setEnvironment({"HOME=" + QDir::homePath(), "LC_ALL=de_DE.UTF-8"});
            program.start(VANTOR_PROGRAM, QStringList{"--export-csv", path(recording), path(csv)} +
                                              (traffic ? QStringList{"--traffic"} : QStringList()));
            program.waitForFinished(30000);
            return {program.exitCode(), program.readAllStandardError().trimmed()};
        }
        QString error;
        if (via == 'F')
            return {!Recording::Export_CSV(path(recording), path(csv), traffic, &error), error};
        Prompt_Answers prompts;
        const bool ok = MainWindow().Export_CSV(path(recording), path(csv), traffic);
        QStringList texts; // one box on failure, none on success
        for (const Quillon::User_Prompt& prompt : prompts.asked)
            texts << prompt.text;
        return {!ok, texts.join('\n')};
    }

private slots:
    void initTestCase()
    {
        // Recordings in the program's schema: readings at 0, 1.5 ms and 2 s,
        // and traffic with CR, LF, a comma, control bytes and a backslash.
        for (const QString name : {"session.rec", "newer.rec"}) {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(path(name));
            QVERIFY(db.open());
            QStringList statements(std::begin(Recording::Schema), std::end(Recording::Schema));
            statements
                << QStringLiteral("INSERT INTO session VALUES('schema_version', '%1')")
                       .arg(name == "newer.rec" ? 99 : Recording::Schema_Version)
                << "INSERT INTO readings VALUES(0, 'DSA', 512, 12.5, 'deg'), (0, 'IGV', 1,"
                   " NULL, ''), (1500, 'RES', 1200, 120, 'psi'), (1500, 'DSA', 514, -0.125,"
                   " 'deg'), (2000001, 'IGV', 0, NULL, '')"
                << "INSERT INTO traffic VALUES(0, 'tx', CAST('GDSA' || char(13) AS BLOB)),"
                   " (250, 'rx', CAST('R,1' || char(10, 1) AS BLOB)), (300, 'noise', x'FF5C')";
            for (const QString& statement : statements)
                QVERIFY2(QSqlQuery(db).exec(statement), qPrintable(statement));
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
        }
        for (const char* name : {"notes.txt", "existing.csv"}) {
            QFile file(path(name));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("keep me\n") > 0);
        }
        // German writes 12,5; the export must not.
        QLocale::setDefault(QLocale::German);
    }

    void exports_data()
    {
        QTest::addColumn<bool>("traffic");
        QTest::addColumn<QByteArray>("csv");
        QTest::newRow("readings") << false
                                  << QByteArray("time_s,DSA,IGV,RES\n0.000000,12.5,1,\n"
                                                "0.001500,-0.125,,120\n2.000001,,0,\n");
        QTest::newRow("traffic") << true
                                 << QByteArray("time_s,direction,text\n0.000000,tx,GDSA\\r\n"
                                               "0.000250,rx,\"R,1\\n\\x01\"\n"
                                               "0.000300,noise,\\xFF\\\\\n");
    }
    void exports()
    {
        QFETCH(bool, traffic);
        QFETCH(QByteArray, csv);
        for (const char via : {'F', 'P', 'W'}) {
            const QString out = QStringLiteral("%1%2.csv").arg(traffic).arg(via);
            QCOMPARE(run(via, "session.rec", out, traffic), qMakePair(0, QString()));
            QCOMPARE(contents(out), csv);
        }
    }

    // Nothing is written, and what was there stays as it was.
    void refuses_data()
    {
        for (const char* column : {"vias", "recording", "csv", "message"})
            QTest::addColumn<QString>(column);
        const auto row = [](const char* name, const char* vias, const char* recording,
                            const char* csv, const char* message) {
            QTest::newRow(name) << QString(vias) << QString(recording) << QString(csv)
                                << QString(message);
        };
        row("missing", "FPW", "gone.rec", "a.csv", "no such file");
        row("text file", "FPW", "notes.txt", "a.csv", "not a session recording");
        row("newer", "FPW", "newer.rec", "a.csv", "newer version");
        row("over itself", "FW", "session.rec", "session.rec", "over the recording");
        row("no folder", "FPW", "session.rec", "none/a.csv", "cannot write");
        row("a folder", "FW", "session.rec", ".", "cannot write");
        row("existing", "P", "session.rec", "existing.csv", "already exists");
    }
    void refuses()
    {
        QFETCH(QString, vias);
        QFETCH(QString, recording);
        QFETCH(QString, csv);
        QFETCH(QString, message);
        const QByteArray before = contents(recording);
        for (const QChar via : vias) {
            const auto [status, said] = run(via.toLatin1(), recording, csv, false);
            QCOMPARE(status, 1);
            QVERIFY2(said.contains(message) && !said.contains('\n'), qPrintable(said));
            QCOMPARE(contents(recording) + contents("a.csv") + contents("existing.csv"),
                     before + "(none)keep me\n");
        }
    }
};

VANTOR_TEST_MAIN(Csv_Export)
#include "tst_csv_export.moc"
