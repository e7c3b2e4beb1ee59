#ifndef APP_DIAGNOSTICS_TEST_SAMPLES_H
#define APP_DIAGNOSTICS_TEST_SAMPLES_H

// The time series a guided test judges: each sample holds the latest known
// value of every watched signal at its time. The readings arrive one command
// at a time, live or from a recording; Series_Builder turns them into
// samples, so that the analyses never see the line.

#include <QString>
#include <QVector>

#include <cmath>
#include <functional>
#include <vector>

namespace Diagnostics {

// An output as read: unknown until its first answer.
enum class Output : signed char
{
    Unknown = -1,
    Off = 0,
    On = 1
};

struct Sample
{
    double t = 0;                             // seconds from the start of the series
    double pressure = std::nan("");           // reservoir, psi (PXV)
    double driver_angle = std::nan("");       // degrees, as the driver's sensor reads (DSA)
    double curb_angle = std::nan("");         // degrees, curb side (PSA)
    double driver_height = std::nan("");      // inches the lever's end is above level
    double curb_height = std::nan("");        // the same for the curb side
    double temperature = std::nan("");        // compressor, degrees C (OAT)
    Output compressor = Output::Unknown;      // CSR
    Output driver_valve = Output::Unknown;    // DSS
    Output curb_valve = Output::Unknown;      // CSS
    Output reservoir_valve = Output::Unknown; // RVS
    Output exhaust = Output::Unknown;         // CES: its duty above 0

    // An output not yet read counts as active: a span is only quiet once it
    // is known to be.
    static bool Active(Output o) { return o != Output::Off; }
    bool Any_Valve() const
    {
        return Active(driver_valve) || Active(curb_valve) || Active(reservoir_valve) ||
               Active(exhaust);
    }
};

// A std::vector: g++ 12 warns falsely inside QVector<Sample>::append.
using Series = std::vector<Sample>;

class Series_Builder
{
public:
    // The lever length turns angles into heights, as the tabs show them.
    explicit Series_Builder(double lever_inches = 6.0);

    // The codes a series is built from.
    static const QStringList& Codes();

    // One reading, by its command code and its value as the tabs show it
    // (the unit of a recording's readings: psi, deg, degC, 0/1, % for CES).
    // Each reading adds a sample, unless it comes within the resolution of
    // the last one, which it then updates. False for a code that is not
    // watched or a value that is no number.
    bool Add(double t, const QString& code, double value);
    // Readings within this many seconds of the last sample update it
    // rather than add one; 0 (the default) keeps every reading.
    void Set_Resolution(double seconds) { resolution = seconds; }
    const Series& Samples() const { return samples; }
    // The latest value of every signal.
    const Sample& Current() const { return current; }
    double Lever_Inches() const { return lever; }
    void Clear();

    // The height of the lever's end for an angle, in inches.
    static double Height(double angle_degrees, double lever_inches);

private:
    double lever;
    double resolution = 0;
    Sample current;
    Series samples;
};

// The slope of a value over time, pooled over spans of consecutive samples
// in which `usable` holds: a least-squares line per span, sharing one slope,
// so that each span's level may differ (a compressor run between two spans
// lifts the pressure without disturbing the rate). `edge` seconds are left
// out at both ends of each span: readings lag the outputs by up to a round of
// requests, and a span's first moments carry what went before.
struct Rate
{
    double per_second = std::nan(""); // NaN when nothing was usable
    double seconds = 0;               // the length of the spans used
    int spans = 0;
    int samples = 0;
    bool Measured() const { return std::isfinite(per_second); }
};
Rate Pooled_Rate(const Series& series, const std::function<double(const Sample&)>& value,
                 const std::function<bool(const Sample&)>& usable, double edge);

} // namespace Diagnostics

#endif // APP_DIAGNOSTICS_TEST_SAMPLES_H
