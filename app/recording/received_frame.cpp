#include "received_frame.h"

namespace Recording {

QByteArray Received_Frame_Bytes(Quillon::Packet_Class* packet)
{
    QByteArray bytes(packet->getData(), packet->getLength());
    if (qobject_cast<Quillon::Packet_Resp_Class*>(packet))
        bytes += Quillon::Calculate_CRC_Class::Of_Body(packet->getData());
    bytes += '\n';
    return bytes;
}

} // namespace Recording
