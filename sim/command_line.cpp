#include "command_line.h"

#include "response_frame.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace Sim {

namespace {

using Apply = bool (*)(Command_Line&, const std::string&);

struct Option
{
    const char* name;
    const char* argument; // nullptr for a switch
    const char* help;
    Apply apply;
};

bool to_number(const std::string& text, unsigned long* value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    *value = std::strtoul(text.c_str(), nullptr, 10);
    return errno == 0 && *value <= 86400000UL;
}

template <typename Duration> bool to_duration(const std::string& text, Duration* duration)
{
    unsigned long value = 0;
    if (!to_number(text, &value))
        return false;
    *duration = Duration(value);
    return true;
}

// Digits with at most one decimal point, '.' whatever the locale.
bool to_decimal(const std::string& text, double* value)
{
    if (text.find_first_not_of("0123456789.") != std::string::npos ||
        text.find_first_of("0123456789") == std::string::npos)
        return false;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, *value);
    return error == std::errc() && stop == end;
}

bool to_side(const std::string& text, std::size_t* side)
{
    if (text != "driver" && text != "curb")
        return false;
    *side = Plant_Faults::index(text == "driver" ? Side::Driver : Side::Curb);
    return true;
}

bool to_flags(const std::string& text, std::string* flags)
{
    if (text.size() != 5 || text.find_first_not_of("01") != std::string::npos)
        return false;
    *flags = text;
    return true;
}

bool to_set(const std::string& text, std::set<std::string>* entries)
{
    std::istringstream list(text);
    std::string entry;
    while (std::getline(list, entry, ',')) {
        if (!entry.empty())
            entries->insert(entry);
    }
    return !entries->empty();
}

const Option options_table[] = {
    {"--help", nullptr, "show this text and exit",
     [](Command_Line& c, const std::string&) {
         c.help = true;
         return true;
     }},
    {"--version", nullptr, "print the version and exit",
     [](Command_Line& c, const std::string&) {
         c.version = true;
         return true;
     }},
    {"--fm1", "FLAGS",
     "fault group 1 as five 0/1; the last is the driver's sensor, the one before\n"
     "                         it the curb side's; a sensor fault freezes that side",
     [](Command_Line& c, const std::string& a) { return to_flags(a, &c.fault_flags[0]); }},
    {"--fm2", "FLAGS", "fault group 2 as five 0/1",
     [](Command_Line& c, const std::string& a) { return to_flags(a, &c.fault_flags[1]); }},
    {"--fm3", "FLAGS", "fault group 3 as five 0/1",
     [](Command_Line& c, const std::string& a) { return to_flags(a, &c.fault_flags[2]); }},
    {"--silent", "LIST",
     "leave these requests unanswered: codes (DSA) or keys (\"get ALG\"),\n"
     "                         separated by commas",
     [](Command_Line& c, const std::string& a) { return to_set(a, &c.settings.silent); }},
    {"--all-silent", nullptr, "answer nothing at all",
     [](Command_Line& c, const std::string&) {
         c.settings.all_silent = true;
         return true;
     }},
    {"--delay", "MS", "wait this long before each answer",
     [](Command_Line& c, const std::string& a) {
         return to_duration(a, &c.settings.answer_delay);
     }},
    {"--trickle", nullptr, "write answers byte by byte",
     [](Command_Line& c, const std::string&) {
         c.settings.trickle = true;
         return true;
     }},
    {"--trickle-gap", "US", "gap between trickled bytes in microseconds (default 1000)",
     [](Command_Line& c, const std::string& a) { return to_duration(a, &c.settings.trickle_gap); }},
    {"--noise", "N", "send N noise bytes (never a letter or \"<\") before each answer",
     [](Command_Line& c, const std::string& a) {
         unsigned long n = 0;
         if (!to_number(a, &n) || n > 1000)
             return false;
         c.settings.noise_bytes = static_cast<unsigned>(n);
         return true;
     }},
    {"--bad-checksum", nullptr, "send value responses with a wrong checksum",
     [](Command_Line& c, const std::string&) {
         c.settings.bad_checksums = true;
         return true;
     }},
    {"--refuse-moves", nullptr, "answer move commands with \"<REFUSED>\"",
     [](Command_Line& c, const std::string&) {
         c.settings.refuse_moves = true;
         return true;
     }},
    {"--verdict", "TEXT", "compressor test outcome, e.g. \"<FAIL 2>\" (default \"<TEST DONE>\")",
     [](Command_Line& c, const std::string& a) {
         if (!is_system_text(a))
             return false;
         c.settings.test_verdict = a;
         return true;
     }},
    {"--test-time", "MS", "from the compressor test's \"<OK>\" to its outcome (default 8000)",
     [](Command_Line& c, const std::string& a) {
         return to_duration(a, &c.settings.test_duration);
     }},
    {"--hang-up-after", "MS", "close the line this long after the start, as if unplugged",
     [](Command_Line& c, const std::string& a) {
         std::chrono::milliseconds after{};
         if (!to_duration(a, &after))
             return false;
         c.hang_up_after = after;
         return true;
     }},
    {"--pace", nullptr, "every byte takes its time at 115200 baud 8N1, half duplex",
     [](Command_Line& c, const std::string&) {
         c.settings.line_pacing = true;
         return true;
     }},
    {"--no-compressor", nullptr, "keep the compressor off: the reservoir only loses pressure",
     [](Command_Line& c, const std::string&) {
         c.compressor = false;
         return true;
     }},
    {"--leak-reservoir", "PSI_PER_MIN",
     "the reservoir leaks this fast (up to 1000); the\n"
     "                         compressor, unless kept off, refills it",
     [](Command_Line& c, const std::string& a) {
         double& leak = c.plant_faults.reservoir_leak;
         return to_decimal(a, &leak) && Plant_Faults::valid_reservoir_leak(leak);
     }},
    {"--leak-driver", "IN_PER_HOUR",
     "the driver's side sinks this fast (up to 1000) while its\n"
     "                         valve is closed, as read with a 6-inch lever",
     [](Command_Line& c, const std::string& a) {
         double& leak = c.plant_faults.side_leak[Plant_Faults::index(Side::Driver)];
         return to_decimal(a, &leak) && Plant_Faults::valid_side_leak(leak);
     }},
    {"--leak-curb", "IN_PER_HOUR", "the curb side sinks likewise",
     [](Command_Line& c, const std::string& a) {
         double& leak = c.plant_faults.side_leak[Plant_Faults::index(Side::Curb)];
         return to_decimal(a, &leak) && Plant_Faults::valid_side_leak(leak);
     }},
    {"--stuck-sensor", "driver|curb",
     "that side's height sensor keeps the reading it has at the\n"
     "                         start (give the option twice for both)",
     [](Command_Line& c, const std::string& a) {
         std::size_t side = 0;
         return to_side(a, &side) && (c.plant_faults.stuck_sensor[side] = true);
     }},
    {"--reversed-sensor", "driver|curb", "that side's height sensor reads up as down",
     [](Command_Line& c, const std::string& a) {
         std::size_t side = 0;
         return to_side(a, &side) && (c.plant_faults.reversed_sensor[side] = true);
     }},
    {"--swapped-sensors", nullptr, "each side's angle is read from the other side's sensor",
     [](Command_Line& c, const std::string&) {
         c.plant_faults.swapped_sensors = true;
         return true;
     }},
    {"--weak-compressor", "FACTOR", "the compressor fills at its rate times FACTOR (0 to 1)",
     [](Command_Line& c, const std::string& a) {
         double& factor = c.plant_faults.compressor_factor;
         return to_decimal(a, &factor) && Plant_Faults::valid_compressor_factor(factor);
     }},
    {"--replay", "FILE",
     "answer Gets with the values of a session recording, timed from\n"
     "                         the first request; codes it never read answer as usual",
     [](Command_Line& c, const std::string& a) {
         c.replay = a;
         return !a.empty();
     }},
    {"--replay-speed", "X", "play the recording X times as fast (default 1)",
     [](Command_Line& c, const std::string& a) {
         char* end = nullptr;
         c.replay_speed = std::strtod(a.c_str(), &end);
         return !a.empty() && *end == '\0' && std::isfinite(c.replay_speed) && c.replay_speed > 0 &&
                c.replay_speed <= 1000;
     }},
    {"--stats", nullptr,
     "print answers per second and the client's turnaround (from an answer's\n"
     "                         last byte to the next request's first) on SIGUSR1,\n"
     "                         then start them over, and once more on exit",
     [](Command_Line& c, const std::string&) {
         c.stats = true;
         return true;
     }},
};

} // namespace

bool parse_command_line(int argc, const char* const* argv, Command_Line* options,
                        std::string* error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const Option* found = nullptr;
        for (const Option& option : options_table) {
            if (word == option.name)
                found = &option;
        }
        if (!found) {
            *error = "unknown option " + word;
            return false;
        }
        std::string argument;
        if (found->argument) {
            if (++i == argc) {
                *error = word + " needs " + found->argument;
                return false;
            }
            argument = argv[i];
        }
        if (!found->apply(*options, argument)) {
            *error = "bad value for " + word + ": " + argument;
            return false;
        }
    }
    if (options->replay.empty() && options->replay_speed != 1.0) {
        *error = "--replay-speed needs --replay";
        return false;
    }
    return true;
}

std::string usage_text(const std::string& program)
{
    constexpr std::size_t help_column = 25;
    std::ostringstream text;
    text << "Usage: " << program << " [options]\n"
         << "A virtual suspension controller on a pseudo-terminal. Prints the device to open\n"
         << "on its first line, then serves it until SIGTERM or SIGINT.\n\nOptions:\n";
    for (const Option& option : options_table) {
        std::string left = std::string("  ") + option.name;
        if (option.argument)
            left += std::string(" ") + option.argument;
        // An option too long for the column has its text on the next line.
        left = left.size() < help_column ? left + std::string(help_column - left.size(), ' ')
                                         : left + '\n' + std::string(help_column, ' ');
        text << left << option.help << '\n';
    }
    return text.str();
}

} // namespace Sim
