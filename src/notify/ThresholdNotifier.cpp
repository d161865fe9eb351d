#include "notify/ThresholdNotifier.h"

#include "common/Numbers.h"
#include "monitors/BatteryMonitor.h"
#include "monitors/SMCMonitor.h"
#include "monitors/SystemMonitor.h"
#include "platform/Clock.h"
#include "platform/Notifications.h"

#include <QCoreApplication>
#include <QJSEngine>

#include <cmath>
#include <limits>
#include <memory>

namespace corvane {

namespace {
ThresholdNotifier *s_shared = nullptr;

// Thresholds are printed as integers, so only finite values in the integer range are usable.
double usableThreshold(double v, double fallback) { return checkedCast<long long>(v) ? v : fallback; }

QString integerText(double v) { return QString::number(saturatingCast<long long>(v)); }
} // namespace

ThresholdNotifier *ThresholdNotifier::shared()
{
    if (!s_shared)
        s_shared = new ThresholdNotifier(Notifications::system(), Clock::system(), QCoreApplication::instance());
    return s_shared;
}

ThresholdNotifier *ThresholdNotifier::create(QQmlEngine *, QJSEngine *)
{
    ThresholdNotifier *n = shared();
    QJSEngine::setObjectOwnership(n, QJSEngine::CppOwnership);
    return n;
}

ThresholdNotifier::ThresholdNotifier(Notifications *notifications, const Clock &clock, QObject *parent)
    : QObject(parent), m_notifications(notifications), m_clock(clock)
{
}

ThresholdNotifier::~ThresholdNotifier()
{
    if (s_shared == this)
        s_shared = nullptr;
}

bool ThresholdNotifier::notifyCPU() const { return m_settings.readBool(QStringLiteral("thr.notifyCPU"), true); }
void ThresholdNotifier::setNotifyCPU(bool on)
{
    m_settings.write(QStringLiteral("thr.notifyCPU"), on);
    emit notifyCPUChanged();
}
bool ThresholdNotifier::notifyBattery() const { return m_settings.readBool(QStringLiteral("thr.notifyBattery"), true); }
bool ThresholdNotifier::notifyThermal() const { return m_settings.readBool(QStringLiteral("thr.notifyThermal"), true); }
bool ThresholdNotifier::notifyCPUTemp() const { return m_settings.readBool(QStringLiteral("thr.notifyCPUTemp"), true); }
double ThresholdNotifier::threshold(const QString &key, double fallback) const
{
    return usableThreshold(m_settings.readDouble(key, fallback), fallback);
}
double ThresholdNotifier::cpuThresholdPct() const { return threshold(QStringLiteral("thr.cpuPct"), 85); }
double ThresholdNotifier::cpuSustainedSecs() const { return threshold(QStringLiteral("thr.cpuSecs"), 60); }
double ThresholdNotifier::batteryThresholdPct() const { return threshold(QStringLiteral("thr.batteryPct"), 15); }
double ThresholdNotifier::tempThresholdC() const { return threshold(QStringLiteral("thr.tempC"), 50); }
double ThresholdNotifier::cpuTempThresholdC() const { return threshold(QStringLiteral("thr.cpuTempC"), 95); }

void ThresholdNotifier::bind(SystemMonitor *system, BatteryMonitor *battery, SMCMonitor *smc)
{
    // The CPU rule sees every sample: a load that stays exactly the same (say 100 %) must
    // still reach the sustained time.
    if (system) {
        evaluateCPU(system->cpuUsage());
        connect(system, &SystemMonitor::updated, this, [this, system] { evaluateCPU(system->cpuUsage()); });
    }

    // Both battery rules read one whole snapshot, so `isCharging` belongs to the same refresh
    // as the percentage (plugging in while the charge drops doesn't alert).
    if (battery) {
        auto percentage = std::make_shared<Distinct<double>>();
        auto temperature = std::make_shared<Distinct<double>>();
        // A figure the battery never gave reaches the rules as NaN, which none of them fires on.
        auto onBattery = [this, battery, percentage, temperature] {
            const double nan = std::numeric_limits<double>::quiet_NaN();
            if (const double p = battery->percentage().value_or(nan); percentage->changed(p))
                evaluateBattery(p, battery->isCharging());
            if (const double t = battery->temperatureCelsius().value_or(nan); temperature->changed(t))
                evaluateBatteryTemperature(t);
        };
        onBattery();
        connect(battery, &BatteryMonitor::updated, this, onBattery);
    }
    if (smc) {
        auto cpuTemp = std::make_shared<Distinct<double>>();
        auto onSmc = [this, smc, cpuTemp] {
            if (cpuTemp->changed(smc->cpuTemp()))
                evaluateCPUTemperature(smc->cpuTemp());
        };
        onSmc();
        connect(smc, &SMCMonitor::updated, this, onSmc);
    }
}

bool ThresholdNotifier::cooldownPassed(std::optional<uint64_t> &lastFired)
{
    const uint64_t now = m_clock.monotonicNs();
    if (lastFired && double(now - *lastFired) / 1e9 < cooldown)
        return false;
    lastFired = now;
    return true;
}

void ThresholdNotifier::evaluateCPU(double cpuUsage)
{
    if (!notifyCPU())
        return;
    const double pct = cpuUsage * 100.0;
    const double threshold = cpuThresholdPct();
    // A sample that isn't a number can't be at the threshold.
    if (!(pct >= threshold)) {
        m_cpuSustainedSince.reset();
        return;
    }
    const uint64_t now = m_clock.monotonicNs();
    if (!m_cpuSustainedSince)
        m_cpuSustainedSince = now;
    const double secs = cpuSustainedSecs();
    if (double(now - *m_cpuSustainedSince) / 1e9 < secs)
        return;
    if (!cooldownPassed(m_lastFiredCPU))
        return;
    postThresholdNotification(QStringLiteral("CPU sustinut peste ") + integerText(threshold) + QStringLiteral("%"),
                              QStringLiteral("Folosirea CPU stă peste prag de ") + integerText(secs)
                                  + QStringLiteral(" secunde — verifică Procese."));
}

void ThresholdNotifier::evaluateBattery(double percentage, bool isCharging)
{
    if (!notifyBattery() || isCharging || !(percentage > 0) || !std::isfinite(percentage))
        return;
    const double threshold = batteryThresholdPct();
    if (percentage > threshold)
        return;
    if (!cooldownPassed(m_lastFiredBat))
        return;
    postThresholdNotification(QStringLiteral("Baterie sub ") + integerText(threshold) + QStringLiteral("%"),
                              QStringLiteral("Mai ai ") + integerText(percentage)
                                  + QStringLiteral("%. Pune-o la încărcare."));
}

void ThresholdNotifier::evaluateBatteryTemperature(double celsius)
{
    if (!notifyThermal() || !std::isfinite(celsius))
        return;
    const double threshold = tempThresholdC();
    if (celsius < threshold)
        return;
    if (!cooldownPassed(m_lastFiredTherm))
        return;
    postThresholdNotification(QStringLiteral("Temperatura ") + printfFixed(celsius, 1) + QStringLiteral("°C"),
                              QStringLiteral("Bateria s-a încălzit peste ") + integerText(threshold)
                                  + QStringLiteral("°C. Posibil thermal throttle."));
}

void ThresholdNotifier::evaluateCPUTemperature(double celsius)
{
    if (!notifyCPUTemp() || !std::isfinite(celsius))
        return;
    const double threshold = cpuTempThresholdC();
    if (celsius < threshold)
        return;
    if (!cooldownPassed(m_lastFiredCPUTemp))
        return;
    postThresholdNotification(QStringLiteral("CPU la ") + printfFixed(celsius, 0) + QStringLiteral("°C"),
                              QStringLiteral("Temperatura CPU a depășit ") + integerText(threshold)
                                  + QStringLiteral("°C — verifică Procese sau crește turația ventilatoarelor."));
}

void ThresholdNotifier::postThresholdNotification(const QString &title, const QString &body)
{
    if (m_notifications)
        m_notifications->post(title, body);
}

} // namespace corvane
