#include "plant.h"

#include "packets/reset_code.h"

#include <algorithm>
#include <cmath>

namespace Sim {

namespace {

using Seconds = std::chrono::duration<double>;

// The sensors' scale: raw = (degrees + 45) * 9.1044 + 102.3, and
// raw = psi * 5.462666 + 102.3 for the reservoir.
constexpr double angle_raw(double degrees)
{
    return (degrees + 45.0) * 9.1044 + 102.3;
}
constexpr double angle_rate(double degrees_per_second)
{
    return degrees_per_second * 9.1044;
}
constexpr double pressure_raw(double psi)
{
    return psi * 5.462666 + 102.3;
}
constexpr double pressure_rate(double psi_per_second)
{
    return psi_per_second * 5.462666;
}
double degrees_of(double raw)
{
    return (raw - 102.3) / 9.1044 - 45.0;
}

constexpr double radians_per_degree = 0.017453292519943295;

constexpr double low_stop = angle_raw(-35);
constexpr double high_stop = angle_raw(35);
constexpr double level = angle_raw(0);
constexpr double start_angle = level;
constexpr double start_dump = angle_raw(-25);
constexpr double manual_rate = angle_rate(5);
constexpr double preset_rate = angle_rate(8);
constexpr double arrived = 0.5;

// The tool repeats a held move after each "<OK>"; a gap longer than this
// means the button was released.
constexpr auto hold_time = std::chrono::milliseconds(150);
// After a manual move the spring gives back a tenth of the travel, at most
// half a degree, within about a second.
constexpr double settle_share = 0.1;
constexpr double settle_most = angle_rate(0.5);
constexpr double settle_time_constant = 0.3;

constexpr double empty_reservoir = pressure_raw(0);
constexpr double start_pressure = pressure_raw(145);
constexpr double cut_in = pressure_raw(120);
constexpr double cut_out = pressure_raw(150);
constexpr double fill_rate = pressure_rate(2.5);
constexpr double raise_use = pressure_rate(4); // per side while it rises

// Compressor temperature in the sensor's raw units: 153 is 20 C, 483 is 60 C.
constexpr double ambient_temperature = 153;
constexpr double hottest_temperature = 560;
constexpr double overheat_temperature = 483;
constexpr double heating_rate = 1.5;
constexpr double cooling_rate = 0.5;

constexpr unsigned nominal_battery = 506; // 12.6 V
constexpr unsigned compressor_sag = 12;   // about 0.3 V while it runs
constexpr int battery_noise = 2;

constexpr double seconds_per_count = 60;
constexpr unsigned counter_limit = 65535;
constexpr unsigned full_duty = 1024;

constexpr auto step_length = std::chrono::milliseconds(10);

// The program turns an angle into a height as the lever's end travels:
// sin(angle) times the lever, 6 inches unless the user enters another. A
// leak given in inches per hour sinks that height, so that the program sees
// the rate at the factory lever whatever the angle.
constexpr double factory_lever = 6.0; // inches
constexpr double seconds_per_hour = 3600;
constexpr double seconds_per_minute = 60;

// The angle, in raw units, after the lever's end has sunk by `inches`; no
// lower than the low stop, where the side rests on its bump stops.
double sunk(double angle, double inches)
{
    const double height = std::sin(degrees_of(angle) * radians_per_degree) * factory_lever - inches;
    const double lowest = std::sin(degrees_of(low_stop) * radians_per_degree) * factory_lever;
    if (height <= lowest)
        return low_stop;
    return angle_raw(std::asin(height / factory_lever) / radians_per_degree);
}

std::size_t index(Counter counter)
{
    return static_cast<std::size_t>(counter);
}

} // namespace

Plant::Plant(Clock::time_point now, unsigned seed)
    : now_(now), random_(seed), pressure_(start_pressure), temperature_(ambient_temperature),
      battery_(nominal_battery), counters_{321, 1234, 2}, inputs_{false, false, true, true}
{
    for (Side_State& s : sides_)
        s.angle = start_angle;
    presets_[static_cast<std::size_t>(Preset::Ride)] = {start_angle, start_angle};
    presets_[static_cast<std::size_t>(Preset::Dump)] = {start_dump, start_dump};
}

void Plant::advance(Clock::time_point now)
{
    // Small steps keep the compressor's switching and the moves' ends exact
    // enough however long ago the last look was.
    while (now_ < now) {
        const Clock::time_point next = std::min(now, now_ + step_length);
        step(now_, next);
        now_ = next;
    }
}

void Plant::step(Clock::time_point from, Clock::time_point to)
{
    for (Side which : {Side::Driver, Side::Curb})
        step_side(side(which), faults_.side_leak[Plant_Faults::index(which)], from, to);
    step_air(Seconds(to - from).count());
}

void Plant::step_side(Side_State& s, double leak, Clock::time_point from, Clock::time_point to)
{
    if (s.sensor_fault)
        return;
    const double seconds = Seconds(to - from).count();
    if (s.manual != 0) {
        const double moving = Seconds(std::min(to, s.hold_until) - from).count();
        if (moving > 0)
            s.angle += s.manual * manual_rate * moving;
        if (to >= s.hold_until) {
            const double give =
                std::min(settle_most, settle_share * std::abs(s.angle - s.hold_start));
            s.settle_to = s.angle - s.manual * give;
            s.settling = true;
            s.manual = 0;
        }
    } else if (s.driving) {
        const double left = s.drive_to - s.angle;
        const double travel = preset_rate * seconds;
        if (std::abs(left) <= travel + arrived) {
            s.angle = s.drive_to;
            s.driving = false;
        } else {
            s.angle += left > 0 ? travel : -travel;
        }
    } else if (s.settling) {
        s.angle += (s.settle_to - s.angle) * (1 - std::exp(-seconds / settle_time_constant));
        if (std::abs(s.settle_to - s.angle) < 0.05)
            s.settling = false;
    }
    // An open valve of the side feeds or vents its spring, and the
    // controller holds the side where it wants it meanwhile.
    if (leak > 0 && direction_of(s) == 0) {
        const double was = s.angle;
        s.angle = sunk(s.angle, leak * seconds / seconds_per_hour);
        if (s.settling)
            s.settle_to += s.angle - was;
    }
    s.angle = std::clamp(s.angle, low_stop, high_stop);
}

void Plant::step_air(double seconds)
{
    for (const Side_State& s : sides_) {
        if (direction_of(s) > 0 && pressure_ > empty_reservoir)
            pressure_ = std::max(empty_reservoir, pressure_ - raise_use * seconds);
    }
    pressure_ =
        std::max(empty_reservoir,
                 pressure_ - pressure_rate(faults_.reservoir_leak / seconds_per_minute) * seconds);
    const bool wanted =
        test_end_.has_value() || pressure_ < cut_in || (compressor_running_ && pressure_ < cut_out);
    compressor_running_ = compressor_enabled_ && wanted;
    if (compressor_running_) {
        pressure_ = std::min(pressure_ + fill_rate * faults_.compressor_factor * seconds,
                             std::max(pressure_, cut_out));
        compressor_seconds_ += seconds;
        const double was = temperature_;
        temperature_ = std::min(hottest_temperature, temperature_ + heating_rate * seconds);
        if (was < overheat_temperature && temperature_ >= overheat_temperature)
            counters_[index(Counter::Overheat)] =
                std::min(counters_[index(Counter::Overheat)] + 1, counter_limit);
        // Off at the cut-out, or a leak would keep it just below and
        // running for ever.
        if (pressure_ >= cut_out && !test_end_)
            compressor_running_ = false;
    } else {
        temperature_ = std::max(ambient_temperature, temperature_ - cooling_rate * seconds);
    }

    on_seconds_ += seconds;
    for (auto [counter, accumulated] :
         {std::pair{Counter::On_Time, &on_seconds_},
          std::pair{Counter::Compressor_Time, &compressor_seconds_}}) {
        while (*accumulated >= seconds_per_count) {
            *accumulated -= seconds_per_count;
            counters_[index(counter)] = std::min(counters_[index(counter)] + 1, counter_limit);
        }
    }
}

int Plant::direction_of(const Side_State& s) const
{
    if (s.manual != 0)
        return s.manual;
    if (s.driving)
        return s.drive_to > s.angle ? 1 : -1;
    return 0;
}

bool Plant::move(Side which, int direction, Clock::time_point now)
{
    Side_State& s = side(which);
    if (s.sensor_fault)
        return false;
    // A hand on the buttons takes over from a drive to a preset.
    for (Side_State& any : sides_)
        any.driving = false;
    if (s.manual != direction) {
        s.manual = direction;
        s.hold_start = s.angle;
    }
    s.settling = false;
    s.hold_until = now + hold_time;
    return true;
}

bool Plant::drive_to(Preset preset)
{
    if (sides_[0].sensor_fault || sides_[1].sensor_fault)
        return false;
    const auto& target = presets_[static_cast<std::size_t>(preset)];
    for (std::size_t i = 0; i < sides_.size(); ++i) {
        Side_State& s = sides_[i];
        s.manual = 0;
        s.settling = false;
        s.driving = true;
        s.drive_to = target[i];
    }
    return true;
}

void Plant::store(Preset preset)
{
    auto& target = presets_[static_cast<std::size_t>(preset)];
    for (std::size_t i = 0; i < sides_.size(); ++i)
        target[i] = std::round(sides_[i].angle);
}

void Plant::start_compressor_test(Clock::time_point now, Clock::duration duration)
{
    test_end_ = now + duration;
}

bool Plant::finish_test(Clock::time_point now)
{
    if (!test_end_ || now < *test_end_)
        return false;
    test_end_.reset();
    return true;
}

unsigned Plant::new_challenge(Counter counter)
{
    std::uniform_int_distribution<int> below_1000(0, 999);
    challenges_[index(counter)] = below_1000(random_);
    return static_cast<unsigned>(challenges_[index(counter)]);
}

bool Plant::reset_counter(Counter counter, unsigned code)
{
    const int challenge = challenges_[index(counter)];
    if (challenge < 0 || code != Quillon::Reset_Code_For(static_cast<std::uint16_t>(challenge)))
        return false;
    counters_[index(counter)] = 0;
    if (counter == Counter::On_Time)
        on_seconds_ = 0;
    if (counter == Counter::Compressor_Time)
        compressor_seconds_ = 0;
    return true;
}

bool Plant::set_fault_flags(int group, const std::string& flags)
{
    if (group < 1 || group > 3 || flags.size() != 5 ||
        flags.find_first_not_of("01") != std::string::npos)
        return false;
    fault_flags_[static_cast<std::size_t>(group - 1)] = flags;
    if (group == 1) {
        // Body byte 8 is the driver's sensor, byte 7 the curb side's.
        side(Side::Driver).sensor_fault = flags[4] == '1';
        side(Side::Curb).sensor_fault = flags[3] == '1';
        for (Side_State& s : sides_) {
            if (s.sensor_fault) {
                s.manual = 0;
                s.driving = false;
                s.settling = false;
            }
        }
    }
    return true;
}

bool Plant::set_faults(const Plant_Faults& faults)
{
    if (!faults.valid())
        return false;
    for (Side which : {Side::Driver, Side::Curb}) {
        const std::size_t i = Plant_Faults::index(which);
        if (faults.stuck_sensor[i] && !faults_.stuck_sensor[i])
            stuck_at_[i] = sensor_reading(which);
    }
    faults_ = faults;
    return true;
}

double Plant::sensor_reading(Side sensor) const
{
    const std::size_t i = Plant_Faults::index(sensor);
    if (faults_.stuck_sensor[i])
        return stuck_at_[i];
    const double angle = sides_[i].angle;
    return faults_.reversed_sensor[i] ? 2 * level - angle : angle;
}

void Plant::set_angle(Side which, unsigned raw)
{
    Side_State& s = side(which);
    s.angle = std::clamp(static_cast<double>(raw), low_stop, high_stop);
    s.manual = 0;
    s.driving = false;
    s.settling = false;
}

void Plant::set_pressure(unsigned raw)
{
    pressure_ = std::min(static_cast<double>(raw), 1023.0);
}

void Plant::set_counter(Counter counter, unsigned value)
{
    counters_[index(counter)] = std::min(value, counter_limit);
}

void Plant::set_input(Input input, bool value)
{
    inputs_[static_cast<std::size_t>(input)] = value;
}

Plant_Readings Plant::readings()
{
    auto raw = [](double value) { return static_cast<unsigned>(std::lround(value)); };
    const Side_State& driver = sides_[0];
    const Side_State& curb = sides_[1];
    const auto& ride = presets_[static_cast<std::size_t>(Preset::Ride)];
    const auto& dump = presets_[static_cast<std::size_t>(Preset::Dump)];

    Plant_Readings r;
    const bool swapped = faults_.swapped_sensors;
    r.driver_angle = raw(sensor_reading(swapped ? Side::Curb : Side::Driver));
    r.curb_angle = raw(sensor_reading(swapped ? Side::Driver : Side::Curb));
    r.ride_driver = raw(ride[0]);
    r.ride_curb = raw(ride[1]);
    r.dump_driver = raw(dump[0]);
    r.dump_curb = raw(dump[1]);
    r.pressure = raw(pressure_);
    std::uniform_int_distribution<int> noise(-battery_noise, battery_noise);
    const int battery = static_cast<int>(battery_) -
                        (compressor_running_ ? int(compressor_sag) : 0) + noise(random_);
    r.battery = static_cast<unsigned>(std::max(battery, 0));
    r.compressor_temperature = raw(temperature_);

    const int driver_way = direction_of(driver);
    const int curb_way = direction_of(curb);
    const bool raising = driver_way > 0 || curb_way > 0;
    const bool lowering = driver_way < 0 || curb_way < 0;
    r.exhaust_duty = lowering ? full_duty : 0;
    if (test_end_)
        r.mode = Mode::Compressor_Test;
    else if (driver_way + curb_way > 0 || (raising && lowering))
        r.mode = Mode::Raising;
    else if (lowering)
        r.mode = Mode::Lowering;
    else
        r.mode = Mode::Idle;

    r.counters = counters_;
    r.challenges = challenges_;
    r.compressor = compressor_running_;
    r.driver_valve = driver_way != 0;
    r.curb_valve = curb_way != 0;
    r.reservoir_valve = raising;
    r.inputs = inputs_;
    r.bypass_digit = bypass_digit_;
    r.fault_flags = fault_flags_;
    return r;
}

} // namespace Sim
