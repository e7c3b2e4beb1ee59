// The serial port resource against a real kernel tty: the resource opens the slave of a
// pseudo-terminal, the test plays the controller on the master; and its frame
// receiver on its own.

#include "scheduling/entry_points.h"
#include "serial/com_resource.h"
#include "serial/packet_builder_class.h"
#include "test_requests.h"

#include <QtTest>

#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <thread>

using namespace Quillon;

// Every consultation of the time-zone database, counted: these stand in for
// the C library's own in the whole test program (Qt calls them).
static int zone_lookups = 0;

extern "C" __attribute__((visibility("default"))) void tzset() noexcept
{
    ++zone_lookups;
    reinterpret_cast<void (*)()>(::dlsym(RTLD_NEXT, "tzset"))();
}

extern "C" __attribute__((visibility("default"))) tm* localtime_r(const time_t* t, tm* out) noexcept
{
    ++zone_lookups;
    return reinterpret_cast<decltype(&localtime_r)>(::dlsym(RTLD_NEXT, "localtime_r"))(t, out);
}

static Packet_Shared_Ptr packet(const QSignalSpy& spy, int emission, int argument = 0)
{
    return spy.at(emission).at(argument).value<Packet_Shared_Ptr>();
}

class COM_Resource_Test : public QObject
{
    Q_OBJECT

private slots:
    void receiver_streams_data();
    void receiver_streams();
    void init();
    void open_refused_data();
    void open_refused();
    void permission_advice();
    void only_the_tracked_request_is_answered();
    void frames_in_pieces_data();
    void frames_in_pieces();
    void frame_cut_short();
    void frames_in_one_burst_data();
    void frames_in_one_burst();
    void errors_and_hang_up();

private:
    QByteArray unfinished_noise_row();

    std::unique_ptr<Pseudo_Terminal> pty;
    std::unique_ptr<COM_Resource> resource;
};

void COM_Resource_Test::init()
{
    Quillon::init();
    pty.reset(new Pseudo_Terminal);
    resource.reset(new COM_Resource);
    QString error;
    QVERIFY2(resource->OpenComPort(&pty->slave_path, error), qPrintable(error));
    // Raw 115200 8N1: a pseudo-terminal starts out cooked.
    const termios t = pty->settings();
    QVERIFY(cfgetispeed(&t) == B115200 && (t.c_cflag & (CSIZE | PARENB | CSTOPB)) == CS8);
    QVERIFY(!(t.c_lflag & (ICANON | ECHO)) && !(t.c_iflag & (IXON | ICRNL)));
}

QByteArray COM_Resource_Test::unfinished_noise_row()
{
    unsigned char count = 0;
    const char* rest = resource->Builder.Noise->remaining(count);
    return rest ? QByteArray(rest, count) : QByteArray();
}

void COM_Resource_Test::open_refused_data()
{
    QTest::addColumn<QString>("name"); // empty: the test's pseudo-terminal
    QTest::addColumn<bool>("locked_elsewhere");
    QTest::addColumn<QString>("error");

    QTest::newRow("no such port") << "vantor-no-such-port" << false << "No such file or directory";
    // Root passes the tty's exclusive mode; the advisory lock holds for all.
    QTest::newRow("open here") << QString() << false << "Device or resource busy";
    QTest::newRow("locked by another program") << QString() << true << "Device or resource busy";
}

void COM_Resource_Test::open_refused()
{
    QFETCH(QString, name);
    QFETCH(bool, locked_elsewhere);
    QFETCH(QString, error);

    name = name.isEmpty() ? pty->slave_path : name;
    int other = -1;
    if (locked_elsewhere) {
        resource->CloseComPort();
        other = ::open(pty->slave_path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QVERIFY(other >= 0 && ::flock(other, LOCK_EX | LOCK_NB) == 0);
    }
    COM_Resource second;
    QString text;
    const bool opened = second.OpenComPort(&name, text);
    ::close(other);
    QVERIFY(!opened && !second.Port_Name);
    QCOMPARE(text, error);
}

void COM_Resource_Test::permission_advice()
{
    // A device of the dialout group, as USB adapters' are on Debian.
    const QByteArray device = pty->slave_path.toLocal8Bit();
    const group* dialout = ::getgrnam("dialout");
    QVERIFY(dialout && ::chown(device.constData(), uid_t(-1), dialout->gr_gid) == 0);
    const QString text = Serial_Port::System_Error_Text(EACCES, device);
    QCOMPARE(text,
             "Permission denied\n\n" + pty->slave_path +
                 " belongs to the group \"dialout\". To use it, add your account to that "
                 "group:\n    sudo usermod -aG dialout $USER\nthen log out and log in again.");
}

void COM_Resource_Test::only_the_tracked_request_is_answered()
{
    QSignalSpy received(resource.get(), &COM_Resource::Rx_Packet);
    QSignalSpy expected(resource.get(), &COM_Resource::Rx_Expected_Packet);
    Packet_Shared_Ptr go(new Packet_Go_CTS), request = timed_request(10000);
    go->AllocateData();
    go->Response_Filter = nullptr;
    QSignalSpy answered(request.data(), &Packet_Class::Rx_Expected);
    const QTime before = QTime::currentTime();
    zone_lookups = 0;
    // Only a request that expects an answer is tracked.
    for (const Packet_Shared_Ptr& p : {Packet_Shared_Ptr(), go, request})
        QVERIFY(resource->Send_Packet(p));
    QCOMPARE(pty->read(15), QByteArray("go CTS\rget DSA\r"));
    QCOMPARE(resource->Tracker.Tracked_Request(), request);
    // Another code, and the right code with a bad value, leave it waiting.
    for (const char* body : {"FM1 00000", "DSA 0x102", "DSA 00102"}) {
        pty->write(value_frame(body));
        QCOMPARE(resource->Look_For_Packet(true), 0);
    }
    QVERIFY(received.size() == 3 && expected.size() == 1 && answered.size() == 1);
    QVERIFY(packet(expected, 0, 0) == request && packet(expected, 0, 1) == packet(received, 2));
    // A request tracked without a filter is ended by whatever comes.
    resource->Tracker.Track(go);
    pty->write("<OK>\n");
    QVERIFY(resource->Look_For_Packet(true) == 0 && !resource->Tracker.Is_Tracking());
    QCOMPARE(expected.size(), 1);
    // Every packet is stamped with the time of day, without consulting the
    // time zone each time: at most once, and once more should a minute begin.
    QVERIFY2(zone_lookups <= 4, qPrintable(QString::number(zone_lookups)));
    const int apart = qAbs(before.msecsTo(packet(received, 3)->Time_Stamp));
    QVERIFY2(apart < 5000 || apart > 86400000 - 5000, qPrintable(QString::number(apart)));
}

void COM_Resource_Test::frames_in_pieces_data()
{
    QTest::addColumn<QByteArray>("noise");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QList<int>>("sizes"); // how the line delivers noise and frame

    const QByteArray garbage = "0123456789!#$%&()*+,-./:;";
    QTest::newRow("system, byte by byte")
        << QByteArray() << QByteArray("<TEST DONE>\n") << QVector<int>(12, 1).toList();
    // The byte an RS-485 driver makes when it switches on, before the answer.
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
    std::thread controller([this, line = noise + frame, &sizes] {
        for (int at = 0, i = 0; i < sizes.size(); at += sizes[i++]) {
            QThread::msleep(2);
            pty->write(line.mid(at, sizes[i]));
        }
    });
    int result = 0;
    while (received.isEmpty() && result == 0)
        result = resource->Look_For_Packet(true);
    controller.join();
    QCOMPARE(received.size(), 1);
    QVERIFY(frame.startsWith(packet(received, 0)->toQString().toLatin1()));
    // Noise in rows of 20, the rest in the row being filled.
    QCOMPARE(rows, noise.size() >= 20 ? QList<QByteArray>{noise.left(20)} : QList<QByteArray>{});
    QCOMPARE(unfinished_noise_row(), noise.mid(noise.size() / 20 * 20));
}

void COM_Resource_Test::frame_cut_short()
{
    QSignalSpy received(resource.get(), &COM_Resource::Rx_Packet);
    const QByteArray frame = value_frame("PXV 00922");
    // Reads without waiting until the receiver holds five bytes of the frame.
    auto take_partial_frame = [this](int count) {
        for (int i = 0; i < 5000 && resource->Look_For_Packet(false) == 1; ++i) {
            if (resource->Builder.Received_Count == count)
                return true;
            QThread::msleep(1);
        }
        return false;
    };
    // Reading without waiting keeps what has come so far of a frame ...
    pty->write(frame.left(5));
    QVERIFY(take_partial_frame(5));
    pty->write(frame.mid(5));
    QCOMPARE(resource->Look_For_Packet(true), 0);
    QCOMPARE(received.size(), 1);
    // ... a read that waits in vain drops it as noise ...
    pty->write(frame.left(5));
    QVERIFY(take_partial_frame(5));
    QCOMPARE(resource->Look_For_Packet(true), 1);
    QCOMPARE(unfinished_noise_row(), frame.left(5));
    // ... and so does discarding the port's buffers.
    pty->write(frame.left(5));
    QVERIFY(take_partial_frame(5));
    QVERIFY(resource->DiscardBuffers());
    QCOMPARE(resource->Builder.Receiver_State, Packet_Builder_Class::Wait_Start);
    QCOMPARE(received.size(), 1);
}

void COM_Resource_Test::frames_in_one_burst_data()
{
    QTest::addColumn<bool>("discard"); // the port's buffers, after the first frame
    QTest::newRow("all delivered in order") << false;
    QTest::newRow("discard drops what was read ahead") << true;
}

void COM_Resource_Test::frames_in_one_burst()
{
    QFETCH(bool, discard);
    QSignalSpy received(resource.get(), &COM_Resource::Rx_Packet);
    const QList<QByteArray> frames{value_frame("DSA 00102"), "<OK>\n", value_frame("PXV 00922")};
    QVERIFY(pty->write(frames.join()));
    resource->Tracker.Track(timed_request(10000));
    QCOMPARE(resource->Look_For_Packet(true), 0);
    if (discard)
        QVERIFY(resource->DiscardBuffers());
    while (resource->Look_For_Packet(false) == 0) {
    }
    QCOMPARE(received.size(), discard ? 1 : 3);
    for (int i = 0; i < received.size(); ++i)
        QVERIFY(frames[i].startsWith(packet(received, i)->toQString().toLatin1()));
}

void COM_Resource_Test::errors_and_hang_up()
{
    const QString read_error =
        "Error in COM_Resource::Look_For_Packet() reading the COM port\nExtended Message: ";
    // Unplugged in the middle of a frame and of a long wait.
    resource->Tracker.Track(timed_request(10000));
    pty->write("DSA 0");
    std::thread unplug([this] {
        QThread::msleep(50);
        pty->close_master();
    });
    QCOMPARE(resource->Look_For_Packet(true), 2);
    unplug.join();
    const QString* first = resource->Last_Error;
    QVERIFY(first->startsWith(read_error));
    // Nothing spins on a dead port: every later call fails at once, and the
    // texts handed out before stay valid for their receivers.
    QVERIFY(!resource->DiscardBuffers());
    resource->CloseComPort();
    QVERIFY(!resource->Send_Packet(timed_request(10000)) && !resource->Tracker.Is_Tracking());
    QCOMPARE(*resource->Last_Error, "Error in COM_Resource::Send_Packet() COM port " +
                                        pty->slave_path +
                                        "\nExtended Message: Bad file descriptor");
    QVERIFY(first->startsWith(read_error));
}

// The frame receiver on its own: byte streams cut into reads of various
// sizes, as the serial port would deliver them.
void COM_Resource_Test::receiver_streams_data()
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

void COM_Resource_Test::receiver_streams()
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

QTEST_GUILESS_MAIN(COM_Resource_Test)
#include "tst_com_resource.moc"
