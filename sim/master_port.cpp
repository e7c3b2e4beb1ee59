#include "master_port.h"

#include <algorithm>

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
        last_crossing_ = Clock::now();
        return true;
    }

    const Clock::time_point now = Clock::now();
    Clock::time_point ready =
        how.ready_at != Clock::time_point{} ? std::min(how.ready_at, now) : now;
    if (!how.trickle) {
        // Paced: the answer leaves in one piece once the line has carried its
        // last byte, as a USB adapter hands over a short answer. No byte
        // leaves sooner than the line allows, and the client is woken once.
        Clock::time_point crossed = ready;
        for (std::size_t i = 0; i < bytes.size(); ++i)
            crossed = pacer_.carry(ready);
        if (!sleep_until(crossed))
            return false;
        write_now(bytes.data(), bytes.size());
        last_crossing_ = crossed;
        return true;
    }

    // Trickled: each byte on its own, a gap after the one before, and never
    // sooner than a paced line would carry it.
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const Clock::time_point due = how.pacing ? pacer_.carry(ready) : ready;
        if (!sleep_until(due))
            return false;
        last_crossing_ = due;
        if (!write_now(bytes.data() + sent, 1))
            return true;
        ++sent;
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
