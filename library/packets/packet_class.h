#ifndef QUILLON_PACKET_CLASS_H
#define QUILLON_PACKET_CLASS_H

#include "quillon_global.h"

#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QTime>

namespace Quillon {

class Timeouts_Class;
class Packet_Class;

// The unit passed between all layers and across threads.
typedef QSharedPointer<Packet_Class> Packet_Shared_Ptr;

// Decides whether a received packet is the answer to a request.
typedef bool (*Response_Filter_Type)(Packet_Class* received);

// Base of every request and response on the line. A request owns the exact
// body bytes to write and knows how long to wait and which answer it accepts;
// a response owns the body of a received frame and decodes it.
class QUILLON_EXPORT Packet_Class : public QObject
{
    Q_OBJECT
    Q_PROPERTY(char* Data READ getData WRITE checkData NOTIFY packet_dataChanged)
    Q_PROPERTY(quint8 Length READ getLength CONSTANT)
    Q_PROPERTY(int ID READ ID CONSTANT)
    Q_PROPERTY(uint Response_Timeout READ Response_Timeout CONSTANT)
    Q_PROPERTY(bool Valid READ isValid)

public:
    explicit Packet_Class(QObject* parent = nullptr);
    ~Packet_Class() override;

    // Request: buffer allocated and value in range. Response: value decoded.
    bool Valid = false;
    // Packets sent plus received when this one was sent or received.
    quint16 Sequence = 0;
    // Deadline of an outstanding request; owned.
    Timeouts_Class* Timeout = nullptr;
    QTime Time_Stamp;
    Response_Filter_Type Response_Filter = nullptr;
    // Body bytes; owned.
    char* Data = nullptr;

    static quint16 Sent_Packet_Count;
    static quint16 Received_Packet_Count;

    virtual char* getData() = 0;
    virtual quint8 getLength() = 0;
    virtual int ID() = 0;
    virtual unsigned int Response_Timeout();
    virtual void check_data(char* buf) = 0;
    virtual void set_default_data(char* buf) = 0;
    virtual void setResponse_FiltertoDefault() = 0;

    bool isValid() const { return Valid; }
    bool AllocateData();
    void checkData(char* buf);
    void Update_Send_Sequences();
    void Update_Recv_Sequences();
    bool Clear_Timeout();
    QString toQString();

signals:
    void Rx_Expected(QSharedPointer<Quillon::Packet_Class> Rx_Message);
    void Rx_Timeout_Expected();
    void packet_dataChanged();

protected:
    // Replaces the body buffer, releasing the old one.
    void adopt_data(char* buf);
};

// The two upper-case hexadecimal digits of a byte, high nibble first.
QUILLON_EXPORT QString ToHex(char c);
QUILLON_EXPORT void ToHex(char* out, char c);

// The local time of day, as packets are stamped with it. The zone's offset
// from UTC is looked up once a minute, not for every packet: each lookup
// reads the time-zone file system information.
QUILLON_EXPORT QTime Time_Of_Day();

} // namespace Quillon

#endif // QUILLON_PACKET_CLASS_H
