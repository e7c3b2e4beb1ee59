#include "catalogue_packets.h"

#include <cstring>

namespace Quillon {

Packet_Class* Create_Response_Packet(int type)
{
    switch (type) {
#define QUILLON_RESPONSE_CASE(code, get_type, response_type, base, kind)                           \
    case response_type:                                                                            \
        return new Packet_Resp_##code;
        QUILLON_VALUE_COMMANDS(QUILLON_RESPONSE_CASE)
#undef QUILLON_RESPONSE_CASE
#define QUILLON_UNSOLICITED_CASE(code, response_type, base)                                        \
    case response_type:                                                                            \
        return new Packet_Resp_##code;
        QUILLON_UNSOLICITED_RESPONSES(QUILLON_UNSOLICITED_CASE)
#undef QUILLON_UNSOLICITED_CASE
    case Packet_Resp_System::packet_type:
        return new Packet_Resp_System;
    default:
        return nullptr;
    }
}

Packet_Class* Create_Request_Packet(int type)
{
    switch (type) {
#define QUILLON_GET_CASE(code, get_type, response_type, base, kind)                                \
    case get_type:                                                                                 \
        return new Packet_Get_##code;
        QUILLON_VALUE_COMMANDS(QUILLON_GET_CASE)
#undef QUILLON_GET_CASE
#define QUILLON_GO_CASE(code, type)                                                                \
    case type:                                                                                     \
        return new Packet_Go_##code;
        QUILLON_GO_COMMANDS(QUILLON_GO_CASE)
#undef QUILLON_GO_CASE
#define QUILLON_SET_CASE(code, type, family, filter, kind)                                         \
    case type:                                                                                     \
        return new Packet_Set_##code;
        QUILLON_SET_COMMANDS(QUILLON_SET_CASE)
#undef QUILLON_SET_CASE
    default:
        return nullptr;
    }
}

int Response_Type_Of(const char* code)
{
    if (!code)
        return -1;
    struct Entry
    {
        const char* code;
        int type;
    };
    static const Entry entries[] = {
#define QUILLON_VALUE_ENTRY(code, get_type, response_type, base, kind) {#code, response_type},
        QUILLON_VALUE_COMMANDS(QUILLON_VALUE_ENTRY)
#undef QUILLON_VALUE_ENTRY
#define QUILLON_UNSOLICITED_ENTRY(code, response_type, base) {#code, response_type},
            QUILLON_UNSOLICITED_RESPONSES(QUILLON_UNSOLICITED_ENTRY)
#undef QUILLON_UNSOLICITED_ENTRY
    };
    for (const Entry& e : entries) {
        if (std::strncmp(e.code, code, 3) == 0 && std::strlen(code) == 3)
            return e.type;
    }
    return -1;
}

} // namespace Quillon
