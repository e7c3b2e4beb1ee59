#include "timeouts_class.h"

#include <limits>

namespace Quillon {

Timeouts_Class::Timeouts_Class(unsigned int milliseconds, QObject* parent)
    : QObject(parent), timeout_ms(milliseconds), Elapsed(new QElapsedTimer)
{}

Timeouts_Class::~Timeouts_Class()
{
    // Deleted other than through its request's Clear_Timeout(): the request
    // must not keep pointing here, and may die with the last reference.
    if (Tracked_Pkt && Tracked_Pkt->Timeout == this)
        Tracked_Pkt->Timeout = nullptr;
    Tracked_Pkt.clear();
    delete Elapsed;
}

void Timeouts_Class::Start()
{
    Elapsed->start();
}

bool Timeouts_Class::getIsExpired() const
{
    return Elapsed->isValid() && Elapsed->elapsed() > timeout_ms;
}

short Timeouts_Class::gettime_left_ms() const
{
    if (!Elapsed->isValid())
        return short(qBound<qint64>(1, timeout_ms, std::numeric_limits<short>::max()));
    const qint64 left = timeout_ms - Elapsed->elapsed();
    if (left <= 0)
        return 1;
    return short(qMin<qint64>(left, std::numeric_limits<short>::max()));
}

} // namespace Quillon
