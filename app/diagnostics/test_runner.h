#ifndef APP_DIAGNOSTICS_TEST_RUNNER_H
#define APP_DIAGNOSTICS_TEST_RUNNER_H

// The guided tests, live: each runner reads what it watches through the
// running worker, at its own pace, builds the series, and judges it with the
// analysis when its time is up. A test can be stopped at any moment; losing
// the connection, or a controller that stops answering, ends it; either way
// it is inconclusive, and any move it started is released.
//
// Every runner lives on the user interface thread. Its requests are its own
// scheduler items: one that stays unanswered after its resends ends the test
// rather than putting the connection in question, and the items outlive the
// runner until the worker has let go of them.

#include "diagnostics/test_analysis.h"

#include <Quillon.h>

#include <QElapsedTimer>
#include <QHash>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QTimer>

namespace Diagnostics {

class Test_Runner : public QObject
{
    Q_OBJECT

public:
    ~Test_Runner() override;

    Test_Kind Kind() const { return kind; }
    // Starts reading through the worker; false while a test runs or
    // without a worker.
    bool Start(Quillon::COM_485_Class* worker);
    bool Is_Running() const { return running; }
    // The last test's result; inconclusive until one has ended.
    const Result& Last_Result() const { return result; }
    const Series& Samples() const { return builder.Samples(); }
    // What the runner reads, by command code.
    QStringList Codes() const { return item_codes; }

    // How long the test runs at most, in seconds.
    double Duration() const { return duration; }
    virtual void Set_Duration(double seconds) { duration = seconds; }
    // Time since the start, in seconds.
    double Elapsed() const;
    // How often everything watched is read again, in milliseconds.
    void Set_Poll_Interval(int milliseconds) { poll_ms = milliseconds; }
    // Angles become heights with this lever; by default the one the user
    // stored ("System/ll", 6 inches unless set).
    void Set_Lever_Inches(double inches);

public slots:
    // Ends the test as inconclusive, "stopped".
    void Stop();
    // The owner gave the connection up: the test ends as inconclusive.
    void Connection_Lost();

signals:
    void Sample_Added(const Diagnostics::Sample& sample);
    // Each round of readings: seconds since the start and seconds left.
    void Progress(double elapsed, double left);
    // What the test does now: "Raising the driver's side".
    void Step_Changed(const QString& text);
    void Finished(const Diagnostics::Result& result);

protected:
    Test_Runner(Test_Kind kind, const QStringList& codes, double duration, QObject* parent);

    virtual Result Analyse() const = 0;
    // Once a round, after the readings were asked for; `t` is Elapsed().
    virtual void Tick(double t) { Q_UNUSED(t) }
    virtual void Begun() {}
    // Any move still going is released.
    virtual void Release() {}

    // The normal end: judged on what was read.
    void Finish();
    // Ends the test as inconclusive for `code`, with the sentence `reason`.
    void Abandon(const QString& code, const QString& reason);
    // A request item of the runner, disposed of with the others.
    void Own_Item(Quillon::TX_Scheduler_Item_Class* item);
    void Schedule(Quillon::TX_Scheduler_Item_Class* item);
    const Sample& Current() const { return builder.Current(); }

    QPointer<Quillon::COM_485_Class> worker;

private slots:
    void Rx_Reading(QSharedPointer<Quillon::Packet_Class> response);
    void Item_Finished(Quillon::Disconnect_Enum reason, Quillon::TX_Scheduler_Item_Class* item);
    void Poll();
    void Serial_Error();

private:
    void end(const QString& code, const QString& reason);
    void drop_items();

    Test_Kind kind;
    double duration;
    int poll_ms = 250;
    bool running = false;
    Result result;
    Series_Builder builder;
    QElapsedTimer clock;
    QDateTime started;
    QTimer poll;
    QStringList item_codes;
    QList<Quillon::Packet_Shared_Ptr> packets;
    QList<Quillon::TX_Sched_Item_Send_Once_Class*> reads;
    QList<Quillon::TX_Scheduler_Item_Class*> items; // every item, moves too
    QList<QMetaObject::Connection> worker_connections;
};

// Air leak-down: watches the reservoir, both heights and every output for
// Duration() (10 minutes unless set) with the vehicle parked.
class Leak_Down_Runner : public Test_Runner
{
    Q_OBJECT

public:
    static constexpr double Default_Minutes = 10;
    // The least the wizard offers; scripts may go down to Script_Least_Minutes.
    static constexpr double Least_Minutes = 1;
    static constexpr double Script_Least_Minutes = 0.5;

    explicit Leak_Down_Runner(const Leak_Limits& limits = Leak_Limits(), QObject* parent = nullptr);

protected:
    Result Analyse() const override;
    void Tick(double t) override;
    void Begun() override;

private:
    Leak_Limits limits;
    QString shown; // the step last announced
};

// Compressor: there is no command that vents the reservoir (the only way to
// spend its air is to raise the vehicle), so the test watches: it waits for
// the controller to start the compressor below its cut-in, measures the run
// and ends once the run is over, or at Duration() (3 minutes unless set).
class Compressor_Runner : public Test_Runner
{
    Q_OBJECT

public:
    static constexpr double Default_Minutes = 3;
    // The run is judged this long after the compressor stopped.
    static constexpr double After_Run_Seconds = 2;

    explicit Compressor_Runner(const Compressor_Limits& limits = Compressor_Limits(),
                               QObject* parent = nullptr);

protected:
    Result Analyse() const override;
    void Tick(double t) override;
    void Begun() override;

private:
    Compressor_Limits limits;
    double stopped_at = -1; // when a run was last seen ending
    Output last = Output::Unknown;
    double run_start = -1;
};

// Height sensors: raises, then lowers, each side in turn for the limits'
// move time with the manual move commands, watching both angles.
class Sensor_Runner : public Test_Runner
{
    Q_OBJECT

public:
    // The manual moves are locked below this reservoir pressure.
    static constexpr double Least_Pressure = 90;

    explicit Sensor_Runner(const Sensor_Limits& limits = Sensor_Limits(),
                           QObject* parent = nullptr);

    // Time for a side to settle after each move before it is judged, and
    // before the first move for the first readings.
    void Set_Settle_Seconds(double seconds);
    // The duration follows from the move and settle times.
    void Set_Duration(double seconds) override { Q_UNUSED(seconds) }
    const QVector<Move_Phase>& Phases() const { return phases; }

protected:
    Result Analyse() const override;
    void Tick(double t) override;
    void Begun() override;
    void Release() override;

private slots:
    void Rx_Move(QSharedPointer<Quillon::Packet_Class> response);

private:
    struct Step
    {
        int side;
        int direction; // 0: settling
        double begin;
        double end;
    };
    void plan();
    void move(int side, int direction, bool on);

    Sensor_Limits limits;
    double settle = 1.0;
    QVector<Step> steps;
    int step = -1;
    QVector<Move_Phase> phases;
    // By side and direction (0 lower, 1 raise).
    Quillon::Packet_Shared_Ptr move_packets[2][2];
    Quillon::TX_Sched_Item_Protocol_Class* movers[2][2] = {};
};

// The runner of a test with the limits the user keeps; owned by `parent`.
Test_Runner* Make_Runner(Test_Kind kind, const Test_Limits& limits, QObject* parent = nullptr);

} // namespace Diagnostics

Q_DECLARE_METATYPE(Diagnostics::Sample)
Q_DECLARE_METATYPE(Diagnostics::Result)

#endif // APP_DIAGNOSTICS_TEST_RUNNER_H
