#ifndef APP_REPORT_REPORT_COLLECTOR_H
#define APP_REPORT_REPORT_COLLECTOR_H

#include <Quillon.h>

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

namespace Service_Report {

// Reads everything a service report shows, once, through a running worker:
// one one-shot request per value, with the library's time-out and resends.
// The fault word FM1 goes first, alone, so that a controller that does not
// answer at all is known after one request's resends rather than all of them.
// Collected follows in every case; a value whose request was not answered is
// simply absent from Answers().
class Collector : public QObject
{
    Q_OBJECT

public:
    explicit Collector(QObject* parent = nullptr);
    ~Collector() override;

    // Every code read, in the order the requests go out.
    static const QStringList& Codes();
    // Starts a reading; false while one runs or without a worker.
    bool Start(Quillon::COM_485_Class* worker);
    bool Is_Running() const { return running; }
    // The valid answers of the last reading, by command code.
    const QHash<QString, Quillon::Packet_Shared_Ptr>& Answers() const { return answers; }
    // The codes without an answer, in request order.
    QStringList Not_Read() const;

    // A reading that has not ended by then ends with what it has.
    static constexpr int Longest_Ms = 60000;

signals:
    void Collected();

private slots:
    void Rx_Answer(QSharedPointer<Quillon::Packet_Class> response);
    void Item_Finished(Quillon::Disconnect_Enum reason, Quillon::TX_Scheduler_Item_Class* item);

private:
    void finish();

    QList<Quillon::Packet_Shared_Ptr> requests;
    QList<Quillon::TX_Sched_Item_Send_Once_Class*> items;
    QHash<QString, Quillon::Packet_Shared_Ptr> answers;
    QPointer<Quillon::COM_485_Class> worker;
    QTimer watchdog;
    int outstanding = 0;
    bool running = false;
};

} // namespace Service_Report

#endif // APP_REPORT_REPORT_COLLECTOR_H
