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

    Sim::Virtual_Controller sim;
    Quillon::COM_Resource* resource = nullptr;
    Quillon::COM_485_Class* worker = nullptr;
    QThread thread;

private:
    std::unique_ptr<Quillon::COM_Resource> owned_resource;
    std::vector<std::unique_ptr<QObject>> kept;
};

#endif // TESTS_WORKER_RIG_H
