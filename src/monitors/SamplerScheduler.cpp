#include "monitors/SamplerScheduler.h"

#include "common/Log.h"
#include "common/ThreadName.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QSemaphore>

#include <cmath>
#include <memory>
#include <mutex>

namespace corvane {

namespace {
// The shared sampler thread lives while any scheduler uses it.
QMutex g_sharedLock;
QThread *g_sharedThread = nullptr;
int g_sharedUsers = 0;

// Bounded joins on the way out (boundJoins); GUI thread only.
std::chrono::steady_clock::time_point g_joinDeadline;
std::function<void()> g_abandon;

QDeadlineTimer joinTimer()
{
    using namespace std::chrono;
    const auto left = duration_cast<milliseconds>(g_joinDeadline - steady_clock::now()).count();
    return QDeadlineTimer(std::max<qint64>(0, left));
}

void giveUp(const QString &thread)
{
    qCWarning(lcMonitors).noquote() << "thread" << thread << "is stuck in a read: the app ends without waiting for it";
    g_abandon();
}

void join(QThread &t)
{
    if (g_abandon && !t.wait(joinTimer()))
        giveUp(t.objectName());
    t.wait();
}

QThread *acquireSharedThread()
{
    QMutexLocker lock(&g_sharedLock);
    if (!g_sharedThread) {
        g_sharedThread = new QThread;
        g_sharedThread->setObjectName(QString::fromLatin1(SamplerScheduler::kSharedThreadName));
        nameThreadOnStart(*g_sharedThread, g_sharedThread->objectName());
        g_sharedThread->start();
    }
    ++g_sharedUsers;
    return g_sharedThread;
}

void releaseSharedThread()
{
    QThread *done = nullptr;
    {
        QMutexLocker lock(&g_sharedLock);
        if (--g_sharedUsers == 0) {
            done = g_sharedThread;
            g_sharedThread = nullptr;
        }
    }
    if (done) {
        done->quit();
        join(*done);
        delete done;
    }
}
} // namespace

double Cadence::firstDelay(double now) const
{
    switch (kind) {
    case Kind::Offset:
        return offset;
    case Kind::WholeSecond:
    case Kind::Aligned: {
        const double step = kind == Kind::WholeSecond ? 1.0 : interval;
        double f = std::fmod(now, step);
        if (f < 0)
            f += step;
        return step - f; // f == 0 gives a whole step, never 0
    }
    }
    return interval;
}

double Cadence::nextDeadline(double servedDeadline, double now) const
{
    const double next = servedDeadline + interval;
    const double delay = next - now;
    if (delay <= 0 || delay > 2 * interval)
        return now + firstDelay(now);
    return next;
}

SchedulerWorker::SchedulerWorker(SamplerScheduler::Tick tick, const Clock &clock)
    : m_tick(std::move(tick)), m_clock(clock)
{
}

double SchedulerWorker::now() const
{
    return m_cadence.usesWallClock() ? m_clock.wallSeconds()
                                     : static_cast<double>(m_clock.monotonicNs()) / 1e9;
}

static int toTimerMs(double seconds)
{
    // Round up so a whole-second tick never lands just before the second.
    const double ms = std::ceil(std::max(0.0, seconds) * 1000.0);
    return ms > 1e9 ? 1'000'000'000 : static_cast<int>(ms);
}

void SchedulerWorker::arm(Cadence cadence)
{
    if (!m_timer) {
        m_timer = new QTimer(this);
        m_timer->setSingleShot(true);
        m_timer->setTimerType(Qt::PreciseTimer);
        connect(m_timer, &QTimer::timeout, this, &SchedulerWorker::fire);
    }
    m_cadence = cadence;
    const double t = now();
    m_deadline = t + m_cadence.firstDelay(t);
    m_timer->start(toTimerMs(m_deadline - t));
}

void SchedulerWorker::disarm()
{
    if (m_timer)
        m_timer->stop();
}

void SchedulerWorker::destroyTimer()
{
    delete m_timer;
    m_timer = nullptr;
}

void SchedulerWorker::tickOnce()
{
    ++ticks;
    m_tick();
}

void SchedulerWorker::fire()
{
    ++ticks;
    m_tick();
    // The tick may have been long; re-arm against the schedule, not against its end.
    const double t = now();
    m_deadline = m_cadence.nextDeadline(m_deadline, t);
    if (m_timer)
        m_timer->start(toTimerMs(m_deadline - t));
}

SamplerScheduler::SamplerScheduler(const QString &label, Cadence cadence, Tick tick,
                                   Placement placement, const Clock &clock, QObject *parent)
    : QObject(parent), m_label(label), m_cadence(cadence), m_clock(clock)
{
    if (placement != Placement::CallerThread) {
        // Two workers may run the tick, one at a time.
        auto lock = std::make_shared<std::mutex>();
        tick = [lock, t = std::move(tick)] {
            std::lock_guard guard(*lock);
            t();
        };
    }
    if (placement == Placement::SharedThread)
        m_alternate = new SchedulerWorker(tick, m_clock);
    else if (placement == Placement::OwnThread)
        m_guardedTick = tick; // for the worker on the shared thread, once needed
    m_worker = new SchedulerWorker(std::move(tick), m_clock);
    if (placement == Placement::OwnThread) {
        // The timer belongs to the sampler thread: delete it there before the thread ends.
        SchedulerWorker *w = m_worker;
        m_thread = std::make_unique<WorkerThread>(label, w, [w] { w->destroyTimer(); });
    } else if (placement == Placement::SharedThread) {
        m_shared = acquireSharedThread();
        m_worker->moveToThread(m_shared);
    }
}

// Deletes a worker that lives on the shared thread, there: the shared thread runs one tick
// at a time, so once this runs no tick of it is in progress, and none comes after.
static void deleteOnSharedThread(SchedulerWorker *w, QThread *shared)
{
    if (QThread::currentThread() == shared) {
        delete w;
    } else if (g_abandon) {
        auto deleted = std::make_shared<QSemaphore>();
        QMetaObject::invokeMethod(w, [w, deleted] { delete w; deleted->release(); }, Qt::QueuedConnection);
        if (!deleted->tryAcquire(1, static_cast<int>(joinTimer().remainingTime()))) {
            giveUp(shared->objectName());
            deleted->acquire();
        }
    } else {
        QMetaObject::invokeMethod(w, [w] { delete w; }, Qt::BlockingQueuedConnection);
    }
}

void SamplerScheduler::boundJoins(std::chrono::steady_clock::time_point deadline, std::function<void()> abandon)
{
    g_joinDeadline = deadline;
    g_abandon = std::move(abandon);
}

WorkerThread::WorkerThread(const QString &name, QObject *worker, std::function<void()> finished)
    : m_thread(std::make_unique<QThread>()), m_worker(worker)
{
    m_thread->setObjectName(name);
    nameThreadOnStart(*m_thread, name);
    m_worker->moveToThread(m_thread.get());
    if (finished)
        QObject::connect(m_thread.get(), &QThread::finished, m_worker, std::move(finished), Qt::DirectConnection);
    m_thread->start();
}

WorkerThread::~WorkerThread()
{
    m_thread->quit();
    join(*m_thread);
    // Deleted here, not by deleteLater: a thread told to quit before its loop ran, or one
    // ending while the application is torn down, never delivers that deletion.
    delete m_worker;
}

SamplerScheduler::~SamplerScheduler()
{
    if (m_thread) {
        m_thread.reset(); // joins, then deletes m_worker
        if (m_alternate) {
            deleteOnSharedThread(m_alternate, m_shared);
            releaseSharedThread();
        }
    } else if (m_shared) {
        deleteOnSharedThread(m_worker, m_shared);
        releaseSharedThread();
        m_alternate->destroyTimer();
        delete m_alternate;
    } else {
        m_worker->destroyTimer();
        delete m_worker;
    }
}

void SamplerScheduler::start()
{
    m_active = true;
    const Cadence c = m_cadence;
    SchedulerWorker *w = current();
    QMetaObject::invokeMethod(w, [w, c] { w->arm(c); }, Qt::AutoConnection);
}

void SamplerScheduler::stop()
{
    m_active = false;
    SchedulerWorker *w = current();
    QMetaObject::invokeMethod(w, [w] { w->disarm(); }, Qt::AutoConnection);
}

void SamplerScheduler::stopAndWait()
{
    stop();
    for (SchedulerWorker *w : {m_worker, m_alternate}) {
        if (w && w->thread() != QThread::currentThread())
            QMetaObject::invokeMethod(w, [w] { w->disarm(); }, Qt::BlockingQueuedConnection);
    }
}

void SamplerScheduler::tickNow()
{
    SchedulerWorker *w = m_worker;
    QMetaObject::invokeMethod(w, [w] { w->tickOnce(); }, Qt::QueuedConnection);
}

void SamplerScheduler::tickOnCreatingThread(bool on)
{
    if (!m_thread)
        useAlternate(on);
}

void SamplerScheduler::tickOnSharedThread(bool on)
{
    if (!m_thread)
        return;
    if (on && !m_alternate) {
        m_shared = acquireSharedThread();
        m_alternate = new SchedulerWorker(m_guardedTick, m_clock);
        m_alternate->moveToThread(m_shared);
    }
    useAlternate(on);
}

void SamplerScheduler::useAlternate(bool on)
{
    if (!m_alternate || on == m_onAlternate)
        return;
    const bool active = m_active;
    stop();
    m_onAlternate = on;
    if (active)
        start();
}

void SamplerScheduler::setCadence(Cadence cadence)
{
    m_cadence = cadence;
    if (m_active)
        start();
}

quint64 SamplerScheduler::tickCount() const
{
    return m_worker->ticks.load() + (m_alternate ? m_alternate->ticks.load() : 0);
}

} // namespace corvane
