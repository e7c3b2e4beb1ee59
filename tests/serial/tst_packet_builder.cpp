// The frame receiver on its own: byte streams cut into reads of various
// sizes, as the serial port would deliver them.

#include "serial/packet_builder_class.h"
#include "test_requests.h"

#include <QtTest>

#include <cstring>

using namespace Quillon;

class Packet_Builder : public QObject
{
    Q_OBJECT

private slots:
    void streams_data();
    void streams();
};

void Packet_Builder::streams_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("chunk"); // largest read; 0: as many as asked for
    QTest::addColumn<bool>("check_crc");
    QTest::addColumn<QList<int>>("requested"); // the reads asked for, when compared
    QTest::addColumn<QByteArray>("frame");     // the packet's body, or empty
    QTest::addColumn<QByteArray>("noise");

    const QByteArray dsa = value_frame("DSA 00102");
    QByteArray wrong_sum = value_frame("MOD 00001"), no_line_feed = wrong_sum;
    wrong_sum[9] = char(wrong_sum[9] ^ 1);
    no_line_feed[10] = '\r';
    const QList<int> ones = QVector<int>(20, 1).toList();
    // "<" and 18 characters leave no room for ">" and the NUL after it.
    const QByteArray too_long = "<" + QByteArray(18, 'A');
    auto row = [](const char* name, const QByteArray& stream, int chunk, bool crc,
                  const QList<int>& requested, const QByteArray& frame, const QByteArray& noise) {
        QTest::newRow(name) << stream << chunk << crc << requested << frame << noise;
    };
    row("value, whole", dsa, 0, true, {1, 3, 5, 2}, "DSA 00102", "");
    row("value, byte by byte", dsa, 1, true, {1, 3, 2, 1, 5, 4, 3, 2, 1, 2, 1}, "DSA 00102", "");
    row("system", "<OK>\n", 0, true, ones.mid(15), "<OK>", "");
    const QByteArray longest = "<" + QByteArray(17, 'x') + ">";
    row("longest system text", longest + '\n', 0, true, ones, longest, "");
    row("wrong checksum, checked", wrong_sum, 0, true, {}, "", wrong_sum);
    row("wrong checksum, ignored", wrong_sum, 0, false, {}, "MOD 00001", "");
    row("digit first", "7", 0, true, {}, "", "7");
    row("unknown code", "XYZ ", 0, true, {}, "", "XYZ ");
    row("no space after the code", "MOD0", 0, true, {}, "", "MOD0");
    row("value frame ended by CR", no_line_feed, 0, true, {}, "", no_line_feed);
    row("text longer than the buffer", too_long, 0, true, {}, "", too_long);
    // A text frame without its line feed is dropped unrecorded.
    row("<OK> then CR", "<OK>\r", 0, true, {}, "", "");
}

void Packet_Builder::streams()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, chunk);
    QFETCH(bool, check_crc);
    QFETCH(QList<int>, requested);
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, noise);

    Packet_Builder_Class builder;
    builder.setProperty("Ignore_CRC", !check_crc);
    QList<Packet_Shared_Ptr> packets;
    QList<int> asked;
    for (int at = 0; at < stream.size();) {
        asked << builder.Bytes_requested;
        const int n = qMin(chunk > 0 ? chunk : int(builder.Bytes_requested), stream.size() - at);
        std::memcpy(builder.Buffer(), stream.constData() + at, size_t(n));
        at += n;
        if (builder.BuildPacket(static_cast<unsigned char>(n)) == 1)
            packets << builder.accept();
    }
    if (!requested.isEmpty())
        QCOMPARE(asked, requested);
    QCOMPARE(packets.size(), frame.isEmpty() ? 0 : 1);
    if (!frame.isEmpty())
        QVERIFY(packets[0]->toQString().toLatin1() == frame && packets[0]->Valid);
    // Every case stays within one noise row.
    unsigned char count = 0;
    const char* recorded = builder.Noise->remaining(count);
    QCOMPARE(recorded ? QByteArray(recorded, count) : QByteArray(), noise);
    QCOMPARE(builder.Receiver_State, Packet_Builder_Class::Wait_Start);
}

QTEST_GUILESS_MAIN(Packet_Builder)
#include "tst_packet_builder.moc"
