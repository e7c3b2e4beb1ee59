#ifndef SIM_RESPONSE_FRAME_H
#define SIM_RESPONSE_FRAME_H

// The bytes of the controller's answers: value responses (code, space, five
// characters, checksum, line feed) and bracketed system texts.

#include <string>

namespace Sim {

constexpr char line_feed = '\n';
constexpr std::size_t value_response_size = 11;
constexpr std::size_t checksum_index = 9;

// XOR of the body bytes 1 to 8; the leading letter does not count.
char frame_checksum(const std::string& body);

// code: three characters; field: five characters.
std::string value_response(const std::string& code, const std::string& field);
// text: the bracketed text, e.g. "<OK>".
std::string system_response(const std::string& text);

// "<" text ">" of at most 19 characters in all, no brackets inside: what the
// tool's receiver takes as a system response.
bool is_system_text(const std::string& text);

// Value fields.
std::string unsigned_field(unsigned value); // five digits, saturating at 65535
std::string bool_field(bool value);         // "0000" and the digit

} // namespace Sim

#endif // SIM_RESPONSE_FRAME_H
