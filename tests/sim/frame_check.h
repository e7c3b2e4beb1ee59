#ifndef SIM_TEST_FRAME_CHECK_H
#define SIM_TEST_FRAME_CHECK_H

// What the tool accepts as a value response, written out independently of
// the controller's code.

#include <string>

// XOR of bytes 1 to 8.
unsigned char checksum_of(const std::string& frame);
// 11 bytes: the code, a space, five characters, the checksum, a line feed.
bool is_value_response(const std::string& frame, const std::string& code);
// The five characters of a value response.
std::string field_of(const std::string& frame);
// The field as a number, or -1 when it is not five digits.
long number_of(const std::string& frame);

#endif // SIM_TEST_FRAME_CHECK_H
