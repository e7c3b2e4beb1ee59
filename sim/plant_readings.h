#ifndef SIM_PLANT_READINGS_H
#define SIM_PLANT_READINGS_H

// The controller's state as its Get answers carry it: raw values, before the
// tool scales them.

#include <array>
#include <string>

namespace Sim {

enum class Side
{
    Driver, // left, DSA, moved by MDP/MDN
    Curb    // right, PSA, moved by MCP/MCN
};

// The maintenance counters, in the order of their reset codes ALG, ALR, ALO.
enum class Counter
{
    Compressor_Time, // CPT, reset through ALG
    On_Time,         // IGT, reset through ALR
    Overheat         // OTC, reset through ALO
};

enum class Input
{
    Trigger,      // BAH
    Door_High,    // DSH
    Door_Low,     // DSL
    System_Enable // LOL
};

enum class Mode : unsigned
{
    Idle = 0,
    Lowering = 1,
    Raising = 2,
    Compressor_Test = 3
};

struct Plant_Readings
{
    unsigned driver_angle = 0;           // DSA
    unsigned curb_angle = 0;             // PSA
    unsigned ride_driver = 0;            // RHD
    unsigned ride_curb = 0;              // RHC
    unsigned dump_driver = 0;            // LHD
    unsigned dump_curb = 0;              // LHC
    unsigned pressure = 0;               // PXV
    unsigned battery = 0;                // IGV
    unsigned compressor_temperature = 0; // OAT
    unsigned exhaust_duty = 0;           // CES, 0..1024
    Mode mode = Mode::Idle;              // MOD
    std::array<unsigned, 3> counters{};  // CPT, IGT, OTC by Counter
    // The last challenge given for each counter's reset, -1 before the first.
    std::array<int, 3> challenges{-1, -1, -1};
    bool compressor = false;      // CSR
    bool driver_valve = false;    // DSS
    bool curb_valve = false;      // CSS
    bool reservoir_valve = false; // RVS
    std::array<bool, 4> inputs{}; // BAH, DSH, DSL, LOL by Input
    bool bypass_digit = false;    // BPD, the digit as last set
    std::array<std::string, 3> fault_flags{"00000", "00000", "00000"}; // FM1..FM3
};

// Fixed identity of the simulated controller.
constexpr unsigned serial_number_parts[4] = {2024, 7, 15, 4711}; // SN1..SN4
constexpr const char* firmware_part = "AS150";                   // PRT
constexpr const char* firmware_revision = "R1.07";               // REV

} // namespace Sim

#endif // SIM_PLANT_READINGS_H
