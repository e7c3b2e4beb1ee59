#include "slave_line.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

Slave_Line::Slave_Line(const std::string& path)
{
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return;
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) {
        ::close(fd);
        return;
    }
    ::cfmakeraw(&settings);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (::cfsetspeed(&settings, B115200) != 0 || ::tcsetattr(fd, TCSANOW, &settings) != 0) {
        ::close(fd);
        return;
    }
    fd_ = fd;
}

Slave_Line::~Slave_Line()
{
    close();
}

void Slave_Line::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    pending_.clear();
}

bool Slave_Line::write(const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool Slave_Line::fill(Clock::time_point deadline)
{
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || !(p.revents & POLLIN))
            return false;
        char buffer[256];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        ++reads_;
        pending_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }
}

namespace {

std::size_t frame_length(const std::string& received)
{
    if (received.empty())
        return std::string::npos;
    const char first = received.front();
    if ((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z'))
        return received.size() >= 11 ? 11 : std::string::npos;
    const std::size_t line_feed = received.find('\n');
    return line_feed == std::string::npos ? line_feed : line_feed + 1;
}

} // namespace

std::string Slave_Line::read_frame(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    std::size_t length;
    while ((length = frame_length(pending_)) == std::string::npos) {
        if (!fill(deadline)) {
            std::string partial;
            partial.swap(pending_);
            return partial;
        }
    }
    std::string frame = pending_.substr(0, length);
    pending_.erase(0, length);
    return frame;
}

std::string Slave_Line::read_bytes(std::size_t count, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (pending_.size() < count && fill(deadline)) {
    }
    const std::string bytes = pending_.substr(0, count);
    pending_.erase(0, bytes.size());
    return bytes;
}

std::string Slave_Line::read_for(std::chrono::milliseconds time)
{
    const auto deadline = Clock::now() + time;
    while (Clock::now() < deadline)
        fill(deadline);
    std::string all;
    all.swap(pending_);
    return all;
}

std::string Slave_Line::ask(const std::string& line, std::chrono::milliseconds timeout)
{
    if (!write(line + "\r"))
        return {};
    return read_frame(timeout);
}

int Slave_Line::take_read_count()
{
    const int count = reads_;
    reads_ = 0;
    return count;
}
