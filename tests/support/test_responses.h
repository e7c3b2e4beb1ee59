#ifndef TESTS_TEST_RESPONSES_H
#define TESTS_TEST_RESPONSES_H

// Responses built in a test, as the frame receiver would build them from
// received bodies, for driving a tab's slots directly.

#include <Quillon.h>

#include <QByteArray>

// The packet class comes from the body's three-letter code (or "<" for a
// system text); null for an unknown code.
inline Quillon::Packet_Shared_Ptr response(const QByteArray& body)
{
    QByteArray bytes = body;
    Quillon::Packet_Class* packet =
        body.startsWith('<')
            ? Quillon::Create_Response_Packet(Quillon::Packet_Resp_System::packet_type)
            : Quillon::Create_Response_Packet(Quillon::Response_Type_Of(bytes.left(3).constData()));
    if (packet)
        packet->checkData(bytes.data());
    return Quillon::Packet_Shared_Ptr(packet);
}

// A nine-byte body given to a packet of the named class, whatever its code.
template <class Response> Quillon::Packet_Shared_Ptr response(const char* body)
{
    auto packet = new Response;
    QByteArray bytes(body);
    bytes.resize(9);
    packet->checkData(bytes.data());
    return Quillon::Packet_Shared_Ptr(packet);
}

// A battery reading of an exact voltage, which no raw reading gives.
struct Exact_IGV : Quillon::Packet_Resp_IGV
{
    explicit Exact_IGV(double volts)
    {
        voltage = volts;
        Valid = true;
    }
};

#endif // TESTS_TEST_RESPONSES_H
