#ifndef SIM_PLANT_H
#define SIM_PLANT_H

// The simulated suspension: two sides with their angle sensors, valves and
// presets, the reservoir with its compressor, the maintenance counters and
// the compressor test, and the vehicle's own faults. Pure model: time is
// passed in, nothing is locked.

#include "plant_faults.h"
#include "plant_readings.h"

#include <array>
#include <chrono>
#include <optional>
#include <random>
#include <string>

namespace Sim {

enum class Preset
{
    Ride, // SRH stores it, RDH drives to it, RHD/RHC read it
    Dump  // SLP stores it, LSP drives to it, LHD/LHC read it
};

class Plant
{
public:
    using Clock = std::chrono::steady_clock;

    Plant(Clock::time_point now, unsigned seed);

    // Brings the model up to `now`; earlier times are ignored.
    void advance(Clock::time_point now);

    // direction: +1 raise, -1 lower. Each call keeps the side moving for a
    // short while; the move ends when the calls stop. False when the side's
    // sensor is faulted.
    bool move(Side side, int direction, Clock::time_point now);
    // Both sides travel to the preset; false when a sensor is faulted.
    bool drive_to(Preset preset);
    void store(Preset preset);

    void start_compressor_test(Clock::time_point now, Clock::duration duration);
    std::optional<Clock::time_point> test_end() const { return test_end_; }
    // True once, when the running test has reached its end.
    bool finish_test(Clock::time_point now);

    // A fresh reset challenge below 1000 for the counter.
    unsigned new_challenge(Counter counter);
    // Zeroes the counter when the code answers its last challenge.
    bool reset_counter(Counter counter, unsigned code);

    void set_bypass_digit(bool digit) { bypass_digit_ = digit; }
    // group 1..3, five '0'/'1'; false for anything else. Driver and curb
    // sensor faults of group 1 freeze their side.
    bool set_fault_flags(int group, const std::string& flags);

    void set_angle(Side side, unsigned raw);
    void set_pressure(unsigned raw);
    void set_counter(Counter counter, unsigned value);
    void set_input(Input input, bool value);
    void set_battery(unsigned raw) { battery_ = raw; }
    void set_compressor_enabled(bool enabled) { compressor_enabled_ = enabled; }

    // False, changing nothing, for a value out of range. A sensor that
    // sticks now keeps the reading it has now.
    bool set_faults(const Plant_Faults& faults);
    const Plant_Faults& faults() const { return faults_; }

    // Draws the battery's noise, hence not const.
    Plant_Readings readings();

private:
    struct Side_State
    {
        double angle = 0;               // raw sensor units
        int manual = 0;                 // +1/-1 while the move command keeps coming
        Clock::time_point hold_until{}; // the manual move ends here unless renewed
        double hold_start = 0;          // angle when the manual move began
        bool settling = false;          // drifting back a little after a move
        double settle_to = 0;
        bool driving = false; // travelling to a preset
        double drive_to = 0;
        bool sensor_fault = false;
    };

    void step(Clock::time_point from, Clock::time_point to);
    void step_side(Side_State& side, double leak, Clock::time_point from, Clock::time_point to);
    void step_air(double seconds);
    int direction_of(const Side_State& side) const;
    // What the sensor on that side reads, in raw units, before any swap.
    double sensor_reading(Side sensor) const;
    Side_State& side(Side which) { return sides_[static_cast<std::size_t>(which)]; }

    Clock::time_point now_;
    std::mt19937 random_;
    std::array<Side_State, 2> sides_{};
    std::array<std::array<double, 2>, 2> presets_{}; // [Preset][Side]
    double pressure_;
    double temperature_;
    bool compressor_running_ = false;
    bool compressor_enabled_ = true;
    unsigned battery_;
    std::array<unsigned, 3> counters_{};
    double on_seconds_ = 0;
    double compressor_seconds_ = 0;
    std::array<int, 3> challenges_{-1, -1, -1};
    std::optional<Clock::time_point> test_end_;
    std::array<bool, 4> inputs_{};
    bool bypass_digit_ = false;
    std::array<std::string, 3> fault_flags_{"00000", "00000", "00000"};
    Plant_Faults faults_;
    std::array<double, 2> stuck_at_{}; // a stuck sensor's reading, by Side
};

} // namespace Sim

#endif // SIM_PLANT_H
