#ifndef SIM_REQUEST_LINE_H
#define SIM_REQUEST_LINE_H

// The tool's request lines, "get DSA", "go MDP", "set SRH", "set ALG 123",
// as the controller reads them: exactly these shapes, nothing else.

#include <optional>
#include <string>

namespace Sim {

enum class Request_Kind
{
    Get,
    Go,
    Set
};

struct Request
{
    Request_Kind kind = Request_Kind::Get;
    std::string code;              // three upper-case letters or digits
    std::optional<unsigned> value; // the three digits of a Set with value
};

// line: the text before the carriage return.
std::optional<Request> parse_request(const std::string& line);

// "get DSA", "go MDP", "set ALG": the kind and the code, without a value.
std::string request_key(const Request& request);

} // namespace Sim

#endif // SIM_REQUEST_LINE_H
