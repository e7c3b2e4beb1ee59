#include "build_info.h"
#include "data_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The licence terms are found beside the program in a build tree and in the
// data folder of an installed one, wherever it was installed.
class Data_Files : public QObject
{
    Q_OBJECT
private slots:
    void found_data();
    void found();
};

void Data_Files::found_data()
{
    QTest::addColumn<bool>("beside");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("expect_installed");
    QTest::newRow("build tree") << true << false << false;
    QTest::newRow("installed") << false << true << true;
    QTest::newRow("both: the one beside") << true << true << false;
    QTest::newRow("neither: named beside") << false << false << false;
}

void Data_Files::found()
{
    QFETCH(bool, beside);
    QFETCH(bool, installed);
    QFETCH(bool, expect_installed);
    QTemporaryDir prefix;
    QVERIFY(prefix.isValid());
    const QDir root(prefix.path() + QStringLiteral("/with space"));
    const QString bin = root.filePath(QStringLiteral("bin"));
    const QString data = QDir::cleanPath(bin + QStringLiteral("/" VANTOR_DATA_FROM_BIN));
    QVERIFY(QDir().mkpath(bin) && QDir().mkpath(data));
    for (const QString& file : {beside ? bin + QStringLiteral("/EULA.rtf") : QString(),
                                installed ? data + QStringLiteral("/EULA.rtf") : QString()}) {
        QFile made(file);
        QVERIFY(file.isEmpty() || made.open(QIODevice::WriteOnly));
    }
    QCOMPARE(Data_File(bin, QStringLiteral("EULA.rtf")),
             (expect_installed ? data : bin) + QStringLiteral("/EULA.rtf"));
}

QTEST_GUILESS_MAIN(Data_Files)
#include "tst_data_files.moc"
