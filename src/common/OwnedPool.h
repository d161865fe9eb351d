#pragma once
// Threads of its own for one kind of background work, so that it never waits behind (or
// holds up) another kind. Owned by the application, so the pool ends, and waits for its
// work, before the application does. Made on the main thread.
#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

namespace corvane {

inline QThreadPool *ownedPool(QPointer<QThreadPool> &pool, int maxThreads)
{
    if (!pool) {
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setMaxThreadCount(maxThreads);
    }
    return pool;
}

} // namespace corvane
