#ifndef APP_VIEWS_LINE_TAP_H
#define APP_VIEWS_LINE_TAP_H

#include "frame_text.h"

#include <Quillon.h>

#include <QMetaObject>
#include <QObject>
#include <QTimer>
#include <QVector>

#include <memory>

namespace Views {

// One frame on the line as the views see it.
struct Line_Frame
{
    qint64 t_us = 0;
    Direction direction = Direction::Request;
    QByteArray bytes;
    // An answer's decoded packet; null for requests and noise.
    Quillon::Packet_Shared_Ptr packet;
    // A request that went unanswered (bytes empty, packet the request).
    bool timeout = false;
};

// The program's one tap on the line: the recorder and the docks are both fed
// from it. On the worker thread it only appends to a queue under a short
// lock; a timer on the thread that owns the tap hands the queue over in one
// batch, so that its consumers update a bounded number of times a second
// however fast the line runs. While no consumer wants the line (no recording,
// every view closed), the worker's calls return at once, nothing is queued
// and the timer stands still.
class Line_Tap : public QObject
{
    Q_OBJECT

public:
    explicit Line_Tap(QObject* parent = nullptr);
    ~Line_Tap() override;

    void Attach(Quillon::COM_Resource* resource);
    void Detach();
    // Thread-safe; the worker's signals end here.
    void Push(Line_Frame frame);
    void Set_Interval(int ms) { Batch_Timer.setInterval(ms); }
    // Hands over what is queued now.
    void Deliver();
    // The tap's clock, which stamps every frame: microseconds since the tap
    // was made, on a monotonic clock.
    qint64 Now_Us() const;

    enum Consumer
    {
        Docks = 1,
        Recorder = 2
    };
    // Whether a consumer wants the line. When none does any more, what is
    // queued is dropped; a consumer that wants it again gets what the line
    // sends from then on (frames stamped from Wanted_Since).
    void Set_Wanted(Consumer consumer, bool wanted);
    bool Is_Wanted(Consumer consumer) const;
    bool Is_Wanted() const;
    qint64 Wanted_Since(Consumer consumer) const;
    // Frames waiting for the next delivery.
    int Queued() const;

signals:
    void Frames(const QVector<Views::Line_Frame>& frames);

private:
    struct Queue;
    std::shared_ptr<Queue> Pending;
    QList<QMetaObject::Connection> Connections;
    QTimer Batch_Timer;
    // Stamps of the moments the docks and the recorder last began to want
    // the line.
    qint64 Since_Us[3] = {};
};

} // namespace Views

#endif // APP_VIEWS_LINE_TAP_H
