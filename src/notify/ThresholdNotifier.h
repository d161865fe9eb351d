#pragma once
// Alerts for sustained CPU load, low battery, battery temperature and CPU temperature.
// Each rule has its own switch and threshold in the settings and a 300 s cooldown.
#include "common/StoredSettings.h"
#include "notify/Distinct.h"

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <cstdint>
#include <optional>

class QQmlEngine;
class QJSEngine;

namespace corvane {

class BatteryMonitor;
class Clock;
class Notifications;
class SMCMonitor;
class SystemMonitor;

class ThresholdNotifier : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool notifyCPU READ notifyCPU WRITE setNotifyCPU NOTIFY notifyCPUChanged)
public:
    static constexpr double cooldown = 300.0;

    static ThresholdNotifier *shared();
    static ThresholdNotifier *create(QQmlEngine *, QJSEngine *);

    ThresholdNotifier(Notifications *notifications, const Clock &clock, QObject *parent = nullptr);
    ~ThresholdNotifier() override;

    // Follows every sample of the system monitor (`cpuUsage`), changes of `percentage` and
    // `temperatureCelsius` of the battery monitor and, when given, of `cpuTemp` of the SMC
    // monitor, each read from one whole snapshot. Each rule runs once at once with the
    // current values. Calling it again adds another set of subscriptions.
    void bind(SystemMonitor *system, BatteryMonitor *battery, SMCMonitor *smc = nullptr);

    // Settings, read at every rule run from the long-lived store, so a change made on the
    // settings screen counts from the next sample. A stored threshold that isn't a finite
    // number in the integer range reads as its default.
    bool notifyCPU() const;
    void setNotifyCPU(bool on);
    bool notifyBattery() const;
    bool notifyThermal() const;
    bool notifyCPUTemp() const;
    double cpuThresholdPct() const;
    double cpuSustainedSecs() const;
    double batteryThresholdPct() const;
    double tempThresholdC() const;
    double cpuTempThresholdC() const;

    // The rules (cpuUsage is a fraction 0…1).
    void evaluateCPU(double cpuUsage);
    void evaluateBattery(double percentage, bool isCharging);
    void evaluateBatteryTemperature(double celsius);
    void evaluateCPUTemperature(double celsius);

    void postThresholdNotification(const QString &title, const QString &body);

signals:
    void notifyCPUChanged();

private:
    // Passes when the rule hasn't fired within the cooldown; moves its last-fired time to now.
    bool cooldownPassed(std::optional<uint64_t> &lastFired);
    double threshold(const QString &key, double fallback) const;

    Notifications *m_notifications;
    const Clock &m_clock;
    StoredSettings m_settings;
    std::optional<uint64_t> m_cpuSustainedSince; // monotonic ns
    std::optional<uint64_t> m_lastFiredCPU;      // none = distant past
    std::optional<uint64_t> m_lastFiredBat;
    std::optional<uint64_t> m_lastFiredTherm;
    std::optional<uint64_t> m_lastFiredCPUTemp;
};

} // namespace corvane
