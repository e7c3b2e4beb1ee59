#ifndef QUILLON_PACKET_BUILDER_CLASS_H
#define QUILLON_PACKET_BUILDER_CLASS_H

#include "packets/calculate_crc_class.h"
#include "packets/packet_class.h"
#include "quillon_global.h"
#include "serial/rx_noise_class.h"

#include <QHash>
#include <QObject>
#include <QString>

namespace Quillon {

// The frame receiver: a byte-count driven state machine. Before every read
// it says how many bytes to ask for and where to put them, so a blocking read
// never waits beyond the end of the frame being assembled; after the read it
// is told how many arrived. Bytes that fit no frame go to the noise recorder.
class QUILLON_EXPORT Packet_Builder_Class : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Ignore_CRC READ getIgnore_CRC WRITE setIgnore_CRC)
    Q_PROPERTY(char Bytes_requested READ getBytes_requested)
    Q_PROPERTY(Receiver_State_Enum Receiver_State READ getReceiver_State)
    Q_PROPERTY(char* Buffer READ Buffer)
    Q_PROPERTY(char Calculated_CRC READ Calculated_CRC)

public:
    enum Receiver_State_Enum : qint32
    {
        Wait_Start = 0,
        Read_Code = 1,
        Read_Text = 2,
        Read_Text_End = 3,
        Read_Body = 4,
        Read_Trailer = 5,
        Frame_Complete = 6
    };
    Q_ENUM(Receiver_State_Enum)

    // Body bytes the receiver holds, a text frame's appended NUL included.
    static constexpr int Frame_Buffer_Size = 20;
    static constexpr int Noise_Row_Length = 20;

    explicit Packet_Builder_Class(QObject* parent = nullptr);
    ~Packet_Builder_Class() override;

    Rx_Noise_Class* Noise;
    bool Ignore_CRC = false;
    Receiver_State_Enum Receiver_State = Wait_Start;
    quint8 Frame_Length = 0;
    qint8 Received_Count = 0;
    qint8 Bytes_requested = 1;
    char* Frame_Buffer;
    char Trailer_Buffer[2] = {0, 0};
    Calculate_CRC_Class Checksum;
    int Packet_Type = 0;
    QHash<QString, int> Code_Table;

    // Where the next read must store its bytes; null in no reading state.
    char* Buffer();
    // Called after every read with the count stored at Buffer(): 0 more
    // bytes wanted, 1 a frame is complete (take it with accept()), 2 the
    // bytes were rejected as noise.
    int BuildPacket(unsigned char count);
    // The completed frame as a new response packet; empty for any other type
    // or when no frame is complete.
    Packet_Shared_Ptr accept();
    // Hands the unfinished frame to the noise recorder and restarts.
    void reject();
    void setState(Receiver_State_Enum state);
    void ClearState();
    void findLength();
    void setIgnore_CRC(bool ignore);
    void buildHashes();

    bool getIgnore_CRC() const { return Ignore_CRC; }
    char getBytes_requested() const { return char(Bytes_requested); }
    Receiver_State_Enum getReceiver_State() const { return Receiver_State; }
    char Calculated_CRC() const { return Checksum.Value(); }

private:
    int reject_bytes(unsigned char count);
    bool code_is_known();

    // Reused for every code lookup so that no string is allocated while a
    // frame is being collected.
    QString Code_Key;
};

} // namespace Quillon

#endif // QUILLON_PACKET_BUILDER_CLASS_H
