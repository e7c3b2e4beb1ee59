#ifndef SIM_TEST_SLAVE_LINE_H
#define SIM_TEST_SLAVE_LINE_H

// The client's end of the virtual controller's line: the slave device opened
// and made raw through termios, as a serial port layer would.

#include <QRegularExpression>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

// What arrived as the tool's receiver takes it, read without the controller's
// code: "DSA 00512," for a value response ("!" before the comma when its
// checksum is wrong), "<OK>," for a system response, "~" for a byte that
// starts no frame and "?" for an unfinished frame.
inline std::string render(const std::string& bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const std::size_t end = c == '<' ? bytes.find('>', i) + 1 : i + 10;
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '<')) {
            out += '~';
        } else if (end == 0 || end >= bytes.size()) {
            return out + '?';
        } else {
            char sum = 0; // the XOR of bytes 1 to 8 of a value response
            for (std::size_t k = i + 1; c != '<' && k < i + 9; ++k)
                sum ^= bytes[k];
            const bool bad_sum = c != '<' && bytes[i + 9] != sum;
            out += bytes.substr(i, c == '<' ? end - i : 9) + (bytes[end] != '\n' ? "?,"
                                                              : bad_sum          ? "!,"
                                                                                 : ",");
            i = end;
        }
    }
    return out;
}

struct Slave_Line
{
    explicit Slave_Line(const std::string& path)
        : fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK))
    {
        termios settings{};
        ::tcgetattr(fd, &settings);
        ::cfmakeraw(&settings);
        ::cfsetspeed(&settings, B115200);
        ::tcsetattr(fd, TCSANOW, &settings);
    }
    ~Slave_Line() { ::close(fd); }

    bool write(const std::string& bytes)
    {
        return ::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    }

    // Reads until the rendering of what arrived matches `pattern` in full, or
    // the time is up; *seen gets the rendering.
    bool collect(const QString& pattern, std::string* seen,
                 std::chrono::milliseconds timeout = std::chrono::seconds(5))
    {
        using Clock = std::chrono::steady_clock;
        const QRegularExpression expected(QRegularExpression::anchoredPattern(pattern));
        const auto deadline = Clock::now() + timeout;
        std::string pending;
        while (!expected.match(QString::fromLatin1((*seen = render(pending)).c_str())).hasMatch()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{fd, POLLIN, 0};
            char buffer[256];
            const ssize_t n = ::poll(&p, 1, std::max(int(left.count()), 0)) > 0
                                  ? ::read(fd, buffer, sizeof buffer)
                                  : 0;
            if (n <= 0)
                return false;
            ++reads;
            pending.append(buffer, std::size_t(n));
        }
        return true;
    }

    // Writes the line with its carriage return; the rendering of one answer.
    std::string ask(const std::string& line)
    {
        std::string seen;
        return write(line + "\r") && collect("~*[^~,]+,", &seen) ? seen : "no answer: " + seen;
    }

    int fd;
    int reads = 0; // read() calls that returned data
};

#endif // SIM_TEST_SLAVE_LINE_H
