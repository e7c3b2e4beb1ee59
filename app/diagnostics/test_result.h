#ifndef APP_DIAGNOSTICS_TEST_RESULT_H
#define APP_DIAGNOSTICS_TEST_RESULT_H

// What a guided test concludes: pass, fail or inconclusive, a one-line
// summary, each measured figure beside its limit and unit, and why a result
// is inconclusive. Kept for the service report, written into a recording's
// results as JSON and printed by the command line.

#include <QDateTime>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QVector>

#include <cmath>

namespace Diagnostics {

enum class Test_Kind
{
    Leak_Down,
    Sensors,
    Compressor
};

// "leak", "sensors", "compressor": the names the command line takes.
QString Test_Key(Test_Kind kind);
bool Test_From_Key(const QString& key, Test_Kind* kind);
// "Air leak-down", "Height sensors", "Compressor".
QString Test_Title(Test_Kind kind);

enum class Outcome
{
    Pass,
    Fail,
    Inconclusive
};

// "pass", "fail", "inconclusive".
QString Outcome_Key(Outcome outcome);
// "PASS", "FAIL", "INCONCLUSIVE".
QString Outcome_Text(Outcome outcome);

// Why a result is inconclusive, as scripts read it from the JSON.
namespace Reason {
constexpr const char* Stopped = "stopped";
constexpr const char* Connection_Lost = "connection_lost";
constexpr const char* Too_Short = "too_short";
constexpr const char* Not_Run = "not_run";
constexpr const char* Refused = "refused";
constexpr const char* Unclear = "unclear";
} // namespace Reason

struct Figure
{
    enum Limit_Kind
    {
        No_Limit, // shown for information
        At_Most,  // passes while value <= limit
        At_Least, // passes while value >= limit
        Within    // passes while |value| <= limit
    };

    QString key;  // "reservoir_loss": stable, for scripts
    QString name; // "Reservoir pressure loss"
    double value = std::nan("");
    QString unit; // "psi/min"
    int decimals = 1;
    Limit_Kind kind = No_Limit;
    double limit = std::nan("");
    QString note; // how it was measured: "over 8.2 min of quiet spans"

    bool Measured() const { return std::isfinite(value); }
    // A value as figures show it: fixed decimals, never "-0.00".
    static QString Number(double value, int decimals);
    // True when measured and within its limit (or it has none).
    bool Passed() const;
    // "3.2 psi/min (at most 1.0)", "not measured (at most 1.0 psi/min)".
    QString Text() const;
    QString Limit_Text() const;
    QJsonObject To_Json() const;
    static Figure From_Json(const QJsonObject& json);
};

struct Result
{
    Test_Kind test = Test_Kind::Leak_Down;
    Outcome outcome = Outcome::Inconclusive;
    QString summary;     // one line, without the test's name
    QString reason_code; // one of Reason, empty unless inconclusive
    QString reason;      // a sentence, empty unless inconclusive
    QVector<Figure> figures;
    // Named findings that are no numbers: "driver_sensor" -> "stuck".
    QMap<QString, QString> findings;
    QDateTime started;  // local time
    double seconds = 0; // how long it ran

    const Figure* Find(const QString& key) const;
    // "Air leak-down: FAIL - reservoir loses 3.2 psi/min (at most 1.0)".
    QString Verdict_Line() const;
    QJsonObject To_Json() const;
    // False for JSON that is no result.
    static bool From_Json(const QJsonObject& json, Result* result);
};

} // namespace Diagnostics

#endif // APP_DIAGNOSTICS_TEST_RESULT_H
