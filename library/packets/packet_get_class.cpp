#include "packet_get_class.h"

#include "request_text.h"

namespace Quillon {

void Packet_Get_Class::set_default_data(char* buf)
{
    adopt_data(buf);
    detail::write_request_head(Data, "get", getName());
}

} // namespace Quillon
