#pragma once
// One scheduling component for every polling sampler.
//
// Cadences:
//  - whole second: first tick at the next whole second of the wall clock (a full
//    second later when standing exactly on one), then every second;
//  - offset: first tick after a fixed delay on the monotonic clock, then a fixed interval;
//  - aligned: ticks on wall-clock multiples of the interval (e.g. :00, :03, :06 for 3 s).
// Deadlines are re-armed from the previous deadline, not from "now", so the cadence never
// drifts; a deadline missed by a whole interval or more (suspend, clock jump) re-aligns.
//
// The tick runs on the scheduler's own thread (named after the sampler), on the one thread
// the quick procfs/sysfs samplers share, or on the thread that created the scheduler.
// Every wake-up of a thread costs more than such a read: samplers that tick on the same
// whole second share one wake-up on the shared thread. Stopping cancels the timer only; a
// tick in progress completes. Destroying the scheduler stops and joins its thread (on the
// shared thread: waits for its tick in progress, if any); on the way out of the app that wait
// is bounded (boundJoins).
#include "platform/Clock.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace corvane {

struct Cadence {
    enum class Kind { WholeSecond, Offset, Aligned };
    Kind kind = Kind::WholeSecond;
    double interval = 1.0; // seconds
    double offset = 0.0;   // seconds, Offset only

    static Cadence wholeSecond() { return {Kind::WholeSecond, 1.0, 0.0}; }
    static Cadence offsetThenEvery(double first, double interval) { return {Kind::Offset, interval, first}; }
    static Cadence alignedTo(double interval) { return {Kind::Aligned, interval, 0.0}; }
    // The live figures' cadence for a refresh interval: the whole second at 1 s, else
    // wall-clock multiples of the interval.
    static Cadence every(double seconds) { return seconds == 1.0 ? wholeSecond() : alignedTo(seconds); }

    bool usesWallClock() const { return kind != Kind::Offset; }
    // Delay from `now` (wall seconds for wall cadences, monotonic seconds otherwise)
    // to the first deadline. Never 0 for the wall cadences.
    double firstDelay(double now) const;
    // Given the deadline just served and the current time on the same clock, the next
    // deadline. Falls back to a fresh alignment when the schedule is off by an interval or more.
    double nextDeadline(double servedDeadline, double now) const;
};

class SchedulerWorker;

// A named thread with one object living on it: work queued to that object runs there, one
// piece at a time. Ending it lets the piece in progress finish (bounded on the way out of the
// app, see SamplerScheduler::boundJoins), drops what is still queued, runs `finished` on the
// thread as it ends and then deletes the object.
class WorkerThread {
public:
    explicit WorkerThread(const QString &name, QObject *worker = new QObject, std::function<void()> finished = {});
    ~WorkerThread();
    WorkerThread(const WorkerThread &) = delete;
    WorkerThread &operator=(const WorkerThread &) = delete;
    QObject *worker() const { return m_worker; }
    QThread *thread() const { return m_thread.get(); }

private:
    std::unique_ptr<QThread> m_thread;
    QObject *m_worker;
};

class SamplerScheduler : public QObject {
    Q_OBJECT
public:
    using Tick = std::function<void()>;
    enum class Placement { OwnThread, SharedThread, CallerThread };
    // The thread of SharedThread schedulers, named so.
    static constexpr const char *kSharedThreadName = "corvane.samplers";

    SamplerScheduler(const QString &label, Cadence cadence, Tick tick,
                     Placement placement = Placement::OwnThread,
                     const Clock &clock = Clock::system(), QObject *parent = nullptr);
    ~SamplerScheduler() override;

    // (Re)arms the cadence from now; there is never more than one live timer.
    void start();
    // Cancels the timer; a tick already running completes.
    void stop();
    // stop(), then waits for a tick running on another thread to end: by the return, what it
    // read has been handed over (for callers that must know nothing more arrives).
    void stopAndWait();
    // Runs one tick out of the cadence on the sampler's thread (on the shared or its own
    // thread, never the creating one unless it ticks only there), after any tick running
    // now; returns at once. The timer is left as it is.
    void tickNow();
    bool isActive() const { return m_active; }

    // Changes the cadence; an active scheduler restarts with it.
    void setCadence(Cadence cadence);
    Cadence cadence() const { return m_cadence; }

    const QString &label() const { return m_label; }
    // Number of ticks run so far (any thread may read it).
    quint64 tickCount() const;

    // A shared-thread scheduler's ticks move to the thread that created it (true), or back.
    // While nothing is on screen the main thread wakes each second anyway, to apply what the
    // samplers read: ticking there spares the shared thread's wake-up. A tick still running
    // on the other thread finishes before the first one here starts.
    void tickOnCreatingThread(bool on);
    bool ticksOnCreatingThread() const { return m_onAlternate && !m_thread; }

    // An own-thread scheduler's ticks move to the shared thread (true), or back. A sampler
    // whose reads are known to be quick then shares the others' wake-up, and goes back to
    // its own thread once a read may block. The same one-at-a-time rule as above.
    void tickOnSharedThread(bool on);
    bool ticksOnSharedThread() const { return m_onAlternate && m_thread; }

    // The way out: from now on, destroying a scheduler waits for its thread only until
    // `deadline`. A thread still busy then (a read stuck in the kernel) is left to `abandon`,
    // which must end the process: nothing that tick uses may be freed under it. An empty
    // `abandon` makes the waits unbounded again.
    static void boundJoins(std::chrono::steady_clock::time_point deadline, std::function<void()> abandon);

private:
    SchedulerWorker *current() const { return m_onAlternate ? m_alternate : m_worker; }
    void useAlternate(bool on);

    QString m_label;
    Cadence m_cadence;
    const Clock &m_clock;
    std::unique_ptr<WorkerThread> m_thread; // own-thread placement: runs m_worker
    QThread *m_shared = nullptr; // the shared thread, while this scheduler uses it
    SchedulerWorker *m_worker = nullptr;
    // The same tick elsewhere: shared-thread schedulers' on the creating thread, own-thread
    // schedulers' on the shared thread (made on the first move there).
    SchedulerWorker *m_alternate = nullptr;
    SamplerScheduler::Tick m_guardedTick;
    bool m_onAlternate = false;
    bool m_active = false;
};

// Internal: lives on the sampler thread and owns the timer there.
class SchedulerWorker : public QObject {
    Q_OBJECT
public:
    SchedulerWorker(SamplerScheduler::Tick tick, const Clock &clock);
    void arm(Cadence cadence);
    void disarm();
    void destroyTimer();
    void tickOnce();
    std::atomic<quint64> ticks{0};

private:
    void fire();
    double now() const;
    SamplerScheduler::Tick m_tick;
    const Clock &m_clock;
    QTimer *m_timer = nullptr;
    Cadence m_cadence;
    double m_deadline = 0;
};

} // namespace corvane
