// The frame receiver on its own: byte streams cut into reads of various
// sizes, as the serial port would deliver them.

#include "serial/packet_builder_class.h"
#include "test_requests.h"

#include <QtTest>

#include <cstring>

using namespace Quillon;

namespace {

struct Fed
{
    QList<Packet_Shared_Ptr> packets;
    QList<int> requested;
    int rejections = 0;
};

// Reads of at most chunk bytes each (0: as many as the receiver asks for).
Fed feed(Packet_Builder_Class& builder, const QByteArray& stream, int chunk = 0)
{
    Fed fed;
    for (int at = 0; at < stream.size();) {
        const int wanted = builder.Bytes_requested;
        fed.requested << wanted;
        const int n = qMin(chunk > 0 ? qMin(chunk, wanted) : wanted, stream.size() - at);
        std::memcpy(builder.Buffer(), stream.constData() + at, size_t(n));
        at += n;
        const int result = builder.BuildPacket(static_cast<unsigned char>(n));
        if (result == 1)
            fed.packets << builder.accept();
        fed.rejections += result == 2;
    }
    return fed;
}

// The recorder's last completed row, then the row being filled.
QByteArray noise(Packet_Builder_Class& builder)
{
    QByteArray bytes;
    if (const char* row = builder.Noise->last_row())
        bytes.append(row, builder.Noise->Row_Length);
    unsigned char count = 0;
    if (const char* rest = builder.Noise->remaining(count))
        bytes.append(rest, count);
    return bytes;
}

} // namespace

class Packet_Builder : public QObject
{
    Q_OBJECT

private slots:
    void frames_data();
    void frames();
    void checksum_switch_data();
    void checksum_switch();
    void rejections_data();
    void rejections();
};

void Packet_Builder::frames_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<QList<int>>("requested");
    QTest::addColumn<int>("id");

    const QByteArray dsa = value_frame("DSA 00102");
    const QList<int> ones = QVector<int>(20, 1).toList();
    QTest::newRow("value, whole") << dsa << 0 << QList<int>{1, 3, 5, 2} << 44;
    QTest::newRow("value, byte by byte")
        << dsa << 1 << QList<int>{1, 3, 2, 1, 5, 4, 3, 2, 1, 2, 1} << 44;
    QTest::newRow("system") << QByteArray("<OK>\n") << 0 << ones.mid(15) << 84;
    QTest::newRow("empty system text") << QByteArray("<>\n") << 0 << ones.mid(17) << 84;
    QTest::newRow("longest system text")
        << QByteArray("<" + QByteArray(17, 'x') + ">\n") << 0 << ones << 84;
}

void Packet_Builder::frames()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, chunk);
    QFETCH(QList<int>, requested);
    QFETCH(int, id);

    Packet_Builder_Class builder;
    const Fed fed = feed(builder, stream, chunk);
    QCOMPARE(fed.requested, requested);
    QCOMPARE(fed.packets.size(), 1);
    QCOMPARE(fed.packets[0]->ID(), id);
    QCOMPARE(fed.packets[0]->toQString().toLatin1(), stream.left(id == 84 ? stream.size() - 1 : 9));
    QVERIFY(fed.packets[0]->Valid);
    QVERIFY(fed.packets[0]->Time_Stamp.isValid());
    QCOMPARE(noise(builder), QByteArray());
}

void Packet_Builder::checksum_switch_data()
{
    QTest::addColumn<char>("checksum");
    QTest::addColumn<bool>("ignore");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("right, checked") << char(0x1A) << false << true;
    QTest::newRow("wrong, checked") << char(0x1B) << false << false;
    QTest::newRow("wrong, ignored") << char(0x1B) << true << true;
}

void Packet_Builder::checksum_switch()
{
    QFETCH(char, checksum);
    QFETCH(bool, ignore);
    QFETCH(bool, accepted);

    Packet_Builder_Class builder;
    builder.setProperty("Ignore_CRC", ignore);
    feed(builder, "MOD 00001");
    QCOMPARE(builder.Calculated_CRC(), ignore ? char(0) : char(0x1A));
    const QByteArray trailer = QByteArray(1, checksum) + '\n';
    QCOMPARE(feed(builder, trailer).packets.size(), accepted ? 1 : 0);
    QCOMPARE(noise(builder), accepted ? QByteArray() : "MOD 00001" + trailer);
}

void Packet_Builder::rejections_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QByteArray>("noise");

    QByteArray no_line_feed = value_frame("MOD 00001");
    no_line_feed[10] = '\r';
    // "<" and 18 characters leave no room for ">" and the NUL after it.
    const QByteArray too_long = "<" + QByteArray(18, 'A');
    QTest::newRow("digit first") << QByteArray("7") << QByteArray("7");
    QTest::newRow("space first") << QByteArray(" ") << QByteArray(" ");
    QTest::newRow("unknown code") << QByteArray("XYZ ") << QByteArray("XYZ ");
    QTest::newRow("lower-case code") << QByteArray("mod ") << QByteArray("mod ");
    QTest::newRow("no space after the code") << QByteArray("MOD0") << QByteArray("MOD0");
    QTest::newRow("value frame ended by CR") << no_line_feed << no_line_feed;
    QTest::newRow("text longer than the buffer") << too_long << too_long;
    // A text frame without its line feed is dropped unrecorded.
    QTest::newRow("<OK> then CR") << QByteArray("<OK>\r") << QByteArray();
}

void Packet_Builder::rejections()
{
    QFETCH(QByteArray, stream);
    QFETCH(QByteArray, noise);

    Packet_Builder_Class builder;
    const Fed fed = feed(builder, stream);
    QVERIFY(fed.packets.isEmpty());
    QCOMPARE(fed.rejections, 1);
    QCOMPARE(::noise(builder), noise);
    QCOMPARE(builder.Receiver_State, Packet_Builder_Class::Wait_Start);
    QCOMPARE(feed(builder, "<OK>\n").packets.size(), 1);
}

QTEST_GUILESS_MAIN(Packet_Builder)
#include "tst_packet_builder.moc"
