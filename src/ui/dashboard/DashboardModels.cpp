#include "ui/dashboard/DashboardModels.h"

#include "ui/dashboard/DashboardRules.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace corvane {

// ---- favourites ----

FavoriteSensors::FavoriteSensors(QObject *parent) : QObject(parent)
{
    m_raw = m_settings.value(kKey, QString()).toString();
}

bool FavoriteSensors::contains(const QString &key) const { return dashboard::parseFavorites(m_raw).contains(key); }

void FavoriteSensors::toggle(const QString &key)
{
    store(dashboard::toggledFavorites(m_raw, key));
}

void FavoriteSensors::store(const QString &next)
{
    if (next == m_raw)
        return;
    m_raw = next;
    m_settings.setValue(kKey, m_raw);
    emit rawChanged();
}

void FavoriteSensors::setSmc(SMCMonitor *smc)
{
    if (m_smc == smc)
        return;
    if (m_smc)
        disconnect(m_smc, nullptr, this, nullptr);
    m_smc = smc;
    if (m_smc)
        connect(m_smc, &SMCMonitor::updated, this, &FavoriteSensors::renameFormerKeys);
    renameFormerKeys();
    emit smcChanged();
}

void FavoriteSensors::renameFormerKeys()
{
    if (!m_smc || m_smc->formerKeys().isEmpty())
        return;
    disconnect(m_smc, &SMCMonitor::updated, this, &FavoriteSensors::renameFormerKeys); // once is enough
    store(SMCMonitor::renamedKeys(m_raw, m_smc->formerKeys()));
}

// ---- sensors ----

SensorListModel::SensorListModel(QObject *parent)
    : KeyedRowsModel([](const SensorRow &r) { return r.reading.key; }, parent)
{
}

void SensorListModel::setSmc(SMCMonitor *smc)
{
    if (m_smc == smc)
        return;
    if (m_smc)
        disconnect(m_smc, nullptr, this, nullptr);
    m_smc = smc;
    if (m_smc)
        connect(m_smc, &SMCMonitor::updated, this, &SensorListModel::rebuild);
    rebuild();
    emit smcChanged();
}

void SensorListModel::setQuery(const QString &q)
{
    if (q == m_query)
        return;
    m_query = q;
    rebuild();
    emit queryChanged();
}

void SensorListModel::setFavoriteKeys(const QString &raw)
{
    if (raw == m_favoriteKeys)
        return;
    m_favoriteKeys = raw;
    rebuild();
    emit favoriteKeysChanged();
}

bool SensorListModel::matches(const SMCTemperatureReading &r, const QString &query)
{
    if (query.isEmpty())
        return true;
    return r.name.contains(query, Qt::CaseInsensitive) || r.key.contains(query, Qt::CaseInsensitive);
}

QList<SensorRow> SensorListModel::visible(const QList<SMCTemperatureReading> &all, const QString &query,
                                          const QSet<QString> &favorites)
{
    QList<SensorRow> out;
    for (const auto &r : all)
        if (matches(r, query))
            out.append({r, favorites.contains(r.key)});
    // NaN never compares, which would break the ordering; it goes last in its group.
    std::stable_sort(out.begin(), out.end(), [](const SensorRow &a, const SensorRow &b) {
        if (a.favorite != b.favorite)
            return a.favorite;
        const bool an = std::isnan(a.reading.celsius);
        const bool bn = std::isnan(b.reading.celsius);
        if (an || bn)
            return !an && bn;
        return a.reading.celsius > b.reading.celsius;
    });
    return out;
}

void SensorListModel::rebuild()
{
    const int before = count();
    assign(m_smc ? visible(m_smc->temperatures(), m_query, dashboard::parseFavorites(m_favoriteKeys))
                 : QList<SensorRow>{});
    if (count() != before)
        emit countChanged();
}

QVariant SensorListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const SensorRow &r = rows()[index.row()];
    switch (role) {
    case KeyRole: return r.reading.key;
    case NameRole: return r.reading.name;
    case CelsiusRole: return r.reading.celsius;
    case FavoriteRole: return r.favorite;
    case DegreesRole: return DashboardRules().degrees(r.reading.celsius);
    default: return {};
    }
}

QHash<int, QByteArray> SensorListModel::roleNames() const
{
    return {{KeyRole, "key"}, {NameRole, "name"}, {CelsiusRole, "celsius"}, {FavoriteRole, "favorite"},
            {DegreesRole, "degrees"}};
}

// ---- fans ----

namespace {
// Monitors with a fan command under way; cleared by the monitor's own finish signal, so the
// mark outlives any dashboard that started it.
QSet<const SMCMonitor *> &busyMonitors()
{
    static QSet<const SMCMonitor *> set;
    return set;
}
QSet<const SMCMonitor *> &wiredMonitors()
{
    static QSet<const SMCMonitor *> set;
    return set;
}
} // namespace

FanControlPanel::FanControlPanel(QObject *parent)
    : KeyedRowsModel([](const SMCFanReading &f) { return f.index; }, parent)
{
}

void FanControlPanel::setSmc(SMCMonitor *smc)
{
    if (m_smc == smc)
        return;
    if (m_smc)
        disconnect(m_smc, nullptr, this, nullptr);
    m_smc = smc;
    if (m_smc) {
        if (!wiredMonitors().contains(m_smc)) {
            wiredMonitors().insert(m_smc);
            const SMCMonitor *key = m_smc;
            connect(m_smc, &SMCMonitor::fanCommandFinished, m_smc, [key] { busyMonitors().remove(key); });
            connect(m_smc, &QObject::destroyed, [key] {
                busyMonitors().remove(key);
                wiredMonitors().remove(key);
            });
        }
        // A destroyed panel is disconnected by Qt: nothing touches it when the helper ends.
        connect(m_smc, &SMCMonitor::fanCommandFinished, this, &FanControlPanel::applyingChanged);
        connect(m_smc, &SMCMonitor::updated, this, &FanControlPanel::rebuild);
    }
    rebuild();
    emit smcChanged();
    emit applyingChanged();
}

void FanControlPanel::setTargetRPM(double rpm)
{
    if (rpm == m_targetRPM || !std::isfinite(rpm))
        return;
    m_targetRPM = rpm;
    emit targetRPMChanged();
}

void FanControlPanel::setScope(int s)
{
    if (s == m_scope)
        return;
    m_scope = s;
    emit scopeChanged();
}

bool FanControlPanel::applying() const { return m_smc && busyMonitors().contains(m_smc); }

double FanControlPanel::sliderLower() const { return dashboard::fanSliderRange(rows()).lower; }
double FanControlPanel::sliderUpper() const { return dashboard::fanSliderRange(rows()).upper; }
double FanControlPanel::boostTarget() const { return dashboard::boostTarget(dashboard::fanSliderRange(rows())); }
QVariantList FanControlPanel::scopeOptions() const { return dashboard::fanScopeOptions(rows()); }

void FanControlPanel::apply(const QVariant &rpm)
{
    if (!m_smc || applying() || rows().isEmpty())
        return;
    std::optional<double> target;
    if (rpm.isValid() && !rpm.isNull())
        target = rpm.toDouble();
    const std::optional<int> index = dashboard::commandFanIndex(target.has_value(), m_scope);
    if (target)
        target = dashboard::boundedTarget(*target, index, rows());
    busyMonitors().insert(m_smc);
    emit applyingChanged();
    m_smc->setFanTarget(target, index);
}

void FanControlPanel::rebuild()
{
    const QList<SMCFanReading> before = rows();
    assign(m_smc ? m_smc->fans() : QList<SMCFanReading>{});
    if (rows() != before)
        emit fansChanged();
}

QVariant FanControlPanel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const SMCFanReading &f = rows()[index.row()];
    switch (role) {
    case IndexRole: return f.index;
    case NameRole: return f.name;
    case RpmRole: return f.rpm;
    case MinRole: return f.minRPM;
    case MaxRole: return f.maxRPM;
    case FractionRole: return dashboard::fanFraction(f.rpm, f.minRPM, f.maxRPM);
    case PercentRole: return dashboard::fanPercent(f.rpm, f.minRPM, f.maxRPM);
    default: return {};
    }
}

QHash<int, QByteArray> FanControlPanel::roleNames() const
{
    return {{IndexRole, "fanIndex"}, {NameRole, "name"}, {RpmRole, "rpm"}, {MinRole, "minRPM"},
            {MaxRole, "maxRPM"}, {FractionRole, "fraction"}, {PercentRole, "percent"}};
}

} // namespace corvane
