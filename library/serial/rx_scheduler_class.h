#ifndef QUILLON_RX_SCHEDULER_CLASS_H
#define QUILLON_RX_SCHEDULER_CLASS_H

#include "quillon_global.h"

#include <QObject>

namespace Quillon {

class COM_Resource;

// The receive pass: reads, assembles and routes answers, and reports the
// outstanding request's time-out. Runs on the worker thread only.
class QUILLON_EXPORT RX_Scheduler_Class : public QObject
{
    Q_OBJECT

public:
    RX_Scheduler_Class(COM_Resource* resource, QObject* parent = nullptr);

    // 0: the port's buffers are discarded before the next read; 1: reading.
    int Phase = 0;
    COM_Resource* Resource;

    // One receive pass: lasts until the outstanding request is answered or
    // timed out; with nothing outstanding, one blocking read of up to 100 ms.
    void Body();
    // Discards what the port holds if Phase asks for it; on failure records
    // the error and asks the worker to shut down. True when reading may go on.
    bool Discard_Buffers();
};

} // namespace Quillon

#endif // QUILLON_RX_SCHEDULER_CLASS_H
