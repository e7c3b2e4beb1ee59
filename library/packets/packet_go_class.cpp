#include "packet_go_class.h"

#include "request_text.h"

namespace Quillon {

void Packet_Go_Class::set_default_data(char* buf)
{
    adopt_data(buf);
    detail::write_request_head(Data, "go", getName());
}

} // namespace Quillon
