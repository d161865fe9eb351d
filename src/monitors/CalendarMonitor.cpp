#include "monitors/CalendarMonitor.h"
#include "monitors/Publish.h"

#include "common/Numbers.h"
#include "common/ThreadName.h"

#include <QCoreApplication>
#include <QJSEngine>
#include <QTimeZone>

#include <algorithm>
#include <utility>

namespace corvane {

namespace {
CalendarMonitor *s_shared = nullptr;

double seconds(const QDateTime &dt)
{
    return static_cast<double>(dt.toMSecsSinceEpoch()) / 1000.0;
}

QDateTime fromSeconds(double s)
{
    return QDateTime::fromMSecsSinceEpoch(saturatingCast<qint64>(s * 1000.0), QTimeZone::utc());
}
} // namespace

CalendarMonitor *CalendarMonitor::shared()
{
    if (!s_shared)
        s_shared = new CalendarMonitor(makeLinuxCalendarStore(), Clock::system(), true,
                                       QCoreApplication::instance());
    return s_shared;
}

CalendarMonitor *CalendarMonitor::create(QQmlEngine *, QJSEngine *)
{
    CalendarMonitor *m = shared();
    QJSEngine::setObjectOwnership(m, QJSEngine::CppOwnership);
    return m;
}

CalendarMonitor::CalendarMonitor(std::unique_ptr<CalendarStore> store, const Clock &clock, bool autoStart,
                                 QObject *parent)
    : QObject(parent), m_sampler(std::make_unique<CalendarSampler>(std::move(store))), m_clock(clock)
{
    // File reads never run on the GUI thread.
    m_thread = std::make_unique<WorkerThread>(QStringLiteral("corvane.calendar"));
    m_timer = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.calendar-timer"), Cadence::offsetThenEvery(kRefreshSeconds, kRefreshSeconds),
        [this] { refresh(); }, SamplerScheduler::Placement::CallerThread, clock);
    if (autoStart)
        checkAuthorization();
}

CalendarMonitor::~CalendarMonitor()
{
    m_timer.reset();
    // A refresh in progress gives up at its next step; queued work is dropped with the worker.
    m_stop.request_stop();
    m_thread.reset();
    if (s_shared == this)
        s_shared = nullptr;
}

QVariant CalendarMonitor::nextEventVariant() const
{
    return m_nextEvent ? QVariant::fromValue(*m_nextEvent) : QVariant();
}

QVariant CalendarMonitor::lastErrorVariant() const
{
    return m_lastError ? QVariant(*m_lastError) : QVariant();
}

void CalendarMonitor::runOffThread(std::function<void()> work)
{
    QMetaObject::invokeMethod(m_thread->worker(), std::move(work), Qt::QueuedConnection);
}

void CalendarMonitor::checkAuthorization()
{
    runOffThread([this, sampler = m_sampler.get()] {
        const bool granted = sampler->isAuthorized();
        QMetaObject::invokeMethod(this, [this, granted] { publishAuthorization(granted); }, Qt::QueuedConnection);
    });
}

void CalendarMonitor::publishAuthorization(bool granted)
{
    if (assignChanged(m_authorized, granted))
        emit authorizedChanged();
    emit updated();
    if (granted) {
        refresh();
        startTimer();
    }
}

void CalendarMonitor::requestAccess()
{
    runOffThread([this, sampler = m_sampler.get()] {
        const CalendarAccess result = sampler->requestAccess();
        QMetaObject::invokeMethod(this, [this, result] { publishAccess(result); }, Qt::QueuedConnection);
    });
}

void CalendarMonitor::publishAccess(const CalendarAccess &result)
{
    ChangeSet changes;
    changes.set(this, m_authorized, result.granted, &CalendarMonitor::authorizedChanged);
    changes.set(this, m_lastError, result.error, &CalendarMonitor::lastErrorChanged);
    changes.emitAll();
    emit updated();
    refresh();
    startTimer(); // also after a refusal; its refreshes then do nothing
}

void CalendarMonitor::refresh()
{
    if (!m_authorized)
        return;
    if (m_refreshRunning) {
        m_refreshAgain = true; // never a queue of refreshes behind a slow one
        return;
    }
    m_refreshRunning = true;
    const double now = m_clock.wallSeconds();
    runOffThread([this, sampler = m_sampler.get(), stop = m_stop.get_token(), now] {
        const std::optional<CalendarEvent> next = sampler->nextEvent(now, stop);
        if (stop.stop_requested())
            return;
        QMetaObject::invokeMethod(
            this, [this, next] { applyInBatch(this, [this, next] { publishNext(next); }); }, Qt::QueuedConnection);
    });
}

std::optional<CalendarEvent> CalendarSampler::nextEvent(double now, std::stop_token stop)
{
    const QStringList calendars = m_store->calendars(stop);
    const QList<CalendarEvent> events =
        m_store->events(fromSeconds(now), fromSeconds(now + CalendarMonitor::kWindowSeconds), calendars, stop);
    return CalendarMonitor::pickNext(events, now);
}

void CalendarMonitor::publishNext(const std::optional<CalendarEvent> &next)
{
    m_refreshRunning = false;
    if (assignChanged(m_nextEvent, next))
        emit nextEventChanged();
    emit updated();
    if (std::exchange(m_refreshAgain, false))
        refresh();
}

void CalendarMonitor::startTimer()
{
    m_timer->start(); // re-arms; never more than one timer
}

std::optional<CalendarEvent> CalendarMonitor::pickNext(const QList<CalendarEvent> &events, double now)
{
    QList<CalendarEvent> kept;
    for (const CalendarEvent &e : events) {
        if (e.isAllDay || !e.startDate.isValid() || !e.endDate.isValid())
            continue;
        if (seconds(e.endDate) > now) // events under way stay
            kept.append(e);
    }
    std::stable_sort(kept.begin(), kept.end(), [](const CalendarEvent &a, const CalendarEvent &b) {
        return a.startDate.toMSecsSinceEpoch() < b.startDate.toMSecsSinceEpoch();
    });
    if (kept.isEmpty())
        return std::nullopt;
    return kept.first();
}

std::optional<QString> CalendarMonitor::relativeText(const std::optional<CalendarEvent> &event, double now)
{
    if (!event || !event->startDate.isValid() || !event->endDate.isValid())
        return std::nullopt;
    const double untilStart = seconds(event->startDate) - now;
    if (untilStart <= 0) {
        if (seconds(event->endDate) > now)
            return QStringLiteral("în desfășurare");
        return std::nullopt;
    }
    const long long m = saturatingCast<long long>(untilStart / 60.0);
    if (m < 60)
        return QStringLiteral("în %1 min").arg(m);
    if (m < 1440)
        return QStringLiteral("în %1h %2m").arg(m / 60).arg(m % 60);
    return QStringLiteral("în %1z %2h").arg(m / 1440).arg((m / 60) % 24);
}

std::optional<QString> CalendarMonitor::relativeTextNow() const
{
    return relativeText(m_nextEvent, m_clock.wallSeconds());
}

QVariant CalendarMonitor::relativeText() const
{
    const auto t = relativeTextNow();
    return t ? QVariant(*t) : QVariant();
}

} // namespace corvane
