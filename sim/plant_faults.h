#ifndef SIM_PLANT_FAULTS_H
#define SIM_PLANT_FAULTS_H

// Faults of the simulated vehicle itself, as a workshop meets them: air that
// leaks away, height sensors that stick, read backwards or sit on each
// other's plug, and a compressor that has lost its breath. Defaults: a sound
// vehicle.

#include "plant_readings.h"

#include <array>
#include <cstddef>

namespace Sim {

struct Plant_Faults
{
    // The reservoir loses this much whatever else happens; the compressor,
    // when enabled, refills it between its cut-in and cut-out.
    double reservoir_leak = 0; // psi per minute
    // Each side sinks by this much while none of its valves is open, as the
    // program reads the height at the factory lever length; by Side.
    std::array<double, 2> side_leak{}; // inches per hour
    // The sensor keeps the reading it had when it stuck; by Side.
    std::array<bool, 2> stuck_sensor{};
    // The sensor reads the angle with the wrong sign: up is down; by Side.
    std::array<bool, 2> reversed_sensor{};
    // The driver's sensor is read as the curb side's angle and the other way
    // round; whatever else is wrong with a sensor goes with it.
    bool swapped_sensors = false;
    // The compressor fills at its healthy rate times this.
    double compressor_factor = 1;

    static constexpr double most_reservoir_leak = 1000;
    static constexpr double most_side_leak = 1000;

    static bool valid_reservoir_leak(double psi_per_minute)
    {
        return psi_per_minute >= 0 && psi_per_minute <= most_reservoir_leak;
    }
    static bool valid_side_leak(double inches_per_hour)
    {
        return inches_per_hour >= 0 && inches_per_hour <= most_side_leak;
    }
    // A weak compressor, down to one that runs and fills nothing.
    static bool valid_compressor_factor(double factor) { return factor >= 0 && factor <= 1; }

    // NaN fails every comparison above, hence every check.
    bool valid() const
    {
        return valid_reservoir_leak(reservoir_leak) && valid_side_leak(side_leak[0]) &&
               valid_side_leak(side_leak[1]) && valid_compressor_factor(compressor_factor);
    }

    static std::size_t index(Side side) { return static_cast<std::size_t>(side); }
};

} // namespace Sim

#endif // SIM_PLANT_FAULTS_H
