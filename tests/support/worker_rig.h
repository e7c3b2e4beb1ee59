#ifndef TESTS_WORKER_RIG_H
#define TESTS_WORKER_RIG_H

// A worker on its own thread, talking to a virtual controller over a
// pseudo-terminal: the library's whole serial path, as the program runs it.

#include <Quillon.h>
#include <virtual_controller.h>

#include <QString>
#include <QThread>

#include <memory>
#include <vector>

class Worker_Rig
{
public:
    Worker_Rig();
    ~Worker_Rig();

    // Starts the controller, opens its device and starts the worker.
    bool start(QString* error = nullptr);
    // Asks the worker to shut down and waits for its thread.
    void stop();

    // Keeps a receiver of the worker's signals (or an item it serves) until
    // the worker has stopped: one destroyed while the worker still emits to
    // it races inside Qt.
    template <class T> T& keep(T* object)
    {
        kept.emplace_back(object);
        return *object;
    }
    // A kept item that sends REQUEST over and over once it is scheduled.
    Quillon::TX_Sched_Item_Protocol_Class& repeating(Quillon::Packet_Class* request);

    Sim::Virtual_Controller sim;
    Quillon::COM_Resource* resource = nullptr;
    Quillon::COM_485_Class* worker = nullptr;
    QThread thread;

private:
    std::unique_ptr<Quillon::COM_Resource> owned_resource;
    std::vector<std::unique_ptr<QObject>> kept;
};

// Starts RIG in a test function, failing it with the reason when it cannot.
#define START_RIG(rig)                                                                             \
    do {                                                                                           \
        QString rig_error_;                                                                        \
        QVERIFY2((rig).start(&rig_error_), qPrintable(rig_error_));                                \
    } while (false)

#endif // TESTS_WORKER_RIG_H
