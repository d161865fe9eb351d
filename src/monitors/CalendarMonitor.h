#pragma once
// The user's next calendar event within seven days and how far away it is, in Romanian.
// One instance for the whole application; the Bar Mode strip is its only reader.
#include "monitors/SamplerScheduler.h"
#include "platform/CalendarStore.h"
#include "platform/Clock.h"

#include <QObject>
#include <QThread>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

class QQmlEngine;
class QJSEngine;

namespace corvane {

class CalendarSampler;

class CalendarMonitor : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QVariant nextEvent READ nextEventVariant NOTIFY nextEventChanged)
    Q_PROPERTY(bool authorized READ authorized NOTIFY authorizedChanged)
    Q_PROPERTY(QVariant lastError READ lastErrorVariant NOTIFY lastErrorChanged)
public:
    static constexpr double kWindowSeconds = 604'800; // 7 days
    static constexpr double kRefreshSeconds = 60;

    // The process-wide instance, created on first use (owned by the application object).
    static CalendarMonitor *shared();
    static CalendarMonitor *create(QQmlEngine *, QJSEngine *);

    // Reads go to `store` on the monitor's own thread; with autoStart the authorisation
    // check runs at once, as for the shared instance.
    CalendarMonitor(std::unique_ptr<CalendarStore> store, const Clock &clock, bool autoStart,
                    QObject *parent = nullptr);
    ~CalendarMonitor() override;

    const std::optional<CalendarEvent> &nextEvent() const { return m_nextEvent; }
    bool authorized() const { return m_authorized; }
    const std::optional<QString> &lastError() const { return m_lastError; }
    QVariant nextEventVariant() const;
    QVariant lastErrorVariant() const;

    // Looks up access; when granted refreshes and starts the 60 s timer.
    void checkAuthorization();
    // Asks for access; on completion publishes the answer, refreshes and starts the timer.
    Q_INVOKABLE void requestAccess();
    // Looks for the next event (nothing happens without access). Asked while a refresh runs,
    // it is merged into one more refresh after that one.
    void refresh();
    bool refreshRunning() const { return m_refreshRunning; }
    // (Re)starts the 60 s refresh timer.
    void startTimer();

    // The relative text of nextEvent at the current time; undefined (QML) / nullopt when none.
    Q_INVOKABLE QVariant relativeText() const;
    std::optional<QString> relativeTextNow() const;

    // The pure parts: which event is next, and how far away an event is.
    static std::optional<CalendarEvent> pickNext(const QList<CalendarEvent> &events, double now);
    static std::optional<QString> relativeText(const std::optional<CalendarEvent> &event, double now);

    SamplerScheduler *timer() const { return m_timer.get(); }

    // Main thread: each answer of the calendar thread is applied whole, then updated().
    void publishAuthorization(bool granted);
    void publishAccess(const CalendarAccess &result);
    void publishNext(const std::optional<CalendarEvent> &next);

signals:
    // Once per applied snapshot, after all of its fields are in place.
    void updated();
    void nextEventChanged();
    void authorizedChanged();
    void lastErrorChanged();

private:
    void runOffThread(std::function<void()> work);

    std::unique_ptr<CalendarSampler> m_sampler; // touched only on m_thread
    const Clock &m_clock;
    std::stop_source m_stop; // ends a refresh in progress when the monitor goes
    bool m_refreshRunning = false;
    bool m_refreshAgain = false;
    std::optional<CalendarEvent> m_nextEvent;
    bool m_authorized = false;
    std::optional<QString> m_lastError;
    std::unique_ptr<WorkerThread> m_thread;
    std::unique_ptr<SamplerScheduler> m_timer;
};

// Owns the store; every call runs on the calendar thread.
class CalendarSampler {
public:
    explicit CalendarSampler(std::unique_ptr<CalendarStore> store) : m_store(std::move(store)) {}
    bool isAuthorized() { return m_store->isAuthorized(); }
    CalendarAccess requestAccess() { return m_store->requestAccess(); }
    // The next event within the window from `now` (wall seconds).
    std::optional<CalendarEvent> nextEvent(double now, std::stop_token stop = {});

private:
    std::unique_ptr<CalendarStore> m_store;
};

} // namespace corvane
