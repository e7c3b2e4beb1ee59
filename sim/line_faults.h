#ifndef SIM_LINE_FAULTS_H
#define SIM_LINE_FAULTS_H

// Damage done to an answer on its way out, for fault injection.

#include <random>
#include <string>

namespace Sim {

// Random bytes that a receiver waiting for a frame must skip: anything but a
// letter or "<", which would start a frame.
std::string noise_bytes(unsigned count, std::mt19937& random);

// A value response gets a checksum byte that does not match its body; system
// responses carry no checksum and are left as they are.
void spoil_checksum(std::string& answer);

} // namespace Sim

#endif // SIM_LINE_FAULTS_H
