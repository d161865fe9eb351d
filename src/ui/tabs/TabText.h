#pragma once
// The texts and figures of the activity, ports and crash-log tabs, as a QML singleton.
#include "monitors/DisplayMonitor.h"
#include "notify/BatteryHistory.h"

#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace corvane {

class TabText : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;

    // Day, short month, hour and minute in the locale's order, no year or seconds.
    static QString dayMonthTime(const QDateTime &at, const QLocale &locale = QLocale());
    Q_INVOKABLE QString eventTime(const QDateTime &at) const { return dayMonthTime(at); }

    // Activity: value texts and bar fractions of the two process cards.
    Q_INVOKABLE static QString cpuText(double cpuPercent);
    Q_INVOKABLE static double cpuFraction(double cpuPercent);
    Q_INVOKABLE static QString memoryText(double bytes);
    Q_INVOKABLE static double memoryFraction(double bytes, double totalBytes);
    Q_INVOKABLE static QString processCountText(int count);

    // Ports: the speed code the port-speed text names (-1 for none) and the best among devices.
    static int speedCode(const QString &portSpeed);
    static int bestSpeedCode(const QStringList &portSpeeds);
    Q_INVOKABLE static int bestSpeedCodeOf(const QVariantList &devices);
    Q_INVOKABLE static QString usbSpeedLabel(int code);
    Q_INVOKABLE static QString wattsText(double watts);
    Q_INVOKABLE static QString devicePowerText(double milliAmps);

    // Display rows.
    static QString roundedHz(double hz);
    // "60 Hz", or "—" without a rate.
    static QString hertzText(double hz);
    static QString summaryLine(const DisplayInfo &d);
    static QString diagonalText(double inches);
    // Label/value cells of the detail grid, in order; the year only when known.
    static QList<QPair<QString, QString>> detailCells(const DisplayInfo &d);
    static QStringList modeLines(const DisplayInfo &d);
    Q_INVOKABLE static QString summaryLineOf(const QVariant &display);
    Q_INVOKABLE static QString diagonalOf(const QVariant &display);
    Q_INVOKABLE static QVariantList detailCellsOf(const QVariant &display);
    Q_INVOKABLE static QStringList modeLinesOf(const QVariant &display);

    // Battery history card: count text and the three summary figures over `snapshots`.
    Q_INVOKABLE static QString snapshotCountText(int count);
    Q_INVOKABLE static QVariantMap batteryFigures(const QVariantList &snapshots);
    // The same from BatteryHistory.rangeSummary().
    Q_INVOKABLE static QVariantMap batteryFiguresOf(const QVariantMap &summary);
    static QVariantMap batteryFiguresOfRange(const BatteryHistory::RangeSummary &range);
};

} // namespace corvane
