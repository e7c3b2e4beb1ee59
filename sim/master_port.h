#ifndef SIM_MASTER_PORT_H
#define SIM_MASTER_PORT_H

// The controller's end of the line, used only by the serving thread: waiting
// for the client's bytes, and writing answers as the line would carry them.
// Every wait also ends when the wake pipe is written to.

#include "line_pacer.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <utility>

namespace Sim {

class Wake_Pipe;

struct Delivery
{
    bool pacing = false;
    bool trickle = false;
    std::chrono::microseconds trickle_gap{0};
    // When the answer was ready on the controller; unset means now.
    std::chrono::steady_clock::time_point ready_at{};
};

class Master_Port
{
public:
    using Clock = std::chrono::steady_clock;

    enum class Event
    {
        Input,     // bytes from the client can be read
        No_Client, // nobody has the slave open
        Deadline,
        Woken,
        Failed
    };

    Master_Port(int master_fd, std::string slave_path, Wake_Pipe& wake)
        : master_(master_fd), slave_path_(std::move(slave_path)), wake_(wake)
    {}

    Event wait_for_input(Clock::time_point deadline);
    // Bytes read (> 0); 0 when there was nothing after all; -1 when the client
    // has gone (EIO) or the read failed.
    long read(char* buffer, std::size_t size);

    // False when woken before the deadline.
    bool sleep_until(Clock::time_point deadline);

    // Writes the answer; false when woken on the way. Bytes the client has no
    // room for are lost, as on a serial line whose receiver overruns; with no
    // client they go nowhere.
    bool send(const std::string& bytes, const Delivery& how);

    // Once the client has gone: forgets what it left unread and what it sent
    // unheard, so that the next client starts on a quiet line.
    void discard_unread();

    Line_Pacer& pacer() { return pacer_; }
    // When the line would have carried the last byte sent; for an unpaced
    // answer, when it was written.
    Clock::time_point last_crossing() const { return last_crossing_; }

private:
    bool write_now(const char* data, std::size_t size);

    int master_;
    std::string slave_path_;
    Wake_Pipe& wake_;
    // Something may be left in the line's queues since the last discard.
    bool used_ = false;
    Line_Pacer pacer_;
    Clock::time_point last_crossing_{};
};

} // namespace Sim

#endif // SIM_MASTER_PORT_H
