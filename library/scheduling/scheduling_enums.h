#ifndef QUILLON_SCHEDULING_ENUMS_H
#define QUILLON_SCHEDULING_ENUMS_H

#include <QMetaType>

namespace Quillon {

// What the transmit scheduler does with an item.
enum Item_action_enum : quint8
{
    Action_Start = 0,      // eligible: selected in its turn and sent
    Action_Running = 1,    // in an exchange: sent again at once, keeping the line
    Action_Done = 2,       // finished normally: removed at the next selection
    Action_Disconnect = 3, // ended abnormally: removed and reported with its reason
    Action_Repeat = 4,     // served for now: selected again in its next turn
    Action_Hold = 5        // listed but never selected
};

// Why a transaction ended.
enum Disconnect_Enum : quint8
{
    Disconnect_None = 0,
    Disconnect_Timeout = 1,
    Disconnect_COM_Error = 2,
    Disconnect_Shutdown = 3
};

// The state of a state-driven item; other values are kept but change nothing.
enum Protocol_State_Enum : quint8
{
    Protocol_Idle = 0,
    Protocol_Step = 1,
    Protocol_Repeat = 2
};

} // namespace Quillon

Q_DECLARE_METATYPE(Quillon::Item_action_enum)
Q_DECLARE_METATYPE(Quillon::Disconnect_Enum)
Q_DECLARE_METATYPE(Quillon::Protocol_State_Enum)

#endif // QUILLON_SCHEDULING_ENUMS_H
