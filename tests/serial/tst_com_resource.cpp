// The serial port resource against a real kernel tty: the resource opens the
// slave of a pseudo-terminal, the test plays the controller on the master.

#include "pseudo_terminal.h"
#include "scheduling/entry_points.h"
#include "serial/com_resource.h"
#include "test_requests.h"

#include <QtTest>

#include <chrono>
#include <thread>

using namespace Quillon;

namespace {

bool open(COM_Resource& resource, const Pseudo_Terminal& pty)
{
    QString error;
    return resource.OpenComPort(&pty.slave_path, error);
}

Packet_Shared_Ptr packet(const QSignalSpy& spy, int emission, int argument = 0)
{
    return spy.at(emission).at(argument).value<Packet_Shared_Ptr>();
}

// Reading without waiting, until the receiver holds count bytes of a frame
// (the master's bytes reach the slave a moment after they are written).
bool take_partial_frame(COM_Resource& resource, int count)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 5000 && resource.Look_For_Packet(false) == 1) {
        if (resource.Builder.Receiver_State == Packet_Builder_Class::Read_Body &&
            resource.Builder.Received_Count == count)
            return true;
        QThread::msleep(1);
    }
    return false;
}

QByteArray unfinished_noise_row(COM_Resource& resource)
{
    unsigned char count = 0;
    const char* rest = resource.Builder.Noise->remaining(count);
    return rest ? QByteArray(rest, count) : QByteArray();
}

const QString Read_Error_Start = QStringLiteral(
    "Error in COM_Resource::Look_For_Packet() reading the COM port\nExtended Message: ");

} // namespace

class COM_Resource_Test : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Quillon::init(); }
    void missing_device();
    void line_settings_set_at_open_and_restored_at_close();
    void send_writes_body_and_cr_and_tracks_only_with_filter();
    void failures_keep_earlier_error_texts();
    void frames_in_pieces_data();
    void frames_in_pieces();
    void frame_cut_short();
    void noise_burst_is_drained_in_rows();
    void only_the_tracked_request_is_answered();
    void idle_line_and_hang_up();
};

void COM_Resource_Test::missing_device()
{
    for (QString name : {"vantor-no-such-port", "/dev/vantor-no-such-port"}) {
        COM_Resource resource;
        QString error;
        QVERIFY(!resource.OpenComPort(&name, error));
        QCOMPARE(error, QStringLiteral("No such file or directory"));
        QVERIFY(!resource.Port_Handle.Is_Open());
        QVERIFY(!resource.Port_Name);
    }
}

void COM_Resource_Test::line_settings_set_at_open_and_restored_at_close()
{
    Pseudo_Terminal pty;
    const termios before = pty.settings();
    COM_Resource resource;
    QVERIFY(open(resource, pty));
    QCOMPARE(*resource.Port_Name, pty.slave_path);

    const termios t = pty.settings();
    QCOMPARE(cfgetispeed(&t), speed_t(B115200));
    QCOMPARE(cfgetospeed(&t), speed_t(B115200));
    QCOMPARE(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD),
             tcflag_t(CS8 | CLOCAL | CREAD));
    QCOMPARE(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t(0));
    QCOMPARE(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | INPCK), tcflag_t(0));
    QCOMPARE(t.c_oflag & OPOST, tcflag_t(0));

    resource.CloseComPort();
    const termios after = pty.settings();
    QVERIFY(after.c_lflag & ICANON);
    QCOMPARE(after.c_lflag, before.c_lflag);
    QCOMPARE(after.c_iflag, before.c_iflag);
    QCOMPARE(after.c_cflag, before.c_cflag);
}

void COM_Resource_Test::send_writes_body_and_cr_and_tracks_only_with_filter()
{
    Pseudo_Terminal pty;
    COM_Resource resource;
    QVERIFY(open(resource, pty));
    QSignalSpy sent(&resource, &COM_Resource::Tx_Packet);

    QVERIFY(resource.Send_Packet(Packet_Shared_Ptr()));
    QCOMPARE(pty.read(1, 0), QByteArray());

    Packet_Shared_Ptr go(new Packet_Go_CTS);
    go->AllocateData();
    go->Response_Filter = nullptr;
    QVERIFY(resource.Send_Packet(go));
    QCOMPARE(pty.read(7), QByteArray("go CTS\r"));
    QVERIFY(!resource.Tracker.Is_Tracking());
    QCOMPARE(resource.get_read_timeout(), 100);

    Packet_Shared_Ptr get(new Packet_Get_DSA);
    get->AllocateData();
    const quint16 count_before = Packet_Class::Sent_Packet_Count;
    QVERIFY(resource.Send_Packet(get));
    QCOMPARE(pty.read(8), QByteArray("get DSA\r"));
    QCOMPARE(resource.Tracker.Tracked_Request(), get);
    const int left = resource.get_read_timeout();
    QVERIFY(left >= 1 && left <= 100);
    QCOMPARE(Packet_Class::Sent_Packet_Count, quint16(count_before + 1));
    QVERIFY(get->Time_Stamp.isValid());
    QCOMPARE(sent.size(), 2);
    QCOMPARE(packet(sent, 1), get);
}

void COM_Resource_Test::failures_keep_earlier_error_texts()
{
    Pseudo_Terminal pty;
    COM_Resource resource;
    QVERIFY(open(resource, pty));
    resource.CloseComPort();

    QVERIFY(!resource.Send_Packet(timed_request(10000)));
    QVERIFY(!resource.Tracker.Is_Tracking());
    const QString* send_error = resource.Last_Error;
    const QString send_text = "Error in COM_Resource::Send_Packet() COM port " + pty.slave_path +
                              "\nExtended Message: Bad file descriptor";
    QCOMPARE(*send_error, send_text);

    QCOMPARE(resource.Look_For_Packet(false), 2);
    QCOMPARE(*resource.Last_Error, Read_Error_Start + "Bad file descriptor");
    // The text handed out before is still there for its receivers.
    QCOMPARE(*send_error, send_text);
}

void COM_Resource_Test::frames_in_pieces_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QList<int>>("sizes");

    const QList<int> ones = QVector<int>(12, 1).toList();
    QTest::newRow("value, 1-3-5-2") << value_frame("FM1 01001") << QList<int>{1, 3, 5, 2};
    QTest::newRow("system, byte by byte") << QByteArray("<TEST DONE>\n") << ones;
}

void COM_Resource_Test::frames_in_pieces()
{
    QFETCH(QByteArray, frame);
    QFETCH(QList<int>, sizes);

    Pseudo_Terminal pty;
    COM_Resource resource;
    QVERIFY(open(resource, pty));
    QSignalSpy received(&resource, &COM_Resource::Rx_Packet);
    // Waiting reads last as long as the outstanding request allows.
    resource.Tracker.Track(timed_request(10000));

    std::thread controller([&pty, &frame, &sizes] {
        int at = 0;
        for (int size : sizes) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            pty.write(frame.mid(at, size));
            at += size;
        }
    });
    const int result = resource.Look_For_Packet(true);
    controller.join();
    QCOMPARE(result, 0);
    QCOMPARE(received.size(), 1);
    const Packet_Shared_Ptr frame_packet = packet(received, 0);
    QCOMPARE(frame_packet->toQString().toLatin1(),
             frame.left(frame_packet->ID() == 84 ? frame.size() - 1 : 9));
}

void COM_Resource_Test::frame_cut_short()
{
    Pseudo_Terminal pty;
    COM_Resource resource;
    QVERIFY(open(resource, pty));
    QSignalSpy received(&resource, &COM_Resource::Rx_Packet);
    const QByteArray frame = value_frame("PXV 00922");

    // Reading without waiting keeps what has come so far of a frame.
    pty.write(frame.left(5));
    QVERIFY(take_partial_frame(resource, 5));
    QCOMPARE(unfinished_noise_row(resource), QByteArray());
    pty.write(frame.mid(5));
    QCOMPARE(resource.Look_For_Packet(true), 0);
    QCOMPARE(received.size(), 1);

    // A read that waits in vain drops the unfinished frame as noise.
    pty.write(frame.left(5));
    QVERIFY(take_partial_frame(resource, 5));
    QCOMPARE(resource.Look_For_Packet(true), 1);
    QCOMPARE(received.size(), 1);
    QCOMPARE(unfinished_noise_row(resource), frame.left(5));

    // So does discarding the port's buffers.
    pty.write(frame.left(5));
    QVERIFY(take_partial_frame(resource, 5));
    QVERIFY(resource.DiscardBuffers());
    QCOMPARE(resource.Builder.Receiver_State, Packet_Builder_Class::Wait_Start);
}

void COM_Resource_Test::noise_burst_is_drained_in_rows()
{
    Pseudo_Terminal pty;
    COM_Resource resource;
    QVERIFY(open(resource, pty));
    QList<QByteArray> rows;
    connect(&resource, &COM_Resource::Rx_Noise,
            [&rows](char* row, uint length) { rows << QByteArray(row, int(length)); });

    const QByteArray garbage = "0123456789!#$%&()*+,-./:;";
    pty.write(garbage);
    QCOMPARE(resource.Look_For_Packet(true), 0);
    QCOMPARE(rows, QList<QByteArray>{garbage.left(20)});
    QCOMPARE(unfinished_noise_row(resource), garbage.right(5));
}

void COM_Resource_Test::only_the_tracked_request_is_answered()
{
    Pseudo_Terminal pty;
    COM_Resource resource;
    QVERIFY(open(resource, pty));
    QSignalSpy received(&resource, &COM_Resource::Rx_Packet);
    QSignalSpy expected(&resource, &COM_Resource::Rx_Expected_Packet);
    Packet_Shared_Ptr request = timed_request(10000);
    QSignalSpy answered(request.data(), &Packet_Class::Rx_Expected);
    QVERIFY(resource.Send_Packet(request));

    // Another code, and the right code with a bad value, leave it waiting.
    for (const char* body : {"FM1 00000", "DSA 0x102", "DSA 00102"}) {
        pty.write(value_frame(body));
        QCOMPARE(resource.Look_For_Packet(true), 0);
    }
    QCOMPARE(received.size(), 3);
    QCOMPARE(expected.size(), 1);
    QCOMPARE(packet(expected, 0, 0), request);
    QCOMPARE(packet(expected, 0, 1), packet(received, 2));
    QCOMPARE(answered.size(), 1);
    QVERIFY(!resource.Tracker.Is_Tracking());

    // A request tracked without a filter is ended by whatever comes.
    Packet_Shared_Ptr unfiltered = timed_request(10000);
    unfiltered->Response_Filter = nullptr;
    resource.Tracker.Track(unfiltered);
    pty.write("<OK>\n");
    QCOMPARE(resource.Look_For_Packet(true), 0);
    QCOMPARE(received.size(), 4);
    QCOMPARE(expected.size(), 1);
    QVERIFY(!resource.Tracker.Is_Tracking());
}

void COM_Resource_Test::idle_line_and_hang_up()
{
    Pseudo_Terminal pty;
    COM_Resource resource;
    QVERIFY(open(resource, pty));
    QCOMPARE(resource.Look_For_Packet(false), 1);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(resource.Look_For_Packet(true), 1);
    QVERIFY(timer.elapsed() >= 90);

    // Unplugged in the middle of a frame and of a long wait.
    resource.Tracker.Track(timed_request(10000));
    pty.write("DSA 0");
    timer.start();
    std::thread unplug([&pty] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty.close_master();
    });
    const int result = resource.Look_For_Packet(true);
    unplug.join();
    QCOMPARE(result, 2);
    QVERIFY(timer.elapsed() < 9000);
    QVERIFY(resource.Last_Error->startsWith(Read_Error_Start));
    // Nothing spins on a dead port: every later call fails at once.
    QCOMPARE(resource.Look_For_Packet(false), 2);
    QVERIFY(!resource.DiscardBuffers());
}

QTEST_GUILESS_MAIN(COM_Resource_Test)
#include "tst_com_resource.moc"
