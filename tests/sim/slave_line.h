#ifndef SIM_TEST_SLAVE_LINE_H
#define SIM_TEST_SLAVE_LINE_H

// The client's end of the virtual controller's line: the slave device opened
// and made raw through termios, as a serial port layer would, and what
// arrives there read independently of the controller's code.

#include <QString>

#include <chrono>
#include <string>

// What arrived as the tool's receiver takes it, one token per frame: a value
// response as "DSA 00512," ("DSA 00512!," when its checksum is wrong), a
// system response as "<OK>,", a byte that starts no frame as "~", and an
// unfinished frame at the end as "?".
std::string render(const std::string& bytes);

class Slave_Line
{
public:
    explicit Slave_Line(const std::string& path);
    Slave_Line(const Slave_Line&) = delete;
    Slave_Line& operator=(const Slave_Line&) = delete;
    ~Slave_Line();

    bool is_open() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    bool write(const std::string& bytes);
    // Reads until the rendering of what arrived matches `pattern` in full, or
    // until the time is up; *seen gets the rendering.
    bool collect(const QString& pattern, std::string* seen,
                 std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Writes the line with its carriage return; the rendering of one answer.
    std::string ask(const std::string& line);
    // The rendering of everything that arrives within the time.
    std::string read_for(std::chrono::milliseconds time);

    int reads = 0; // read() calls that returned data

private:
    int fd_ = -1;
    std::string pending_;
};

#endif // SIM_TEST_SLAVE_LINE_H
