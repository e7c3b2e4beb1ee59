#include "app_test_main.h"
#include "main_window.h"
#include "recording/csv_export.h"
#include "recording/recording_schema.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>

// The export as a function (F), as the program on a command line without a
// display (P) and from the main window (W), in a temporary current folder.
class Csv_Export : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QByteArray contents(const QString& name) const
    {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    }

    // The exit status (0 or 1) and the one-line message.
    QPair<int, QString> run(char via, const QString& recording, const QString& csv, bool traffic)
    {
        if (via == 'P') {
            QProcess program;
            program.setEnvironment({"HOME=" + QDir::homePath(), "LC_ALL=de_DE.UTF-8"});
            program.start(VANTOR_PROGRAM, QStringList{"--export-csv", recording, csv} +
                                              (traffic ? QStringList{"--traffic"} : QStringList()));
            program.waitForFinished(30000);
            return {program.exitCode(), program.readAllStandardError().trimmed()};
        }
        QString error;
        if (via == 'F')
            return {!Recording::Export_CSV(recording, csv, traffic, &error), error};
        Prompt_Answers prompts;
        const bool ok = MainWindow().Export_CSV(recording, csv, traffic);
        if (prompts.asked.size() != int(!ok)) // one box on failure, none on success
            return {-1, "boxes: " + QString::number(prompts.asked.size())};
        return {!ok, ok ? QString() : prompts.asked[0].text};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(dir.path()));
        // Recordings in the program's schema: readings at 0, 1.5 ms and 2 s,
        // and traffic with CR, LF, a comma, control bytes and a backslash.
        for (const QString name : {"session.rec", "newer.rec"}) {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(name);
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
            QFile file(name);
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

    void refuses_data()
    {
        // Where it runs, the recording, the CSV, what the user is told. Nothing is written.
        QTest::addColumn<QString>("row");
        QTest::newRow("missing") << "FPW|gone.rec|a.csv|no such file";
        QTest::newRow("text file") << "FPW|notes.txt|a.csv|not a session recording";
        QTest::newRow("newer") << "FPW|newer.rec|a.csv|newer version";
        QTest::newRow("over itself") << "FW|session.rec|session.rec|over the recording";
        QTest::newRow("no folder") << "FPW|session.rec|none/a.csv|cannot write";
        QTest::newRow("a folder") << "FW|session.rec|.|cannot write";
        QTest::newRow("existing") << "P|session.rec|existing.csv|already exists";
    }
    void refuses()
    {
        QFETCH(QString, row);
        const QStringList parts = row.split('|');
        const QString &vias = parts[0], &recording = parts[1], &csv = parts[2], &message = parts[3];
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
