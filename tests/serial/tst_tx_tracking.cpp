// The outstanding request and its deadline: time left, expiry, the ways the
// tracking ends, and the release of the request/deadline cycle.

#include "scheduling/timeouts_class.h"
#include "scheduling/tx_tracking_class.h"
#include "test_requests.h"

#include <QtTest>

using namespace Quillon;

namespace {

QList<bool> changes_seen(const QSignalSpy& spy)
{
    QList<bool> seen;
    for (const QList<QVariant>& change : spy)
        seen << change[0].toBool();
    return seen;
}

} // namespace

class TX_Tracking : public QObject
{
    Q_OBJECT

private slots:
    void time_left_and_expiry();
    void answer_ends_tracking_once();
    void request_and_deadline_are_released();
    void tracking_again();
};

void TX_Tracking::time_left_and_expiry()
{
    Timeouts_Class deadline(300);
    deadline.Start();
    const short left = deadline.property("time_left_ms").value<short>();
    QVERIFY(left >= 1 && left <= 300);

    TX_Tracking_Class tracker;
    Packet_Shared_Ptr request = timed_request(20);
    tracker.Track(request);
    Packet_Shared_Ptr expired;
    QTRY_VERIFY_WITH_TIMEOUT(request->Timeout->getIsExpired(), 5000);
    QCOMPARE(request->Timeout->gettime_left_ms(), short(1));
    QVERIFY(tracker.Manage(expired));
    QCOMPARE(expired, request);
    QVERIFY(!tracker.Is_Tracking());
    QVERIFY(!request->Timeout);
}

void TX_Tracking::answer_ends_tracking_once()
{
    TX_Tracking_Class tracker;
    QSignalSpy changes(&tracker, &TX_Tracking_Class::Is_TrackingChanged);
    Packet_Shared_Ptr untouched;
    QVERIFY(tracker.Manage(untouched));
    QVERIFY(!untouched);

    Packet_Shared_Ptr request = timed_request(60000);
    tracker.Track(request);
    QCOMPARE(tracker.Tracked_Request(), request);
    QVERIFY(!tracker.Manage(untouched));
    QVERIFY(!untouched);
    // The item's slot clears the request's deadline when the answer comes.
    QVERIFY(request->Clear_Timeout());
    QVERIFY(!tracker.Is_Tracking());
    tracker.Stop_Tracking();
    QCOMPARE(changes_seen(changes), (QList<bool>{true, false}));
}

void TX_Tracking::request_and_deadline_are_released()
{
    // The deadline alone keeps a tracked request alive ...
    TX_Tracking_Class tracker;
    Packet_Shared_Ptr request = timed_request(60000);
    QWeakPointer<Packet_Class> watched = request;
    tracker.Track(request);
    request.clear();
    QVERIFY(watched);
    tracker.Stop_Tracking();
    QVERIFY(!watched);

    // ... and a tracker going away lets both go, telling nobody.
    auto* short_lived = new TX_Tracking_Class;
    QSignalSpy changes(short_lived, &TX_Tracking_Class::Is_TrackingChanged);
    request = timed_request(60000);
    watched = request;
    short_lived->Track(request);
    request.clear();
    delete short_lived;
    QVERIFY(!watched);
    QCOMPARE(changes.size(), 1);

    // A deadline deleted on its own leaves its request without one.
    request = timed_request(60000);
    tracker.Track(request);
    delete request->Timeout;
    QVERIFY(!request->Timeout);
    QVERIFY(!tracker.Is_Tracking());
}

void TX_Tracking::tracking_again()
{
    TX_Tracking_Class tracker;
    QSignalSpy changes(&tracker, &TX_Tracking_Class::Is_TrackingChanged);
    Packet_Shared_Ptr first = timed_request(60000);
    Packet_Shared_Ptr second = timed_request(60000);

    // Sent again: the same deadline restarts.
    tracker.Track(first);
    Timeouts_Class* deadline = first->Timeout;
    tracker.Track(first);
    QCOMPARE(first->Timeout, deadline);
    // Another request: the first is given up, only one is outstanding.
    tracker.Track(second);
    QVERIFY(!first->Timeout);
    QCOMPARE(tracker.Tracked_Request(), second);
    tracker.Stop_Tracking();
    QCOMPARE(changes_seen(changes), (QList<bool>{true, true, false, true, false}));
}

QTEST_GUILESS_MAIN(TX_Tracking)
#include "tst_tx_tracking.moc"
