#ifndef QUILLON_TESTS_PSEUDO_TERMINAL_H
#define QUILLON_TESTS_PSEUDO_TERMINAL_H

// A kernel pseudo-terminal standing in for the serial line: the code under
// test opens the slave by its path, the test writes and reads the master.

#include <QByteArray>
#include <QString>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class Pseudo_Terminal
{
public:
    Pseudo_Terminal()
    {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            slave_path = QString::fromLocal8Bit(name);
            ::close(slave);
        }
    }
    ~Pseudo_Terminal() { close_master(); }
    Pseudo_Terminal(const Pseudo_Terminal&) = delete;
    Pseudo_Terminal& operator=(const Pseudo_Terminal&) = delete;

    // A hang-up for the slave, as unplugging an adapter is.
    void close_master()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }

    bool write(const QByteArray& bytes) const
    {
        return ::write(master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // What the slave wrote: count bytes, or less after a quiet spell.
    QByteArray read(int count, int quiet_ms = 2000) const
    {
        QByteArray bytes;
        char buffer[64];
        pollfd p{master, POLLIN, 0};
        while (bytes.size() < count && ::poll(&p, 1, quiet_ms) > 0) {
            const ssize_t n = ::read(master, buffer, size_t(qMin<int>(64, count - bytes.size())));
            if (n <= 0)
                break;
            bytes.append(buffer, int(n));
        }
        return bytes;
    }

    // The slave's line settings, as the master sees them.
    termios settings() const
    {
        termios t{};
        ::tcgetattr(master, &t);
        return t;
    }

    int master = -1;
    QString slave_path;
};

#endif // QUILLON_TESTS_PSEUDO_TERMINAL_H
