#include "diagnostics/test_samples.h"

#include <QStringList>

namespace Diagnostics {

namespace {

constexpr double radians_per_degree = 0.017453292519943295;

Output output(double value)
{
    return value != 0 ? Output::On : Output::Off;
}

} // namespace

Series_Builder::Series_Builder(double lever_inches) : lever(lever_inches) {}

const QStringList& Series_Builder::Codes()
{
    static const QStringList codes{"PXV", "DSA", "PSA", "OAT", "CSR", "DSS", "CSS", "RVS", "CES"};
    return codes;
}

double Series_Builder::Height(double angle_degrees, double lever_inches)
{
    return std::sin(angle_degrees * radians_per_degree) * lever_inches;
}

bool Series_Builder::Add(double t, const QString& code, double value)
{
    if (!std::isfinite(value) || !std::isfinite(t))
        return false;
    Sample next = current;
    if (code == QLatin1String("PXV")) {
        next.pressure = value;
    } else if (code == QLatin1String("DSA")) {
        next.driver_angle = value;
        next.driver_height = Height(value, lever);
    } else if (code == QLatin1String("PSA")) {
        next.curb_angle = value;
        next.curb_height = Height(value, lever);
    } else if (code == QLatin1String("OAT")) {
        next.temperature = value;
    } else if (code == QLatin1String("CSR")) {
        next.compressor = output(value);
    } else if (code == QLatin1String("DSS")) {
        next.driver_valve = output(value);
    } else if (code == QLatin1String("CSS")) {
        next.curb_valve = output(value);
    } else if (code == QLatin1String("RVS")) {
        next.reservoir_valve = output(value);
    } else if (code == QLatin1String("CES")) {
        next.exhaust = output(value);
    } else {
        return false;
    }
    if (!samples.empty() && t - samples.back().t < resolution) {
        next.t = samples.back().t;
        samples.back() = next;
    } else {
        next.t = t;
        samples.push_back(next);
    }
    current = next;
    return true;
}

void Series_Builder::Clear()
{
    current = Sample();
    samples.clear();
}

Rate Pooled_Rate(const Series& series, const std::function<double(const Sample&)>& value,
                 const std::function<bool(const Sample&)>& usable, double edge)
{
    Rate rate;
    double sxx = 0;
    double sxy = 0;
    const int n = int(series.size());
    int i = 0;
    while (i < n) {
        if (!usable(series[i]) || !std::isfinite(value(series[i]))) {
            ++i;
            continue;
        }
        int end = i;
        while (end + 1 < n && usable(series[end + 1]) && std::isfinite(value(series[end + 1])))
            ++end;
        const double from = series[i].t + edge;
        const double to = series[end].t - edge;
        // The span's own line: means first, then the sums about them.
        double mt = 0;
        double mv = 0;
        int count = 0;
        for (int k = i; k <= end; ++k) {
            if (series[k].t < from || series[k].t > to)
                continue;
            mt += series[k].t;
            mv += value(series[k]);
            ++count;
        }
        if (count >= 2) {
            mt /= count;
            mv /= count;
            double first = 0;
            double last = 0;
            bool any = false;
            for (int k = i; k <= end; ++k) {
                if (series[k].t < from || series[k].t > to)
                    continue;
                const double dt = series[k].t - mt;
                sxx += dt * dt;
                sxy += dt * (value(series[k]) - mv);
                if (!any)
                    first = series[k].t;
                last = series[k].t;
                any = true;
            }
            if (last > first) {
                rate.seconds += last - first;
                rate.samples += count;
                ++rate.spans;
            }
        }
        i = end + 1;
    }
    if (sxx > 0)
        rate.per_second = sxy / sxx;
    return rate;
}

} // namespace Diagnostics
