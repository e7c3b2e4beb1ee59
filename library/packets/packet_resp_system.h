#ifndef QUILLON_PACKET_RESP_SYSTEM_H
#define QUILLON_PACKET_RESP_SYSTEM_H

#include "packet_class.h"

namespace Quillon {

// A bracketed system response such as "<OK>"; the text is the body.
class QUILLON_EXPORT Packet_Resp_System : public Packet_Class
{
    Q_OBJECT

public:
    static const int packet_type = 84;

    explicit Packet_Resp_System(QObject* parent = nullptr) : Packet_Class(parent) {}
    ~Packet_Resp_System() override;

    // Owned NUL-terminated copy of the bracketed text, and its length.
    char* System_Text = nullptr;
    quint8 Text_Length = 0;

    char* getData() override { return System_Text; }
    quint8 getLength() override { return Text_Length; }
    int ID() override { return packet_type; }
    void check_data(char* text) override;
    void set_default_data(char* buf) override;
    void setResponse_FiltertoDefault() override { Response_Filter = nullptr; }
};

} // namespace Quillon

#endif // QUILLON_PACKET_RESP_SYSTEM_H
