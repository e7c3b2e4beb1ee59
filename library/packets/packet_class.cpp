#include "packet_class.h"

#include "scheduling/timeouts_class.h"

#include <QDateTime>

#include <atomic>
#include <cstring>
#include <limits>
#include <new>

namespace Quillon {

quint16 Packet_Class::Sent_Packet_Count = 0;
quint16 Packet_Class::Received_Packet_Count = 0;

Packet_Class::Packet_Class(QObject* parent) : QObject(parent) {}

Packet_Class::~Packet_Class()
{
    Clear_Timeout();
    delete[] Data;
}

unsigned int Packet_Class::Response_Timeout()
{
    return 200;
}

bool Packet_Class::AllocateData()
{
    char* buf = new (std::nothrow) char[getLength()];
    if (!buf) {
        Valid = false;
        return false;
    }
    set_default_data(buf);
    Valid = true;
    return true;
}

void Packet_Class::checkData(char* buf)
{
    const char* before = getData();
    check_data(buf);
    if (buf != before)
        emit packet_dataChanged();
}

void Packet_Class::Update_Send_Sequences()
{
    ++Sent_Packet_Count;
    Sequence = quint16(Sent_Packet_Count + Received_Packet_Count);
}

void Packet_Class::Update_Recv_Sequences()
{
    ++Received_Packet_Count;
    Sequence = quint16(Sent_Packet_Count + Received_Packet_Count);
}

bool Packet_Class::Clear_Timeout()
{
    if (!Timeout)
        return false;
    // The deadline holds this packet alive through its handle; drop that
    // reference first. Take the pointer out before deleting, so that anything
    // the deletion triggers sees no deadline.
    Timeouts_Class* deadline = Timeout;
    Timeout = nullptr;
    Packet_Shared_Ptr keep_alive = deadline->Tracked_Pkt;
    deadline->Tracked_Pkt.clear();
    delete deadline;
    return true;
}

QString Packet_Class::toQString()
{
    const char* data = getData();
    if (!data)
        return QString();
    const int length = getLength();
    const void* nul = std::memchr(data, 0, size_t(length));
    const int n = nul ? int(static_cast<const char*>(nul) - data) : length;
    return QString::fromLatin1(data, n);
}

void Packet_Class::adopt_data(char* buf)
{
    if (buf == Data)
        return;
    delete[] Data;
    Data = buf;
}

QString ToHex(char c)
{
    char out[2];
    ToHex(out, c);
    return QString::fromLatin1(out, 2);
}

void ToHex(char* out, char c)
{
    static const char digits[] = "0123456789ABCDEF";
    const unsigned char b = static_cast<unsigned char>(c);
    out[0] = digits[b >> 4];
    out[1] = digits[b & 0x0F];
}

QTime Time_Of_Day()
{
    constexpr qint64 Minute_ms = 60 * 1000;
    constexpr qint64 Day_ms = 24 * 60 * Minute_ms;
    static std::atomic<qint64> offset_ms{0};
    static std::atomic<qint64> next_lookup_ms{std::numeric_limits<qint64>::min()};

    // The system clock alone costs no file-system call.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now >= next_lookup_ms.load(std::memory_order_relaxed)) {
        offset_ms.store(QDateTime::fromMSecsSinceEpoch(now).offsetFromUtc() * qint64(1000),
                        std::memory_order_relaxed);
        // Zones change their offset on a full minute, so looking again at the
        // next one keeps every stamp exact.
        next_lookup_ms.store((now / Minute_ms + 1) * Minute_ms, std::memory_order_relaxed);
    }
    qint64 of_day = (now + offset_ms.load(std::memory_order_relaxed)) % Day_ms;
    if (of_day < 0)
        of_day += Day_ms;
    return QTime::fromMSecsSinceStartOfDay(int(of_day));
}

} // namespace Quillon
