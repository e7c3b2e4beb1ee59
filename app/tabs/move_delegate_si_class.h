#ifndef MOVE_DELEGATE_SI_CLASS_H
#define MOVE_DELEGATE_SI_CLASS_H

#include <Quillon.h>

#include <QMetaType>
#include <QMutex>
#include <QObject>

namespace Quillon {

// The wanted movement of one side.
enum Move_State_Enum : qint32
{
    Move_Idle = 0,
    Move_Lower = 1,
    Move_Raise = 2
};

} // namespace Quillon

Q_DECLARE_METATYPE(Quillon::Move_State_Enum)

namespace Quillon {

// Turns the press and release of a raise or lower button into traffic for one
// side: while a button is held the side's move command is sent again after
// each "<OK>", and it stops at the release or at the first refusal.
//
// setMove_state is called from the user interface thread (buttons) and from
// the worker thread (answers); one lock makes each call a single step, and
// the item takes the same lock where it reads or changes what setMove_state
// drives, so a press is never lost between an answer and the item's update.
class Move_Delegate_SI_Class : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Quillon::TX_Sched_Item_Protocol_Class* Scheduler_Item READ getScheduler_Item)
    Q_PROPERTY(Quillon::Move_State_Enum move_state READ getMove_state)

public:
    // side 0 is the driver's side, 1 the curb side.
    Move_Delegate_SI_Class(int side, QObject* parent = nullptr);
    ~Move_Delegate_SI_Class() override;

    void setMove_state(Quillon::Move_State_Enum s);
    Move_State_Enum getMove_state() const;
    TX_Sched_Item_Protocol_Class* getScheduler_Item() const { return Scheduler_Item; }

signals:
    void Move_Failed(Quillon::Move_State_Enum _move_state);

public slots:
    void Rx(QSharedPointer<Quillon::Packet_Class> response);

private:
    // setMove_state with the lock already held.
    void apply_move_state(Move_State_Enum s);
    void advance();

    Move_State_Enum move_state = Move_Idle;
    Packet_Shared_Ptr _lower_pkt;
    Packet_Shared_Ptr _raise_pkt;
    TX_Sched_Item_Protocol_Class* Scheduler_Item = nullptr;
    mutable QMutex state_lock;
};

} // namespace Quillon

#endif // MOVE_DELEGATE_SI_CLASS_H
