#include "master_port.h"

#include "fd_io.h"
#include "wake_pipe.h"

#include <cerrno>
#include <fcntl.h>
#include <termios.h>

namespace Sim {

namespace {

bool woken(const pollfd& wake)
{
    return (wake.revents & POLLIN) != 0;
}

} // namespace

Master_Port::Event Master_Port::wait_for_input(Clock::time_point deadline)
{
    pollfd fds[2] = {{master_, POLLIN, 0}, {wake_.fd(), POLLIN, 0}};
    const int ready = poll_until(fds, 2, deadline);
    if (ready < 0)
        return Event::Failed;
    if (woken(fds[1])) {
        wake_.drain();
        return Event::Woken;
    }
    if (fds[0].revents & POLLIN)
        return Event::Input;
    if (fds[0].revents & (POLLHUP | POLLERR))
        return Event::No_Client;
    if (fds[0].revents & POLLNVAL)
        return Event::Failed;
    return Event::Deadline;
}

long Master_Port::read(char* buffer, std::size_t size)
{
    used_ = true;
    const ssize_t n = read_fd(master_, buffer, size);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return 0;
    return n > 0 ? static_cast<long>(n) : -1;
}

bool Master_Port::sleep_until(Clock::time_point deadline)
{
    pollfd wake{wake_.fd(), POLLIN, 0};
    while (Clock::now() < deadline) {
        const int ready = poll_until(&wake, 1, deadline);
        if (ready > 0 && woken(wake)) {
            wake_.drain();
            return false;
        }
        if (ready < 0)
            return false;
    }
    return true;
}

bool Master_Port::send(const std::string& bytes, const Delivery& how)
{
    if (!how.pacing && !how.trickle) {
        write_now(bytes.data(), bytes.size());
        return true;
    }

    // Each byte leaves once the line has carried it and, when trickling, a
    // gap after the one before. Without trickling, all bytes the line has
    // carried by the time of waking leave in one write.
    Clock::time_point ready = Clock::now();
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const Clock::time_point due = how.pacing ? pacer_.carry(ready) : ready;
        if (!sleep_until(due))
            return false;
        std::size_t count = 1;
        if (!how.trickle) {
            const Clock::time_point now = Clock::now();
            while (sent + count < bytes.size() && pacer_.next_crossing(ready) <= now) {
                pacer_.carry(ready);
                ++count;
            }
        }
        if (!write_now(bytes.data() + sent, count))
            return true;
        sent += count;
        if (how.trickle)
            ready = Clock::now() + how.trickle_gap;
    }
    return true;
}

bool Master_Port::write_now(const char* data, std::size_t size)
{
    used_ = true;
    while (size > 0) {
        const ssize_t n = write_fd(master_, data, size);
        if (n <= 0)
            return false; // overrun (EAGAIN) or no client (EIO): the bytes are lost
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void Master_Port::discard_unread()
{
    if (!used_)
        return;
    used_ = false;
    // Failures below leave stale bytes for the next client at worst.
    (void)::tcflush(master_, TCIFLUSH);
    // What was written for the client may already sit in the slave's own
    // input queue, which only a flush on the slave reaches. The slave is
    // held just for that, so that it is free again when a client comes.
    int slave = -1;
    do {
        slave = ::open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (slave < 0 && errno == EINTR);
    if (slave < 0)
        return;
    (void)::tcflush(slave, TCIFLUSH);
    close_fd(slave);
}

} // namespace Sim
