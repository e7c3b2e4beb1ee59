#include "com_resource.h"

#include <QVarLengthArray>

#include <cstring>

namespace Quillon {

namespace {

const char Send_Error_Prefix[] = "Error in COM_Resource::Send_Packet() COM port ";
const char Terminator_Error_Prefix[] = "Error in COM_Resource::Send_SV_Mesg() COM port ";
const char Read_Error_Prefix[] = "Error in COM_Resource::Look_For_Packet() reading the COM port";
const char Extended_Message[] = "\nExtended Message: ";

// How long a waiting read lasts when no request is outstanding.
const int Idle_Read_Timeout_ms = 100;
const char Carriage_Return = 0x0D;

} // namespace

COM_Resource::COM_Resource(QObject* parent) : QObject(parent), Builder(this), Tracker(this)
{
    // The controller's checksum byte is read but not compared.
    Builder.setIgnore_CRC(true);
    // COM_Error is emitted on the worker thread and reaches the program
    // queued, so its argument type must be known by name.
    qRegisterMetaType<QString*>("QString*");
}

COM_Resource::~COM_Resource()
{
    CloseComPort();
    qDeleteAll(Retired_Strings);
    delete Port_Name;
    delete Last_Error;
}

bool COM_Resource::OpenComPort(const QString* port_name, QString& error_text)
{
    const QString name = port_name ? *port_name : QString();
    if (!Port_Handle.Open(name)) {
        error_text = *Get_Last_COM_Error();
        return false;
    }
    if (!Port_Handle.Apply_Line_Settings()) {
        // Closing keeps the error of the failed settings call.
        Port_Handle.Close();
        error_text = *Get_Last_COM_Error();
        return false;
    }
    DiscardBuffers();
    replace(Port_Name, name);
    // An error of the port's earlier use says nothing about this one.
    if (Last_Error) {
        Retired_Strings.append(Last_Error);
        Last_Error = nullptr;
    }
    return true;
}

bool COM_Resource::CloseComPort()
{
    // No answer can come any more; the request and its deadline are let go.
    Tracker.Stop_Tracking();
    Port_Handle.Close();
    return true;
}

bool COM_Resource::Send_Packet(QSharedPointer<Quillon::Packet_Class> packet)
{
    if (!packet)
        return true;
    packet->Update_Send_Sequences();

    // The body and its terminator go out in one write, so that the request
    // costs one system call; a failure is still told apart by how far the
    // write got.
    const int length = packet->getLength();
    QVarLengthArray<char, 64> line(length + 1);
    if (length > 0)
        std::memcpy(line.data(), packet->getData(), size_t(length));
    line[length] = Carriage_Return;
    int written = 0;
    if (!Port_Handle.Write(line.constData(), length + 1, written) || written != length + 1) {
        record_error(written < length ? Send_Error_Prefix : Terminator_Error_Prefix);
        return false;
    }

    if (packet->Response_Filter)
        Tracker.Track(packet);
    packet->Time_Stamp = Time_Of_Day();
    emit Tx_Packet(packet);
    return true;
}

int COM_Resource::Look_For_Packet(bool wait)
{
    const bool timeouts_set = wait ? Port_Handle.Set_Read_Total_Timeout(qint16(get_read_timeout()))
                                   : Port_Handle.Set_Read_Immediate();
    if (!timeouts_set) {
        record_read_error();
        return 2;
    }

    bool waiting = wait;
    bool noise_seen = false;
    for (;;) {
        int received = 0;
        if (!Port_Handle.Read(Builder.Buffer(), Builder.Bytes_requested, received)) {
            record_read_error();
            return 2;
        }
        if (received == 0) {
            // Only a read that waited in vain means the line paused mid-frame.
            // Without waiting, the rest of the frame may simply not be here
            // yet; it is kept for the next read.
            if (waiting) {
                Builder.reject();
                announce_noise();
            }
            return noise_seen ? 0 : 1;
        }

        switch (Builder.BuildPacket(static_cast<unsigned char>(received))) {
        case 0:
            continue;
        case 1: {
            Packet_Shared_Ptr packet = Builder.accept();
            if (packet) {
                packet->Update_Recv_Sequences();
                Message_Router(packet);
            }
            return 0;
        }
        default:
            // A glitch on the line, such as the byte an RS-485 driver makes
            // when it switches on, often comes right in front of an answer:
            // the receiver starts over with the next byte. The rest of this
            // call takes only what is already buffered, so that a stream of
            // garbage cannot hold the pass beyond its deadline.
            announce_noise();
            noise_seen = true;
            if (waiting && !Port_Handle.Set_Read_Immediate()) {
                record_read_error();
                return 2;
            }
            waiting = false;
            continue;
        }
    }
}

void COM_Resource::announce_noise()
{
    if (char* row = Builder.Noise->last_row())
        emit Rx_Noise(row, Builder.Noise->Row_Length);
}

void COM_Resource::Message_Router(QSharedPointer<Quillon::Packet_Class>& received)
{
    emit Rx_Packet(received);
    if (!Tracker.Is_Tracking())
        return;

    // Held here, so that the request outlives the end of its tracking.
    const Packet_Shared_Ptr sent = Tracker.Tracked_Request();
    if (sent && sent->Response_Filter) {
        if (!sent->Response_Filter(received.data()))
            return;
        emit Rx_Expected_Packet(sent, received);
        emit sent->Rx_Expected(received);
    }
    // The item's slot usually ended the tracking already; a request tracked
    // anew meanwhile is left alone.
    if (Tracker.Is_Tracking() && Tracker.Tracked_Request() == sent)
        Tracker.Stop_Tracking();
}

bool COM_Resource::DiscardBuffers()
{
    // A frame half read is meaningless once its rest has been discarded.
    Builder.ClearState();
    return Port_Handle.Purge() && Port_Handle.Clear_Errors();
}

int COM_Resource::get_read_timeout()
{
    if (Tracker.Current_Timeout)
        return Tracker.Current_Timeout->gettime_left_ms();
    return Idle_Read_Timeout_ms;
}

QString* COM_Resource::Get_Last_COM_Error()
{
    return Set_Last_Error(Port_Handle.Last_Error_Text());
}

QString* COM_Resource::debug_time()
{
    const QTime now = Time_Of_Day();
    return new QString(QString::asprintf("%2d%2d%6d", now.minute(), now.second(), now.msec()));
}

QString* COM_Resource::Set_Last_Error(const QString& text)
{
    replace(Last_Error, text);
    return Last_Error;
}

QString COM_Resource::Port_Name_Text() const
{
    return Port_Name ? *Port_Name : QString();
}

void COM_Resource::record_error(const char* prefix)
{
    Set_Last_Error(QLatin1String(prefix) + Port_Name_Text() + QLatin1String(Extended_Message) +
                   Port_Handle.Last_Error_Text());
}

void COM_Resource::record_read_error()
{
    Set_Last_Error(QLatin1String(Read_Error_Prefix) + QLatin1String(Extended_Message) +
                   Port_Handle.Last_Error_Text());
}

void COM_Resource::replace(QString*& member, const QString& text)
{
    if (member)
        Retired_Strings.append(member);
    member = new QString(text);
}

} // namespace Quillon
