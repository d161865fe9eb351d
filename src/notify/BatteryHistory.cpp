#include "notify/BatteryHistory.h"

#include "common/Log.h"
#include "monitors/BatteryMonitor.h"
#include "notify/Distinct.h"
#include "notify/HistoryDecode.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QJSEngine>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVariantMap>

#include <cmath>
#include <map>
#include <memory>

namespace corvane {

namespace {
BatteryHistory *s_shared = nullptr;
const QString kFileName = QStringLiteral("battery-history.json");
// What a stored snapshot can hold: a worn-in new cell can exceed its design capacity, but
// not twice over; no battery lives 100,000 cycles or works outside -100…200 °C.
constexpr double kMaxHealthPercent = 200;
constexpr qint64 kMaxCycles = 100'000;
constexpr double kMinCelsius = -100;
constexpr double kMaxCelsius = 200;

QDateTime fromRef(double ref)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(std::llround((ref + kReferenceEpochOffset) * 1000.0)), Qt::LocalTime);
}

double toRef(const QDateTime &t) { return double(t.toMSecsSinceEpoch()) / 1000.0 - kReferenceEpochOffset; }

QVariantList toVariant(const QList<DailyValue> &list)
{
    QVariantList out;
    for (const auto &d : list)
        out.append(QVariantMap{{QStringLiteral("day"), d.day}, {QStringLiteral("value"), d.value}});
    return out;
}
} // namespace

QDateTime BatterySnapshot::dateTime() const { return fromRef(date); }

BatteryHistory *BatteryHistory::shared()
{
    if (!s_shared)
        s_shared = new BatteryHistory(HistoryFile::defaultFolder(), Clock::system(), QCoreApplication::instance());
    return s_shared;
}

BatteryHistory *BatteryHistory::create(QQmlEngine *, QJSEngine *)
{
    BatteryHistory *h = shared();
    QJSEngine::setObjectOwnership(h, QJSEngine::CppOwnership);
    return h;
}

BatteryHistory::BatteryHistory(const QString &folder, const Clock &clock, QObject *parent)
    : QObject(parent), m_clock(clock), m_file(folder, kFileName, clock)
{
    // Loaded as stored; snapshots past the retention stay until the next capture prunes them.
    m_file.load(
        [this](const QByteArray &bytes) -> std::function<void()> {
            auto list = decode(bytes);
            if (!list)
                return {};
            return [this, list = std::move(*list)]() mutable {
                // Snapshots taken while the file was read are the newest.
                list.append(m_snapshots);
                m_snapshots = std::move(list);
                ++m_revision;
                emit snapshotsChanged();
            };
        },
        [this] {
            emit loadedChanged();
            if (m_saveAfterLoad) {
                m_saveAfterLoad = false;
                save();
            }
        });
    // What was captured reaches the disk however the process ends after quitting.
    if (auto *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &BatteryHistory::finishSaving);
}

BatteryHistory::~BatteryHistory()
{
    // Entries recorded while the file was still being read are saved with the stored ones.
    if (m_saveAfterLoad)
        m_file.finishLoading();
    if (s_shared == this)
        s_shared = nullptr;
}

double BatteryHistory::nowRef() const { return m_clock.wallSeconds() - kReferenceEpochOffset; }

void BatteryHistory::bind(BatteryMonitor *batteryMonitor)
{
    if (!batteryMonitor)
        return;
    // Read on updated(), so every field of a snapshot comes from the same refresh.
    auto percentage = std::make_shared<Distinct<std::optional<double>>>();
    auto onRefresh = [this, batteryMonitor, percentage] {
        if (percentage->changed(batteryMonitor->percentage()))
            capture(*batteryMonitor);
    };
    onRefresh();
    connect(batteryMonitor, &BatteryMonitor::updated, this, onRefresh);
}

void BatteryHistory::capture(const BatteryMonitor &battery)
{
    const uint64_t nowNs = m_clock.monotonicNs();
    if (m_lastCapturedNs && double(nowNs - *m_lastCapturedNs) / 1e9 < captureInterval)
        return;
    const double percentage = battery.percentage().value_or(0);
    if (!(percentage > 0))
        return;

    BatterySnapshot s;
    s.id = QUuid::createUuid();
    s.date = nowRef();
    s.percent = percentage;
    s.isCharging = battery.isCharging();
    s.healthPercent = battery.healthPercentage();
    s.cycleCount = battery.cycleCount();
    s.temperature = battery.temperatureCelsius();
    // A snapshot that can't be written as JSON would block every later save.
    auto finite = [](std::optional<double> v) { return !v || std::isfinite(*v); };
    if (!std::isfinite(s.percent) || !finite(s.healthPercent) || !finite(s.temperature))
        return;

    m_snapshots.append(s);
    const double cutoff = s.date - retentionSeconds;
    m_snapshots.removeIf([cutoff](const BatterySnapshot &x) { return x.date < cutoff; });
    m_lastCapturedNs = nowNs;
    ++m_revision;
    emit snapshotsChanged();
    save();
}

void BatteryHistory::save()
{
    if (m_file.isLoading()) {
        m_saveAfterLoad = true;
        return;
    }
    // A long history takes a while to encode and write: never on the GUI thread. The list is
    // shared, not copied, until the next capture changes it.
    m_file.saveInBackground([list = m_snapshots]() -> std::optional<QByteArray> {
        bool ok = false;
        QByteArray bytes = encode(list, &ok);
        // The whole list is written each time, so a failed save is retried by the next capture.
        if (!ok) {
            qCWarning(lcNotify) << "battery history not saved: a snapshot has no JSON form";
            return std::nullopt;
        }
        return bytes;
    });
}

QList<BatterySnapshot> BatteryHistory::snapshots(int lastDays) const
{
    const double cutoff = nowRef() + double(lastDays) * -86'400.0;
    QList<BatterySnapshot> out;
    for (const auto &s : m_snapshots)
        if (s.date >= cutoff)
            out.append(s);
    return out;
}

BatteryHistory::RangeSummary BatteryHistory::summary(int days) const
{
    struct Day {
        double healthSum = 0;
        qsizetype healthCount = 0;
        std::optional<qint64> maxCycles;
    };
    const double cutoff = nowRef() + double(days) * -86'400.0;
    RangeSummary out;
    std::map<QDate, Day> byDay;
    // The local day last looked up, as a span of reference seconds: snapshots come in time
    // order, so most fall in the span of the one before.
    double spanStart = 0, spanEnd = 0;
    Day *day = nullptr;
    for (const BatterySnapshot &s : m_snapshots) {
        if (!(s.date >= cutoff))
            continue;
        if (!day || !(s.date >= spanStart && s.date < spanEnd)) {
            const QDate date = fromRef(s.date).date();
            spanStart = toRef(date.startOfDay());
            spanEnd = toRef(date.addDays(1).startOfDay());
            day = &byDay[date];
        }
        ++out.count;
        if (s.healthPercent) {
            day->healthSum += *s.healthPercent;
            ++day->healthCount;
            out.healthSum += *s.healthPercent;
            ++out.healthCount;
        }
        if (s.cycleCount) {
            day->maxCycles = std::max(day->maxCycles.value_or(*s.cycleCount), *s.cycleCount);
            if (!out.firstCycles)
                out.firstCycles = s.cycleCount;
            out.lastCycles = s.cycleCount;
        }
    }
    for (const auto &[date, d] : byDay) {
        if (d.healthCount > 0)
            out.health.append({date.startOfDay(), d.healthSum / double(d.healthCount)});
        if (d.maxCycles)
            out.cycles.append({date.startOfDay(), double(*d.maxCycles)});
    }
    return out;
}

QList<DailyValue> BatteryHistory::dailyHealthAverages(int days) const { return summary(days).health; }

QList<DailyValue> BatteryHistory::dailyMaxCycleCounts(int days) const { return summary(days).cycles; }

QVariantMap BatteryHistory::rangeSummary(int days) const
{
    const RangeSummary s = summary(days);
    auto cycles = [](std::optional<qint64> c) { return c ? QVariant(*c) : QVariant(); };
    return {{QStringLiteral("count"), qint64(s.count)},
            {QStringLiteral("healthCount"), qint64(s.healthCount)},
            {QStringLiteral("healthSum"), s.healthSum},
            {QStringLiteral("firstCycles"), cycles(s.firstCycles)},
            {QStringLiteral("lastCycles"), cycles(s.lastCycles)},
            {QStringLiteral("health"), toVariant(s.health)},
            {QStringLiteral("cycles"), toVariant(s.cycles)}};
}

QVariantList BatteryHistory::snapshotsInLastDays(int days) const
{
    QVariantList out;
    for (const auto &s : snapshots(days))
        out.append(QVariant::fromValue(s));
    return out;
}

QVariantList BatteryHistory::dailyHealthAveragesList(int days) const { return toVariant(dailyHealthAverages(days)); }
QVariantList BatteryHistory::dailyMaxCycleCountsList(int days) const { return toVariant(dailyMaxCycleCounts(days)); }

QVariantList BatteryHistory::snapshotsVariant() const
{
    QVariantList out;
    out.reserve(m_snapshots.size());
    for (const auto &s : m_snapshots)
        out.append(QVariant::fromValue(s));
    return out;
}

QByteArray BatteryHistory::encode(const QList<BatterySnapshot> &list, bool *ok)
{
    QByteArray out;
    bool good = true;
    out += '[';
    for (qsizetype i = 0; i < list.size(); ++i) {
        const auto &s = list[i];
        if (i)
            out += ',';
        out += "{\"id\":";
        json::appendString(out, json::uuidText(s.id));
        out += ",\"date\":";
        good &= json::appendNumber(out, s.date);
        out += ",\"percent\":";
        good &= json::appendNumber(out, s.percent);
        out += ",\"isCharging\":";
        out += s.isCharging ? "true" : "false";
        // Every key is written; a figure that was never measured is null.
        out += ",\"healthPercent\":";
        if (s.healthPercent)
            good &= json::appendNumber(out, *s.healthPercent);
        else
            out += "null";
        out += ",\"cycleCount\":";
        out += s.cycleCount ? QByteArray::number(*s.cycleCount) : QByteArray("null");
        out += ",\"temperature\":";
        if (s.temperature)
            good &= json::appendNumber(out, *s.temperature);
        else
            out += "null";
        out += '}';
    }
    out += ']';
    if (ok)
        *ok = good;
    return out;
}

std::optional<QList<BatterySnapshot>> BatteryHistory::decode(const QByteArray &bytes)
{
    // null: the figure was never measured. A stored cycle count of 0 is the driver's "don't
    // know" (files written before null stood for unknown hold it too).
    auto nullable = [](const QJsonObject &o, const char *key, auto read) -> std::optional<decltype(read(o, key))> {
        if (o.value(QLatin1String(key)).isNull())
            return decltype(read(o, key))();
        auto v = read(o, key);
        if (!v)
            return std::nullopt;
        return v;
    };
    return json::decodeArray<BatterySnapshot>(bytes, [&](const QJsonObject &o) -> std::optional<BatterySnapshot> {
        const auto id = json::uuidField(o, "id");
        const auto date = json::numberField(o, "date");
        const auto percent = json::numberField(o, "percent");
        const auto charging = json::boolField(o, "isCharging");
        const auto health = nullable(o, "healthPercent", json::numberField);
        const auto cycles = nullable(o, "cycleCount", json::integerField);
        const auto temp = nullable(o, "temperature", json::numberField);
        if (!id || !date || !percent || !charging || !health || !cycles || !temp)
            return std::nullopt;
        BatterySnapshot s;
        s.id = *id;
        s.date = json::clampedDate(*date);
        s.percent = json::clampToRange(*percent, 0.0, 100.0);
        s.isCharging = *charging;
        if (*health)
            s.healthPercent = json::clampToRange(**health, 0.0, kMaxHealthPercent);
        if (*cycles && **cycles > 0)
            s.cycleCount = json::clampToRange<qint64>(**cycles, 1, kMaxCycles);
        if (*temp)
            s.temperature = json::clampToRange(**temp, kMinCelsius, kMaxCelsius);
        return s;
    });
}

} // namespace corvane
