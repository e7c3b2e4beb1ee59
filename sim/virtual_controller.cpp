#include "virtual_controller.h"

#include "fd_io.h"
#include "line_assembler.h"
#include "line_faults.h"
#include "master_port.h"
#include "plant.h"
#include "pty_pair.h"
#include "replay.h"
#include "request_handler.h"
#include "request_line.h"
#include "response_frame.h"
#include "wake_pipe.h"

#include <system_error>

#include <sys/prctl.h>

namespace Sim {

namespace {

using Clock = std::chrono::steady_clock;

// With no client the master reports a hang-up at once, so it is looked at
// again after this pause instead of in a tight loop.
constexpr auto no_client_pause = std::chrono::milliseconds(10);
// The longest idle wait; nothing depends on it but housekeeping.
constexpr auto idle_wait = std::chrono::seconds(1);

unsigned fresh_seed()
{
    std::random_device device;
    return device();
}

} // namespace

struct Virtual_Controller::Outgoing
{
    std::string bytes;
    std::chrono::milliseconds delay{0};
    Delivery delivery;
};

Virtual_Controller::Virtual_Controller()
    : plant_(std::make_unique<Plant>(Clock::now(), fresh_seed())), noise_random_(fresh_seed()),
      wake_(std::make_unique<Wake_Pipe>())
{}

Virtual_Controller::~Virtual_Controller()
{
    stop();
}

bool Virtual_Controller::start(std::string* error)
{
    if (thread_.joinable()) {
        if (error)
            *error = "the virtual controller is already serving";
        return false;
    }
    Pty_Master master;
    if (!open_pty_master(&master, error))
        return false;
    if (!wake_->open(error)) {
        close_fd(master.fd);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        device_path_ = master.slave_path;
    }
    master_fd_ = master.fd;
    stop_requested_ = false;
    hang_up_requested_ = false;
    serving_ = true;
    try {
        thread_ = std::thread(&Virtual_Controller::serve, this);
    } catch (const std::system_error& e) {
        serving_ = false;
        if (error)
            *error = std::string("cannot start the serving thread: ") + e.what();
        close_fd(master_fd_);
        wake_->close();
        return false;
    }
    return true;
}

void Virtual_Controller::stop()
{
    if (thread_.joinable()) {
        stop_requested_ = true;
        wake_->notify();
        thread_.join();
    }
    close_fd(master_fd_);
    wake_->close();
}

void Virtual_Controller::hang_up()
{
    if (!thread_.joinable())
        return;
    hang_up_requested_ = true;
    wake_->notify();
    thread_.join();
    // Closing the master is the unplugging itself; the slave goes with it.
    close_fd(master_fd_);
    wake_->close();
}

bool Virtual_Controller::is_serving() const
{
    return serving_;
}

std::string Virtual_Controller::device_path() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return device_path_;
}

void Virtual_Controller::serve()
{
    // The line's byte times are 87 us; the default 50 us of timer slack on
    // every paced wait would stretch each exchange noticeably.
    (void)::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    Master_Port port(master_fd_, device_path(), *wake_);
    Line_Assembler lines;
    while (!stop_requested_ && !hang_up_requested_) {
        const Clock::time_point now = Clock::now();
        Outgoing verdict;
        if (take_due_verdict(now, &verdict)) {
            deliver(port, verdict);
            continue;
        }
        switch (port.wait_for_input(next_event(now))) {
        case Master_Port::Event::Input:
            receive(port, lines);
            break;
        case Master_Port::Event::No_Client:
            lines.clear();
            port.discard_unread();
            port.sleep_until(Clock::now() + no_client_pause);
            break;
        case Master_Port::Event::Deadline:
        case Master_Port::Event::Woken:
            break;
        case Master_Port::Event::Failed:
            // Polling our own descriptors cannot fail short of a broken
            // process; stop serving rather than spin.
            serving_ = false;
            return;
        }
    }
    serving_ = false;
}

void Virtual_Controller::receive(Master_Port& port, Line_Assembler& lines)
{
    char buffer[256];
    const long count = port.read(buffer, sizeof buffer);
    if (count < 0) {
        lines.clear();
        return;
    }
    const Clock::time_point read_at = Clock::now();
    if (count > 0)
        line_statistics_.request_arrived(read_at);
    const bool pacing = settings().line_pacing;
    for (long i = 0; i < count; ++i) {
        // Paced, a byte has arrived only once the line has carried it; the
        // line turns round after each answer, so later bytes wait for it.
        const Clock::time_point crossed = pacing ? port.pacer().carry(read_at) : read_at;
        if (!lines.feed(buffer[i]))
            continue;
        if (pacing && !port.sleep_until(crossed))
            return;
        handle_line(port, lines.line(), crossed);
        if (stop_requested_ || hang_up_requested_)
            return;
    }
}

void Virtual_Controller::handle_line(Master_Port& port, const std::string& line,
                                     Clock::time_point arrived)
{
    Outgoing outgoing;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const Clock::time_point now = Clock::now();
        plant_->advance(now);
        ++total_requests_;
        last_request_ = line;
        if (replay_ && !replay_start_)
            replay_start_ = now;
        const auto request = parse_request(line);
        if (!request)
            return;
        ++counts_[request_key(*request)];
        if (is_silenced(*request, settings_))
            return;
        auto answer = replayed_answer_locked(*request, now);
        if (!answer)
            answer = handle_request(*request, *plant_, settings_, now);
        if (!answer)
            return;
        if (settings_.bad_checksums)
            spoil_checksum(*answer);
        outgoing = outgoing_locked(std::move(*answer));
        outgoing.delay = settings_.answer_delay;
        // Paced, the answer is ready when the request has crossed, however
        // late this thread woke up to see it.
        if (outgoing.delivery.pacing)
            outgoing.delivery.ready_at = arrived + outgoing.delay;
    }
    deliver(port, outgoing);
}

Virtual_Controller::Outgoing Virtual_Controller::outgoing_locked(std::string answer)
{
    Outgoing outgoing;
    outgoing.bytes = noise_bytes(settings_.noise_bytes, noise_random_) + answer;
    outgoing.delivery.pacing = settings_.line_pacing;
    outgoing.delivery.trickle = settings_.trickle;
    outgoing.delivery.trickle_gap = settings_.trickle_gap;
    return outgoing;
}

void Virtual_Controller::deliver(Master_Port& port, const Outgoing& outgoing)
{
    const Clock::time_point due = outgoing.delivery.ready_at != Clock::time_point{}
                                      ? outgoing.delivery.ready_at
                                      : Clock::now() + outgoing.delay;
    if (outgoing.delay.count() > 0 && !port.sleep_until(due))
        return;
    if (port.send(outgoing.bytes, outgoing.delivery))
        line_statistics_.answer_sent(Clock::now(), port.last_crossing());
}

bool Virtual_Controller::take_due_verdict(Clock::time_point now, Outgoing* outgoing)
{
    std::lock_guard<std::mutex> lock(mutex_);
    plant_->advance(now);
    if (!plant_->finish_test(now) || settings_.all_silent)
        return false;
    *outgoing = outgoing_locked(system_response(settings_.test_verdict));
    return true;
}

Clock::time_point Virtual_Controller::next_event(Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto test_end = plant_->test_end();
    return test_end ? std::min(*test_end, now + idle_wait) : now + idle_wait;
}

Settings Virtual_Controller::settings() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return settings_;
}

void Virtual_Controller::set_replay(std::shared_ptr<const Replay> replay, double speed)
{
    std::lock_guard<std::mutex> lock(mutex_);
    replay_ = std::move(replay);
    replay_speed_ = speed;
    replay_start_.reset();
}

std::optional<std::string> Virtual_Controller::replayed_answer_locked(const Request& request,
                                                                      Clock::time_point now) const
{
    if (!replay_ || request.kind != Request_Kind::Get)
        return std::nullopt;
    const std::chrono::duration<double, std::micro> offset = (now - *replay_start_) * replay_speed_;
    const auto raw = replay_->raw_at(request.code,
                                     std::chrono::duration_cast<std::chrono::microseconds>(offset));
    if (!raw)
        return std::nullopt;
    return value_response(request.code, unsigned_field(*raw));
}

void Virtual_Controller::set_settings(const Settings& settings)
{
    change_settings([&](Settings& s) { s = settings; });
}

void Virtual_Controller::set_silent_commands(const std::set<std::string>& codes_or_keys)
{
    change_settings([&](Settings& s) { s.silent = codes_or_keys; });
}

void Virtual_Controller::set_all_silent(bool on)
{
    change_settings([&](Settings& s) { s.all_silent = on; });
}

void Virtual_Controller::set_answer_delay(std::chrono::milliseconds delay)
{
    change_settings([&](Settings& s) { s.answer_delay = delay; });
}

void Virtual_Controller::set_trickle(bool on, std::chrono::microseconds gap)
{
    change_settings([&](Settings& s) {
        s.trickle = on;
        s.trickle_gap = gap;
    });
}

void Virtual_Controller::set_noise_bytes(unsigned count)
{
    change_settings([&](Settings& s) { s.noise_bytes = count; });
}

void Virtual_Controller::set_bad_checksums(bool on)
{
    change_settings([&](Settings& s) { s.bad_checksums = on; });
}

void Virtual_Controller::set_refuse_moves(bool on)
{
    change_settings([&](Settings& s) { s.refuse_moves = on; });
}

bool Virtual_Controller::set_test_verdict(const std::string& text)
{
    if (!is_system_text(text))
        return false;
    change_settings([&](Settings& s) { s.test_verdict = text; });
    return true;
}

void Virtual_Controller::set_test_duration(std::chrono::milliseconds duration)
{
    change_settings([&](Settings& s) { s.test_duration = duration; });
}

void Virtual_Controller::set_line_pacing(bool on)
{
    change_settings([&](Settings& s) { s.line_pacing = on; });
}

bool Virtual_Controller::set_fault_flags(int group, const std::string& flags)
{
    bool accepted = false;
    change_plant([&](Plant& p) { accepted = p.set_fault_flags(group, flags); });
    return accepted;
}

Plant_Readings Virtual_Controller::readings()
{
    Plant_Readings readings;
    change_plant([&](Plant& p) { readings = p.readings(); });
    return readings;
}

void Virtual_Controller::set_angle_raw(Side side, unsigned raw)
{
    change_plant([&](Plant& p) { p.set_angle(side, raw); });
}

void Virtual_Controller::set_pressure_raw(unsigned raw)
{
    change_plant([&](Plant& p) { p.set_pressure(raw); });
}

void Virtual_Controller::set_battery_raw(unsigned raw)
{
    change_plant([&](Plant& p) { p.set_battery(raw); });
}

void Virtual_Controller::set_counter(Counter counter, unsigned value)
{
    change_plant([&](Plant& p) { p.set_counter(counter, value); });
}

void Virtual_Controller::set_input(Input input, bool value)
{
    change_plant([&](Plant& p) { p.set_input(input, value); });
}

void Virtual_Controller::set_compressor_enabled(bool on)
{
    change_plant([&](Plant& p) { p.set_compressor_enabled(on); });
}

Plant_Faults Virtual_Controller::plant_faults() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return plant_->faults();
}

bool Virtual_Controller::set_plant_faults(const Plant_Faults& faults)
{
    return change_faults([&](Plant_Faults& f) { f = faults; });
}

bool Virtual_Controller::set_leak_reservoir(double psi_per_minute)
{
    return change_faults([&](Plant_Faults& f) { f.reservoir_leak = psi_per_minute; });
}

bool Virtual_Controller::set_leak(Side side, double inches_per_hour)
{
    return change_faults(
        [&](Plant_Faults& f) { f.side_leak[Plant_Faults::index(side)] = inches_per_hour; });
}

void Virtual_Controller::set_stuck_sensor(Side side, bool stuck)
{
    change_faults([&](Plant_Faults& f) { f.stuck_sensor[Plant_Faults::index(side)] = stuck; });
}

void Virtual_Controller::set_reversed_sensor(Side side, bool reversed)
{
    change_faults(
        [&](Plant_Faults& f) { f.reversed_sensor[Plant_Faults::index(side)] = reversed; });
}

void Virtual_Controller::set_swapped_sensors(bool swapped)
{
    change_faults([&](Plant_Faults& f) { f.swapped_sensors = swapped; });
}

bool Virtual_Controller::set_weak_compressor(double factor)
{
    return change_faults([&](Plant_Faults& f) { f.compressor_factor = factor; });
}

template <typename Change> bool Virtual_Controller::change_faults(Change change)
{
    bool accepted = false;
    change_plant([&](Plant& p) {
        Plant_Faults faults = p.faults();
        change(faults);
        accepted = p.set_faults(faults);
    });
    return accepted;
}

template <typename Change> void Virtual_Controller::change_settings(Change change)
{
    std::lock_guard<std::mutex> lock(mutex_);
    change(settings_);
}

template <typename Change> void Virtual_Controller::change_plant(Change change)
{
    // Brought up to date first, so that the change applies from now on.
    std::lock_guard<std::mutex> lock(mutex_);
    plant_->advance(Clock::now());
    change(*plant_);
}

unsigned Virtual_Controller::request_count(const std::string& key) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = counts_.find(key);
    return found == counts_.end() ? 0 : found->second;
}

unsigned Virtual_Controller::total_requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return total_requests_;
}

std::string Virtual_Controller::last_request() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return last_request_;
}

void Virtual_Controller::clear_statistics()
{
    std::lock_guard<std::mutex> lock(mutex_);
    counts_.clear();
    total_requests_ = 0;
    last_request_.clear();
}

} // namespace Sim
