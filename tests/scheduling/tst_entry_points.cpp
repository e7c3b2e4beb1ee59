// The library's entry points: version strings and the registration of the
// types that travel through queued connections between threads.

#include <Quillon.h>

#include <QtTest>

using namespace Quillon;

namespace {

// Emits a packet handle from whatever thread it lives on.
class Sender : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
signals:
    void packet(QSharedPointer<Quillon::Packet_Class> p);
    void reason(Quillon::Disconnect_Enum r);
public slots:
    void send()
    {
        Packet_Shared_Ptr p(new Packet_Resp_IGV);
        QByteArray body("IGV 00512");
        p->checkData(body.data());
        emit packet(p);
        emit reason(Disconnect_Timeout);
    }
};

class Receiver : public QObject
{
    Q_OBJECT
public:
    Packet_Shared_Ptr got;
    Disconnect_Enum got_reason = Disconnect_None;
    QThread* delivered_on = nullptr;
public slots:
    void onPacket(QSharedPointer<Quillon::Packet_Class> p)
    {
        got = p;
        delivered_on = QThread::currentThread();
    }
    void onReason(Quillon::Disconnect_Enum r) { got_reason = r; }
};

} // namespace

class Entry_Points : public QObject
{
    Q_OBJECT

private slots:
    void versions();
    void init_registers_once();
    void packet_handle_crosses_threads_intact();
};

void Entry_Points::versions()
{
    QCOMPARE(getversion(), QStringLiteral("1.0"));
    QCOMPARE(getdatecode(), QStringLiteral("1503231043"));
    QCOMPARE(getfullversion(), QStringLiteral("1.0.1503231043"));
    QCOMPARE(getfullversion().size(), 14);
}

void Entry_Points::init_registers_once()
{
    const int first = init();
    const int types_after_first = QMetaType::type("Quillon::Disconnect_Enum");
    QVERIFY(first > 0);
    QCOMPARE(init(), first);
    QCOMPARE(QMetaType::type("Quillon::Disconnect_Enum"), types_after_first);
    QCOMPARE(first, types_after_first);
    QCOMPARE(QMetaType::sizeOf(first), 1);

    const char* const names[] = {"QSharedPointer<Quillon::Packet_Class>",
                                 "Quillon::Protocol_State_Enum", "Quillon::Disconnect_Enum"};
    for (const char* name : names)
        QVERIFY2(QMetaType::type(name) != QMetaType::UnknownType, name);
    QCOMPARE(QMetaType::sizeOf(QMetaType::type("Quillon::Protocol_State_Enum")), 1);

    // The handle converts to a plain object pointer.
    Packet_Shared_Ptr handle(new Packet_Get_DSA);
    const QVariant v = QVariant::fromValue(handle);
    QCOMPARE(v.value<QObject*>(), static_cast<QObject*>(handle.data()));
}

void Entry_Points::packet_handle_crosses_threads_intact()
{
    init();
    QThread thread;
    Sender sender;
    Receiver receiver;
    sender.moveToThread(&thread);
    connect(&sender, &Sender::packet, &receiver, &Receiver::onPacket, Qt::QueuedConnection);
    connect(&sender, &Sender::reason, &receiver, &Receiver::onReason, Qt::QueuedConnection);
    thread.start();
    QMetaObject::invokeMethod(&sender, "send", Qt::QueuedConnection);
    QTRY_VERIFY(receiver.got);
    QTRY_COMPARE(receiver.got_reason, Disconnect_Timeout);
    thread.quit();
    QVERIFY(thread.wait(5000));

    QCOMPARE(receiver.delivered_on, QThread::currentThread());
    QCOMPARE(receiver.got->ID(), 52);
    QVERIFY(receiver.got->Valid);
    QCOMPARE(receiver.got->property("Voltage").toDouble(), 12.75);
    QCOMPARE(receiver.got->toQString(), QStringLiteral("IGV 00512"));
}

QTEST_GUILESS_MAIN(Entry_Points)
#include "tst_entry_points.moc"
