#include "line_tap.h"

#include "recording/received_frame.h"

#include <sanitizer_locks.h>

#include <QElapsedTimer>
#include <QMutex>

#include <atomic>

using namespace Quillon;
using Quillon::detail::Locker;

namespace Views {

// The worker pushes and the tap's thread takes the frames, under a lock that
// is announced to ThreadSanitizer (sanitizer_locks.h).
struct Line_Tap::Queue
{
    QMutex lock;
    QElapsedTimer clock;
    QVector<Line_Frame> frames;
    // The consumers that want the line, as a mask. Read by the worker before
    // it builds a frame, so that a line nobody wants costs it one load; set
    // under the lock.
    std::atomic<int> wanted{0};

    bool is_wanted() const { return wanted.load(std::memory_order_relaxed) != 0; }
    void push(Line_Frame&& frame)
    {
        Locker hold(lock);
        // Again under the lock: a frame built as the last consumer let go is
        // not kept for when one wants the line again.
        if (!is_wanted())
            return;
        // Bytes of noise in a row are one burst, stamped with its first:
        // one row for the views and the recording, not one per byte.
        if (frame.direction == Direction::Noise && !frames.isEmpty() &&
            frames.last().direction == Direction::Noise) {
            frames.last().bytes += frame.bytes;
            return;
        }
        frame.t_us = clock.nsecsElapsed() / 1000;
        frames.append(std::move(frame));
    }
};

Line_Tap::Line_Tap(QObject* parent) : QObject(parent), Pending(std::make_shared<Queue>())
{
    Pending->clock.start();
    Batch_Timer.setInterval(50);
    // Never more often than the interval, as a coarse timer may be.
    Batch_Timer.setTimerType(Qt::PreciseTimer);
    connect(&Batch_Timer, &QTimer::timeout, this, &Line_Tap::Deliver);
}

Line_Tap::~Line_Tap()
{
    Detach();
}

void Line_Tap::Attach(COM_Resource* resource)
{
    Detach();
    if (!resource)
        return;
    // The queue, not the tap, is captured: a call under way on the worker
    // while the tap goes touches no freed memory.
    const std::shared_ptr<Queue> queue = Pending;
    const auto direct = Qt::DirectConnection;
    Connections << connect(
        resource, &COM_Resource::Tx_Packet, resource,
        [queue](Packet_Shared_Ptr sent) {
            if (!queue->is_wanted())
                return;
            Line_Frame f;
            f.bytes = QByteArray(sent->getData(), sent->getLength()) + '\r';
            queue->push(std::move(f));
        },
        direct);
    Connections << connect(
        resource, &COM_Resource::Rx_Packet, resource,
        [queue](Packet_Shared_Ptr received) {
            if (!queue->is_wanted())
                return;
            Line_Frame f;
            f.direction = Direction::Answer;
            f.packet = received;
            queue->push(std::move(f));
        },
        direct);
    Connections << connect(
        resource->Builder.Noise, &Rx_Noise_Class::Rejected, resource,
        [queue](const char* bytes, int length) {
            if (!queue->is_wanted())
                return;
            Line_Frame f;
            f.direction = Direction::Noise;
            f.bytes = QByteArray(bytes, length);
            queue->push(std::move(f));
        },
        direct);
    Connections << connect(
        resource, &COM_Resource::Rx_Timeout_Expected, resource,
        [queue](Packet_Shared_Ptr request) {
            if (!queue->is_wanted())
                return;
            Line_Frame f;
            f.direction = Direction::Answer;
            f.packet = request;
            f.timeout = true;
            queue->push(std::move(f));
        },
        direct);
}

void Line_Tap::Detach()
{
    for (const QMetaObject::Connection& c : qAsConst(Connections))
        disconnect(c);
    Connections.clear();
}

void Line_Tap::Push(Line_Frame frame)
{
    Pending->push(std::move(frame));
}

qint64 Line_Tap::Now_Us() const
{
    return Pending->clock.nsecsElapsed() / 1000;
}

void Line_Tap::Set_Wanted(Consumer consumer, bool wanted)
{
    if (wanted == Is_Wanted(consumer))
        return;
    if (wanted)
        Since_Us[consumer] = Now_Us();
    {
        QVector<Line_Frame> dropped; // its packets released outside the lock
        Locker hold(Pending->lock);
        const int mask = Pending->wanted.load(std::memory_order_relaxed);
        const int now = wanted ? mask | consumer : mask & ~consumer;
        Pending->wanted.store(now, std::memory_order_relaxed);
        if (now == 0)
            dropped.swap(Pending->frames);
    }
    if (Is_Wanted())
        Batch_Timer.start();
    else
        Batch_Timer.stop();
}

bool Line_Tap::Is_Wanted(Consumer consumer) const
{
    return (Pending->wanted.load(std::memory_order_relaxed) & consumer) != 0;
}

bool Line_Tap::Is_Wanted() const
{
    return Pending->is_wanted();
}

qint64 Line_Tap::Wanted_Since(Consumer consumer) const
{
    return Since_Us[consumer];
}

int Line_Tap::Queued() const
{
    Locker hold(Pending->lock);
    return Pending->frames.size();
}

void Line_Tap::Deliver()
{
    QVector<Line_Frame> batch;
    {
        Locker hold(Pending->lock);
        batch.swap(Pending->frames);
    }
    if (batch.isEmpty())
        return;
    // The answers' bytes are put together here, off the worker.
    for (Line_Frame& f : batch)
        if (f.direction == Direction::Answer && f.packet && !f.timeout)
            f.bytes = Recording::Received_Frame_Bytes(f.packet.data());
    emit Frames(batch);
}

} // namespace Views
