#ifndef RECORDING_RECEIVED_FRAME_H
#define RECORDING_RECEIVED_FRAME_H

#include <Quillon.h>

#include <QByteArray>

namespace Recording {

// A received frame exactly as it came: a value response's body, its
// checksum and line feed; a system response's bracketed text and line feed.
// The receiver checks the checksum, so the one it accepted is the one
// computed here.
QByteArray Received_Frame_Bytes(Quillon::Packet_Class* packet);

} // namespace Recording

#endif // RECORDING_RECEIVED_FRAME_H
