#pragma once
// Long-term battery record: a snapshot at most every 600 s when the charge changes,
// 90 days kept in "battery-history.json".
#include "notify/HistoryFile.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QUuid>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

#include <memory>
#include <optional>

class QQmlEngine;
class QJSEngine;

namespace corvane {

class BatteryMonitor;
class Clock;

// A figure the battery never gave (no capacities, no cycle count, no temperature sensor) is
// none here and null in the file: never a health of 100 or 0 cycles that nobody measured.
struct BatterySnapshot {
    Q_GADGET
    Q_PROPERTY(QString id READ idText)
    Q_PROPERTY(QDateTime date READ dateTime)
    Q_PROPERTY(double percent MEMBER percent)
    Q_PROPERTY(bool isCharging MEMBER isCharging)
    Q_PROPERTY(QVariant healthPercent READ healthVariant)
    Q_PROPERTY(QVariant cycleCount READ cyclesVariant)
    Q_PROPERTY(QVariant temperature READ temperatureVariant)
public:
    QUuid id;
    double date = 0; // seconds since 2001-01-01 00:00:00 UTC
    double percent = 0;
    bool isCharging = false;
    std::optional<double> healthPercent;
    std::optional<qint64> cycleCount;
    std::optional<double> temperature;

    QString idText() const { return json::uuidText(id); }
    QDateTime dateTime() const;
    QVariant healthVariant() const { return healthPercent ? QVariant(*healthPercent) : QVariant(); }
    QVariant cyclesVariant() const { return cycleCount ? QVariant(*cycleCount) : QVariant(); }
    QVariant temperatureVariant() const { return temperature ? QVariant(*temperature) : QVariant(); }
    bool operator==(const BatterySnapshot &) const = default;
};

// One day of a daily query: the start of the local calendar day and the day's value.
struct DailyValue {
    QDateTime day;
    double value = 0;
};

class BatteryHistory : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QVariantList snapshots READ snapshotsVariant NOTIFY snapshotsChanged)
    // Goes up whenever the snapshots change: a cheap dependency for bindings that query them.
    Q_PROPERTY(int revision READ revision NOTIFY snapshotsChanged)
    Q_PROPERTY(bool loaded READ isLoaded NOTIFY loadedChanged)
public:
    static constexpr double captureInterval = 600.0;
    static constexpr double retentionSeconds = 7'776'000.0; // 90 days

    static BatteryHistory *shared();
    static BatteryHistory *create(QQmlEngine *, QJSEngine *);

    // `folder`: where "battery-history.json" lives; empty keeps the history in memory only.
    BatteryHistory(const QString &folder, const Clock &clock, QObject *parent = nullptr);
    ~BatteryHistory() override;

    // Follows the monitor's `percentage`; captures at once and on every change, each
    // snapshot from one whole refresh of the monitor.
    void bind(BatteryMonitor *batteryMonitor);
    // Appends a snapshot of the monitor when due (see the .cpp).
    void capture(const BatteryMonitor &batteryMonitor);
    // Writes the whole list; the encoding and the write run on a worker thread.
    void save();
    // Waits until what was saved is on disk.
    void finishSaving() { m_file.finishSaving(); }
    QString historyPath() const { return m_file.path(); }
    int revision() const { return m_revision; }
    // The file is read off the GUI thread; until then only this run's snapshots are listed.
    bool isLoaded() const { return !m_file.isLoading(); }

    const QList<BatterySnapshot> &snapshots() const { return m_snapshots; }
    QList<BatterySnapshot> snapshots(int lastDays) const;
    QList<DailyValue> dailyHealthAverages(int days) const;
    QList<DailyValue> dailyMaxCycleCounts(int days) const;

    // The last `days` in one pass: the snapshot count, the health sum, the first and last
    // cycle counts, and the two daily lists. Each calendar day is looked up once, not once
    // per snapshot, so a long history costs little.
    // Figures a snapshot lacks count for nothing: the health sum is over the `healthCount`
    // snapshots that have one, the cycle counts are the first and last known ones, and a
    // day appears in a daily list only when one of its snapshots has that figure.
    struct RangeSummary {
        qsizetype count = 0;
        qsizetype healthCount = 0;
        double healthSum = 0;
        std::optional<qint64> firstCycles;
        std::optional<qint64> lastCycles;
        QList<DailyValue> health; // daily mean health
        QList<DailyValue> cycles; // daily highest cycle count
    };
    RangeSummary summary(int days) const;
    // For QML: {count, healthCount, healthSum, firstCycles, lastCycles, health, cycles}, the
    // cycle counts null when none is known, the daily lists as lists of {day, value}.
    Q_INVOKABLE QVariantMap rangeSummary(int days) const;

    // For QML: lists of {day, value}.
    Q_INVOKABLE QVariantList snapshotsInLastDays(int days) const;
    Q_INVOKABLE QVariantList dailyHealthAveragesList(int days) const;
    Q_INVOKABLE QVariantList dailyMaxCycleCountsList(int days) const;

    QVariantList snapshotsVariant() const;

    static QByteArray encode(const QList<BatterySnapshot> &list, bool *ok = nullptr);
    static std::optional<QList<BatterySnapshot>> decode(const QByteArray &bytes);

signals:
    void snapshotsChanged();
    void loadedChanged();

private:
    double nowRef() const;

    const Clock &m_clock;
    HistoryFile m_file;
    QList<BatterySnapshot> m_snapshots;
    std::optional<uint64_t> m_lastCapturedNs; // monotonic; none = distant past
    bool m_saveAfterLoad = false;
    int m_revision = 0;
};

} // namespace corvane

Q_DECLARE_METATYPE(corvane::BatterySnapshot)
