#include "ui/dashboard/DashboardRules.h"

#include "common/Formatters.h"
#include "common/Numbers.h"
#include "monitors/SMCMonitor.h"
#include "monitors/WiFiMonitor.h"
#include "platform/MachineInfo.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace corvane::dashboard {

namespace {
const QString kDash = QStringLiteral("—");
} // namespace

QString greetingText(int hour)
{
    if (hour >= 5 && hour <= 11)
        return QStringLiteral("Bună dimineața");
    if (hour >= 12 && hour <= 17)
        return QStringLiteral("Bună ziua");
    if (hour >= 18 && hour <= 22)
        return QStringLiteral("Bună seara");
    return QStringLiteral("Noapte bună");
}

QString greetingText(const QDateTime &at) { return greetingText(at.toLocalTime().time().hour()); }

QString modelIdentifier()
{
    static const QString id = readMachineModel().value_or(kDash);
    return id;
}

QSet<QString> parseFavorites(const QString &raw)
{
    QSet<QString> out;
    for (const QString &piece : raw.split(QLatin1Char(','), Qt::SkipEmptyParts))
        out.insert(piece);
    return out;
}

QString toggledFavorites(const QString &raw, const QString &key)
{
    if (key.isEmpty() || key.contains(QLatin1Char(',')))
        return raw;
    QSet<QString> keys = parseFavorites(raw);
    if (!keys.remove(key))
        keys.insert(key);
    QStringList sorted(keys.begin(), keys.end());
    std::sort(sorted.begin(), sorted.end()); // plain code-unit order
    return sorted.join(QLatin1Char(','));
}

bool batteryLow(double percentage, bool charging) { return percentage < 20 && !charging; }

bool lowBatteryChip(double percentage, bool charging) { return !charging && percentage > 0 && percentage < 20; }

bool thermalChip(double batteryCelsius) { return batteryCelsius > 40.0; }

QString fpsBadgeText(double fps)
{
    if (!std::isfinite(fps) || fps <= 0) // no display refresh to follow
        return kDash;
    return printfInt(saturatingCast<long long>(fps));
}

double levelMeterFraction(double fps, double refreshHz)
{
    const double reference = std::isfinite(refreshHz) ? std::max(60.0, refreshHz) : 60.0;
    if (!std::isfinite(fps) || fps <= 0)
        return 0;
    return std::min(fps / reference, 1.0);
}

double fanFraction(double rpm, double minRPM, double maxRPM)
{
    if (!(maxRPM > minRPM))
        return 0;
    const double f = (rpm - minRPM) / (maxRPM - minRPM);
    if (!(f > 0)) // also NaN
        return 0;
    return std::min(f, 1.0);
}

int fanPercent(double rpm, double minRPM, double maxRPM)
{
    return saturatingCast<int>(fanFraction(rpm, minRPM, maxRPM) * 100);
}

FanRange fanSliderRange(const QList<SMCFanReading> &fans)
{
    double lower = 1200;
    double upper = 6000;
    if (!fans.isEmpty()) {
        lower = fans.front().minRPM;
        upper = fans.front().maxRPM;
        for (const auto &f : fans) {
            lower = std::min(lower, f.minRPM);
            upper = std::max(upper, f.maxRPM);
        }
    }
    if (upper > lower && std::isfinite(lower) && std::isfinite(upper))
        return {lower, upper};
    return {};
}

double boostTarget(const FanRange &r) { return (r.upper - r.lower) * 0.7 + r.lower; }

std::optional<int> commandFanIndex(bool hasTarget, int scope)
{
    if (!hasTarget || scope < 0)
        return std::nullopt;
    return scope;
}

double boundedTarget(double rpm, std::optional<int> fanIndex, const QList<SMCFanReading> &fans)
{
    double lo = 0;
    double hi = 0;
    bool any = false;
    for (const auto &f : fans) {
        if (fanIndex && f.index != *fanIndex)
            continue;
        if (!(f.maxRPM > f.minRPM) || !std::isfinite(f.maxRPM))
            continue; // no known range: the helper decides
        lo = any ? std::min(lo, f.minRPM) : f.minRPM;
        hi = any ? std::max(hi, f.maxRPM) : f.maxRPM;
        any = true;
    }
    if (!any || !std::isfinite(rpm))
        return rpm;
    return std::clamp(rpm, lo, hi);
}

QVariantList fanScopeOptions(const QList<SMCFanReading> &fans)
{
    QVariantList out;
    out.append(QVariantMap{{QStringLiteral("text"), QStringLiteral("Toate")}, {QStringLiteral("value"), -1}});
    for (const auto &f : fans) {
        QString name = f.name;
        name.remove(QStringLiteral("Ventilator "));
        out.append(QVariantMap{{QStringLiteral("text"), name}, {QStringLiteral("value"), f.index}});
    }
    return out;
}

WiFiBand wifiBand(qint64 rssi)
{
    if (rssi > 0)
        return WiFiBand::unknown;
    if (rssi >= -49)
        return WiFiBand::excellent;
    if (rssi >= -64)
        return WiFiBand::good;
    if (rssi >= -80)
        return WiFiBand::medium;
    return WiFiBand::weak;
}

QString wifiSymbol(qint64 rssi)
{
    switch (wifiBand(rssi)) {
    case WiFiBand::weak: return QStringLiteral("wifi.slash");
    case WiFiBand::medium: return QStringLiteral("wifi.exclamationmark");
    default: return QStringLiteral("wifi");
    }
}

QString wifiColorRole(qint64 rssi)
{
    switch (wifiBand(rssi)) {
    case WiFiBand::weak: return QStringLiteral("critical");
    case WiFiBand::medium: return QStringLiteral("warning");
    case WiFiBand::good: return QStringLiteral("accent");
    case WiFiBand::excellent: return QStringLiteral("good");
    case WiFiBand::unknown: break;
    }
    return QStringLiteral("secondary");
}

QString wifiQualityWord(qint64 rssi) { return WiFiMonitor::signalQualityLabel(rssi); }

double wifiBarFraction(qint64 rssi)
{
    if (rssi > -30)
        return 1;
    return static_cast<double>(std::max<qint64>(rssi, -90) + 90) / 60.0;
}

StorageUse storageUse(quint64 totalBytes, quint64 freeBytes)
{
    const qint64 total = static_cast<qint64>(std::min<quint64>(totalBytes, INT64_MAX));
    const qint64 free = static_cast<qint64>(std::min<quint64>(freeBytes, INT64_MAX));
    StorageUse u;
    u.used = total - free > 0 ? total - free : 0;
    u.fraction = total > 0 ? static_cast<double>(u.used) / static_cast<double>(total) : 0;
    return u;
}

double adapterFill(double deliveringWatts, qint64 maxWatts)
{
    if (maxWatts <= 0 || !(deliveringWatts > 0))
        return 0;
    return std::min(deliveringWatts / static_cast<double>(maxWatts), 1.0);
}

} // namespace corvane::dashboard

namespace corvane {

QString DashboardRules::clockTime(const QDateTime &at) const { return corvane::clockTime(at); }

QString DashboardRules::clockDate(const QDateTime &at) const { return dashboardClockDate(at); }

QString DashboardRules::byteCount(double bytes) const
{
    return byteCountText(saturatingCast<quint64>(bytes));
}

QString DashboardRules::whole(double v) const { return wholeText(v); }

QVariantMap DashboardRules::storageBar(double totalBytes, double freeBytes) const
{
    const quint64 total = saturatingCast<quint64>(totalBytes);
    const auto u = dashboard::storageUse(total, saturatingCast<quint64>(freeBytes));
    return {{QStringLiteral("fraction"), u.fraction},
            {QStringLiteral("trailing"), byteCountText(quint64(u.used)) + QStringLiteral(" / ")
                                             + byteCountText(total)}};
}

double DashboardRules::adapterFill(double watts, double maxWatts) const
{
    return dashboard::adapterFill(watts, saturatingCast<qint64>(maxWatts));
}

QString DashboardRules::degrees(double celsius) const
{
    if (std::isnan(celsius))
        return QStringLiteral("—");
    return printfFixed(celsius, 0) + QStringLiteral("°");
}

} // namespace corvane
