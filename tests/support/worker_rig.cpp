#include "worker_rig.h"

Worker_Rig::Worker_Rig()
{
    Quillon::init();
}

Worker_Rig::~Worker_Rig()
{
    stop();
    kept.clear();
}

bool Worker_Rig::start(QString* error)
{
    std::string sim_error;
    if (!sim.start(&sim_error)) {
        if (error)
            *error = QString::fromStdString(sim_error);
        return false;
    }
    owned_resource.reset(new Quillon::COM_Resource(nullptr));
    resource = owned_resource.get();
    const QString path = QString::fromStdString(sim.device_path());
    QString open_error;
    if (!resource->OpenComPort(&path, open_error)) {
        if (error)
            *error = open_error;
        return false;
    }
    worker = new Quillon::COM_485_Class(resource);
    worker->Start_On(&thread);
    return true;
}

void Worker_Rig::stop()
{
    if (worker) {
        worker->Stop_On(&thread);
        delete worker;
        worker = nullptr;
    }
    owned_resource.reset();
    resource = nullptr;
    sim.stop();
}

Quillon::TX_Sched_Item_Protocol_Class& Worker_Rig::repeating(Quillon::Packet_Class* request)
{
    auto& item = keep(new Quillon::TX_Sched_Item_Protocol_Class);
    request->AllocateData();
    Quillon::Packet_Shared_Ptr handle(request);
    item.set_theTX_pkt(handle);
    item.setState(Quillon::Protocol_Repeat);
    return item;
}
