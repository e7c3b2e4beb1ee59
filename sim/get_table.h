#ifndef SIM_GET_TABLE_H
#define SIM_GET_TABLE_H

// What the controller answers to each Get: the value field of every code.

#include <optional>
#include <string>

namespace Sim {

class Plant;

// The five characters of the answer to "get <code>", or nothing for a code
// the controller does not know. Reset challenges are drawn afresh here.
std::optional<std::string> get_field(const std::string& code, Plant& plant);

} // namespace Sim

#endif // SIM_GET_TABLE_H
