#include "move_delegate_si_class.h"

#include <sanitizer_locks.h>

#include <QByteArray>

namespace Quillon {

namespace {

// The delegate's protocol item. It reads Next_TX_Pkt and changes State on the
// worker thread while setMove_state changes them on the user interface
// thread, so it does so under the delegate's lock.
class Move_Item : public TX_Sched_Item_Protocol_Class
{
public:
    explicit Move_Item(QMutex& lock) : state_lock(lock) {}

    Item_action_enum DefaultStartingAction() override
    {
        detail::Locker lock(state_lock);
        return TX_Sched_Item_Protocol_Class::DefaultStartingAction();
    }

    QSharedPointer<Packet_Class> Run() override
    {
        detail::Locker lock(state_lock);
        return TX_Sched_Item_Protocol_Class::Run();
    }

    void Rx_Expected_Packet(const QSharedPointer<Packet_Class>& answer) override
    {
        Retry_Count = 0;
        clear_request_timeout();
        // The delegate judges the answer under the lock itself.
        emit Rx(answer);
        detail::Locker lock(state_lock);
        update_action_unless_done();
    }

private:
    QMutex& state_lock;
};

Packet_Shared_Ptr move_packet(Packet_Class* packet)
{
    packet->setResponse_FiltertoDefault();
    return Packet_Shared_Ptr(packet);
}

bool is_ok(const QSharedPointer<Packet_Class>& response)
{
    if (!response)
        return false;
    const char* data = response->getData();
    return data && QByteArray(data, response->getLength()) == QByteArray("<OK>");
}

} // namespace

Move_Delegate_SI_Class::Move_Delegate_SI_Class(int side, QObject* parent) : QObject(parent)
{
    static const int registered = qRegisterMetaType<Move_State_Enum>("Quillon::Move_State_Enum");
    Q_UNUSED(registered)

    if (side == 0) {
        _lower_pkt = move_packet(new Packet_Go_MDN);
        _raise_pkt = move_packet(new Packet_Go_MDP);
    } else {
        _lower_pkt = move_packet(new Packet_Go_MCN);
        _raise_pkt = move_packet(new Packet_Go_MCP);
    }
    _lower_pkt->AllocateData();
    _raise_pkt->AllocateData();

    Scheduler_Item = new Move_Item(state_lock);
    Scheduler_Item->set_theTX_pkt(_lower_pkt);
    // Held at rest: a scheduled delegate sends nothing until a press.
    Scheduler_Item->setState(Protocol_Repeat);
    Scheduler_Item->setState(Protocol_Idle);
    connect(Scheduler_Item, SIGNAL(Rx(QSharedPointer<Quillon::Packet_Class>)), this,
            SLOT(Rx(QSharedPointer<Quillon::Packet_Class>)), Qt::DirectConnection);
}

Move_Delegate_SI_Class::~Move_Delegate_SI_Class()
{
    delete Scheduler_Item;
}

Move_State_Enum Move_Delegate_SI_Class::getMove_state() const
{
    detail::Locker lock(state_lock);
    return move_state;
}

void Move_Delegate_SI_Class::setMove_state(Move_State_Enum s)
{
    detail::Locker lock(state_lock);
    apply_move_state(s);
}

void Move_Delegate_SI_Class::apply_move_state(Move_State_Enum s)
{
    move_state = s;
    switch (s) {
    case Move_Lower:
        Scheduler_Item->Set_Next_TX_Pkt(_lower_pkt);
        advance();
        break;
    case Move_Raise:
        Scheduler_Item->Set_Next_TX_Pkt(_raise_pkt);
        advance();
        break;
    case Move_Idle:
        // A step still in flight ends by itself after its answer.
        if (Scheduler_Item->State() == Protocol_Repeat)
            Scheduler_Item->setState(Protocol_Idle);
        break;
    }
}

void Move_Delegate_SI_Class::advance()
{
    switch (Scheduler_Item->State()) {
    case Protocol_Idle:
        Scheduler_Item->setState(Protocol_Step);
        break;
    case Protocol_Step:
        Scheduler_Item->setState(Protocol_Repeat);
        break;
    default:
        break;
    }
}

void Move_Delegate_SI_Class::Rx(QSharedPointer<Packet_Class> response)
{
    Move_State_Enum refused = Move_Idle;
    {
        // Reading the wanted state and acting on it is one step, so that a
        // release between the two cannot restart the movement.
        detail::Locker lock(state_lock);
        if (is_ok(response)) {
            apply_move_state(move_state);
            return;
        }
        refused = move_state;
        apply_move_state(Move_Idle);
    }
    emit Move_Failed(refused);
}

} // namespace Quillon
