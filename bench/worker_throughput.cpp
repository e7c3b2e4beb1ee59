// Runs the worker against the virtual controller in the same process and
// reports transactions per second, the latency from a request's write to the
// delivery of its answer on another thread, CPU time per transaction, the
// resident memory over a long run, and the CPU use of an idle worker. With
// --record, the same while the session is recorded into FILE, and the size
// of the recording per transaction.
//
//   worker_throughput [--items N] [--transactions T] [--pace] [--idle-seconds S]
//                     [--record FILE]

#include "recording/session_recorder.h"
#include "views/line_tap.h"

#include <Quillon.h>
#include <virtual_controller.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <time.h>
#include <vector>

using namespace Quillon;
using Clock = std::chrono::steady_clock;

namespace {

// An 8-byte request and an 11-byte answer are 190 bit times at 115200 baud 8N1.
const double Line_Ceiling_Per_Second = 115200.0 / 190.0;

double cpu_seconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

long resident_kib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

// Request write times, recorded on the worker thread, taken by the answers'
// receiver on the main thread. One request per item is outstanding at a time.
class Write_Times
{
public:
    void written(const Packet_Class* request)
    {
        std::lock_guard<std::mutex> lock(mutex);
        times[request].push_back(Clock::now());
    }
    bool take(const Packet_Class* request, Clock::time_point* t)
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto& q = times[request];
        if (q.empty())
            return false;
        *t = q.front();
        q.pop_front();
        return true;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        times.clear();
    }

private:
    std::mutex mutex;
    std::map<const Packet_Class*, std::deque<Clock::time_point>> times;
};

class Bench : public QObject
{
public:
    Bench(int items, long transactions, bool pace, int idle_seconds, const QString& record)
        : item_count(items), target(transactions), pacing(pace), idle_s(idle_seconds),
          record_file(record)
    {}
    ~Bench() override { stop(); }

    bool start()
    {
        std::string error;
        if (!sim.start(&error)) {
            std::fprintf(stderr, "virtual controller: %s\n", error.c_str());
            return false;
        }
        sim.set_line_pacing(pacing);
        resource.reset(new COM_Resource(nullptr));
        const QString path = QString::fromStdString(sim.device_path());
        QString open_error;
        if (!resource->OpenComPort(&path, open_error)) {
            std::fprintf(stderr, "open: %s\n", qPrintable(open_error));
            return false;
        }
        worker = new COM_485_Class(resource.get());
        connect(
            resource.get(), &COM_Resource::Tx_Packet, resource.get(),
            [this](QSharedPointer<Quillon::Packet_Class> p) { writes.written(p.data()); },
            Qt::DirectConnection);
        connect(resource.get(), &COM_Resource::Item_Disconnected, this,
                [this](Quillon::Disconnect_Enum reason, Quillon::TX_Scheduler_Item_Class*) {
                    std::fprintf(stderr, "an item was dropped, reason %d\n", int(reason));
                    lost = true;
                });
        if (!record_file.isEmpty()) {
            QString record_error;
            if (!recorder.Start(record_file, &record_error)) {
                std::fprintf(stderr, "record: %s\n", qPrintable(record_error));
                return false;
            }
            tap.Attach(resource.get());
            recorder.Attach(resource.get());
            // The batches are handed over and written here, as the tap's and
            // the recorder's own timers would, so that their CPU time is
            // measured on its own.
            tap.Set_Interval(24 * 3600 * 1000);
            recorder.Set_Flush_Interval(24 * 3600 * 1000);
            connect(&flush_timer, &QTimer::timeout, this, [this] {
                const double t0 = cpu_seconds(CLOCK_THREAD_CPUTIME_ID);
                tap.Deliver();
                recorder.Flush();
                flush_cpu += cpu_seconds(CLOCK_THREAD_CPUTIME_ID) - t0;
            });
            flush_timer.start(500);
        }
        worker->Start_On(&thread);
        return true;
    }

    void run_idle()
    {
        const double cpu0 = worker_cpu();
        QElapsedTimer wall;
        wall.start();
        wait_ms(idle_s * 1000);
        const double cpu = worker_cpu() - cpu0;
        const double seconds = wall.elapsed() / 1000.0;
        std::printf("idle worker:       %.2f%% of one core (%.3f s CPU in %.1f s)\n",
                    100.0 * cpu / seconds, cpu, seconds);
    }

    void run_load()
    {
        static const char* const codes[] = {"DSA", "PSA", "PXV", "IGV", "OAT", "MOD",
                                            "CSR", "CSS", "DSS", "RVS", "CES", "FM1"};
        for (int i = 0; i < item_count; ++i) {
            Packet_Class* p = Create_Request_Packet(Response_Type_Of(codes[i % 12]) - 35);
            p->AllocateData();
            Packet_Shared_Ptr request(p);
            auto item = std::make_unique<TX_Sched_Item_Protocol_Class>();
            item->set_theTX_pkt(request);
            item->setState(Protocol_Repeat);
            connect(item.get(), &TX_Scheduler_Item_Class::Rx, this,
                    [this, p](QSharedPointer<Quillon::Packet_Class>) { answered(p); });
            items.push_back(std::move(item));
        }

        // Warm up, then measure the rate, the latency and the CPU.
        for (auto& item : items)
            worker->TX_Scheduler->Schedule_Item(item.get());
        wait_for(std::min<long>(2000, target / 10));
        // The samples' storage is in place before the memory is first read.
        latencies.assign(size_t(target) + 1000, 0.0);
        samples = 0;
        const long first = done;
        const long rss_before = resident_kib();
        const double cpu0 = worker_cpu();
        const double process0 = cpu_seconds(CLOCK_PROCESS_CPUTIME_ID);
        QElapsedTimer wall;
        wall.start();
        wait_for(first + target);
        const double seconds = wall.elapsed() / 1000.0;
        const double cpu = worker_cpu() - cpu0;
        const double process_cpu = cpu_seconds(CLOCK_PROCESS_CPUTIME_ID) - process0;
        const long count = done - first;
        const long rss_after = resident_kib();

        const double rate = double(count) / seconds;
        std::printf("items:             %d, line pacing %s\n", item_count, pacing ? "on" : "off");
        std::printf("transactions:      %ld in %.2f s: %.0f per second\n", count, seconds, rate);
        if (pacing)
            std::printf("of line ceiling:   %.1f%% (ceiling %.0f per second at 115200 8N1)\n",
                        100.0 * rate / Line_Ceiling_Per_Second, Line_Ceiling_Per_Second);
        std::printf("latency:           median %.3f ms, 99th percentile %.3f ms\n",
                    percentile(measured(), 0.5), percentile(measured(), 0.99));
        std::printf("worker CPU:        %.1f us per transaction (whole process %.1f us, "
                    "virtual controller included)\n",
                    1e6 * cpu / double(count), 1e6 * process_cpu / double(count));
        std::printf("resident memory:   %ld KiB before, %ld KiB after %ld transactions\n",
                    rss_before, rss_after, count);

        for (auto& item : items)
            item->setState(Protocol_Idle);
        wait_ms(300);
        if (recorder.Is_Recording())
            report_recording();
    }

    void report_recording()
    {
        recorder.Detach();
        tap.Detach();
        recorder.Stop();
        flush_timer.stop();
        const double t0 = cpu_seconds(CLOCK_THREAD_CPUTIME_ID);
        recorder.Flush();
        flush_cpu += cpu_seconds(CLOCK_THREAD_CPUTIME_ID) - t0;
        const qint64 exchanges = recorder.Exchanges();
        const double bytes = double(QFileInfo(record_file).size()) / double(qMax(1LL, exchanges));
        std::printf("recording:         %lld transactions, %.0f bytes of file each; "
                    "one hour at the 115200-baud ceiling: %.0f MB\n",
                    exchanges, bytes, bytes * Line_Ceiling_Per_Second * 3600 / 1e6);
        std::printf("recording CPU:     %.1f us per transaction writing the batches\n",
                    1e6 * flush_cpu / double(qMax(1LL, exchanges)));
    }

    void stop()
    {
        if (worker)
            worker->Stop_On(&thread);
        delete worker;
        worker = nullptr;
        items.clear();
        resource.reset();
        sim.stop();
    }

private:
    void answered(const Packet_Class* request)
    {
        Clock::time_point written;
        if (writes.take(request, &written) && samples < latencies.size())
            latencies[samples++] =
                std::chrono::duration<double, std::milli>(Clock::now() - written).count();
        ++done;
    }

    std::vector<double> measured() const
    {
        return std::vector<double>(latencies.begin(), latencies.begin() + long(samples));
    }

    double worker_cpu()
    {
        double seconds = 0.0;
        QMetaObject::invokeMethod(
            worker, [&seconds] { seconds = cpu_seconds(CLOCK_THREAD_CPUTIME_ID); },
            Qt::BlockingQueuedConnection);
        return seconds;
    }

    void wait_for(long count)
    {
        while (done < count && !lost)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    void wait_ms(int ms)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

    int item_count;
    long target;
    bool pacing;
    int idle_s;
    QString record_file;
    Views::Line_Tap tap;
    Session_Recorder recorder{&tap};
    QTimer flush_timer;
    double flush_cpu = 0.0;

    Sim::Virtual_Controller sim;
    std::unique_ptr<COM_Resource> resource;
    COM_485_Class* worker = nullptr;
    QThread thread;
    std::vector<std::unique_ptr<TX_Sched_Item_Protocol_Class>> items;
    Write_Times writes;
    std::vector<double> latencies;
    size_t samples = 0;
    long done = 0;
    bool lost = false;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    setvbuf(stdout, nullptr, _IOLBF, 0);
    Quillon::init();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Worker throughput and latency against the virtual controller."));
    parser.addHelpOption();
    QCommandLineOption items_opt(QStringLiteral("items"), QStringLiteral("Repeating items."),
                                 QStringLiteral("N"), QStringLiteral("3"));
    QCommandLineOption count_opt(QStringLiteral("transactions"),
                                 QStringLiteral("Transactions to measure."), QStringLiteral("T"),
                                 QStringLiteral("20000"));
    QCommandLineOption pace_opt(QStringLiteral("pace"),
                                QStringLiteral("Pace the line at 115200 baud 8N1."));
    QCommandLineOption idle_opt(QStringLiteral("idle-seconds"),
                                QStringLiteral("Measure an idle worker this long first (0: skip)."),
                                QStringLiteral("S"), QStringLiteral("5"));
    QCommandLineOption record_opt(QStringLiteral("record"),
                                  QStringLiteral("Record the session into FILE (a new file)."),
                                  QStringLiteral("FILE"));
    parser.addOptions({items_opt, count_opt, pace_opt, idle_opt, record_opt});
    parser.process(app);

    Bench bench(qMax(1, parser.value(items_opt).toInt()),
                qMax(1L, parser.value(count_opt).toLong()), parser.isSet(pace_opt),
                parser.value(idle_opt).toInt(), parser.value(record_opt));
    if (!bench.start())
        return 1;
    if (parser.value(idle_opt).toInt() > 0)
        bench.run_idle();
    bench.run_load();
    bench.stop();
    return 0;
}
