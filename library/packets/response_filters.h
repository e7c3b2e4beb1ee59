#ifndef QUILLON_RESPONSE_FILTERS_H
#define QUILLON_RESPONSE_FILTERS_H

#include "packet_class.h"

namespace Quillon {

// Accepts any well-formed system response.
QUILLON_EXPORT bool System_Response_Filter(Packet_Class* received);
// Accepts only the system response "<OK>".
QUILLON_EXPORT bool OK_Response_Filter(Packet_Class* received);

// Accepts a valid packet of one response type: the answer of one Get command.
template <int Type> bool Type_Response_Filter(Packet_Class* received)
{
    return received && received->ID() == Type && received->Valid;
}

} // namespace Quillon

#endif // QUILLON_RESPONSE_FILTERS_H
