#include "rx_scheduler_class.h"

#include "com_resource.h"

namespace Quillon {

RX_Scheduler_Class::RX_Scheduler_Class(COM_Resource* resource, QObject* parent)
    : QObject(parent), Resource(resource)
{}

bool RX_Scheduler_Class::Discard_Buffers()
{
    if (Phase != 0)
        return true;
    if (!Resource->DiscardBuffers()) {
        Resource->Set_Last_Error(QStringLiteral("Discarding the I/O buffers for COM port ") +
                                 Resource->Port_Name_Text() + QStringLiteral(" Failed"));
        Resource->COM_Command = COM_Resource::COM_Shutdown;
        return false;
    }
    Phase = 1;
    return true;
}

void RX_Scheduler_Class::Body()
{
    const bool awaiting = Resource->Tracker.Is_Tracking();
    while (int(Resource->COM_Command) == COM_Resource::COM_Run) {
        if (!Discard_Buffers())
            return;

        // Deliver every frame that is already buffered.
        int result;
        while ((result = Resource->Look_For_Packet(false)) == 0) {
        }
        if (result == 2) {
            Resource->COM_Command = COM_Resource::COM_Shutdown;
            return;
        }
        // The answer was already buffered: the line is free for the next
        // request, so do not sit out an idle read first.
        if (awaiting && !Resource->Tracker.Is_Tracking())
            return;

        const int waited = Resource->Look_For_Packet(true);
        Packet_Shared_Ptr expired;
        const bool settled = Resource->Tracker.Manage(expired);
        if (expired) {
            emit Resource->Rx_Timeout_Expected(expired);
            emit expired->Rx_Timeout_Expected();
        }
        if (waited == 2) {
            Resource->COM_Command = COM_Resource::COM_Shutdown;
            return;
        }
        if (settled)
            return;
    }
}

} // namespace Quillon
