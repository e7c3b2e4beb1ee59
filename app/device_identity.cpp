#include "device_identity.h"

using namespace Quillon;

Device_Identity::Device_Identity(QObject* parent) : QObject(parent)
{
    for (Packet_Class* packet : std::initializer_list<Packet_Class*>{
             new Packet_Get_SN1, new Packet_Get_SN2, new Packet_Get_SN3, new Packet_Get_SN4,
             new Packet_Get_PRT, new Packet_Get_REV}) {
        packet->setResponse_FiltertoDefault();
        Packet_Shared_Ptr request(packet);
        request->AllocateData();
        Requests << request;
        Reads << new TX_Sched_Item_Send_Once_Class(Requests.last());
    }
}

Device_Identity::~Device_Identity()
{
    qDeleteAll(Reads);
}

void Device_Identity::Read(COM_485_Class* worker)
{
    if (!worker)
        return;
    for (TX_Sched_Item_Send_Once_Class* read : qAsConst(Reads))
        worker->TX_Scheduler->Schedule_Item(read);
}
