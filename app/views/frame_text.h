#ifndef APP_VIEWS_FRAME_TEXT_H
#define APP_VIEWS_FRAME_TEXT_H

#include <QByteArray>
#include <QString>

// How the traffic monitor writes a frame: its bytes made readable and its
// meaning in words, from the bytes alone, so that live traffic and a
// recording's traffic read the same.
namespace Views {

enum class Direction
{
    Request,
    Answer,
    Noise
};

QString Direction_Name(Direction direction);
// CR as ⏎, printable ASCII as it is, any other byte as <HH>.
QString Visible_Bytes(const QByteArray& bytes);
// The three-letter command code of a request or value answer; empty for
// system answers and noise.
QString Frame_Code(Direction direction, const QByteArray& bytes);
// What a command code reads or does, in words: "reservoir pressure"; empty
// for a code the controller does not know.
QString Signal_Name(const QString& code);
// "noise, N bytes", or "noise, 1 byte".
QString Noise_Text(qint64 count);
// "read PXV reservoir pressure", "PXV reservoir pressure 758 = 120.4 psi",
// "<OK>", "noise, 7 bytes".
QString Frame_Meaning(Direction direction, const QByteArray& bytes);

} // namespace Views

#endif // APP_VIEWS_FRAME_TEXT_H
