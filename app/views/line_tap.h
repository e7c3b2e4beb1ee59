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

// Taps the same signals of a port as the session recorder. On the worker
// thread it only appends to a queue under a short lock; a timer on the
// thread that owns the tap hands the queue over in one batch, so that the
// views update a bounded number of times a second however fast the line runs.
// While nobody wants the line (every view closed), the worker's calls return
// at once and nothing is queued.
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
    // Whether the line is wanted; when it is not, what is queued is dropped,
    // and when it is again, the views get what the line sends from then on.
    void Set_Wanted(bool wanted);
    bool Is_Wanted() const;
    // Frames waiting for the next delivery.
    int Queued() const;

signals:
    void Frames(const QVector<Views::Line_Frame>& frames);

private:
    struct Queue;
    std::shared_ptr<Queue> Pending;
    QList<QMetaObject::Connection> Connections;
    QTimer Batch_Timer;
};

} // namespace Views

#endif // APP_VIEWS_LINE_TAP_H
