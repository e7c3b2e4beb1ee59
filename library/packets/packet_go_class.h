#ifndef QUILLON_PACKET_GO_CLASS_H
#define QUILLON_PACKET_GO_CLASS_H

#include "packet_class.h"

namespace Quillon {

// "go XXX": an action; waits 300 ms for a system response.
class QUILLON_EXPORT Packet_Go_Class : public Packet_Class
{
    Q_OBJECT

public:
    explicit Packet_Go_Class(QObject* parent = nullptr) : Packet_Class(parent) {}

    static quint8 Packet_Length() { return 6; }

    char* getData() override { return Data; }
    quint8 getLength() override { return Packet_Length(); }
    unsigned int Response_Timeout() override { return 300; }
    void check_data(char*) override {}
    void set_default_data(char* buf) override;
    virtual const char* getName() = 0;
};

} // namespace Quillon

#endif // QUILLON_PACKET_GO_CLASS_H
