#ifndef TESTS_SENT_LOG_H
#define TESTS_SENT_LOG_H

// The command codes the worker wrote, in order, as seen on the thread the
// log lives on (the resource emits on the worker thread).

#include <Quillon.h>

#include <QObject>
#include <QStringList>

class Sent_Log : public QObject
{
public:
    explicit Sent_Log(Quillon::COM_Resource* resource)
    {
        connect(
            resource, &Quillon::COM_Resource::Tx_Packet, this,
            [this](QSharedPointer<Quillon::Packet_Class> p) { codes << p->toQString().right(3); },
            Qt::QueuedConnection);
    }
    int count(const QString& code) const { return codes.count(code); }

    QStringList codes;
};

#endif // TESTS_SENT_LOG_H
