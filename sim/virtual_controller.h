#ifndef SIM_VIRTUAL_CONTROLLER_H
#define SIM_VIRTUAL_CONTROLLER_H

// A simulated suspension controller served on a pseudo-terminal. The client
// opens device_path() like a serial port; the controller answers on a thread
// of its own, with faults injected on request.
//
// start(), stop() and hang_up() belong to one controlling thread; every other
// member may be called from any thread at any time. Changed settings apply
// from the next request on.

#include "line_statistics.h"
#include "plant_faults.h"
#include "plant_readings.h"
#include "sim_settings.h"

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>

namespace Sim {

class Plant;
class Replay;
struct Request;
class Master_Port;
class Line_Assembler;
class Wake_Pipe;

class Virtual_Controller
{
public:
    Virtual_Controller();
    Virtual_Controller(const Virtual_Controller&) = delete;
    Virtual_Controller& operator=(const Virtual_Controller&) = delete;
    ~Virtual_Controller();

    // Opens a new pseudo-terminal and starts serving it.
    bool start(std::string* error = nullptr);
    // Stops serving and closes the line; the plant keeps its state.
    void stop();
    // Closes the master, as when the adapter is pulled out: the client sees a
    // hang-up, reads return 0 and writes fail with EIO. Serving ends.
    void hang_up();
    bool is_serving() const;
    // The slave, e.g. /dev/pts/3; empty before the first start().
    std::string device_path() const;

    // Line behaviour and faults.
    Settings settings() const;
    void set_settings(const Settings& settings);
    void set_silent_commands(const std::set<std::string>& codes_or_keys);
    void set_all_silent(bool on);
    void set_answer_delay(std::chrono::milliseconds delay);
    void set_trickle(bool on, std::chrono::microseconds gap = std::chrono::milliseconds(1));
    void set_noise_bytes(unsigned count);
    void set_bad_checksums(bool on);
    void set_refuse_moves(bool on);
    // A bracketed text of at most 19 characters; false otherwise.
    bool set_test_verdict(const std::string& text);
    void set_test_duration(std::chrono::milliseconds duration);
    void set_line_pacing(bool on);
    // group 1..3 (FM1..FM3), five '0'/'1'; false otherwise. A driver or curb
    // sensor fault in FM1 (body byte 8 or 7) freezes that side and refuses
    // its moves.
    bool set_fault_flags(int group, const std::string& flags);

    // The plant, as the Get answers would show it now.
    Plant_Readings readings();
    void set_angle_raw(Side side, unsigned raw);
    void set_pressure_raw(unsigned raw);
    void set_battery_raw(unsigned raw);
    void set_counter(Counter counter, unsigned value);
    void set_input(Input input, bool value);
    // With the compressor off the reservoir stays where it is put, short of
    // a leak.
    void set_compressor_enabled(bool on);

    // The vehicle's faults, all at once or one by one. Each is false,
    // changing nothing, for a value out of range (Plant_Faults). A sensor
    // that sticks keeps the reading it has at the call.
    Plant_Faults plant_faults() const;
    bool set_plant_faults(const Plant_Faults& faults);
    bool set_leak_reservoir(double psi_per_minute);
    bool set_leak(Side side, double inches_per_hour);
    void set_stuck_sensor(Side side, bool stuck);
    void set_reversed_sensor(Side side, bool reversed);
    void set_swapped_sensors(bool swapped);
    bool set_weak_compressor(double factor);

    // Gets answered from a session recording (none: from the plant), its
    // timeline played `speed` times as fast. Its clock starts at the next
    // line received.
    void set_replay(std::shared_ptr<const Replay> replay, double speed = 1.0);

    // What arrived. Keys as "get DSA", "go MDP", "set ALG" (no value).
    unsigned request_count(const std::string& key) const;
    // Every line received, malformed ones included.
    unsigned total_requests() const;
    // The last line received, without its carriage return.
    std::string last_request() const;
    void clear_statistics();
    // Answers sent and the client's turnaround, kept apart from the counts
    // above: clear_statistics() leaves them alone.
    Line_Statistics& line_statistics() { return line_statistics_; }

private:
    struct Outgoing;

    void serve();
    void receive(Master_Port& port, Line_Assembler& lines);
    // `arrived`: when the request's last byte crossed the line.
    void handle_line(Master_Port& port, const std::string& line,
                     std::chrono::steady_clock::time_point arrived);
    // The recording's answer to a Get, or nothing where the plant answers.
    std::optional<std::string>
    replayed_answer_locked(const Request& request, std::chrono::steady_clock::time_point now) const;
    void deliver(Master_Port& port, const Outgoing& outgoing);
    bool take_due_verdict(std::chrono::steady_clock::time_point now, Outgoing* outgoing);
    std::chrono::steady_clock::time_point next_event(std::chrono::steady_clock::time_point now);
    Outgoing outgoing_locked(std::string answer);
    template <typename Change> void change_settings(Change change);
    template <typename Change> void change_plant(Change change);
    template <typename Change> bool change_faults(Change change);

    mutable std::mutex mutex_; // guards everything below up to the thread
    std::unique_ptr<Plant> plant_;
    Settings settings_;
    std::string device_path_;
    std::map<std::string, unsigned> counts_;
    unsigned total_requests_ = 0;
    std::string last_request_;
    std::mt19937 noise_random_;
    std::shared_ptr<const Replay> replay_;
    double replay_speed_ = 1.0;
    std::optional<std::chrono::steady_clock::time_point> replay_start_;
    Line_Statistics line_statistics_; // has a lock of its own

    // Opened by start() before the thread starts and closed only after it
    // has been joined, so the serving thread uses them without the lock.
    int master_fd_ = -1;
    std::unique_ptr<Wake_Pipe> wake_;
    std::thread thread_;
    std::atomic<bool> stop_requested_{false};
    std::atomic<bool> hang_up_requested_{false};
    std::atomic<bool> serving_{false};
};

} // namespace Sim

#endif // SIM_VIRTUAL_CONTROLLER_H
