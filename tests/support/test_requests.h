#ifndef QUILLON_TESTS_TEST_REQUESTS_H
#define QUILLON_TESTS_TEST_REQUESTS_H

// What the serial tests send and receive, and a kernel pseudo-terminal
// standing in for the line: the code under test opens the slave by its path,
// the test writes and reads the master.

#include "packets/calculate_crc_class.h"
#include "packets/catalogue_packets.h"

#include <QByteArray>
#include <QSharedPointer>
#include <QString>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// A Get DSA request with a response time-out of the test's choosing, so that
// waits are long enough for a busy machine or short enough to expire.
class Timed_Request : public Quillon::Packet_Get_DSA
{
public:
    explicit Timed_Request(unsigned int milliseconds) : timeout(milliseconds) { AllocateData(); }
    unsigned int Response_Timeout() override { return timeout; }

    // Read at each send.
    unsigned int timeout;
};

inline Quillon::Packet_Shared_Ptr timed_request(unsigned int milliseconds)
{
    return Quillon::Packet_Shared_Ptr(new Timed_Request(milliseconds));
}

// A complete value response frame: body, checksum byte and line feed.
inline QByteArray value_frame(const char* body)
{
    return QByteArray(body, 9) + Quillon::Calculate_CRC_Class::Of_Body(body) + '\n';
}

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
    QByteArray read(int count) const
    {
        QByteArray bytes(count, '\0');
        int got = 0;
        pollfd p{master, POLLIN, 0};
        while (got<count&& ::poll(&p, 1, 2000)> 0 && ::read(master, bytes.data() + got, 1) == 1)
            ++got;
        return bytes.left(got);
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

#endif // QUILLON_TESTS_TEST_REQUESTS_H
