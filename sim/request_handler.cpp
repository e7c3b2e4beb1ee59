#include "request_handler.h"

#include "get_table.h"
#include "plant.h"
#include "response_frame.h"
#include "sim_settings.h"

namespace Sim {

namespace {

using Time = std::chrono::steady_clock::time_point;

struct Context
{
    Plant& plant;
    const Settings& settings;
    Time now;
};

struct Move_Entry
{
    const char* code;
    Side side;
    int direction;
};

const Move_Entry move_table[] = {
    {"MDP", Side::Driver, +1},
    {"MDN", Side::Driver, -1},
    {"MCP", Side::Curb, +1},
    {"MCN", Side::Curb, -1},
};

struct Preset_Entry
{
    const char* go_code;  // drives to the preset
    const char* set_code; // stores the present angles as the preset
    Preset preset;
};

const Preset_Entry preset_table[] = {
    {"RDH", "SRH", Preset::Ride},
    {"LSP", "SLP", Preset::Dump},
};

struct Reset_Entry
{
    const char* code;
    Counter counter;
};

const Reset_Entry reset_table[] = {
    {"ALG", Counter::Compressor_Time},
    {"ALR", Counter::On_Time},
    {"ALO", Counter::Overheat},
};

// An injected refusal leaves the plant alone, as a real refusal would.
std::string move_answer(bool accepted)
{
    return system_response(accepted ? ok_text : refused_text);
}

std::optional<std::string> handle_go(const std::string& code, const Context& c)
{
    for (const Move_Entry& move : move_table) {
        if (code == move.code)
            return move_answer(!c.settings.refuse_moves &&
                               c.plant.move(move.side, move.direction, c.now));
    }
    for (const Preset_Entry& entry : preset_table) {
        if (code == entry.go_code)
            return move_answer(!c.settings.refuse_moves && c.plant.drive_to(entry.preset));
    }
    if (code == "CTS") {
        c.plant.start_compressor_test(c.now, c.settings.test_duration);
        return system_response(ok_text);
    }
    return std::nullopt;
}

std::optional<std::string> handle_set(const Request& request, const Context& c)
{
    for (const Preset_Entry& entry : preset_table) {
        if (request.code == entry.set_code) {
            if (request.value)
                return std::nullopt;
            c.plant.store(entry.preset);
            return system_response(ok_text);
        }
    }
    if (!request.value)
        return std::nullopt;
    for (const Reset_Entry& entry : reset_table) {
        if (request.code == entry.code) {
            const bool reset = c.plant.reset_counter(entry.counter, *request.value);
            return system_response(reset ? ok_text : bad_code_text);
        }
    }
    if (request.code == "BPD") {
        if (*request.value > 1)
            return system_response(bad_value_text);
        c.plant.set_bypass_digit(*request.value == 1);
        return system_response(ok_text);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> handle_request(const Request& request, Plant& plant,
                                          const Settings& settings, Time now)
{
    const Context context{plant, settings, now};
    switch (request.kind) {
    case Request_Kind::Get: {
        const auto field = get_field(request.code, plant);
        if (!field)
            return std::nullopt;
        return value_response(request.code, *field);
    }
    case Request_Kind::Go:
        return handle_go(request.code, context);
    case Request_Kind::Set:
        return handle_set(request, context);
    }
    return std::nullopt;
}

bool is_silenced(const Request& request, const Settings& settings)
{
    return settings.all_silent || settings.silent.count(request.code) != 0 ||
           settings.silent.count(request_key(request)) != 0;
}

} // namespace Sim
