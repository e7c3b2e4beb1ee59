#ifndef QUILLON_TIMEOUTS_CLASS_H
#define QUILLON_TIMEOUTS_CLASS_H

#include "packets/packet_class.h"
#include "quillon_global.h"

#include <QElapsedTimer>
#include <QObject>

namespace Quillon {

// The deadline of one outstanding request. The request owns it (its Timeout
// member); the deadline holds the request alive until the request clears it.
class QUILLON_EXPORT Timeouts_Class : public QObject
{
    Q_OBJECT
    Q_PROPERTY(qlonglong timeout_ms MEMBER timeout_ms)
    Q_PROPERTY(bool IsExpired READ getIsExpired)
    Q_PROPERTY(short time_left_ms READ gettime_left_ms)

public:
    explicit Timeouts_Class(unsigned int milliseconds, QObject* parent = nullptr);
    ~Timeouts_Class() override;

    qint64 timeout_ms;
    QElapsedTimer* Elapsed;
    Packet_Shared_Ptr Tracked_Pkt;

    void Start();
    bool getIsExpired() const;
    // Never less than 1, so a blocking read always has a positive time-out.
    short gettime_left_ms() const;
};

} // namespace Quillon

#endif // QUILLON_TIMEOUTS_CLASS_H
