#ifndef TESTS_QUEUED_SPY_H
#define TESTS_QUEUED_SPY_H

// Records a signal's emissions on the thread the spy lives on. Unlike
// QSignalSpy, which appends from the emitting thread, it is safe for signals
// emitted on the worker thread, as the program's own slots receive them.

#include <QList>
#include <QObject>
#include <QVariant>

class Queued_Spy : public QObject
{
public:
    template <class Sender, class Declarer, class... Args>
    Queued_Spy(Sender* sender, void (Declarer::*signal)(Args...))
    {
        connect(
            sender, signal, this,
            [this](Args... args) { calls.append(QVariantList{QVariant::fromValue(args)...}); },
            Qt::QueuedConnection);
    }

    int count() const { return calls.size(); }
    bool isEmpty() const { return calls.isEmpty(); }
    // Argument `index` of emission `call`.
    template <class T> T arg(int call, int index = 0) const
    {
        return calls.at(call).at(index).template value<T>();
    }

    QList<QVariantList> calls;
};

#endif // TESTS_QUEUED_SPY_H
