// The leak-down and compressor analyses over a recording with known ramps:
// a quiet minute losing 3 psi a minute, a compressor run filling at 100 psi
// a minute while warming 10 degrees a minute, and another quiet minute.

#include "app_test_main.h"

#include "diagnostics/recording_analysis.h"

#include <session_writer.h>

#include <QTemporaryDir>

using namespace Diagnostics;

class Diagnostics_Recording : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString file;

private slots:
    void initTestCase()
    {
        file = dir.filePath(QStringLiteral("ramps.sqlite"));
        Recording::Writer w;
        QVERIFY(w.create(QFile::encodeName(file).toStdString()) && w.begin());
        double pressure = 130;
        double temperature = 30;
        for (int tenth = 0; tenth <= 1350; tenth += 5) {
            const double t = tenth / 10.0;
            const bool running = t >= 60 && t < 75;
            const std::int64_t us = std::int64_t(tenth) * 100000;
            const auto flag = [&](const char* code, bool on) {
                return w.add_reading(us, code, on, std::nullopt, nullptr);
            };
            QVERIFY(w.add_reading(us, "PXV", 0, pressure, "psi") &&
                    w.add_reading(us, "OAT", 0, temperature, "degC") &&
                    w.add_reading(us, "DSA", 0, 1.0, "deg") &&
                    w.add_reading(us, "PSA", 0, -1.0, "deg") && flag("CSR", running) &&
                    flag("DSS", false) && flag("CSS", false) && flag("RVS", false) &&
                    w.add_reading(us, "CES", 0, 0.0, "%"));
            pressure += (running ? 100.0 : -3.0) / 120;
            temperature += running ? 10.0 / 120 : 0;
        }
        QVERIFY(w.commit() && w.close());
    }

    void analyses_data()
    {
        QTest::addColumn<int>("test");
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("figure");
        QTest::addColumn<double>("value");
        // Not analysed at all, with an error to show.
        QTest::addColumn<bool>("refused");
        const int leak = int(Test_Kind::Leak_Down);
        const int compressor = int(Test_Kind::Compressor);
        const double whole = Whole_Recording;
        QTest::newRow("leak, whole") << leak << 0.0 << whole << "fail"
                                     << "reservoir_loss" << 3.0 << false;
        QTest::newRow("leak, both quiet spans") << leak << 0.0 << whole << "fail"
                                                << "compressor_starts" << 1.0 << false;
        QTest::newRow("leak, first minute") << leak << 0.0 << 59.0 << "fail"
                                            << "compressor_starts" << 0.0 << false;
        QTest::newRow("compressor, its run") << compressor << 50.0 << 90.0 << "pass"
                                             << "fill_rate" << 100.0 << false;
        QTest::newRow("compressor, warming") << compressor << 50.0 << 90.0 << "pass"
                                             << "temperature_rise" << 10.0 << false;
        QTest::newRow("compressor, before it ran") << compressor << 0.0 << 55.0 << "inconclusive"
                                                   << "" << 0.0 << false;
        QTest::newRow("sensors run only live")
            << int(Test_Kind::Sensors) << 0.0 << whole << "inconclusive"
            << "" << 0.0 << true;
        QTest::newRow("no such file") << leak << 0.0 << whole << "inconclusive"
                                      << "" << 0.0 << true;
        QTest::newRow("empty span") << leak << 20.0 << 20.0 << "inconclusive"
                                    << "" << 0.0 << true;
    }

    void analyses()
    {
        QFETCH(int, test);
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(QString, outcome);
        QFETCH(QString, figure);
        QFETCH(double, value);
        QFETCH(bool, refused);
        QString error;
        const QString read = QTest::currentDataTag() == QByteArray("no such file")
                                 ? dir.filePath(QStringLiteral("none.sqlite"))
                                 : file;
        const Result r = Analyse_Recording(read, Test_Kind(test), from, to, &error);
        QCOMPARE(Outcome_Key(r.outcome), outcome);
        QCOMPARE(!error.isEmpty(), refused);
        if (figure.isEmpty())
            return;
        const Figure* f = r.Find(figure);
        QVERIFY(f);
        QVERIFY2(std::abs(f->value - value) <= 0.05 * value + 0.01,
                 qPrintable(QString::number(f->value)));
    }
};

VANTOR_TEST_MAIN(Diagnostics_Recording)
#include "tst_diagnostics_recording.moc"
