#ifndef SIM_REQUEST_HANDLER_H
#define SIM_REQUEST_HANDLER_H

// The controller's reaction to one request: what it does to the plant and
// the bytes it answers with.

#include "request_line.h"

#include <chrono>
#include <optional>
#include <string>

namespace Sim {

class Plant;
struct Settings;

// The controller's own texts besides the test verdicts.
constexpr const char* ok_text = "<OK>";
constexpr const char* refused_text = "<REFUSED>";
constexpr const char* bad_code_text = "<BAD CODE>";
constexpr const char* bad_value_text = "<BAD VALUE>";

// The complete answer, or nothing for a request the controller does not
// know. The plant must have been advanced to `now`.
std::optional<std::string> handle_request(const Request& request, Plant& plant,
                                          const Settings& settings,
                                          std::chrono::steady_clock::time_point now);

// Whether the settings silence this request.
bool is_silenced(const Request& request, const Settings& settings);

} // namespace Sim

#endif // SIM_REQUEST_HANDLER_H
