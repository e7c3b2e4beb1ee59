#include "slave_line.h"

#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

std::string render(const std::string& bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size();) {
        const char c = bytes[i];
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            if (bytes.size() - i < 11)
                return out + '?';
            // The checksum is the XOR of bytes 1 to 8.
            char sum = 0;
            for (std::size_t k = i + 1; k < i + 9; ++k)
                sum ^= bytes[k];
            out += bytes.substr(i, 9) + (bytes[i + 10] != '\n' ? "?"
                                         : bytes[i + 9] != sum ? "!"
                                                               : "");
            out += ',';
            i += 11;
        } else if (c == '<') {
            const std::size_t end = bytes.find('>', i);
            if (end == std::string::npos || end + 1 == bytes.size())
                return out + '?';
            out += bytes.substr(i, end + 1 - i) + (bytes[end + 1] == '\n' ? "," : "?,");
            i = end + 2;
        } else {
            out += '~';
            ++i;
        }
    }
    return out;
}

Slave_Line::Slave_Line(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    termios settings{};
    if (fd < 0 || ::tcgetattr(fd, &settings) != 0)
        return;
    ::cfmakeraw(&settings);
    if (::cfsetspeed(&settings, B115200) == 0 && ::tcsetattr(fd, TCSANOW, &settings) == 0)
        fd_ = fd;
    else
        ::close(fd);
}

Slave_Line::~Slave_Line()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool Slave_Line::write(const std::string& bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n <= 0 && errno != EINTR)
            return false;
        done += n > 0 ? std::size_t(n) : 0;
    }
    return true;
}

bool Slave_Line::collect(const QString& pattern, std::string* seen,
                         std::chrono::milliseconds timeout)
{
    using Clock = std::chrono::steady_clock;
    const QRegularExpression expected(QRegularExpression::anchoredPattern(pattern));
    const auto deadline = Clock::now() + timeout;
    bool matched = false;
    for (;;) {
        *seen = render(pending_);
        matched = expected.match(QString::fromLatin1(seen->data(), int(seen->size()))).hasMatch();
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd_, POLLIN, 0};
        const int ready = matched ? 0 : ::poll(&p, 1, int(std::max<long long>(left, 0)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        char buffer[256];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        ++reads;
        pending_.append(buffer, std::size_t(n));
    }
    pending_.clear();
    return matched;
}

std::string Slave_Line::ask(const std::string& line)
{
    std::string seen;
    if (write(line + "\r"))
        collect("~*[^~,]+,", &seen);
    return seen;
}

std::string Slave_Line::read_for(std::chrono::milliseconds time)
{
    std::string seen;
    collect("(?!)", &seen, time);
    return seen;
}
