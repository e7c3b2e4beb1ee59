#ifndef QUILLON_SERIAL_PORT_H
#define QUILLON_SERIAL_PORT_H

#include "quillon_global.h"

#include <QByteArray>
#include <QString>

namespace Quillon {

// The operating system's serial port: one device opened for exclusive
// reading and writing with the controller's line settings, read and written
// synchronously. A failing operation returns false and keeps the system's
// error code, which Last_Error_Text() turns into the system's message.
class QUILLON_EXPORT Serial_Port
{
public:
    Serial_Port();
    ~Serial_Port();
    Serial_Port(const Serial_Port&) = delete;
    Serial_Port& operator=(const Serial_Port&) = delete;

    // "ttyUSB0" names /dev/ttyUSB0; a name starting with "/" is a path.
    static QByteArray Device_Path(const QString& port_name);

    // Opens an existing device, closing any port open before.
    bool Open(const QString& port_name);
    // 115200 baud, 8 data bits, no parity, 1 stop bit, raw, no flow control,
    // DTR and RTS raised.
    bool Apply_Line_Settings();
    bool Is_Open() const { return State != nullptr; }
    // Restores the settings found at open. Keeps the last error.
    void Close();

    // Following reads return at once with whatever is buffered.
    bool Set_Read_Immediate();
    // Following reads wait at most this long in total for all their bytes.
    bool Set_Read_Total_Timeout(int milliseconds);
    // Reads up to count bytes; received may be less, even 0. A hang-up of
    // the device is an error. Bytes that came with an earlier read are
    // handed out first, without asking the device.
    bool Read(char* buffer, int count, int& received);
    // Writes all count bytes or fails; written tells how many went out.
    bool Write(const char* data, int count, int& written);
    // Discards both the received and the unsent bytes, those taken in by an
    // earlier read included.
    bool Purge();
    // Succeeds while the device is still usable.
    bool Clear_Errors();

    int Last_Error_Code() const { return Error_Code; }
    QString Last_Error_Text() const;
    // The system's message for an error code, in the user's language. For a
    // device refused for its permissions it adds how to join the device's group.
    static QString System_Error_Text(int code, const QByteArray& device = QByteArray());

    // How long a write may wait for room in the device's output buffer.
    static constexpr int Write_Wait_ms = 1000;

private:
    struct Platform_State;

    bool fail(int code);
    static QString Group_Hint(const QByteArray& device);

    Platform_State* State = nullptr;
    // The device of the last open, named in the advice on permissions.
    QByteArray Device;
    // 0: reads return at once.
    int Read_Total_Timeout_ms = 0;
    int Error_Code = 0;
};

} // namespace Quillon

#endif // QUILLON_SERIAL_PORT_H
