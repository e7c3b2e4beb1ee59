#ifndef SIM_COMMAND_LINE_H
#define SIM_COMMAND_LINE_H

// The options of vantor-sim.

#include "plant_faults.h"
#include "sim_settings.h"

#include <array>
#include <chrono>
#include <optional>
#include <string>

namespace Sim {

struct Command_Line
{
    Settings settings;
    std::array<std::string, 3> fault_flags{"00000", "00000", "00000"};
    std::optional<std::chrono::milliseconds> hang_up_after;
    bool compressor = true;
    Plant_Faults plant_faults;
    std::string replay; // a session recording, or empty
    double replay_speed = 1.0;
    bool help = false;
    bool version = false;
    bool stats = false;
};

bool parse_command_line(int argc, const char* const* argv, Command_Line* options,
                        std::string* error);
std::string usage_text(const std::string& program);

} // namespace Sim

#endif // SIM_COMMAND_LINE_H
