#include "diagnostics/test_runner.h"

#include <QSettings>

#include <atomic>

using namespace Quillon;

namespace Diagnostics {

namespace {

// A request of a test. One that stays unanswered after its resends ends
// quietly, remembering it: the test ends as inconclusive, rather than the
// main window asking to retry an item the test may already have let go.
template <class Base> class Quiet_Item : public Base
{
public:
    using Base::Base;
    void Retry_Exceeded_CB() override
    {
        timed_out = true;
        this->Current_Action = Action_Done;
    }
    std::atomic<bool> timed_out{false};
};
using Read_Item = Quiet_Item<TX_Sched_Item_Send_Once_Class>;
using Move_Item = Quiet_Item<TX_Sched_Item_Protocol_Class>;

bool timed_out(TX_Scheduler_Item_Class* item)
{
    if (auto read = dynamic_cast<Read_Item*>(item))
        return read->timed_out;
    if (auto move = dynamic_cast<Move_Item*>(item))
        return move->timed_out;
    return false;
}

void forget_time_out(TX_Scheduler_Item_Class* item)
{
    if (auto read = dynamic_cast<Read_Item*>(item))
        read->timed_out = false;
    if (auto move = dynamic_cast<Move_Item*>(item))
        move->timed_out = false;
}

Packet_Class* get_request(const QString& code)
{
    if (code == QLatin1String("PXV"))
        return new Packet_Get_PXV;
    if (code == QLatin1String("DSA"))
        return new Packet_Get_DSA;
    if (code == QLatin1String("PSA"))
        return new Packet_Get_PSA;
    if (code == QLatin1String("OAT"))
        return new Packet_Get_OAT;
    if (code == QLatin1String("CSR"))
        return new Packet_Get_CSR;
    if (code == QLatin1String("DSS"))
        return new Packet_Get_DSS;
    if (code == QLatin1String("CSS"))
        return new Packet_Get_CSS;
    if (code == QLatin1String("RVS"))
        return new Packet_Get_RVS;
    if (code == QLatin1String("CES"))
        return new Packet_Get_CES;
    return nullptr;
}

// The value of an answer as the tabs show it; NaN for an answer of another
// kind.
double value_of(const Packet_Class* response)
{
    if (auto oat = dynamic_cast<const Packet_Resp_OAT*>(response))
        return oat->Temp_C();
    if (auto pressure = dynamic_cast<const Packet_Resp_Pressure*>(response))
        return pressure->Pressure();
    if (auto angle = dynamic_cast<const Packet_Resp_Suspension_Angle*>(response))
        return angle->Angle();
    if (auto flag = dynamic_cast<const Packet_Resp_Bool*>(response))
        return flag->Value() ? 1 : 0;
    if (auto number = dynamic_cast<const Packet_Resp_UInt16*>(response))
        return number->Raw_Value();
    return std::nan("");
}

double stored_lever()
{
    bool ok = false;
    const double inches = QSettings().value(QStringLiteral("System/ll"), 6.0).toDouble(&ok);
    return ok && inches > 0 ? inches : 6.0;
}

int registered()
{
    qRegisterMetaType<Diagnostics::Sample>("Diagnostics::Sample");
    return qRegisterMetaType<Diagnostics::Result>("Diagnostics::Result");
}

} // namespace

Test_Runner::Test_Runner(Test_Kind k, const QStringList& codes, double seconds, QObject* parent)
    : QObject(parent), kind(k), duration(seconds), builder(stored_lever()), item_codes(codes)
{
    static const int types = registered();
    Q_UNUSED(types)
    result.test = kind;
    result.reason_code = QLatin1String(Reason::Not_Run);
    result.reason = QStringLiteral("The test has not run.");
    for (const QString& code : codes) {
        Packet_Class* packet = get_request(code);
        packet->setResponse_FiltertoDefault();
        packets << Packet_Shared_Ptr(packet);
        packets.last()->AllocateData();
        auto item = new Read_Item(packets.last());
        item->setObjectName(code);
        connect(item, SIGNAL(Rx(QSharedPointer<Quillon::Packet_Class>)), this,
                SLOT(Rx_Reading(QSharedPointer<Quillon::Packet_Class>)));
        reads << item;
        Own_Item(item);
    }
    connect(&poll, &QTimer::timeout, this, &Test_Runner::Poll);
}

Test_Runner::~Test_Runner()
{
    for (const auto& c : qAsConst(worker_connections))
        disconnect(c);
    // An item the worker still lists goes once the worker has let it go:
    // at its next pass, or when it shuts down or is deleted. Its list, not
    // the item's own flag, says so: the worker clears the flag before its
    // last signals about the item.
    const QPointer<TX_Scheduler_Class> scheduler = worker ? worker->TX_Scheduler : nullptr;
    const auto let_go = [scheduler](TX_Scheduler_Item_Class* item) {
        return !scheduler || !scheduler->Is_Listed(item);
    };
    for (TX_Scheduler_Item_Class* item : qAsConst(items)) {
        item->disconnect(this);
        if (let_go(item)) {
            item->deleteLater();
            continue;
        }
        if (auto protocol = qobject_cast<TX_Sched_Item_Protocol_Class*>(item))
            protocol->setState(Protocol_Idle);
        item->setAction(Action_Done);
        connect(item, &TX_Scheduler_Item_Class::Is_ScheduledChanged, item, [item, let_go] {
            if (let_go(item))
                item->deleteLater();
        });
        connect(worker, &QObject::destroyed, item, &QObject::deleteLater);
        // Let go of meanwhile: no word of it will come. A second deleteLater
        // is harmless, the first one's deletion drops it.
        if (let_go(item))
            item->deleteLater();
    }
}

void Test_Runner::Own_Item(TX_Scheduler_Item_Class* item)
{
    items << item;
    connect(item, SIGNAL(Finished(Quillon::Disconnect_Enum, Quillon::TX_Scheduler_Item_Class*)),
            this, SLOT(Item_Finished(Quillon::Disconnect_Enum, Quillon::TX_Scheduler_Item_Class*)));
}

void Test_Runner::Schedule(TX_Scheduler_Item_Class* item)
{
    if (running && worker)
        worker->TX_Scheduler->Schedule_Item(item);
}

void Test_Runner::Set_Lever_Inches(double inches)
{
    if (!running && inches > 0)
        builder = Series_Builder(inches);
}

double Test_Runner::Elapsed() const
{
    return clock.isValid() ? clock.nsecsElapsed() / 1e9 : 0;
}

bool Test_Runner::Start(COM_485_Class* manager)
{
    if (running || !manager || !manager->Resource)
        return false;
    worker = manager;
    running = true;
    // A test run again starts afresh, whatever ended the last one.
    for (TX_Scheduler_Item_Class* item : qAsConst(items))
        forget_time_out(item);
    builder.Clear();
    result = Result();
    result.test = kind;
    started = QDateTime::currentDateTime();
    clock.start();
    // The worker shuts itself down on a serial error and drops its list
    // without a word to the items.
    worker_connections << connect(worker->Resource, SIGNAL(COM_Error(QString*)), this,
                                  SLOT(Serial_Error()))
                       << connect(worker, &COM_485_Class::shutdown, this,
                                  &Test_Runner::Serial_Error)
                       << connect(worker, &QObject::destroyed, this, &Test_Runner::Serial_Error);
    Begun();
    Poll();
    poll.start(poll_ms);
    return true;
}

void Test_Runner::Poll()
{
    if (!running)
        return;
    if (!worker) {
        Serial_Error();
        return;
    }
    // A reading still on its way is not asked for again.
    for (TX_Sched_Item_Send_Once_Class* item : qAsConst(reads))
        Schedule(item);
    const double t = Elapsed();
    emit Progress(t, std::max(0.0, duration - t));
    Tick(t);
    if (running && t >= duration)
        Finish();
}

void Test_Runner::Rx_Reading(QSharedPointer<Packet_Class> response)
{
    if (!running || !response || !response->Valid || !sender())
        return;
    if (builder.Add(Elapsed(), sender()->objectName(), value_of(response.data())))
        emit Sample_Added(builder.Samples().back());
}

void Test_Runner::Item_Finished(Disconnect_Enum reason, TX_Scheduler_Item_Class* item)
{
    if (!running)
        return;
    if (timed_out(item))
        Abandon(QLatin1String(Reason::Connection_Lost),
                QStringLiteral("The controller stopped answering (%1).").arg(item->objectName()));
    else if (reason != Disconnect_None)
        Serial_Error();
}

void Test_Runner::Serial_Error()
{
    Connection_Lost();
}

void Test_Runner::Stop()
{
    Abandon(QLatin1String(Reason::Stopped), QStringLiteral("Stopped before the end."));
}

void Test_Runner::Connection_Lost()
{
    Abandon(QLatin1String(Reason::Connection_Lost),
            QStringLiteral("The connection to the controller was lost."));
}

void Test_Runner::Finish()
{
    end(QString(), QString());
}

void Test_Runner::Abandon(const QString& code, const QString& reason)
{
    end(code, reason);
}

void Test_Runner::end(const QString& code, const QString& reason)
{
    if (!running)
        return;
    running = false;
    poll.stop();
    Release();
    drop_items();
    for (const auto& c : qAsConst(worker_connections))
        disconnect(c);
    worker_connections.clear();
    result = Analyse();
    result.started = started;
    result.seconds = Elapsed();
    if (!code.isEmpty()) {
        result.outcome = Outcome::Inconclusive;
        result.reason_code = code;
        result.reason = reason;
        result.summary = reason;
    }
    emit Finished(result);
}

void Test_Runner::drop_items()
{
    for (TX_Scheduler_Item_Class* item : qAsConst(items)) {
        if (auto protocol = qobject_cast<TX_Sched_Item_Protocol_Class*>(item))
            protocol->setState(Protocol_Idle);
        if (item->Is_Scheduled())
            item->setAction(Action_Done);
    }
}

Leak_Down_Runner::Leak_Down_Runner(const Leak_Limits& l, QObject* parent)
    : Test_Runner(Test_Kind::Leak_Down, {"PXV", "CSR", "DSS", "CSS", "RVS", "CES", "DSA", "PSA"},
                  Default_Minutes * 60, parent),
      limits(l)
{
    Set_Poll_Interval(500);
}

Result Leak_Down_Runner::Analyse() const
{
    return Analyse_Leak_Down(Samples(), limits);
}

void Leak_Down_Runner::Tick(double t)
{
    Q_UNUSED(t)
    const Sample& now = Current();
    const QString step = now.compressor == Output::On ? QStringLiteral("The compressor is running")
                         : now.Any_Valve()
                             ? QStringLiteral("A valve is open")
                             : QStringLiteral("Watching the pressure and the heights");
    if (step != shown) {
        shown = step;
        emit Step_Changed(step);
    }
}

void Leak_Down_Runner::Begun()
{
    shown.clear();
}

Compressor_Runner::Compressor_Runner(const Compressor_Limits& l, QObject* parent)
    : Test_Runner(Test_Kind::Compressor, {"PXV", "CSR", "OAT", "DSS", "CSS", "RVS", "CES"},
                  Default_Minutes * 60, parent),
      limits(l)
{}

Result Compressor_Runner::Analyse() const
{
    return Analyse_Compressor(Samples(), limits);
}

void Compressor_Runner::Begun()
{
    stopped_at = -1;
    run_start = -1;
    last = Output::Unknown;
}

void Compressor_Runner::Tick(double t)
{
    const Output now = Current().compressor;
    if (now == Output::On && last != Output::On) {
        run_start = t;
        emit Step_Changed(QStringLiteral("The compressor is running"));
    }
    if (now == Output::Off && last == Output::On) {
        stopped_at = t;
        emit Step_Changed(QStringLiteral("The compressor has stopped"));
    }
    if (last == Output::Unknown && now == Output::Off)
        emit Step_Changed(QStringLiteral("Waiting for the compressor to start"));
    last = now;
    // Judged once a run is over, or once it has run too long already.
    if ((stopped_at >= 0 && t - stopped_at >= After_Run_Seconds) ||
        (now == Output::On && run_start >= 0 && t - run_start > limits.run_time))
        Finish();
}

Sensor_Runner::Sensor_Runner(const Sensor_Limits& l, QObject* parent)
    : Test_Runner(Test_Kind::Sensors, {"DSA", "PSA", "PXV"}, 0, parent), limits(l)
{
    Set_Poll_Interval(100);
    Packet_Class* made[2][2] = {{new Packet_Go_MDN, new Packet_Go_MDP},
                                {new Packet_Go_MCN, new Packet_Go_MCP}};
    const char* names[2][2] = {{"MDN", "MDP"}, {"MCN", "MCP"}};
    for (int side : {Driver, Curb}) {
        for (int up : {0, 1}) {
            made[side][up]->setResponse_FiltertoDefault();
            move_packets[side][up] = Packet_Shared_Ptr(made[side][up]);
            move_packets[side][up]->AllocateData();
            auto item = new Move_Item;
            item->setObjectName(QLatin1String(names[side][up]));
            item->set_theTX_pkt(move_packets[side][up]);
            // At rest, held: listed, it sends nothing until set to repeat.
            item->setState(Protocol_Repeat);
            item->setState(Protocol_Idle);
            connect(item, SIGNAL(Rx(QSharedPointer<Quillon::Packet_Class>)), this,
                    SLOT(Rx_Move(QSharedPointer<Quillon::Packet_Class>)));
            movers[side][up] = item;
            Own_Item(item);
        }
    }
    plan();
}

Result Sensor_Runner::Analyse() const
{
    return Analyse_Sensors(Samples(), phases, limits);
}

void Sensor_Runner::Set_Settle_Seconds(double seconds)
{
    settle = seconds;
    plan();
}

void Sensor_Runner::plan()
{
    steps.clear();
    double t = settle; // the first readings
    for (int side : {Driver, Curb}) {
        for (int direction : {1, -1}) {
            steps.append({side, direction, t, t + limits.move_seconds});
            t += limits.move_seconds;
            steps.append({side, 0, t, t + settle});
            t += settle;
        }
    }
    Test_Runner::Set_Duration(t);
}

void Sensor_Runner::Begun()
{
    step = -1;
    phases.clear();
    emit Step_Changed(QStringLiteral("Reading both sensors"));
}

void Sensor_Runner::move(int side, int direction, bool on)
{
    TX_Sched_Item_Protocol_Class* item = movers[side][direction > 0 ? 1 : 0];
    item->setState(on ? Protocol_Repeat : Protocol_Idle);
    if (on)
        Schedule(item);
}

void Sensor_Runner::Tick(double t)
{
    int next = step;
    while (next + 1 < steps.size() && t >= steps[next + 1].begin)
        ++next;
    if (next == step)
        return;
    if (step < 0) {
        // Before the first move: both angles and the pressure are known,
        // and the pressure allows a move.
        const Sample& now = Current();
        if (!std::isfinite(now.driver_angle) || !std::isfinite(now.curb_angle) ||
            !std::isfinite(now.pressure)) {
            Abandon(QLatin1String(Reason::Not_Run),
                    QStringLiteral("The sensors and the reservoir pressure could not be read."));
            return;
        }
        if (now.pressure < Least_Pressure) {
            Abandon(QLatin1String(Reason::Not_Run),
                    QStringLiteral("The reservoir holds %1 psi; the vehicle is only moved from "
                                   "%2 psi.")
                        .arg(now.pressure, 0, 'f', 1)
                        .arg(Least_Pressure, 0, 'f', 0));
            return;
        }
    }
    if (step >= 0 && steps[step].direction != 0)
        move(steps[step].side, steps[step].direction, false);
    step = next;
    const Step& s = steps[step];
    const QString side =
        s.side == Driver ? QStringLiteral("driver's side") : QStringLiteral("curb side");
    if (s.direction != 0) {
        // Judged from the move's start to the end of the settling after it.
        phases.append({s.side, s.direction, t, s.end + settle});
        move(s.side, s.direction, true);
        emit Step_Changed(
            (s.direction > 0 ? QStringLiteral("Raising the ") : QStringLiteral("Lowering the ")) +
            side);
    } else {
        emit Step_Changed(QStringLiteral("Letting the ") + side + QStringLiteral(" settle"));
    }
}

void Sensor_Runner::Release()
{
    for (auto& side : movers)
        for (TX_Sched_Item_Protocol_Class* item : side)
            item->setState(Protocol_Idle);
}

void Sensor_Runner::Rx_Move(QSharedPointer<Packet_Class> response)
{
    if (!Is_Running() || !response || !response->getData())
        return;
    const QByteArray text(response->getData(), int(response->getLength()));
    if (text == "<OK>")
        return;
    const QString what = sender() ? sender()->objectName() : QString();
    Abandon(QLatin1String(Reason::Refused),
            QStringLiteral("The controller refused the move %1 (%2).")
                .arg(what, QString::fromLatin1(text).trimmed()));
}

} // namespace Diagnostics

namespace Diagnostics {

Test_Runner* Make_Runner(Test_Kind kind, const Test_Limits& limits, QObject* parent)
{
    switch (kind) {
    case Test_Kind::Leak_Down:
        return new Leak_Down_Runner(limits.Leak(), parent);
    case Test_Kind::Sensors:
        return new Sensor_Runner(limits.Sensors(), parent);
    case Test_Kind::Compressor:
        return new Compressor_Runner(limits.Compressor(), parent);
    }
    return nullptr;
}

} // namespace Diagnostics
