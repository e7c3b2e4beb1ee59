#ifndef SIM_TEST_SLAVE_LINE_H
#define SIM_TEST_SLAVE_LINE_H

// The client's end of the virtual controller's line: the slave device opened
// and made raw through termios, as a serial port layer would.

#include <chrono>
#include <string>

class Slave_Line
{
public:
    explicit Slave_Line(const std::string& path);
    Slave_Line(const Slave_Line&) = delete;
    Slave_Line& operator=(const Slave_Line&) = delete;
    ~Slave_Line();

    bool is_open() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void close();

    bool write(const std::string& bytes);
    // One response as the tool's receiver frames it: eleven bytes when it
    // starts with a letter (the checksum byte may be a line feed), else up
    // to and including a line feed. What arrived if the time-out comes
    // first. Later bytes are kept for the next read.
    std::string read_frame(std::chrono::milliseconds timeout = std::chrono::seconds(3));
    // Exactly `count` bytes, or fewer if the time-out comes first.
    std::string read_bytes(std::size_t count,
                           std::chrono::milliseconds timeout = std::chrono::seconds(3));
    // Everything that arrives within the time.
    std::string read_for(std::chrono::milliseconds time);
    // Writes the line with its carriage return and reads the answer.
    std::string ask(const std::string& line,
                    std::chrono::milliseconds timeout = std::chrono::seconds(3));

    // How many read() calls returned data since the last call.
    int take_read_count();

private:
    bool fill(std::chrono::steady_clock::time_point deadline);

    int fd_ = -1;
    std::string pending_;
    int reads_ = 0;
};

#endif // SIM_TEST_SLAVE_LINE_H
