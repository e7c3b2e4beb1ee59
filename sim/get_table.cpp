#include "get_table.h"

#include "plant.h"
#include "response_frame.h"

namespace Sim {

namespace {

using Field = std::string (*)(Plant&, const Plant_Readings&);

struct Get_Entry
{
    const char* code;
    Field field;
};

std::string challenge(Plant& plant, Counter counter)
{
    return unsigned_field(plant.new_challenge(counter));
}

std::string counter(const Plant_Readings& r, Counter which)
{
    return unsigned_field(r.counters[static_cast<std::size_t>(which)]);
}

std::string input(const Plant_Readings& r, Input which)
{
    return bool_field(r.inputs[static_cast<std::size_t>(which)]);
}

std::string flags(const Plant_Readings& r, int group)
{
    return r.fault_flags[static_cast<std::size_t>(group - 1)];
}

// clang-format off
const Get_Entry get_table[] = {
    {"ALG", [](Plant& p, const Plant_Readings&) { return challenge(p, Counter::Compressor_Time); }},
    {"ALO", [](Plant& p, const Plant_Readings&) { return challenge(p, Counter::Overheat); }},
    {"ALR", [](Plant& p, const Plant_Readings&) { return challenge(p, Counter::On_Time); }},
    {"BAH", [](Plant&, const Plant_Readings& r) { return input(r, Input::Trigger); }},
    {"BPD", [](Plant&, const Plant_Readings& r) { return bool_field(r.bypass_digit); }},
    {"CES", [](Plant&, const Plant_Readings& r) { return unsigned_field(r.exhaust_duty); }},
    {"CPT", [](Plant&, const Plant_Readings& r) { return counter(r, Counter::Compressor_Time); }},
    {"CSR", [](Plant&, const Plant_Readings& r) { return bool_field(r.compressor); }},
    {"CSS", [](Plant&, const Plant_Readings& r) { return bool_field(r.curb_valve); }},
    {"DSA", [](Plant&, const Plant_Readings& r) { return unsigned_field(r.driver_angle); }},
    {"DSL", [](Plant&, const Plant_Readings& r) { return input(r, Input::Door_Low); }},
    {"DSH", [](Plant&, const Plant_Readings& r) { return input(r, Input::Door_High); }},
    {"DSS", [](Plant&, const Plant_Readings& r) { return bool_field(r.driver_valve); }},
    {"FM1", [](Plant&, const Plant_Readings& r) { return flags(r, 1); }},
    {"FM2", [](Plant&, const Plant_Readings& r) { return flags(r, 2); }},
    {"FM3", [](Plant&, const Plant_Readings& r) { return flags(r, 3); }},
    {"IGT", [](Plant&, const Plant_Readings& r) { return counter(r, Counter::On_Time); }},
    {"IGV", [](Plant&, const Plant_Readings& r) { return unsigned_field(r.battery); }},
    {"LHC", [](Plant&, const Plant_Readings& r) { return unsigned_field(r.dump_curb); }},
    {"LHD", [](Plant&, const Plant_Readings& r) { return unsigned_field(r.dump_driver); }},
    {"LOL", [](Plant&, const Plant_Readings& r) { return input(r, Input::System_Enable); }},
    {"MOD", [](Plant&, const Plant_Readings& r) { return unsigned_field(static_cast<unsigned>(r.mode)); }},
    {"OAT", [](Plant&, const Plant_Readings& r) { return unsigned_field(r.compressor_temperature); }},
    {"OTC", [](Plant&, const Plant_Readings& r) { return counter(r, Counter::Overheat); }},
    {"PRT", [](Plant&, const Plant_Readings&) { return std::string(firmware_part); }},
    {"PSA", [](Plant&, const Plant_Readings& r) { return unsigned_field(r.curb_angle); }},
    {"PXV", [](Plant&, const Plant_Readings& r) { return unsigned_field(r.pressure); }},
    {"REV", [](Plant&, const Plant_Readings&) { return std::string(firmware_revision); }},
    {"RHC", [](Plant&, const Plant_Readings& r) { return unsigned_field(r.ride_curb); }},
    {"RHD", [](Plant&, const Plant_Readings& r) { return unsigned_field(r.ride_driver); }},
    {"RVS", [](Plant&, const Plant_Readings& r) { return bool_field(r.reservoir_valve); }},
    {"SN1", [](Plant&, const Plant_Readings&) { return unsigned_field(serial_number_parts[0]); }},
    {"SN2", [](Plant&, const Plant_Readings&) { return unsigned_field(serial_number_parts[1]); }},
    {"SN3", [](Plant&, const Plant_Readings&) { return unsigned_field(serial_number_parts[2]); }},
    {"SN4", [](Plant&, const Plant_Readings&) { return unsigned_field(serial_number_parts[3]); }},
};
// clang-format on

} // namespace

std::optional<std::string> get_field(const std::string& code, Plant& plant)
{
    for (const Get_Entry& entry : get_table) {
        if (code == entry.code)
            return entry.field(plant, plant.readings());
    }
    return std::nullopt;
}

} // namespace Sim
