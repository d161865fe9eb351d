#pragma once
// The value rules of the Bar Mode pills and the tray popup: thresholds, captions and number
// texts. Colours are given as theme role names ("good", "warning", "critical") so a view
// binds them through ThemeManager and recolours on a theme change.
#include "common/Formatters.h"
#include "monitors/SMCMonitor.h"

#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

namespace corvane {

struct FpsState {
    double ratio = 0;     // frames over the reference, capped at 1
    QString role;         // "neutral" while there is no reading
    QString centre;       // frames per second, whole
    QString referenceText; // e.g. "60Hz"
};

struct DiskState {
    double ratio = 0;
    QString role;
    QString centre; // free percent, whole
    QString freeText;
};

struct ThermalState {
    QString role;
    QString word;
    QString valueText;
    bool circle = false;
};

struct FanColumn {
    int index = 0;
    QString value;
    bool off = false;
    QString caption;
};

class PillText : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;

    static QString batteryRole(double percent, bool charging);
    static QString chargerWattsText(double watts);
    static QString chargerDetailText(double percent, qint64 adapterMaxWatts);
    static FpsState fpsState(double fps, double refreshHz);
    static DiskState diskState(quint64 freeBytes, quint64 totalBytes, const QLocale &locale = QLocale());
    static ThermalState thermalState(double celsius);
    // The same with no reading at all (no battery, or one without a sensor: NaN): "—", no state
    // word and no state colour (an empty role).
    static ThermalState thermalState(double celsius, bool hasBattery);
    // The temperature pill's value: whole degrees above 0, else "—" (no reading).
    static QString temperatureText(double celsius);
    static QString temperatureRole(double celsius);
    static QList<FanColumn> fanColumns(const QList<SMCFanReading> &fans);
    // Popup bars: whole percent of a fraction, and the fill that percent gives (0…1).
    static qint64 barPercent(double fraction);
    static double barFill(qint64 percent);
    // "v" and the application's version; the build's own where none is set.
    static QString versionText(const QString &applicationVersion);
    static QString versionNumber(const QString &applicationVersion);

    // QML side.
    Q_INVOKABLE QString whole(double value) const { return wholeText(value); }
    Q_INVOKABLE QString battery(double percent, bool charging) const { return batteryRole(percent, charging); }
    Q_INVOKABLE QString chargerWatts(double watts) const { return chargerWattsText(watts); }
    Q_INVOKABLE QString chargerDetail(double percent, double maxWatts) const;
    Q_INVOKABLE QVariantMap fps(double fps, double refreshHz) const;
    Q_INVOKABLE QVariantMap disk(double freeBytes, double totalBytes) const;
    Q_INVOKABLE QVariantMap thermal(double celsius, bool hasBattery = true) const;
    Q_INVOKABLE QString temperature(double celsius) const { return temperatureText(celsius); }
    Q_INVOKABLE QString temperatureTone(double celsius) const { return temperatureRole(celsius); }
    Q_INVOKABLE QVariantList fans(const QVariantList &readings) const;
    Q_INVOKABLE QString uptime(double seconds) const { return uptimeString(seconds); }
    Q_INVOKABLE QString time(const QDateTime &at) const { return clockTime(at); }
    Q_INVOKABLE QString date(const QDateTime &at) const { return clockDate(at); }
    Q_INVOKABLE QString percentText(double fraction) const { return QString::number(barPercent(fraction)) + QLatin1Char('%'); }
    Q_INVOKABLE double fill(double fraction) const { return barFill(barPercent(fraction)); }
    // Shortcut hints in the platform's own words ("Ctrl+Shift+D" here).
    Q_INVOKABLE QString shortcut(const QString &portable) const;
    Q_INVOKABLE QString version() const;
    // The bare number ("0.1"), for texts that word it themselves.
    Q_INVOKABLE QString number() const;
};

} // namespace corvane
