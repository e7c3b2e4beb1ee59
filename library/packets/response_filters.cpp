#include "response_filters.h"

#include "packet_resp_system.h"

#include <cstring>

namespace Quillon {

bool System_Response_Filter(Packet_Class* received)
{
    return received && received->ID() == Packet_Resp_System::packet_type && received->Valid;
}

bool OK_Response_Filter(Packet_Class* received)
{
    if (!System_Response_Filter(received))
        return false;
    // The whole text must be "<OK>": a prefix of it (say a bare "<") is not.
    return received->getLength() == 4 && std::memcmp(received->getData(), "<OK>", 4) == 0;
}

} // namespace Quillon
