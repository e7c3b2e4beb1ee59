#ifndef QUILLON_TESTS_TEST_REQUESTS_H
#define QUILLON_TESTS_TEST_REQUESTS_H

#include "packets/calculate_crc_class.h"
#include "packets/catalogue_packets.h"

#include <QByteArray>
#include <QSharedPointer>

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
    QByteArray frame(body, 9);
    frame.append(Quillon::Calculate_CRC_Class::Of_Body(body));
    frame.append('\n');
    return frame;
}

#endif // QUILLON_TESTS_TEST_REQUESTS_H
