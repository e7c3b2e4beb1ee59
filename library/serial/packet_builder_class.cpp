#include "packet_builder_class.h"

#include "packets/catalogue_packets.h"
#include "packets/command_catalogue.h"
#include "packets/packet_resp_class.h"
#include "packets/packet_resp_system.h"

namespace Quillon {

namespace {

// Codes are matched in upper case, but any ASCII letter may start a frame.
bool is_letter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool is_value_response_type(int type)
{
    switch (type) {
#define QUILLON_VALUE_CASE(code, get_type, response_type, base, kind) case response_type:
        QUILLON_VALUE_COMMANDS(QUILLON_VALUE_CASE)
#undef QUILLON_VALUE_CASE
#define QUILLON_UNSOLICITED_CASE(code, response_type, base) case response_type:
        QUILLON_UNSOLICITED_RESPONSES(QUILLON_UNSOLICITED_CASE)
#undef QUILLON_UNSOLICITED_CASE
        return true;
    default:
        return false;
    }
}

unsigned char clamped(int count, int limit)
{
    return static_cast<unsigned char>(qBound(0, count, limit));
}

} // namespace

Packet_Builder_Class::Packet_Builder_Class(QObject* parent)
    : QObject(parent),
      Noise(new Rx_Noise_Class(new char[2 * Noise_Row_Length](), Noise_Row_Length)),
      Frame_Buffer(new char[Frame_Buffer_Size]()), Code_Key(3, QLatin1Char(' '))
{
    buildHashes();
}

Packet_Builder_Class::~Packet_Builder_Class()
{
    delete Noise;
    delete[] Frame_Buffer;
}

char* Packet_Builder_Class::Buffer()
{
    switch (Receiver_State) {
    case Wait_Start:
    case Read_Code:
    case Read_Text:
    case Read_Body:
    case Frame_Complete:
        return Frame_Buffer + Received_Count;
    case Read_Text_End:
    case Read_Trailer:
        return Trailer_Buffer + Received_Count;
    }
    return nullptr;
}

int Packet_Builder_Class::BuildPacket(unsigned char count)
{
    // Buffer() has room for no more than was asked for.
    if (count > Bytes_requested)
        count = clamped(Bytes_requested, Frame_Buffer_Size);

    char* stored = Buffer();
    if (count > 0 && !Ignore_CRC && Receiver_State != Read_Trailer && stored)
        Checksum.Add(stored, count);

    if (Bytes_requested > count) {
        Received_Count = qint8(Received_Count + count);
        Bytes_requested = qint8(Bytes_requested - count);
        return 0;
    }

    switch (Receiver_State) {
    case Wait_Start:
        if (Frame_Buffer[0] == '<') {
            setState(Read_Text);
            return 0;
        }
        if (is_letter(Frame_Buffer[0])) {
            // Entering Read_Code clears the checksum: the first letter is
            // not part of it.
            setState(Read_Code);
            return 0;
        }
        return reject_bytes(count);

    case Read_Code:
        if (Frame_Buffer[3] != ' ' || !code_is_known())
            return reject_bytes(count);
        Packet_Type = Code_Table.value(Code_Key);
        findLength();
        setState(Read_Body);
        return 0;

    case Read_Text:
        if (Frame_Buffer[Received_Count] == '>') {
            Frame_Buffer[Received_Count + 1] = '\0';
            Packet_Type = Packet_Resp_System::packet_type;
            setState(Read_Text_End);
            return 0;
        }
        // A ">" must still fit, followed by the NUL appended to it.
        if (Received_Count >= Frame_Buffer_Size - 2)
            return reject_bytes(count);
        ++Received_Count;
        return 0;

    case Read_Text_End:
        if (Trailer_Buffer[0] == '\n') {
            setState(Frame_Complete);
            return 1;
        }
        return reject_bytes(count);

    case Read_Body:
        setState(Read_Trailer);
        return 0;

    case Read_Trailer:
        if (!Ignore_CRC && Trailer_Buffer[0] != Checksum.Value())
            return reject_bytes(count);
        if (Trailer_Buffer[1] == '\n') {
            setState(Frame_Complete);
            return 1;
        }
        return reject_bytes(count);

    case Frame_Complete:
        break;
    }
    return reject_bytes(count);
}

int Packet_Builder_Class::reject_bytes(unsigned char count)
{
    // The bytes just read belong to the frame being dropped.
    Received_Count = qint8(Received_Count + count);
    reject();
    return 2;
}

bool Packet_Builder_Class::code_is_known()
{
    for (int i = 0; i < 3; ++i)
        Code_Key[i] = QLatin1Char(Frame_Buffer[i]);
    return Code_Table.contains(Code_Key);
}

Packet_Shared_Ptr Packet_Builder_Class::accept()
{
    if (Receiver_State != Frame_Complete)
        return Packet_Shared_Ptr();
    Packet_Class* packet = Create_Response_Packet(Packet_Type);
    if (!packet) {
        ClearState();
        return Packet_Shared_Ptr();
    }
    packet->checkData(Frame_Buffer);
    ClearState();
    packet->Time_Stamp = Time_Of_Day();
    return Packet_Shared_Ptr(packet);
}

void Packet_Builder_Class::reject()
{
    switch (Receiver_State) {
    case Wait_Start:
    case Read_Code:
        if (Received_Count == 0)
            return;
        Noise->add_rejected(Frame_Buffer, clamped(Received_Count, Frame_Buffer_Size));
        break;
    case Read_Text:
    case Read_Body:
        Noise->add_rejected(Frame_Buffer, clamped(Received_Count, Frame_Buffer_Size));
        break;
    case Read_Trailer:
    case Frame_Complete:
        Noise->add_rejected(Frame_Buffer, clamped(Frame_Length, Frame_Buffer_Size));
        Noise->add_rejected(Trailer_Buffer, clamped(Received_Count, sizeof Trailer_Buffer));
        break;
    case Read_Text_End:
        // A text frame without its line feed is dropped unrecorded.
        break;
    }
    ClearState();
}

void Packet_Builder_Class::setState(Receiver_State_Enum state)
{
    Receiver_State = state;
    switch (state) {
    case Wait_Start:
        Checksum.Clear();
        Received_Count = 0;
        Bytes_requested = 1;
        break;
    case Read_Code:
        Checksum.Clear();
        Received_Count = 1;
        Bytes_requested = 3;
        break;
    case Read_Text:
        Received_Count = 1;
        Bytes_requested = 1;
        break;
    case Read_Text_End:
        Received_Count = 0;
        Bytes_requested = 1;
        break;
    case Read_Body:
        Received_Count = 4;
        Bytes_requested = qint8(Frame_Length - 4);
        break;
    case Read_Trailer:
        Received_Count = 0;
        Bytes_requested = 2;
        break;
    case Frame_Complete:
        break;
    }
}

void Packet_Builder_Class::ClearState()
{
    setState(Wait_Start);
}

void Packet_Builder_Class::findLength()
{
    if (is_value_response_type(Packet_Type))
        Frame_Length = Packet_Resp_Class::Packet_Length();
}

void Packet_Builder_Class::setIgnore_CRC(bool ignore)
{
    Ignore_CRC = ignore;
    if (ignore)
        Checksum.Clear();
}

void Packet_Builder_Class::buildHashes()
{
    Code_Table.clear();
#define QUILLON_VALUE_ENTRY(code, get_type, response_type, base, kind)                             \
    Code_Table.insert(QStringLiteral(#code), response_type);
    QUILLON_VALUE_COMMANDS(QUILLON_VALUE_ENTRY)
#undef QUILLON_VALUE_ENTRY
#define QUILLON_UNSOLICITED_ENTRY(code, response_type, base)                                       \
    Code_Table.insert(QStringLiteral(#code), response_type);
    QUILLON_UNSOLICITED_RESPONSES(QUILLON_UNSOLICITED_ENTRY)
#undef QUILLON_UNSOLICITED_ENTRY
}

} // namespace Quillon
