#include "notify/ThresholdNotifier.h"

#include "common/Numbers.h"
#include "notify/PropertyWatch.h"
#include "platform/Clock.h"
#include "platform/Notifications.h"

#include <QCoreApplication>
#include <QJSEngine>
#include <QPointer>
#include <QSettings>

#include <cmath>

namespace corvane {

namespace {
ThresholdNotifier *s_shared = nullptr;

bool readBool(const char *key, bool fallback)
{
    QSettings settings;
    const QVariant v = settings.value(QLatin1String(key));
    return v.isValid() ? v.toBool() : fallback;
}

// Thresholds are printed as integers, so only finite values in the integer range are usable.
double readThreshold(const char *key, double fallback)
{
    QSettings settings;
    bool ok = false;
    const double v = settings.value(QLatin1String(key)).toDouble(&ok);
    if (!ok || !checkedCast<long long>(v))
        return fallback;
    return v;
}

QString integerText(double v) { return QString::number(saturatingCast<long long>(v)); }

double toDouble(const QVariant &v)
{
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? d : std::nan("");
}
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

bool ThresholdNotifier::notifyCPU() const { return readBool("thr.notifyCPU", true); }
void ThresholdNotifier::setNotifyCPU(bool on)
{
    QSettings settings;
    settings.setValue(QStringLiteral("thr.notifyCPU"), on);
    emit notifyCPUChanged();
}
bool ThresholdNotifier::notifyBattery() const { return readBool("thr.notifyBattery", true); }
bool ThresholdNotifier::notifyThermal() const { return readBool("thr.notifyThermal", true); }
bool ThresholdNotifier::notifyCPUTemp() const { return readBool("thr.notifyCPUTemp", true); }
double ThresholdNotifier::cpuThresholdPct() const { return readThreshold("thr.cpuPct", 85); }
double ThresholdNotifier::cpuSustainedSecs() const { return readThreshold("thr.cpuSecs", 60); }
double ThresholdNotifier::batteryThresholdPct() const { return readThreshold("thr.batteryPct", 15); }
double ThresholdNotifier::tempThresholdC() const { return readThreshold("thr.tempC", 50); }
double ThresholdNotifier::cpuTempThresholdC() const { return readThreshold("thr.cpuTempC", 95); }

void ThresholdNotifier::bind(QObject *system, QObject *battery, QObject *smc)
{
    // The CPU rule sees every sample: a load that stays exactly the same (say 100 %) must
    // still reach the sustained time.
    (new PropertyWatch(system, "cpuUsage", PropertyWatch::None,
                       [this](const QVariant &v) { evaluateCPU(toDouble(v)); }, this))->start();

    // Run after the battery refresh completes, so `isCharging` belongs to the same refresh
    // as the percentage (plugging in while the charge drops doesn't alert).
    QPointer<QObject> bat(battery);
    (new PropertyWatch(battery, "percentage", PropertyWatch::Distinct | PropertyWatch::AfterUpdate,
                       [this, bat](const QVariant &v) {
                           if (bat)
                               evaluateBattery(toDouble(v), PropertyWatch::read(bat, "isCharging").toBool());
                       },
                       this))->start();
    (new PropertyWatch(battery, "temperatureCelsius", PropertyWatch::Distinct,
                       [this](const QVariant &v) { evaluateBatteryTemperature(toDouble(v)); }, this))->start();
    if (smc)
        (new PropertyWatch(smc, "cpuTemp", PropertyWatch::Distinct,
                           [this](const QVariant &v) { evaluateCPUTemperature(toDouble(v)); }, this))->start();
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
