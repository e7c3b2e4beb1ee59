// The serial port resource and its request tracking against a real kernel
// tty: the resource opens the slave of a pseudo-terminal, the test plays the
// controller on the master.

#include "pseudo_terminal.h"
#include "scheduling/entry_points.h"
#include "serial/com_resource.h"
#include "test_requests.h"

#include <QtTest>

#include <chrono>
#include <dlfcn.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <thread>
#include <time.h>

using namespace Quillon;

namespace {

// Every consultation of the time-zone database, counted. These stand in for
// the C library's own for the whole test program (Qt calls them), and pass
// each call on.
int zone_lookups = 0;

template <typename Fn> Fn next_definition(const char* name)
{
    return reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" __attribute__((visibility("default"))) void tzset() noexcept
{
    ++zone_lookups;
    static const auto real = next_definition<void (*)()>("tzset");
    real();
}

extern "C" __attribute__((visibility("default"))) tm* localtime_r(const time_t* t, tm* out) noexcept
{
    ++zone_lookups;
    static const auto real = next_definition<tm* (*)(const time_t*, tm*)>("localtime_r");
    return real(t, out);
}

namespace {

Packet_Shared_Ptr packet(const QSignalSpy& spy, int emission, int argument = 0)
{
    return spy.at(emission).at(argument).value<Packet_Shared_Ptr>();
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
    void init();
    void cleanup();
    void open_refused_data();
    void open_refused();
    void permission_advice();
    void line_settings_set_at_open_and_restored_at_close();
    void send_writes_body_and_cr_and_tracks_only_with_filter();
    void failures_keep_earlier_error_texts();
    void frames_in_pieces_data();
    void frames_in_pieces();
    void frame_cut_short();
    void only_the_tracked_request_is_answered();
    void tracking_ends_and_releases_once();
    void stamps_without_a_zone_lookup_per_packet();
    void idle_line_and_hang_up();

private:
    // Reading without waiting, until the receiver holds count bytes of a
    // frame (the master's bytes reach the slave a moment after they are written).
    bool take_partial_frame(int count);

    std::unique_ptr<Pseudo_Terminal> pty;
    std::unique_ptr<COM_Resource> resource;
};

void COM_Resource_Test::init()
{
    pty.reset(new Pseudo_Terminal);
    resource.reset(new COM_Resource);
    QString error;
    QVERIFY2(resource->OpenComPort(&pty->slave_path, error), qPrintable(error));
}

void COM_Resource_Test::cleanup()
{
    resource.reset();
    pty.reset();
}

bool COM_Resource_Test::take_partial_frame(int count)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 5000 && resource->Look_For_Packet(false) == 1) {
        if (resource->Builder.Receiver_State == Packet_Builder_Class::Read_Body &&
            resource->Builder.Received_Count == count)
            return true;
        QThread::msleep(1);
    }
    return false;
}

void COM_Resource_Test::open_refused_data()
{
    QTest::addColumn<QString>("name"); // empty: the test's pseudo-terminal
    QTest::addColumn<bool>("locked_elsewhere");
    QTest::addColumn<QString>("error");

    QTest::newRow("no such port") << "vantor-no-such-port" << false << "No such file or directory";
    QTest::newRow("no such path") << "/dev/vantor-no" << false << "No such file or directory";
    // Root passes the tty's exclusive mode; the advisory lock holds for all.
    QTest::newRow("open here") << QString() << false << "Device or resource busy";
    QTest::newRow("locked by another program") << QString() << true << "Device or resource busy";
}

void COM_Resource_Test::open_refused()
{
    QFETCH(QString, name);
    QFETCH(bool, locked_elsewhere);
    QFETCH(QString, error);

    if (name.isEmpty())
        name = pty->slave_path;
    int other = -1;
    if (locked_elsewhere) {
        resource->CloseComPort();
        other = ::open(pty->slave_path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QVERIFY(other >= 0 && ::flock(other, LOCK_EX | LOCK_NB) == 0);
    }
    COM_Resource second;
    QString text;
    const bool opened = second.OpenComPort(&name, text);
    if (other >= 0)
        ::close(other);
    QVERIFY(!opened);
    QCOMPARE(text, error);
    QVERIFY(!second.Port_Handle.Is_Open());
    QVERIFY(!second.Port_Name);
}

void COM_Resource_Test::permission_advice()
{
    const QByteArray device = pty->slave_path.toLocal8Bit();
    QCOMPARE(Serial_Port::System_Error_Text(EACCES, device), QStringLiteral("Permission denied"));
    const group* dialout = ::getgrnam("dialout");
    if (!dialout)
        QSKIP("no dialout group");
    QVERIFY(::chown(device.constData(), uid_t(-1), dialout->gr_gid) == 0);
    const QString text = Serial_Port::System_Error_Text(EACCES, device);
    QVERIFY2(text.startsWith("Permission denied\n\n" + pty->slave_path +
                             " belongs to the group \"dialout\"."),
             qPrintable(text));
    QVERIFY2(text.contains("sudo usermod -aG dialout $USER"), qPrintable(text));
}

void COM_Resource_Test::line_settings_set_at_open_and_restored_at_close()
{
    const termios t = pty->settings();
    QCOMPARE(*resource->Port_Name, pty->slave_path);
    QCOMPARE(cfgetispeed(&t), speed_t(B115200));
    QCOMPARE(cfgetospeed(&t), speed_t(B115200));
    QCOMPARE(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD),
             tcflag_t(CS8 | CLOCAL | CREAD));
    QCOMPARE(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t(0));
    QCOMPARE(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | INPCK), tcflag_t(0));
    QCOMPARE(t.c_oflag & OPOST, tcflag_t(0));

    resource->CloseComPort();
    const termios after = pty->settings();
    QVERIFY(after.c_lflag & ICANON);
    QVERIFY(after.c_oflag & OPOST);
}

void COM_Resource_Test::send_writes_body_and_cr_and_tracks_only_with_filter()
{
    QSignalSpy sent(resource.get(), &COM_Resource::Tx_Packet);
    QVERIFY(resource->Send_Packet(Packet_Shared_Ptr()));

    Packet_Shared_Ptr go(new Packet_Go_CTS);
    go->AllocateData();
    go->Response_Filter = nullptr;
    QVERIFY(resource->Send_Packet(go));
    QCOMPARE(pty->read(7), QByteArray("go CTS\r"));
    QVERIFY(!resource->Tracker.Is_Tracking());
    QCOMPARE(resource->get_read_timeout(), 100);

    Packet_Shared_Ptr get = timed_request(100);
    const quint16 count_before = Packet_Class::Sent_Packet_Count;
    QVERIFY(resource->Send_Packet(get));
    QCOMPARE(pty->read(8), QByteArray("get DSA\r"));
    QCOMPARE(resource->Tracker.Tracked_Request(), get);
    const int left = resource->get_read_timeout();
    QVERIFY(left >= 1 && left <= 100);
    QCOMPARE(Packet_Class::Sent_Packet_Count, quint16(count_before + 1));
    QCOMPARE(sent.size(), 2);
    QCOMPARE(packet(sent, 1), get);
}

void COM_Resource_Test::failures_keep_earlier_error_texts()
{
    resource->CloseComPort();
    QVERIFY(!resource->Send_Packet(timed_request(10000)));
    QVERIFY(!resource->Tracker.Is_Tracking());
    const QString* send_error = resource->Last_Error;
    const QString send_text = "Error in COM_Resource::Send_Packet() COM port " + pty->slave_path +
                              "\nExtended Message: Bad file descriptor";
    QCOMPARE(*send_error, send_text);

    QCOMPARE(resource->Look_For_Packet(false), 2);
    QCOMPARE(*resource->Last_Error, Read_Error_Start + "Bad file descriptor");
    // The text handed out before is still there for its receivers.
    QCOMPARE(*send_error, send_text);
}

void COM_Resource_Test::frames_in_pieces_data()
{
    QTest::addColumn<QByteArray>("noise");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QList<int>>("sizes"); // how the line delivers noise and frame

    const QList<int> ones = QVector<int>(13, 1).toList();
    const QByteArray garbage = "0123456789!#$%&()*+,-./:;";
    QTest::newRow("value, 1-3-5-2")
        << QByteArray() << value_frame("FM1 01001") << QList<int>{1, 3, 5, 2};
    QTest::newRow("system, byte by byte") << QByteArray() << QByteArray("<TEST DONE>\n") << ones;
    // The byte an RS-485 driver makes when it switches on, in front of the answer.
    QTest::newRow("glitch, same burst")
        << QByteArray(1, '\0') << value_frame("DSA 00102") << QList<int>{12};
    QTest::newRow("glitch, then answer")
        << QByteArray(1, '\xFF') << QByteArray("<OK>\n") << QList<int>{1, 5};
    QTest::newRow("burst of garbage") << garbage << value_frame("PXV 00922") << QList<int>{25, 11};
}

void COM_Resource_Test::frames_in_pieces()
{
    QFETCH(QByteArray, noise);
    QFETCH(QByteArray, frame);
    QFETCH(QList<int>, sizes);

    QSignalSpy received(resource.get(), &COM_Resource::Rx_Packet);
    QList<QByteArray> rows;
    connect(resource.get(), &COM_Resource::Rx_Noise,
            [&rows](char* row, uint length) { rows << QByteArray(row, int(length)); });
    // Waiting reads last as long as the outstanding request allows.
    resource->Tracker.Track(timed_request(10000));

    const QByteArray line = noise + frame;
    std::thread controller([this, &line, &sizes] {
        int at = 0;
        for (int size : sizes) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            pty->write(line.mid(at, size));
            at += size;
        }
    });
    int result = 0;
    while (received.isEmpty() && result == 0)
        result = resource->Look_For_Packet(true);
    controller.join();
    QCOMPARE(result, 0);
    QCOMPARE(received.size(), 1);
    const Packet_Shared_Ptr got = packet(received, 0);
    QCOMPARE(got->toQString().toLatin1(), frame.left(got->ID() == 84 ? frame.size() - 1 : 9));
    // Noise in rows of 20, the rest in the row being filled.
    QCOMPARE(rows, noise.size() >= 20 ? QList<QByteArray>{noise.left(20)} : QList<QByteArray>{});
    QCOMPARE(unfinished_noise_row(*resource), noise.mid(noise.size() / 20 * 20));
}

void COM_Resource_Test::frame_cut_short()
{
    QSignalSpy received(resource.get(), &COM_Resource::Rx_Packet);
    const QByteArray frame = value_frame("PXV 00922");

    // Reading without waiting keeps what has come so far of a frame.
    pty->write(frame.left(5));
    QVERIFY(take_partial_frame(5));
    QCOMPARE(unfinished_noise_row(*resource), QByteArray());
    pty->write(frame.mid(5));
    QCOMPARE(resource->Look_For_Packet(true), 0);
    QCOMPARE(received.size(), 1);

    // A read that waits in vain drops the unfinished frame as noise.
    pty->write(frame.left(5));
    QVERIFY(take_partial_frame(5));
    QCOMPARE(resource->Look_For_Packet(true), 1);
    QCOMPARE(received.size(), 1);
    QCOMPARE(unfinished_noise_row(*resource), frame.left(5));

    // So does discarding the port's buffers.
    pty->write(frame.left(5));
    QVERIFY(take_partial_frame(5));
    QVERIFY(resource->DiscardBuffers());
    QCOMPARE(resource->Builder.Receiver_State, Packet_Builder_Class::Wait_Start);
}

void COM_Resource_Test::only_the_tracked_request_is_answered()
{
    QSignalSpy received(resource.get(), &COM_Resource::Rx_Packet);
    QSignalSpy expected(resource.get(), &COM_Resource::Rx_Expected_Packet);
    Packet_Shared_Ptr request = timed_request(10000);
    QSignalSpy answered(request.data(), &Packet_Class::Rx_Expected);
    QVERIFY(resource->Send_Packet(request));

    // Another code, and the right code with a bad value, leave it waiting.
    for (const char* body : {"FM1 00000", "DSA 0x102", "DSA 00102"}) {
        pty->write(value_frame(body));
        QCOMPARE(resource->Look_For_Packet(true), 0);
    }
    QCOMPARE(received.size(), 3);
    QCOMPARE(expected.size(), 1);
    QCOMPARE(packet(expected, 0, 0), request);
    QCOMPARE(packet(expected, 0, 1), packet(received, 2));
    QCOMPARE(answered.size(), 1);
    QVERIFY(!resource->Tracker.Is_Tracking());

    // A request tracked without a filter is ended by whatever comes.
    Packet_Shared_Ptr unfiltered = timed_request(10000);
    unfiltered->Response_Filter = nullptr;
    resource->Tracker.Track(unfiltered);
    pty->write("<OK>\n");
    QCOMPARE(resource->Look_For_Packet(true), 0);
    QCOMPARE(expected.size(), 1);
    QVERIFY(!resource->Tracker.Is_Tracking());
}

void COM_Resource_Test::tracking_ends_and_releases_once()
{
    TX_Tracking_Class& tracker = resource->Tracker;
    QSignalSpy changes(&tracker, &TX_Tracking_Class::Is_TrackingChanged);
    Packet_Shared_Ptr first = timed_request(60000), expired;
    QWeakPointer<Packet_Class> watched = first;
    QVERIFY(tracker.Manage(expired) && !expired);

    // Sent again: the same deadline restarts. Another request: the first is
    // given up, and its deadline no longer keeps it alive.
    tracker.Track(first);
    Timeouts_Class* deadline = first->Timeout;
    tracker.Track(first);
    QCOMPARE(first->Timeout, deadline);
    QVERIFY(!tracker.Manage(expired) && !expired);
    Packet_Shared_Ptr second = timed_request(20);
    tracker.Track(second);
    QVERIFY(!first->Timeout);
    first.clear();
    QVERIFY(!watched);

    // Expired: handed out once, and the tracking ends.
    QTRY_VERIFY_WITH_TIMEOUT(second->Timeout->getIsExpired(), 5000);
    QCOMPARE(second->Timeout->gettime_left_ms(), short(1));
    QVERIFY(tracker.Manage(expired));
    QCOMPARE(expired, second);
    QVERIFY(!second->Timeout);
    expired.clear();

    // The item's slot clears the deadline when the answer comes; closing
    // the port lets a request still tracked go.
    tracker.Track(second);
    QVERIFY(second->Clear_Timeout());
    tracker.Stop_Tracking();
    watched = second;
    tracker.Track(second);
    second.clear();
    resource->CloseComPort();
    QVERIFY(!watched);
    QList<bool> seen;
    for (const QList<QVariant>& change : changes)
        seen << change[0].toBool();
    QCOMPARE(seen, (QList<bool>{true, true, false, true, false, true, false, true, false}));
}

void COM_Resource_Test::stamps_without_a_zone_lookup_per_packet()
{
    QSignalSpy received(resource.get(), &COM_Resource::Rx_Packet);
    const QTime before = QTime::currentTime();
    zone_lookups = 0;
    for (int i = 0; i < 20; ++i) {
        QVERIFY(resource->Send_Packet(timed_request(10000)));
        pty->write(value_frame("DSA 00102"));
        QCOMPARE(resource->Look_For_Packet(true), 0);
    }
    // At most one lookup, should a minute begin meanwhile.
    QVERIFY2(zone_lookups <= 2, qPrintable(QString::number(zone_lookups)));
    QCOMPARE(received.size(), 20);
    const QTime stamp = packet(received, 19)->Time_Stamp;
    const int apart = qAbs(before.msecsTo(stamp));
    QVERIFY2(apart < 5000 || apart > 86400000 - 5000, qPrintable(stamp.toString()));
}

void COM_Resource_Test::idle_line_and_hang_up()
{
    QCOMPARE(resource->Look_For_Packet(false), 1);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(resource->Look_For_Packet(true), 1);
    QVERIFY(timer.elapsed() >= 90);

    // Unplugged in the middle of a frame and of a long wait.
    resource->Tracker.Track(timed_request(10000));
    pty->write("DSA 0");
    timer.start();
    std::thread unplug([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty->close_master();
    });
    const int result = resource->Look_For_Packet(true);
    unplug.join();
    QCOMPARE(result, 2);
    QVERIFY(timer.elapsed() < 9000);
    QVERIFY(resource->Last_Error->startsWith(Read_Error_Start));
    // Nothing spins on a dead port: every later call fails at once.
    QCOMPARE(resource->Look_For_Packet(false), 2);
    QVERIFY(!resource->DiscardBuffers());
}

QTEST_GUILESS_MAIN(COM_Resource_Test)
#include "tst_com_resource.moc"
