#ifndef SIM_WAKE_PIPE_H
#define SIM_WAKE_PIPE_H

// A pipe that another thread writes to so that the serving thread returns
// from any wait at once: every wait of the serving thread polls its read end.

#include <string>

namespace Sim {

class Wake_Pipe
{
public:
    Wake_Pipe() = default;
    Wake_Pipe(const Wake_Pipe&) = delete;
    Wake_Pipe& operator=(const Wake_Pipe&) = delete;
    ~Wake_Pipe();

    bool open(std::string* error);
    void close();

    // Safe from any thread; several notifications may collapse into one.
    void notify();
    // Empties the pipe; only the serving thread calls it.
    void drain();
    int fd() const { return read_end_; }

private:
    int read_end_ = -1;
    int write_end_ = -1;
};

} // namespace Sim

#endif // SIM_WAKE_PIPE_H
