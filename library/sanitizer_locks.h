#ifndef QUILLON_SANITIZER_LOCKS_H
#define QUILLON_SANITIZER_LOCKS_H

// Locking helpers for the library's own mutexes and threads. Debian's Qt is
// not built with ThreadSanitizer, so TSan cannot see QMutex, QWaitCondition
// or QThread::wait() by itself. In a TSan build these helpers announce each
// lock, unlock and thread join; in every other build they are plain calls.

#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#if defined(QUILLON_TSAN)
#include <sanitizer/tsan_interface.h>
#endif

namespace Quillon {
namespace detail {

inline void lock(QMutex& m)
{
#if defined(QUILLON_TSAN)
    __tsan_mutex_pre_lock(&m, 0);
    m.lock();
    __tsan_mutex_post_lock(&m, 0, 0);
#else
    m.lock();
#endif
}

inline void unlock(QMutex& m)
{
#if defined(QUILLON_TSAN)
    __tsan_mutex_pre_unlock(&m, 0);
    m.unlock();
    __tsan_mutex_post_unlock(&m, 0);
#else
    m.unlock();
#endif
}

// Waits on a condition with `m` held; `m` is released while waiting.
inline void wait(QWaitCondition& c, QMutex& m)
{
#if defined(QUILLON_TSAN)
    __tsan_mutex_pre_unlock(&m, 0);
    __tsan_mutex_post_unlock(&m, 0);
    c.wait(&m);
    __tsan_mutex_pre_lock(&m, 0);
    __tsan_mutex_post_lock(&m, 0, 0);
#else
    c.wait(&m);
#endif
}

class Locker
{
public:
    explicit Locker(QMutex& m) : mutex(m) { lock(mutex); }
    ~Locker() { unlock(mutex); }
    Locker(const Locker&) = delete;
    Locker& operator=(const Locker&) = delete;

private:
    QMutex& mutex;
};

// Call on the finishing thread (a direct connection to QThread::finished).
inline void thread_finished(QThread* thread)
{
#if defined(QUILLON_TSAN)
    __tsan_release(thread);
#else
    Q_UNUSED(thread)
#endif
}

// Call after QThread::wait() returned true.
inline void thread_joined(QThread* thread)
{
#if defined(QUILLON_TSAN)
    __tsan_acquire(thread);
#else
    Q_UNUSED(thread)
#endif
}

} // namespace detail
} // namespace Quillon

#endif // QUILLON_SANITIZER_LOCKS_H
