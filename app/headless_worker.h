#ifndef APP_HEADLESS_WORKER_H
#define APP_HEADLESS_WORKER_H

#include <Quillon.h>

class QThread;

// A worker on a thread of its own, for a run without the window (a report, a
// guided test): started by Start, stopped when this goes. A worker still busy
// two seconds after it was told to stop is left, with its thread, to go once
// the thread ends, rather than deleted under it.
class Headless_Worker
{
public:
    explicit Headless_Worker(Quillon::COM_Resource* resource);
    ~Headless_Worker();
    Headless_Worker(const Headless_Worker&) = delete;
    Headless_Worker& operator=(const Headless_Worker&) = delete;

    void Start();
    Quillon::COM_485_Class* Worker() const { return worker; }

private:
    QThread* thread;
    Quillon::COM_485_Class* worker;
};

#endif // APP_HEADLESS_WORKER_H
