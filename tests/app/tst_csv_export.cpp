#include "app_test_main.h"
#include "main_window.h"
#include "recording/csv_export.h"
#include "schema_sql.h"
#include "sql_file.h"
#include "views/recorded_traffic_model.h"

#include <QProcess>
#include <sys/stat.h>

// The export as a function (F), as the program on a command line without a
// display (P) and from the main window (W), in a temporary current folder;
// and the traffic monitor's reading of rows too long to show.
class Csv_Export : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QByteArray contents(const QString& name) const
    {
        // A FIFO would wait for a writer.
        if (!QFileInfo(name).isFile())
            return "(none)";
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
            QVERIFY(Sql_File(name).exec(
                (name == "newer.rec" ? schema_sql("99") : schema_sql()) +
                "INSERT INTO readings VALUES(0, 'DSA', 512, 12.5, 'deg'), (0, 'IGV', 1,"
                " NULL, ''), (1500, 'RES', 1200, 120, 'psi'), (1500, 'DSA', 514, -0.125,"
                " 'deg'), (2000001, 'IGV', 0, NULL, '');"
                "INSERT INTO traffic VALUES(0, 'tx', CAST('GDSA' || char(13) AS BLOB)),"
                " (250, 'rx', CAST('R,1' || char(10, 1) AS BLOB)), (300, 'noise', x'FF5C')"));
        }
        // Texts a spreadsheet would run as formulas, in codes and in bytes,
        // and one code once as text and once as a blob: one column.
        Sql_File formulas("formulas.rec");
        QVERIFY2(formulas.exec(
                     "CREATE TABLE session(key, value); CREATE TABLE readings(t_us, code, raw, "
                     "value, unit); CREATE TABLE traffic(t_us, direction, bytes);"
                     "INSERT INTO session VALUES('schema_version', 2);"
                     "INSERT INTO readings VALUES(0, '=A1', 1, -2.5, 'deg'), (0, 'DSA', 5, "
                     "-0.125, 'deg'), (1, '@x', 3, NULL, NULL), (1, '+y', 4, NULL, NULL), (1, "
                     "'-z', -7, NULL, NULL), (1, CAST('DSA' AS BLOB), 6, -0.5, 'deg');"
                     "INSERT INTO traffic VALUES(0, 'tx', '=cmd|'' /C calc''!A0'), (1, 'rx', "
                     "'=HYPERLINK(\"x\")'), (2, 'rx', '-1+2'), (3, 'noise', '@SUM(A1)'), (4, "
                     "'rx', X'092B'), (5, 'tx', '+1,2'), (6, 'rx', '1+1'), (-9223372036854775808, "
                     "'tx', 'x')"),
                 qPrintable(formulas.error()));
        for (const char* name : {"notes.txt", "existing.csv"}) {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("keep me\n") > 0);
        }
        QVERIFY(mkfifo("fifo.rec", 0600) == 0);
        QVERIFY(QDir().mkdir("folder.rec"));
        // German writes 12,5; the export must not.
        QLocale::setDefault(QLocale::German);
    }

    void exports_data()
    {
        QTest::addColumn<bool>("traffic");
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("recording");
        QTest::newRow("readings") << false
                                  << QByteArray("time_s,DSA,IGV,RES\n0.000000,12.5,1,\n"
                                                "0.001500,-0.125,,120\n2.000001,,0,\n")
                                  << "session.rec";
        QTest::newRow("traffic") << true
                                 << QByteArray("time_s,direction,text\n0.000000,tx,GDSA\\r\n"
                                               "0.000250,rx,\"R,1\\n\\x01\"\n"
                                               "0.000300,noise,\\xFF\\\\\n")
                                 << "session.rec";
        // A text that begins like a formula gets an apostrophe; numbers,
        // negative ones too, stay numbers, the earliest time there is too.
        QTest::newRow("formula-like codes")
            << false
            << QByteArray("time_s,'+y,'-z,'=A1,'@x,DSA\n0.000000,,,-2.5,,-0.125\n"
                          "0.000001,4,-7,,3,-0.5\n")
            << "formulas.rec";
        QTest::newRow("formula-like traffic")
            << true
            << QByteArray("time_s,direction,text\n-9223372036854.775808,tx,x\n"
                          "0.000000,tx,'=cmd|' /C calc'!A0\n"
                          "0.000001,rx,\"'=HYPERLINK(\"\"x\"\")\"\n0.000002,rx,'-1+2\n"
                          "0.000003,noise,'@SUM(A1)\n0.000004,rx,\\x09+\n"
                          "0.000005,tx,\"'+1,2\"\n0.000006,rx,1+1\n")
            << "formulas.rec";
    }
    void exports()
    {
        QFETCH(bool, traffic);
        QFETCH(QByteArray, csv);
        QFETCH(QString, recording);
        for (const char via : {'F', 'P', 'W'}) {
            const QString out =
                QStringLiteral("%1%2%3.csv").arg(QTest::currentDataTag()).arg(traffic).arg(via);
            QCOMPARE(run(via, recording, out, traffic), qMakePair(0, QString()));
            QCOMPARE(contents(out), csv);
        }
    }

    void refuses_data()
    {
        // Where it runs, the recording, the CSV, what the user is told. Nothing is written.
        QTest::addColumn<QString>("row");
        QTest::newRow("missing") << "FPW|gone.rec|a.csv|No such file or directory";
        QTest::newRow("text file") << "FPW|notes.txt|a.csv|not a session recording";
        QTest::newRow("newer") << "FPW|newer.rec|a.csv|newer format (version 99)";
        QTest::newRow("FIFO") << "FP|fifo.rec|a.csv|not a session recording";
        QTest::newRow("folder") << "FP|folder.rec|a.csv|Is a directory";
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

    // What the traffic monitor makes of rows too long to show.
    void long_rows_are_shown_cut()
    {
        const QString file = QStringLiteral("long.rec");
        QVERIFY(Sql_File(file).exec(
            schema_sql() + "INSERT INTO traffic VALUES(1, 'noise', zeroblob(5000000)),"
                           "(2, 'rx', CAST('PXV 00758' || printf('%.6000c', 'x') AS BLOB)),"
                           "(3, 'tx', CAST('get PXV' || char(13) AS BLOB));"));
        Views::Recorded_Traffic_Model shown;
        QString error;
        QVERIFY2(shown.Open(file, &error), qPrintable(error));
        shown.Index_All();
        QCOMPARE(shown.rowCount(), 3);
        QCOMPARE(shown.Row(0).bytes.size(), int(Recording::Max_Row_Bytes));
        const auto meaning = [&](int row) {
            return shown.Text(row, Views::Traffic_Table::Meaning);
        };
        QVERIFY(shown.Text(0, Views::Traffic_Table::Bytes).endsWith(QStringLiteral(" ...")));
        QCOMPARE(meaning(0), QStringLiteral("noise, 5000000 bytes"));
        QVERIFY2(meaning(1).endsWith(QStringLiteral(" ... (6009 bytes)")), qPrintable(meaning(1)));
        QCOMPARE(meaning(2), QStringLiteral("read PXV reservoir pressure"));
    }
};

VANTOR_TEST_MAIN(Csv_Export)
#include "tst_csv_export.moc"
