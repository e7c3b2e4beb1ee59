#include "entry_points.h"

#include "packets/packet_class.h"
#include "scheduling_enums.h"
#include "tx_sched_item_protocol_class.h"

#include <QMetaType>

namespace Quillon {

namespace {
const char Library_Version[] = "1.0";
const char Library_Date_Code[] = "1503231043";
} // namespace

int init()
{
    // Each type is registered once per process; the ids are kept for later
    // calls. The handle's registration also registers its conversion to a
    // plain object pointer, which Qt removes when the library is unloaded.
    static const int packet_handle_id = qRegisterMetaType<QSharedPointer<Quillon::Packet_Class>>(
        "QSharedPointer<Quillon::Packet_Class>");
    static const int protocol_state_id =
        qRegisterMetaType<Quillon::Protocol_State_Enum>("Quillon::Protocol_State_Enum");
    static const int item_id =
        qRegisterMetaType<Quillon::TX_Scheduler_Item_Class*>("Quillon::TX_Scheduler_Item_Class*");
    static const int protocol_item_id = qRegisterMetaType<Quillon::TX_Sched_Item_Protocol_Class*>(
        "Quillon::TX_Sched_Item_Protocol_Class*");
    static const int disconnect_id =
        qRegisterMetaType<Quillon::Disconnect_Enum>("Quillon::Disconnect_Enum");
    Q_UNUSED(packet_handle_id)
    Q_UNUSED(protocol_state_id)
    Q_UNUSED(item_id)
    Q_UNUSED(protocol_item_id)
    return disconnect_id;
}

QString getversion()
{
    return QString::fromLatin1(Library_Version);
}

QString getdatecode()
{
    return QString::fromLatin1(Library_Date_Code);
}

QString getfullversion()
{
    return getversion() + QLatin1Char('.') + getdatecode();
}

} // namespace Quillon
