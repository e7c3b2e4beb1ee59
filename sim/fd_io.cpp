#include "fd_io.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace Sim {

ssize_t read_fd(int fd, void* buffer, std::size_t size)
{
    ssize_t n;
    do {
        n = ::read(fd, buffer, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

ssize_t write_fd(int fd, const void* data, std::size_t size)
{
    ssize_t n;
    do {
        n = ::write(fd, data, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

int poll_until(pollfd* fds, nfds_t count, Clock::time_point deadline)
{
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
        const long long ns = left.count() > 0 ? left.count() : 0;
        timespec timeout{};
        timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
        timeout.tv_nsec = static_cast<long>(ns % 1000000000);
        const int n = ::ppoll(fds, count, &timeout, nullptr);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

bool close_fd(int& fd)
{
    if (fd < 0)
        return true;
    const int result = ::close(fd);
    fd = -1;
    return result == 0 || errno == EINTR;
}

bool set_nonblocking(int fd, bool on)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0)
        return false;
    const int wanted = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return wanted == flags || ::fcntl(fd, F_SETFL, wanted) == 0;
}

std::string system_error_text(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace Sim
