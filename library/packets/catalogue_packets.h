#ifndef QUILLON_CATALOGUE_PACKETS_H
#define QUILLON_CATALOGUE_PACKETS_H

// Every packet leaf class of the command catalogue. The hand-written ones
// come from command_packets.h; the rest are expanded here from the tables of
// command_catalogue.h.

#include "command_catalogue.h"
#include "command_packets.h"
#include "packet_go_class.h"
#include "packet_resp_system.h"
#include "response_filters.h"

namespace Quillon {

#define QUILLON_RESPONSE_CLASS_TABLE(code, type, base)                                             \
    class QUILLON_EXPORT Packet_Resp_##code : public base                                          \
    {                                                                                              \
    public:                                                                                        \
        static const int packet_type = type;                                                       \
        explicit Packet_Resp_##code(QObject* parent = nullptr) : base(parent) {}                   \
        int ID() override { return packet_type; }                                                  \
    };
#define QUILLON_RESPONSE_CLASS_OWN(code, type, base)
#define QUILLON_RESPONSE_CLASS(code, get_type, type, base, kind)                                   \
    QUILLON_RESPONSE_CLASS_##kind(code, type, base)

QUILLON_VALUE_COMMANDS(QUILLON_RESPONSE_CLASS)
QUILLON_UNSOLICITED_RESPONSES(QUILLON_RESPONSE_CLASS_TABLE)

#define QUILLON_REQUEST_CLASS(kind, code, type, family, filter)                                    \
    class QUILLON_EXPORT Packet_##kind##_##code : public family                                    \
    {                                                                                              \
    public:                                                                                        \
        static const int packet_type = type;                                                       \
        explicit Packet_##kind##_##code(QObject* parent = nullptr) : family(parent)                \
        {                                                                                          \
            setResponse_FiltertoDefault();                                                         \
        }                                                                                          \
        int ID() override { return packet_type; }                                                  \
        const char* getName() override { return #code; }                                           \
        void setResponse_FiltertoDefault() override { Response_Filter = filter; }                  \
    };

#define QUILLON_GET_CLASS(code, type, response_type, base, kind)                                   \
    QUILLON_REQUEST_CLASS(Get, code, type, Packet_Get_Class, Type_Response_Filter<response_type>)
QUILLON_VALUE_COMMANDS(QUILLON_GET_CLASS)

#define QUILLON_GO_CLASS(code, type)                                                               \
    QUILLON_REQUEST_CLASS(Go, code, type, Packet_Go_Class, System_Response_Filter)
QUILLON_GO_COMMANDS(QUILLON_GO_CLASS)

#define QUILLON_SET_CLASS_TABLE(code, type, family, filter)                                        \
    QUILLON_REQUEST_CLASS(Set, code, type, family, filter)
#define QUILLON_SET_CLASS_OWN(code, type, family, filter)
#define QUILLON_SET_CLASS(code, type, family, filter, kind)                                        \
    QUILLON_SET_CLASS_##kind(code, type, family, filter)
QUILLON_SET_COMMANDS(QUILLON_SET_CLASS)

#undef QUILLON_REQUEST_CLASS
#undef QUILLON_RESPONSE_CLASS_TABLE
#undef QUILLON_RESPONSE_CLASS_OWN
#undef QUILLON_RESPONSE_CLASS
#undef QUILLON_GET_CLASS
#undef QUILLON_GO_CLASS
#undef QUILLON_SET_CLASS_TABLE
#undef QUILLON_SET_CLASS_OWN
#undef QUILLON_SET_CLASS

// A new, empty response packet of a received frame's type (35-70, or the
// system type 84); null for any other type.
QUILLON_EXPORT Packet_Class* Create_Response_Packet(int type);

// A new request packet of a type number (0-34 Get, 71-77 Go, 78-83 Set),
// with its default filter but no buffer yet; null for any other type.
QUILLON_EXPORT Packet_Class* Create_Request_Packet(int type);

// The packet type of a value response code ("DSA" gives 44); -1 if unknown.
QUILLON_EXPORT int Response_Type_Of(const char* code);

} // namespace Quillon

#endif // QUILLON_CATALOGUE_PACKETS_H
