#include "worker_rig.h"

#include <sanitizer_locks.h>

Worker_Rig::Worker_Rig()
{
    Quillon::init();
    QObject::connect(&thread, &QThread::finished,
                     [this] { Quillon::detail::thread_finished(&thread); });
}

Worker_Rig::~Worker_Rig()
{
    stop();
}

bool Worker_Rig::start(QString* error)
{
    std::string sim_error;
    if (!sim.start(&sim_error)) {
        if (error)
            *error = QString::fromStdString(sim_error);
        return false;
    }
    owned_resource.reset(new Quillon::COM_Resource(nullptr));
    resource = owned_resource.get();
    const QString path = QString::fromStdString(sim.device_path());
    QString open_error;
    if (!resource->OpenComPort(&path, open_error)) {
        if (error)
            *error = open_error;
        return false;
    }
    worker = new Quillon::COM_485_Class(resource);
    worker->moveToThread(&thread);
    thread.start();
    emit worker->startWork();
    return true;
}

void Worker_Rig::stop()
{
    if (worker) {
        if (thread.isRunning()) {
            worker->setShutdown();
            worker->Resume();
            worker->waitForShutdown();
            thread.quit();
            thread.wait();
            Quillon::detail::thread_joined(&thread);
        }
        delete worker;
        worker = nullptr;
    }
    owned_resource.reset();
    resource = nullptr;
    sim.stop();
}
