#ifndef TESTS_SENT_LOG_H
#define TESTS_SENT_LOG_H

// The command codes the worker wrote, in order. They are taken on the worker
// thread as each request is written and kept under a lock: a queued copy of
// the packet would pass through Qt's event queue, whose lock ThreadSanitizer
// cannot see.

#include <Quillon.h>
#include <sanitizer_locks.h>

#include <QMutex>
#include <QObject>
#include <QStringList>

class Sent_Log : public QObject
{
public:
    explicit Sent_Log(Quillon::COM_Resource* resource)
    {
        connect(
            resource, &Quillon::COM_Resource::Tx_Packet, this,
            [this](QSharedPointer<Quillon::Packet_Class> p) {
                const QString code = p->toQString().right(3);
                Quillon::detail::Locker hold(mutex);
                taken << code;
            },
            Qt::DirectConnection);
    }
    QStringList codes() const
    {
        Quillon::detail::Locker hold(mutex);
        return taken;
    }
    int count(const QString& code) const { return codes().count(code); }
    void clear()
    {
        Quillon::detail::Locker hold(mutex);
        taken.clear();
    }

private:
    mutable QMutex mutex;
    QStringList taken;
};

#endif // TESTS_SENT_LOG_H
