// The serial port on POSIX systems, through termios. The descriptor stays
// non-blocking; every wait is a poll() against a monotonic deadline.

#include "serial_port.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#if defined(__linux__)
#include <linux/serial.h>
#endif

namespace Quillon {

struct Serial_Port::Platform_State
{
    int fd = -1;
    termios saved_settings{};
    bool settings_saved = false;
    // Low-latency mode as the driver had it, if we changed it.
    bool low_latency_changed = false;
    bool low_latency_before = false;
    // Bytes read from the device and not yet handed out. The receiver asks
    // for a frame a few bytes at a time; one read() takes in everything the
    // driver holds, instead of a poll() and a read() for each piece.
    char input[256];
    int input_begin = 0;
    int input_end = 0;

    int take_input(char* buffer, int count)
    {
        const int taken = std::min(count, input_end - input_begin);
        std::memcpy(buffer, input + input_begin, size_t(taken));
        input_begin += taken;
        return taken;
    }
    void drop_input() { input_begin = input_end = 0; }
};

namespace {

using Clock = std::chrono::steady_clock;

// Either strerror_r: the GNU one returns the message, the XSI one fills the
// buffer and returns a status.
[[maybe_unused]] const char* error_message(const char* message, const char*)
{
    return message;
}

[[maybe_unused]] const char* error_message(int status, const char* buffer)
{
    return status == 0 ? buffer : nullptr;
}

template <typename Call> auto retry_on_eintr(Call call)
{
    auto result = call();
    while (result == -1 && errno == EINTR)
        result = call();
    return result;
}

// Rounded up, so that a wait never ends just before the deadline.
int milliseconds_until(Clock::time_point deadline)
{
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    return int(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

// Waits for `events` on fd until the deadline; the poll() result, with the
// events that came in `revents`. An interrupted wait goes on.
int poll_until(int fd, short events, Clock::time_point deadline, short* revents)
{
    pollfd poll_fd{fd, events, 0};
    const int ready =
        retry_on_eintr([&] { return ::poll(&poll_fd, 1, milliseconds_until(deadline)); });
    *revents = poll_fd.revents;
    return ready;
}

// Pseudo-terminals and some adapters have no modem lines; that is no error.
void raise_modem_lines(int fd)
{
    const int lines = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIS, &lines);
}

// USB adapters otherwise hold each short answer for their latency timer
// (16 ms by default), far longer than the answer takes on the line. Drivers
// without the setting, and pseudo-terminals, refuse quietly.
void set_low_latency(int fd, bool on, bool* was_on)
{
#if defined(__linux__)
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0)
        return;
    const bool is_on = (serial.flags & ASYNC_LOW_LATENCY) != 0;
    if (was_on)
        *was_on = is_on;
    if (is_on == on)
        return;
    if (on)
        serial.flags |= ASYNC_LOW_LATENCY;
    else
        serial.flags &= ~ASYNC_LOW_LATENCY;
    (void)::ioctl(fd, TIOCSSERIAL, &serial);
#else
    (void)fd;
    (void)on;
    (void)was_on;
#endif
}

} // namespace

Serial_Port::Serial_Port() = default;

Serial_Port::~Serial_Port()
{
    Close();
}

QByteArray Serial_Port::Device_Path(const QString& port_name)
{
    if (port_name.isEmpty())
        return QByteArray();
    if (port_name.startsWith(QLatin1Char('/')))
        return port_name.toUtf8();
    return QByteArrayLiteral("/dev/") + port_name.toUtf8();
}

bool Serial_Port::Open(const QString& port_name)
{
    Close();
    const QByteArray path = Device_Path(port_name);
    Device = path;
    if (path.isEmpty())
        return fail(ENOENT);
    const int fd = retry_on_eintr(
        [&] { return ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0)
        return fail(errno);
    // Not shared: further opens fail with EBUSY while this one lasts. Root
    // passes TIOCEXCL, so the advisory lock that other serial programs
    // respect also keeps a second instance run as root off the line.
    if (::ioctl(fd, TIOCEXCL) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return fail(code);
    }
    State = new Platform_State;
    State->fd = fd;
    Read_Total_Timeout_ms = 0;
    return true;
}

bool Serial_Port::Apply_Line_Settings()
{
    if (!State)
        return fail(EBADF);
    const int fd = State->fd;
    termios settings{};
    if (retry_on_eintr([&] { return ::tcgetattr(fd, &settings); }) != 0)
        return fail(errno);
    if (!State->settings_saved) {
        State->saved_settings = settings;
        State->settings_saved = true;
    }

    // Raw bytes both ways: no echo, no line editing, no CR/LF translation,
    // no XON/XOFF; a pseudo-terminal starts out cooked.
    ::cfmakeraw(&settings);
    settings.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY | INPCK);
    settings.c_cflag &= ~tcflag_t(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= tcflag_t(CS8 | CLOCAL | CREAD);
    // Reads never block in the driver; waiting is done with poll().
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (::cfsetispeed(&settings, B115200) != 0)
        return fail(errno);
    if (::cfsetospeed(&settings, B115200) != 0)
        return fail(errno);
    if (retry_on_eintr([&] { return ::tcsetattr(fd, TCSANOW, &settings); }) != 0)
        return fail(errno);

    raise_modem_lines(fd);
    if (!State->low_latency_changed) {
        bool before = true;
        set_low_latency(fd, true, &before);
        State->low_latency_changed = !before;
        State->low_latency_before = before;
    }
    return true;
}

void Serial_Port::Close()
{
    if (!State)
        return;
    const int fd = State->fd;
    // Best effort: a device that has gone away refuses all of these.
    if (State->low_latency_changed)
        set_low_latency(fd, State->low_latency_before, nullptr);
    if (State->settings_saved)
        (void)retry_on_eintr([&] { return ::tcsetattr(fd, TCSANOW, &State->saved_settings); });
    (void)::ioctl(fd, TIOCNXCL);
    // Not retried: Linux releases the descriptor even when close() is
    // interrupted.
    ::close(fd);
    delete State;
    State = nullptr;
}

bool Serial_Port::Set_Read_Immediate()
{
    return Set_Read_Total_Timeout(0);
}

bool Serial_Port::Set_Read_Total_Timeout(int milliseconds)
{
    if (!State)
        return fail(EBADF);
    Read_Total_Timeout_ms = milliseconds > 0 ? milliseconds : 0;
    return true;
}

bool Serial_Port::Read(char* buffer, int count, int& received)
{
    received = 0;
    if (!State)
        return fail(EBADF);
    if (count <= 0)
        return true;
    received = State->take_input(buffer, count);
    if (received == count)
        return true;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(Read_Total_Timeout_ms);
    for (;;) {
        short revents = 0;
        const int ready = poll_until(State->fd, POLLIN, deadline, &revents);
        if (ready < 0)
            return fail(errno);
        if (ready == 0)
            return true;
        if (revents & POLLNVAL)
            return fail(EBADF);
        if (!(revents & POLLIN))
            return fail(EIO);
        const ssize_t n = ::read(State->fd, State->input, sizeof State->input);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (milliseconds_until(deadline) == 0)
                    return true;
                continue;
            }
            return fail(errno);
        }
        // With VMIN 0 an idle line also reads 0 bytes, but poll() said there
        // was something: the device has hung up (unplugged, or the other end
        // of a pseudo-terminal closed).
        if (n == 0)
            return fail(EIO);
        State->input_begin = 0;
        State->input_end = int(n);
        received += State->take_input(buffer + received, count - received);
        if (received == count)
            return true;
    }
}

bool Serial_Port::Write(const char* data, int count, int& written)
{
    written = 0;
    if (!State)
        return fail(EBADF);
    if (count <= 0)
        return true;
    if (!data)
        return fail(EFAULT);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(Write_Wait_ms);
    while (written < count) {
        const ssize_t n = ::write(State->fd, data + written, size_t(count - written));
        if (n > 0) {
            written += int(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return fail(errno);
        // The output buffer is full: wait for room, but not for ever.
        short revents = 0;
        const int ready = poll_until(State->fd, POLLOUT, deadline, &revents);
        if (ready < 0)
            return fail(errno);
        if (ready == 0)
            return fail(ETIMEDOUT);
        if (revents & POLLNVAL)
            return fail(EBADF);
        if (revents & (POLLERR | POLLHUP))
            return fail(EIO);
    }
    return true;
}

bool Serial_Port::Purge()
{
    if (!State)
        return fail(EBADF);
    State->drop_input();
    if (retry_on_eintr([&] { return ::tcflush(State->fd, TCIOFLUSH); }) != 0)
        return fail(errno);
    return true;
}

bool Serial_Port::Clear_Errors()
{
    if (!State)
        return fail(EBADF);
    // A tty keeps no error state to reset; what matters is whether the
    // device is still there.
    pollfd poll_fd{State->fd, 0, 0};
    const int ready = retry_on_eintr([&] { return ::poll(&poll_fd, 1, 0); });
    if (ready < 0)
        return fail(errno);
    if (poll_fd.revents & POLLNVAL)
        return fail(EBADF);
    if (poll_fd.revents & (POLLERR | POLLHUP))
        return fail(EIO);
    return true;
}

QString Serial_Port::Last_Error_Text() const
{
    return System_Error_Text(Error_Code, Device);
}

QString Serial_Port::System_Error_Text(int code, const QByteArray& device)
{
    char buffer[256] = {};
    const char* message = error_message(::strerror_r(code, buffer, sizeof buffer), buffer);
    QString text = message && *message ? QString::fromLocal8Bit(message)
                                       : QStringLiteral("Unknown error %1").arg(code);
    if (code == EACCES)
        text += Group_Hint(device);
    return text;
}

QString Serial_Port::Group_Hint(const QByteArray& device)
{
    // Serial devices belong to a group (dialout on Debian and Ubuntu) whose
    // members may use them; root's own group is no advice to give.
    struct stat status
    {
    };
    if (device.isEmpty() || ::stat(device.constData(), &status) != 0 || status.st_gid == 0)
        return QString();
    char buffer[1024];
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(status.st_gid, &entry, buffer, sizeof buffer, &found) != 0 || !found)
        return QString();
    const QString name = QString::fromLocal8Bit(found->gr_name);
    return QStringLiteral("\n\n%1 belongs to the group \"%2\". To use it, add your account to "
                          "that group:\n    sudo usermod -aG %2 $USER\nthen log out and log in "
                          "again.")
        .arg(QString::fromLocal8Bit(device), name);
}

bool Serial_Port::fail(int code)
{
    Error_Code = code;
    return false;
}

} // namespace Quillon
