#pragma once
// Applying a snapshot on the main thread: a field's signal fires only when its value changed.
// Call these for every field first and emit updated() last, so a listener of any signal
// reads the whole tick's values.
#include "platform/Clock.h"

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <cmath>
#include <functional>
#include <optional>
#include <vector>
#include <type_traits>

namespace corvane {

template <class T>
bool sameValue(const T &a, const T &b)
{
    if constexpr (std::is_floating_point_v<T>)
        return a == b || (std::isnan(a) && std::isnan(b)); // NaN after NaN is no change
    else
        return a == b;
}

// Stores `value` in `field`; returns whether it changed.
template <class T, class U>
bool assignChanged(T &field, U &&value)
{
    if (sameValue<T>(field, value))
        return false;
    field = std::forward<U>(value);
    return true;
}

// Collects the signals of one snapshot and emits them after every field is written.
class ChangeSet {
public:
    template <class Obj, class T, class U>
    void set(Obj *obj, T &field, U &&value, void (Obj::*signal)())
    {
        if (assignChanged(field, std::forward<U>(value)))
            m_pending.push_back([obj, signal] { (obj->*signal)(); });
    }
    // Emits the changed fields' signals in the order they were set.
    void emitAll()
    {
        auto pending = std::move(m_pending);
        m_pending.clear();
        for (auto &f : pending)
            f();
    }
    bool empty() const { return m_pending.empty(); }

private:
    std::vector<std::function<void()>> m_pending;
};

// Gathers the publications of the monitors on the main thread and applies them together
// just after each whole second of the wall clock (or each multiple of a shorter refresh
// period), so a visible surface repaints once a period rather than once per monitor. The samplers tick on the whole second and finish
// their reads within the settle time; a later one joins the next second's batch.
// Lives on the main thread; samplers hand their snapshots straight into it, and while a
// flush is due that costs the main thread no wake-up (in steady state the only one is the
// flush itself). While one is installed as current(), handOver() goes through it.
class PublicationBatch {
public:
    explicit PublicationBatch(const Clock &clock = Clock::system(), double settleSeconds = 0.25);
    ~PublicationBatch();
    PublicationBatch(const PublicationBatch &) = delete;
    PublicationBatch &operator=(const PublicationBatch &) = delete;

    // How soon an arrival from another thread must reach the batch's thread while the batch
    // is immediate. Riding: it waits, without waking that thread, for the next flush (that
    // thread's own next arrival, a show, or a prompt arrival). For readings nobody watches
    // closely while nothing is on screen; the system figures' tick flushes every second.
    enum class Delivery { Prompt, Riding };

    // Queues `apply` for the next flush; skipped if `owner` is destroyed before then.
    // Any thread; `owner` must outlive the call (a sampler thread is joined before its
    // monitor goes).
    void add(QObject *owner, std::function<void()> apply, Delivery delivery = Delivery::Prompt);
    // Whether `object` lives on the batch's thread, where the applies run.
    bool runsOn(const QObject *object) const { return object->thread() == m_timer.thread(); }
    // Applies everything queued, in the order it arrived. What an apply queues waits for
    // the next flush.
    void flush();
    std::size_t pending() const;
    // Flushes that applied something, since construction.
    quint64 flushCount() const { return m_flushes; }
    // With nothing on screen there are no repaints to gather: everything queued applies at
    // once, and each later arrival as soon as the batch's thread gets to it.
    void setImmediate(bool on);

    // Seconds from wall time `now` to the next flush point: a multiple of `period` (a whole
    // second by default) plus `settle`.
    static double delayToFlush(double now, double settle, double period = 1.0);
    // Flush points every `seconds` (capped at one second: the monitors that publish on their
    // own slower cadences must not wait longer than they do today).
    void setPeriod(double seconds);
    double period() const { return m_period; }

    // The batch handOver() uses; none means publications apply at once.
    static PublicationBatch *current();
    // Makes this batch current until it is destroyed.
    void install();

private:
    void armTimer();
    struct Entry {
        QPointer<QObject> owner;
        std::function<void()> apply;
    };
    const Clock &m_clock;
    double m_settle;
    double m_period = 1.0;
    mutable QMutex m_lock; // guards m_pending, m_armed and m_immediate
    std::vector<Entry> m_pending;
    bool m_armed = false; // a flush is due: the timer runs, or its start is on the way
    bool m_immediate = false;
    QTimer m_timer;
    quint64 m_flushes = 0;
    std::optional<double> m_lastFlush; // wall seconds
};

// On the main thread: runs `apply` with the rest of its second's batch when a batch is
// installed, else at once. Skipped if `owner` is gone by then.
inline void applyInBatch(QObject *owner, std::function<void()> apply)
{
    if (PublicationBatch *batch = PublicationBatch::current())
        batch->add(owner, std::move(apply));
    else
        apply();
}

// Hands a snapshot made on a sampler or listener thread to the monitor's thread, where
// publish() applies it, with the rest of its second's batch when a batch is installed.
// Dropped if the monitor is gone by then.
template <class Monitor, class Snapshot>
void handOver(Monitor *monitor, Snapshot snapshot,
              PublicationBatch::Delivery delivery = PublicationBatch::Delivery::Prompt)
{
    PublicationBatch *batch = PublicationBatch::current();
    if (batch && batch->runsOn(monitor)) {
        batch->add(monitor, [monitor, s = std::move(snapshot)] { monitor->publish(s); }, delivery);
        return;
    }
    QMetaObject::invokeMethod(
        monitor,
        [monitor, s = std::move(snapshot)]() mutable {
            applyInBatch(monitor, [monitor, s = std::move(s)] { monitor->publish(s); });
        },
        Qt::QueuedConnection);
}

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

// The tick of a polling monitor: the sampler reads on the scheduler's thread, where the
// monitor itself is never touched, and its snapshot is handed over. A sampler returning an
// empty optional publishes nothing that tick.
template <class Sampler, class Monitor>
std::function<void()> sampleThenPublish(Sampler *sampler, Monitor *monitor,
                                        PublicationBatch::Delivery delivery = PublicationBatch::Delivery::Prompt)
{
    return [sampler, monitor, delivery] {
        auto s = sampler->sample();
        if constexpr (IsOptional<decltype(s)>::value) {
            if (s)
                handOver(monitor, std::move(*s), delivery);
        } else {
            handOver(monitor, std::move(s), delivery);
        }
    };
}

} // namespace corvane
