#ifndef QUILLON_TX_TRACKING_CLASS_H
#define QUILLON_TX_TRACKING_CLASS_H

#include "packets/packet_class.h"
#include "quillon_global.h"
#include "scheduling/timeouts_class.h"

#include <QObject>

namespace Quillon {

// Remembers the one request that waits for its answer. The request owns its
// deadline and the deadline holds the request; the tracker only points at
// the deadline and hears of its end through the deadline's destroyed().
class QUILLON_EXPORT TX_Tracking_Class : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Is_Tracking READ Is_Tracking NOTIFY Is_TrackingChanged)

public:
    explicit TX_Tracking_Class(QObject* parent = nullptr);
    // A request still tracked is released together with its deadline.
    ~TX_Tracking_Class() override;

    // Not owned; null when nothing is tracked.
    Timeouts_Class* Current_Timeout = nullptr;

    // Starts the request's deadline. A different request still tracked is
    // given up first: only one request is outstanding.
    void Track(Packet_Shared_Ptr request);
    // Ends the tracking by clearing the request's deadline.
    void Stop_Tracking();
    // True when nothing is left to wait for; an expired request is then
    // handed out and no longer tracked. False while the deadline runs.
    bool Manage(Packet_Shared_Ptr& expired);
    bool Is_Tracking() const { return Current_Timeout != nullptr; }
    // The tracked request, or an empty handle.
    Packet_Shared_Ptr Tracked_Request() const;

signals:
    void Is_TrackingChanged(bool tracking);

protected slots:
    void Clear_Timeout();

private:
    void forget();
};

} // namespace Quillon

#endif // QUILLON_TX_TRACKING_CLASS_H
