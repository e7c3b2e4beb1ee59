#ifndef QUILLON_COM_RESOURCE_H
#define QUILLON_COM_RESOURCE_H

#include "packets/packet_class.h"
#include "quillon_global.h"
#include "scheduling/scheduling_enums.h"
#include "scheduling/tx_tracking_class.h"
#include "serial/packet_builder_class.h"
#include "serial/serial_port.h"

#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QVector>

#include <atomic>

namespace Quillon {

class TX_Scheduler_Item_Class;

// The one open serial port and everything that touches its bytes: writes a
// request and its carriage return, feeds received bytes to the frame
// receiver, routes every complete packet to the request waiting for it, and
// turns the system's errors into message text. Opened on the user interface
// thread, then driven only from the worker thread.
class QUILLON_EXPORT COM_Resource : public QObject
{
    Q_OBJECT

public:
    // Values of COM_Command.
    enum COM_Command_Value : int
    {
        COM_Run = 0,
        COM_Shutdown = 1,
        COM_Suspend = 2
    };

    explicit COM_Resource(QObject* parent = nullptr);
    // Closes the port; the error texts handed out die with the resource.
    ~COM_Resource() override;

    Packet_Builder_Class Builder;
    // The worker passes' control word, written from both threads.
    std::atomic<int> COM_Command{COM_Run};
    // The name as passed to OpenComPort; null until the first open.
    QString* Port_Name = nullptr;
    // The last error text; null until the first error, and again once the
    // port has been opened anew.
    QString* Last_Error = nullptr;
    TX_Tracking_Class Tracker;
    Serial_Port Port_Handle;

    bool OpenComPort(const QString* port_name, QString& error_text);
    bool CloseComPort();
    bool Send_Packet(QSharedPointer<Quillon::Packet_Class> packet);
    // 0: a packet was delivered, or noise was read and nothing more is
    // buffered; 1: no further byte came in time; 2: read error (text in
    // Last_Error). Noise is reported and the search for a frame goes on.
    int Look_For_Packet(bool wait);
    void Message_Router(QSharedPointer<Quillon::Packet_Class>& received);
    bool DiscardBuffers();
    // Time left on the outstanding request, or 100 ms when none.
    int get_read_timeout();
    // Records the port's last system error as Last_Error and returns it.
    QString* Get_Last_COM_Error();
    // A new string the caller owns: minute, second and millisecond.
    QString* debug_time();

    // Replaces Last_Error. Earlier texts stay valid until the resource is
    // destroyed, since COM_Error hands them to other threads.
    QString* Set_Last_Error(const QString& text);
    // Port_Name as text, empty before the first open.
    QString Port_Name_Text() const;

signals:
    void our_turn_updated();
    void Tx_Packet(QSharedPointer<Quillon::Packet_Class> Tx_Message);
    void Rx_Packet(QSharedPointer<Quillon::Packet_Class> Rx_Message);
    void Rx_Expected_Packet(QSharedPointer<Quillon::Packet_Class> Sent_Message,
                            QSharedPointer<Quillon::Packet_Class> Rx_Message);
    void Rx_Timeout_Expected(QSharedPointer<Quillon::Packet_Class> LastSentMessage);
    void Rx_Noise(char* COM_bytes, uint length_bytes);
    void COM_Error(QString* Error);
    void Item_Disconnected(Quillon::Disconnect_Enum Reason,
                           Quillon::TX_Scheduler_Item_Class* sched_item);

private:
    void record_error(const char* prefix);
    void record_read_error();
    void announce_noise();
    void replace(QString*& member, const QString& text);

    // Superseded Port_Name and Last_Error strings, kept alive for receivers
    // that still hold them.
    QVector<QString*> Retired_Strings;
};

} // namespace Quillon

// The error text travels to the user interface thread with COM_Error.
Q_DECLARE_METATYPE(QString*)

#endif // QUILLON_COM_RESOURCE_H
