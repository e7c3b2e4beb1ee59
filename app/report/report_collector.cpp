#include "report/report_collector.h"

using namespace Quillon;

namespace Service_Report {

namespace {

// A request of the report. One that stays unanswered after its resends ends
// quietly: the report shows its value as not read, rather than the connection
// being put in question as for the tabs' own traffic.
class Report_Item : public TX_Sched_Item_Send_Once_Class
{
public:
    using TX_Sched_Item_Send_Once_Class::TX_Sched_Item_Send_Once_Class;
    void Retry_Exceeded_CB() override { Current_Action = Action_Done; }
};

template <class Packet> Packet_Class* request()
{
    return new Packet;
}

// The requests, the fault word that answers first at their head.
const struct
{
    const char* code;
    Packet_Class* (*make)();
} Requests[] = {
    {"FM1", request<Packet_Get_FM1>}, {"FM2", request<Packet_Get_FM2>},
    {"FM3", request<Packet_Get_FM3>}, {"SN1", request<Packet_Get_SN1>},
    {"SN2", request<Packet_Get_SN2>}, {"SN3", request<Packet_Get_SN3>},
    {"SN4", request<Packet_Get_SN4>}, {"PRT", request<Packet_Get_PRT>},
    {"REV", request<Packet_Get_REV>}, {"BPD", request<Packet_Get_BPD>},
    {"DSA", request<Packet_Get_DSA>}, {"PSA", request<Packet_Get_PSA>},
    {"MOD", request<Packet_Get_MOD>}, {"PXV", request<Packet_Get_PXV>},
    {"OAT", request<Packet_Get_OAT>}, {"IGV", request<Packet_Get_IGV>},
    {"LOL", request<Packet_Get_LOL>}, {"BAH", request<Packet_Get_BAH>},
    {"DSH", request<Packet_Get_DSH>}, {"DSL", request<Packet_Get_DSL>},
    {"DSS", request<Packet_Get_DSS>}, {"CSS", request<Packet_Get_CSS>},
    {"RVS", request<Packet_Get_RVS>}, {"CES", request<Packet_Get_CES>},
    {"CSR", request<Packet_Get_CSR>}, {"CPT", request<Packet_Get_CPT>},
    {"IGT", request<Packet_Get_IGT>}, {"OTC", request<Packet_Get_OTC>},
};

} // namespace

const QStringList& Collector::Codes()
{
    static const QStringList codes = [] {
        QStringList list;
        for (const auto& r : Requests)
            list << QLatin1String(r.code);
        return list;
    }();
    return codes;
}

Collector::Collector(QObject* parent) : QObject(parent)
{
    for (const auto& r : Requests) {
        Packet_Class* packet = r.make();
        packet->setResponse_FiltertoDefault();
        requests << Packet_Shared_Ptr(packet);
        requests.last()->AllocateData();
        auto item = new Report_Item(requests.last());
        item->setObjectName(QLatin1String(r.code));
        connect(item, SIGNAL(Rx(QSharedPointer<Quillon::Packet_Class>)), this,
                SLOT(Rx_Answer(QSharedPointer<Quillon::Packet_Class>)));
        connect(item, SIGNAL(Finished(Quillon::Disconnect_Enum, Quillon::TX_Scheduler_Item_Class*)),
                this,
                SLOT(Item_Finished(Quillon::Disconnect_Enum, Quillon::TX_Scheduler_Item_Class*)));
        items << item;
    }
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, this, &Collector::finish);
}

Collector::~Collector()
{
    qDeleteAll(items);
}

bool Collector::Start(COM_485_Class* manager)
{
    if (running || !manager)
        return false;
    worker = manager;
    answers.clear();
    running = true;
    outstanding = 1;
    watchdog.start(Longest_Ms);
    // A worker that shuts down (a serial error, the connection given up)
    // drops its list without a word to the items: the reading ends with it,
    // or at the latest when the worker goes.
    connect(worker, &COM_485_Class::shutdown, this, &Collector::finish, Qt::UniqueConnection);
    connect(worker, &QObject::destroyed, this, &Collector::finish, Qt::UniqueConnection);
    worker->TX_Scheduler->Schedule_Item(items.first());
    return true;
}

QStringList Collector::Not_Read() const
{
    QStringList missing;
    for (const QString& code : Codes())
        if (!answers.contains(code))
            missing << code;
    return missing;
}

void Collector::Rx_Answer(QSharedPointer<Packet_Class> response)
{
    if (running && response && response->Valid)
        answers.insert(sender()->objectName(), response);
}

void Collector::Item_Finished(Disconnect_Enum reason, TX_Scheduler_Item_Class* item)
{
    Q_UNUSED(reason)
    if (!running)
        return;
    // After the first answer, everything else goes out at once; without it,
    // nothing else would be answered either.
    if (item == items.first() && outstanding == 1 && answers.contains(item->objectName()) &&
        worker) {
        outstanding = items.size() - 1;
        for (int i = 1; i < items.size(); ++i)
            worker->TX_Scheduler->Schedule_Item(items[i]);
        return;
    }
    if (--outstanding <= 0)
        finish();
}

void Collector::finish()
{
    if (!running)
        return;
    running = false;
    watchdog.stop();
    emit Collected();
}

} // namespace Service_Report
