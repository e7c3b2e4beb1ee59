#include "wake_pipe.h"

#include "fd_io.h"

#include <fcntl.h>
#include <unistd.h>

namespace Sim {

Wake_Pipe::~Wake_Pipe()
{
    close();
}

bool Wake_Pipe::open(std::string* error)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (error)
            *error = system_error_text("pipe2");
        return false;
    }
    read_end_ = ends[0];
    write_end_ = ends[1];
    return true;
}

void Wake_Pipe::close()
{
    close_fd(read_end_);
    close_fd(write_end_);
}

void Wake_Pipe::notify()
{
    const char byte = 1;
    // A full pipe (EAGAIN) already holds a wake-up, so the result can go.
    (void)write_fd(write_end_, &byte, 1);
}

void Wake_Pipe::drain()
{
    char buffer[64];
    while (read_fd(read_end_, buffer, sizeof buffer) > 0) {
    }
}

} // namespace Sim
