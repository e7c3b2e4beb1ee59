#ifndef SIM_FD_IO_H
#define SIM_FD_IO_H

// Thin wrappers of the descriptor calls the controller makes. Each retries
// when a signal interrupts it and otherwise reports the failure to its caller.

#include <poll.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <sys/types.h>

namespace Sim {

using Clock = std::chrono::steady_clock;

// read() and write() retried on EINTR; the result and errno are those of the
// last call.
ssize_t read_fd(int fd, void* buffer, std::size_t size);
ssize_t write_fd(int fd, const void* data, std::size_t size);

// poll() until the deadline, with nanosecond resolution; retried on EINTR
// with the time that is left. Returns the number of ready descriptors, 0 when
// the deadline passed, -1 on failure.
int poll_until(pollfd* fds, nfds_t count, Clock::time_point deadline);

// Closes and forgets the descriptor; false with errno set when close failed.
// Not retried on EINTR: Linux has released the descriptor by then, and a
// second close could hit a number another thread has just been given.
bool close_fd(int& fd);

// O_NONBLOCK on or off; false with errno set on failure.
bool set_nonblocking(int fd, bool on);

// "what: strerror(errno)"
std::string system_error_text(const char* what);

} // namespace Sim

#endif // SIM_FD_IO_H
