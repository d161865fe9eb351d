#pragma once
// The live dashboard's small rules: greeting, uptime, model identifier, chip and card
// states, fan ranges, Wi-Fi bands and the favourites text. Pure functions, plus a QML
// singleton ("DashboardRules") that forwards to them.
#include "common/Formatters.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

#include <optional>

namespace corvane {

struct SMCFanReading;

namespace dashboard {

// "Bună dimineața" 5–11, "Bună ziua" 12–17, "Bună seara" 18–22, "Noapte bună" otherwise.
QString greetingText(int hour);
QString greetingText(const QDateTime &at);
// The machine's model identifier (the platform's machine model), read once per process; "—"
// when the machine names none.
QString modelIdentifier();

// Favourite keys: split at ",", empty pieces dropped, pieces kept as written.
QSet<QString> parseFavorites(const QString &raw);
// Adds or removes `key` and writes the set sorted ascending, joined by ",". A key that holds
// the separator can't be stored and leaves `raw` as it is.
QString toggledFavorites(const QString &raw, const QString &key);

// Battery: low below 20 % while not charging; the "Sub 20%" chip also needs more than 0 %.
bool batteryLow(double percentage, bool charging);
bool lowBatteryChip(double percentage, bool charging);
bool thermalChip(double batteryCelsius);

// Frame-rate badge: the rate truncated toward zero, "—" when not finite.
QString fpsBadgeText(double fps);
// Display card meter: fps against the refresh rate, at least 60 Hz; 0…1.
double levelMeterFraction(double fps, double refreshHz);

// Fans.
double fanFraction(double rpm, double minRPM, double maxRPM);
int fanPercent(double rpm, double minRPM, double maxRPM);
struct FanRange {
    double lower = 1200;
    double upper = 6000;
    bool operator==(const FanRange &) const = default;
};
FanRange fanSliderRange(const QList<SMCFanReading> &fans);
double boostTarget(const FanRange &r);
// The fan index a command addresses: none for automatic control or for scope < 0.
std::optional<int> commandFanIndex(bool hasTarget, int scope);
// A target never goes below (or above) the addressed fans' own range: the chosen fan's,
// or the span of every fan for all of them; a range that is not known leaves it as it is.
double boundedTarget(double rpm, std::optional<int> fanIndex, const QList<SMCFanReading> &fans);
// Scope picker entries: "Toate" (-1), then each fan's name without "Ventilator ".
QVariantList fanScopeOptions(const QList<SMCFanReading> &fans);

// Wi-Fi bands: -80 dBm counts as medium, as the monitor's quality word has it.
enum class WiFiBand { weak, medium, good, excellent, unknown };
WiFiBand wifiBand(qint64 rssiDbm);
QString wifiSymbol(qint64 rssiDbm);
// Theme role name ("critical", "warning", "accent", "good") or "secondary".
QString wifiColorRole(qint64 rssiDbm);
QString wifiQualityWord(qint64 rssiDbm);
double wifiBarFraction(qint64 rssiDbm);

// Storage usage bar: used = total − free when positive; fraction of total, 0 without one.
struct StorageUse {
    qint64 used = 0;
    double fraction = 0;
};
StorageUse storageUse(quint64 totalBytes, quint64 freeBytes);
// Adapter cable bar: delivered ÷ rated, 0…1; 0 without a rating.
double adapterFill(double deliveringWatts, qint64 maxWatts);

} // namespace dashboard

class DashboardRules : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString modelIdentifier READ modelIdentifier CONSTANT)
public:
    using QObject::QObject;
    QString modelIdentifier() const { return dashboard::modelIdentifier(); }

    Q_INVOKABLE QString greeting(const QDateTime &at) const { return dashboard::greetingText(at); }
    Q_INVOKABLE QString clockTime(const QDateTime &at) const;
    Q_INVOKABLE QString clockDate(const QDateTime &at) const;
    Q_INVOKABLE QString uptime(double seconds) const { return dashboardUptimeText(seconds); }
    Q_INVOKABLE QString byteCount(double bytes) const;
    Q_INVOKABLE QString fpsBadge(double fps) const { return dashboard::fpsBadgeText(fps); }
    Q_INVOKABLE double levelMeter(double fps, double hz) const { return dashboard::levelMeterFraction(fps, hz); }
    Q_INVOKABLE bool batteryLow(double pct, bool charging) const { return dashboard::batteryLow(pct, charging); }
    Q_INVOKABLE bool lowBatteryChip(double pct, bool charging) const { return dashboard::lowBatteryChip(pct, charging); }
    Q_INVOKABLE bool thermalChip(double celsius) const { return dashboard::thermalChip(celsius); }
    Q_INVOKABLE QString whole(double v) const;
    Q_INVOKABLE double fanFraction(double rpm, double lo, double hi) const { return dashboard::fanFraction(rpm, lo, hi); }
    Q_INVOKABLE int fanPercent(double rpm, double lo, double hi) const { return dashboard::fanPercent(rpm, lo, hi); }
    Q_INVOKABLE QString wifiSymbol(qint64 dbm) const { return dashboard::wifiSymbol(dbm); }
    // A ThemeManager colour name, or "secondary" for the grey of an unknown reading.
    Q_INVOKABLE QString wifiRole(qint64 dbm) const { return dashboard::wifiColorRole(dbm); }
    Q_INVOKABLE QString wifiWord(qint64 dbm) const { return dashboard::wifiQualityWord(dbm); }
    Q_INVOKABLE double wifiBar(qint64 dbm) const { return dashboard::wifiBarFraction(dbm); }
    // {fraction, trailing} for the storage card's bar.
    Q_INVOKABLE QVariantMap storageBar(double totalBytes, double freeBytes) const;
    Q_INVOKABLE double adapterFill(double watts, double maxWatts) const;
    // The temperature of a list row: whole degrees, "—" when not a number.
    Q_INVOKABLE QString degrees(double celsius) const;
};

} // namespace corvane
