#ifndef QUILLON_PACKET_GET_CLASS_H
#define QUILLON_PACKET_GET_CLASS_H

#include "packet_class.h"

namespace Quillon {

// "get XXX": reads one value; waits 100 ms for the value response.
class QUILLON_EXPORT Packet_Get_Class : public Packet_Class
{
    Q_OBJECT

public:
    explicit Packet_Get_Class(QObject* parent = nullptr) : Packet_Class(parent) {}

    static quint8 Packet_Length() { return 7; }

    char* getData() override { return Data; }
    quint8 getLength() override { return Packet_Length(); }
    unsigned int Response_Timeout() override { return 100; }
    void check_data(char*) override {}
    void set_default_data(char* buf) override;
    virtual const char* getName() = 0;
};

} // namespace Quillon

#endif // QUILLON_PACKET_GET_CLASS_H
