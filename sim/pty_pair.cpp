#include "pty_pair.h"

#include "fd_io.h"

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <pty.h>

namespace Sim {

bool open_pty_master(Pty_Master* master, std::string* error)
{
    int master_fd = -1;
    int slave_fd = -1;
    if (::openpty(&master_fd, &slave_fd, nullptr, nullptr, nullptr) != 0) {
        if (error)
            *error = system_error_text("openpty");
        return false;
    }
    char path[PATH_MAX];
    const int named = ::ptsname_r(master_fd, path, sizeof path);
    const bool configured = named == 0 && ::fcntl(master_fd, F_SETFD, FD_CLOEXEC) == 0 &&
                            set_nonblocking(master_fd, true);
    if (!configured) {
        if (error)
            *error = system_error_text(named != 0 ? "ptsname_r" : "fcntl");
        close_fd(slave_fd);
        close_fd(master_fd);
        return false;
    }
    if (!close_fd(slave_fd)) {
        if (error)
            *error = system_error_text("close");
        close_fd(master_fd);
        return false;
    }
    master->fd = master_fd;
    master->slave_path = path;
    return true;
}

} // namespace Sim
