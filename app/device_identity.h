#ifndef APP_DEVICE_IDENTITY_H
#define APP_DEVICE_IDENTITY_H

#include <Quillon.h>

#include <QList>
#include <QObject>

// Reads the controller's serial number (SN1-SN4), part number and revision
// once each time a port opens, whatever tab is shown, so that a recording
// and a report know which controller they describe from the first second.
// The answers reach their listeners through the resource, as any other.
class Device_Identity : public QObject
{
    Q_OBJECT

public:
    explicit Device_Identity(QObject* parent = nullptr);
    // The worker must have stopped (or never have listed the reads).
    ~Device_Identity() override;

    // Schedules the reads on a worker that has just started.
    void Read(Quillon::COM_485_Class* worker);
    const QList<Quillon::TX_Sched_Item_Send_Once_Class*>& Items() const { return Reads; }

private:
    QList<Quillon::Packet_Shared_Ptr> Requests;
    QList<Quillon::TX_Sched_Item_Send_Once_Class*> Reads;
};

#endif // APP_DEVICE_IDENTITY_H
