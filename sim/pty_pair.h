#ifndef SIM_PTY_PAIR_H
#define SIM_PTY_PAIR_H

// Opens the pseudo-terminal on which the controller is served.

#include <string>

namespace Sim {

struct Pty_Master
{
    int fd = -1;            // non-blocking, close-on-exec
    std::string slave_path; // e.g. /dev/pts/3
};

// The slave is closed again before this returns: a client that opens it then
// holds the only slave descriptor, so closing it leaves the line unused, as
// closing a serial port does. Its settings are left as the kernel makes
// them (cooked), as a serial device's are, so the client has to set it up.
bool open_pty_master(Pty_Master* master, std::string* error);

} // namespace Sim

#endif // SIM_PTY_PAIR_H
