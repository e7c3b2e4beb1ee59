#include "tx_tracking_class.h"

namespace Quillon {

TX_Tracking_Class::TX_Tracking_Class(QObject* parent) : QObject(parent) {}

TX_Tracking_Class::~TX_Tracking_Class()
{
    if (!Current_Timeout)
        return;
    // Nobody is told any more: the listeners may be going away too.
    Timeouts_Class* deadline = Current_Timeout;
    disconnect(deadline, nullptr, this, nullptr);
    Current_Timeout = nullptr;
    const Packet_Shared_Ptr request = deadline->Tracked_Pkt;
    if (request && request->Timeout == deadline)
        request->Clear_Timeout();
}

void TX_Tracking_Class::Track(Packet_Shared_Ptr request)
{
    if (!request)
        return;
    if (Current_Timeout && Current_Timeout != request->Timeout)
        Stop_Tracking();

    Timeouts_Class* deadline = request->Timeout;
    if (!deadline) {
        deadline = new Timeouts_Class(request->Response_Timeout());
        request->Timeout = deadline;
    }
    Current_Timeout = deadline;
    deadline->Tracked_Pkt = request;
    // Unique, so that tracking the same request again ends it only once.
    connect(deadline, &QObject::destroyed, this, &TX_Tracking_Class::Clear_Timeout,
            Qt::ConnectionType(Qt::DirectConnection | Qt::UniqueConnection));
    deadline->Start();
    emit Is_TrackingChanged(true);
}

void TX_Tracking_Class::Stop_Tracking()
{
    if (!Current_Timeout)
        return;
    // Held here, so that the request outlives its own Clear_Timeout().
    const Packet_Shared_Ptr request = Current_Timeout->Tracked_Pkt;
    if (request && request->Timeout == Current_Timeout) {
        request->Clear_Timeout();
        return;
    }
    // A deadline that no longer belongs to its request cannot be ended
    // through it; it is only forgotten.
    disconnect(Current_Timeout, nullptr, this, nullptr);
    forget();
}

bool TX_Tracking_Class::Manage(Packet_Shared_Ptr& expired)
{
    if (!Current_Timeout)
        return true;
    if (!Current_Timeout->getIsExpired())
        return false;
    expired = Current_Timeout->Tracked_Pkt;
    Stop_Tracking();
    return true;
}

Packet_Shared_Ptr TX_Tracking_Class::Tracked_Request() const
{
    return Current_Timeout ? Current_Timeout->Tracked_Pkt : Packet_Shared_Ptr();
}

void TX_Tracking_Class::Clear_Timeout()
{
    // Only the end of the deadline being tracked counts.
    const QObject* ended = sender();
    if (ended && ended != static_cast<QObject*>(Current_Timeout))
        return;
    forget();
}

void TX_Tracking_Class::forget()
{
    Current_Timeout = nullptr;
    emit Is_TrackingChanged(false);
}

} // namespace Quillon
