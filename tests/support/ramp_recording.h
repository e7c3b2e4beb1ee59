#ifndef TESTS_SUPPORT_RAMP_RECORDING_H
#define TESTS_SUPPORT_RAMP_RECORDING_H

// A recording with known ramps, written in the recording format, sampled
// every 0.1 s for 100 s: the reservoir from 100 psi up 0.5 psi a second, the
// compressor from 20 degC up 0.1 degC a second, the driver-side angle from
// 10 deg down 0.1 deg a second; the compressor output on from 40 s to 60 s.

#include "sql_file.h"

#include <session_schema.h>

#include <QtTest>

inline void Write_Ramp_Recording(const QString& file)
{
    Sql_File db(file);
    for (std::size_t i = 0; i < Recording::Schema_Statements; ++i)
        QVERIFY(db.exec(QString::fromLatin1(Recording::Schema[i])));
    QVERIFY(db.exec(QStringLiteral("INSERT INTO session VALUES ('schema_version', '1');"
                                   "INSERT INTO session VALUES ('started', "
                                   "'2026-03-01T08:00:00.000Z'); BEGIN")));
    const auto reading = [&](qint64 t_us, const char* code, double value) {
        QVERIFY(db.run(QStringLiteral("INSERT INTO readings VALUES (?, ?, 0, ?, NULL)"),
                       {t_us, QString::fromLatin1(code), value}));
    };
    for (int i = 0; i <= 1000; ++i) {
        const double t = i / 10.0;
        reading(i * 100000LL, "PXV", 100 + 0.5 * t);
        reading(i * 100000LL, "OAT", 20 + 0.1 * t);
        reading(i * 100000LL, "DSA", 10 - 0.1 * t);
        reading(i * 100000LL, "CSR", i >= 400 && i < 600 ? 1 : 0);
    }
    QVERIFY(db.exec(QStringLiteral("COMMIT")));
}

#endif // TESTS_SUPPORT_RAMP_RECORDING_H
