#include "headless_worker.h"

#include <QThread>

using namespace Quillon;

Headless_Worker::Headless_Worker(COM_Resource* resource)
    : thread(new QThread), worker(new COM_485_Class(resource, nullptr))
{
    resource->COM_Command = COM_Resource::COM_Run;
}

Headless_Worker::~Headless_Worker()
{
    if (worker->Stop_On(thread, 2000)) {
        delete worker;
        delete thread;
        return;
    }
    QObject::connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
}

void Headless_Worker::Start()
{
    worker->Start_On(thread);
}
