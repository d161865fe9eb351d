#pragma once
// The dashboard's lists and the fan card's state, kept in C++ so rows update in place when
// a monitor publishes (once per snapshot, on its updated() signal) instead of being rebuilt.
#include "monitors/SMCMonitor.h"
#include "ui/shared/KeyedRowsModel.h"

#include <QPointer>
#include <QSettings>
#include <QtQml/qqmlregistration.h>

namespace corvane {

// The starred sensor keys, stored under "smc.favoriteKeys" as sorted, comma-joined text.
// Keys that earlier versions saved are rewritten once `smc` knows today's.
class FavoriteSensors : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString raw READ raw NOTIFY rawChanged)
    Q_PROPERTY(corvane::SMCMonitor *smc READ smc WRITE setSmc NOTIFY smcChanged)
public:
    static inline const QString kKey = QStringLiteral("smc.favoriteKeys");
    explicit FavoriteSensors(QObject *parent = nullptr);

    QString raw() const { return m_raw; }
    SMCMonitor *smc() const { return m_smc; }
    void setSmc(SMCMonitor *smc);
    Q_INVOKABLE bool contains(const QString &key) const;
    // Stars or unstars `key` and stores the new text at once.
    Q_INVOKABLE void toggle(const QString &key);

signals:
    void rawChanged();
    void smcChanged();

private:
    void renameFormerKeys();
    void store(const QString &next); // saves and announces a changed list

    QPointer<SMCMonitor> m_smc;
    QSettings m_settings;
    QString m_raw;
};

struct SensorRow {
    SMCTemperatureReading reading;
    bool favorite = false;
    bool operator==(const SensorRow &) const = default;
};

// The temperature card's list: readings passing the search, favourites first, each group
// hottest first, a reading that is not a number last in its group.
class SensorListModel : public KeyedRowsModel<SensorRow, QString> {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(corvane::SMCMonitor *smc READ smc WRITE setSmc NOTIFY smcChanged)
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    Q_PROPERTY(QString favoriteKeys READ favoriteKeys WRITE setFavoriteKeys NOTIFY favoriteKeysChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
public:
    enum Role { KeyRole = Qt::UserRole + 1, NameRole, CelsiusRole, FavoriteRole, DegreesRole };
    explicit SensorListModel(QObject *parent = nullptr);

    SMCMonitor *smc() const { return m_smc; }
    void setSmc(SMCMonitor *smc);
    QString query() const { return m_query; }
    void setQuery(const QString &q);
    QString favoriteKeys() const { return m_favoriteKeys; }
    void setFavoriteKeys(const QString &raw);
    int count() const { return int(rows().size()); }

    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    static bool matches(const SMCTemperatureReading &r, const QString &query);
    static QList<SensorRow> visible(const QList<SMCTemperatureReading> &all, const QString &query,
                                    const QSet<QString> &favorites);

signals:
    void smcChanged();
    void queryChanged();
    void favoriteKeysChanged();
    void countChanged();

private:
    void rebuild();

    QPointer<SMCMonitor> m_smc;
    QString m_query;
    QString m_favoriteKeys;
};

// The fan card: one row per fan (keyed by index), the slider's range, the mode targets and
// the one command that may be under way. The in-flight mark belongs to the monitor, so a
// dashboard made anew while the helper still runs can't start a second command.
class FanControlPanel : public KeyedRowsModel<SMCFanReading, int> {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(corvane::SMCMonitor *smc READ smc WRITE setSmc NOTIFY smcChanged)
    Q_PROPERTY(int count READ count NOTIFY fansChanged)
    Q_PROPERTY(double targetRPM READ targetRPM WRITE setTargetRPM NOTIFY targetRPMChanged)
    Q_PROPERTY(int scope READ scope WRITE setScope NOTIFY scopeChanged)
    Q_PROPERTY(bool applying READ applying NOTIFY applyingChanged)
    Q_PROPERTY(double sliderLower READ sliderLower NOTIFY fansChanged)
    Q_PROPERTY(double sliderUpper READ sliderUpper NOTIFY fansChanged)
    Q_PROPERTY(double boostTarget READ boostTarget NOTIFY fansChanged)
    Q_PROPERTY(QVariantList scopeOptions READ scopeOptions NOTIFY fansChanged)
public:
    enum Role { IndexRole = Qt::UserRole + 1, NameRole, RpmRole, MinRole, MaxRole, FractionRole, PercentRole };
    explicit FanControlPanel(QObject *parent = nullptr);

    SMCMonitor *smc() const { return m_smc; }
    void setSmc(SMCMonitor *smc);
    int count() const { return int(rows().size()); }
    double targetRPM() const { return m_targetRPM; }
    void setTargetRPM(double rpm);
    int scope() const { return m_scope; }
    void setScope(int s);
    bool applying() const;
    double sliderLower() const;
    double sliderUpper() const;
    double boostTarget() const;
    QVariantList scopeOptions() const;

    // rpm undefined/null: back to automatic control. Ignored while a command is under way.
    Q_INVOKABLE void apply(const QVariant &rpm);

    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void smcChanged();
    void fansChanged();
    void targetRPMChanged();
    void scopeChanged();
    void applyingChanged();

private:
    void rebuild();

    QPointer<SMCMonitor> m_smc;
    double m_targetRPM = 3000;
    int m_scope = -1;
};

} // namespace corvane
