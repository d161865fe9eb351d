#include "monitors/SMCMonitor.h"
#include "monitors/Publish.h"
#include "common/Numbers.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace corvane {

namespace {

std::unique_ptr<SMCSampler> machineSampler()
{
    if (hasAppleSmc())
        return std::make_unique<SMCSampler>(makeLinuxSmcTransport());
    return std::make_unique<SMCSampler>(makeHwmonSensorSource(makeNvmlTemperatureReader()));
}

} // namespace

SMCMonitor::SMCMonitor(QObject *parent) : SMCMonitor(machineSampler(), Clock::system(), true, parent) {}

SMCMonitor::SMCMonitor(std::unique_ptr<SmcTransport> transport, const Clock &clock, bool autoStart, QObject *parent)
    : SMCMonitor(std::make_unique<SMCSampler>(std::move(transport)), clock, autoStart, parent)
{
}

SMCMonitor::SMCMonitor(std::unique_ptr<SensorSource> source, const Clock &clock, bool autoStart, QObject *parent)
    : SMCMonitor(std::make_unique<SMCSampler>(std::move(source)), clock, autoStart, parent)
{
}

SMCMonitor::SMCMonitor(std::unique_ptr<SMCSampler> sampler, const Clock &clock, bool autoStart, QObject *parent)
    : QObject(parent), m_sampler(std::move(sampler)),
      m_cpuHistory(new MetricHistory(this)),
      m_gpuHistory(new MetricHistory(this)), m_fanControl(new FanControlBridge(this))
{
    // Reads run on one thread of their own, in order; the scheduler only paces them.
    m_thread = std::make_unique<WorkerThread>(QStringLiteral("corvane.smc"));

    m_scheduler = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.smc"), Cadence::alignedTo(kInterval), [this] { refresh(); },
        SamplerScheduler::Placement::CallerThread, clock);
    if (autoStart)
        startTimer();
}

SMCMonitor::~SMCMonitor()
{
    m_scheduler.reset();
    m_thread.reset(); // a read in progress completes; queued ones are dropped with the worker
}

SMCSampler::~SMCSampler()
{
    if (m_connection != 0 && m_transport)
        m_transport->close();
}

void SMCMonitor::startTimer()
{
    m_scheduler->setCadence(Cadence::alignedTo(m_reducedCadence ? kReducedInterval : kInterval));
    m_scheduler->start();
    refresh();
}

void SMCMonitor::refresh()
{
    QMetaObject::invokeMethod(m_thread->worker(), sampleThenPublish(m_sampler.get(), this), Qt::QueuedConnection);
}

QVariantList SMCMonitor::temperaturesVariant() const
{
    QVariantList out;
    out.reserve(m_temperatures.size());
    for (const auto &t : m_temperatures)
        out.append(QVariant::fromValue(t));
    return out;
}

QVariantList SMCMonitor::fansVariant() const
{
    QVariantList out;
    out.reserve(m_fans.size());
    for (const auto &f : m_fans)
        out.append(QVariant::fromValue(f));
    return out;
}

QVariant SMCMonitor::fanControlMessageVariant() const
{
    return m_fanControlMessage ? QVariant(*m_fanControlMessage) : QVariant();
}

// --- sampler side ---

void SMCSampler::openAndDiscover()
{
    if (m_opened)
        return;
    m_opened = true;
    if (m_source) {
        m_connection = m_source->open() ? 1 : 0;
        return;
    }
    if (m_transport)
        m_connection = m_transport->open();
    discoverTemperatureKeys();
}

std::optional<SmcRecord> SMCSampler::callSMC(SmcRecord record, uint8_t command)
{
    if (m_connection == 0 || !m_transport)
        return std::nullopt;
    record.data8 = command;
    SmcRecord out{};
    if (m_transport->call(record, out) != 0 || out.result != 0)
        return std::nullopt;
    return out;
}

std::optional<double> SMCMonitor::decodeValue(uint32_t type, uint32_t size, const std::array<uint8_t, 32> &b)
{
    switch (type) {
    case smcKeyCode("sp78"):
        if (size < 2)
            return std::nullopt;
        return static_cast<int16_t>(static_cast<uint16_t>(b[0] << 8 | b[1])) * 0.00390625;
    case smcKeyCode("flt "):
    case smcKeyCode("ioft"): {
        if (size < 4)
            return std::nullopt;
        const uint32_t u = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
        float f;
        std::memcpy(&f, &u, 4);
        if (!std::isfinite(f))
            return std::nullopt;
        return static_cast<double>(f);
    }
    case smcKeyCode("fpe2"):
        if (size < 2)
            return std::nullopt;
        return static_cast<uint16_t>(b[0] << 8 | b[1]) * 0.25;
    case smcKeyCode("ui8 "):
        return static_cast<double>(b[0]);
    case smcKeyCode("ui16"):
        return static_cast<double>(static_cast<uint16_t>(b[0] << 8 | b[1]));
    case smcKeyCode("ui32"):
        return static_cast<double>(uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | uint32_t(b[3]));
    default:
        return std::nullopt;
    }
}

std::optional<double> SMCSampler::readKey(const QString &key, uint32_t typeHint)
{
    SmcRecord info{};
    info.key = smcKeyCode(key.toLatin1().toStdString());
    const auto meta = callSMC(info, kSmcKeyInfo);
    if (!meta)
        return std::nullopt;
    const uint32_t size = meta->dataSize;
    const uint32_t type = typeHint != 0 ? typeHint : meta->dataType;
    if (size == 0 || size > 32)
        return std::nullopt;
    SmcRecord read{};
    read.key = info.key;
    read.dataSize = size;
    const auto value = callSMC(read, kSmcReadKey);
    if (!value)
        return std::nullopt;
    return SMCMonitor::decodeValue(type, size, value->bytes);
}

void SMCSampler::discoverTemperatureKeys()
{
    if (m_connection == 0)
        return;
    const auto count = readKey(QStringLiteral("#KEY"));
    if (!count)
        return;
    // A broken controller could claim billions of keys: walk a bounded number.
    const int n = std::min(saturatingCast<int>(*count), SMCMonitor::kMaxDiscoveredKeys);
    QList<SMCMonitor::TemperatureKey> keys;
    for (int i = 0; i < n; ++i) {
        SmcRecord at{};
        at.data32 = static_cast<uint32_t>(i);
        const auto rec = callSMC(at, kSmcKeyAtIndex);
        if (!rec)
            continue;
        const QString text = smcKeyString(rec->key);
        if (!text.startsWith(QLatin1Char('T')))
            continue;
        SmcRecord info{};
        info.key = rec->key;
        const auto meta = callSMC(info, kSmcKeyInfo);
        if (!meta)
            continue;
        const uint32_t t = meta->dataType;
        if (t == smcKeyCode("sp78") || t == smcKeyCode("flt ") || t == smcKeyCode("ioft"))
            keys.append({text, t});
    }
    m_temperatureKeys = std::move(keys);
}

QString SMCMonitor::fanName(int count, int index)
{
    if (count == 1)
        return QStringLiteral("Ventilator");
    if (count == 2)
        return index == 0 ? QStringLiteral("Ventilator stânga") : QStringLiteral("Ventilator dreapta");
    return QStringLiteral("Ventilator ") + QString::number(index + 1);
}

namespace {

// A fan figure outside what a fan can do is a driver's fault and absent, as if unread: a fan
// with no speed is left out, a limit with no value reads 0, the "not reported" of the fan list.
bool physicalFan(SMCFanReading &f)
{
    if (!(f.rpm >= 0) || !std::isfinite(f.rpm))
        return false;
    if (!(f.minRPM >= 0) || !std::isfinite(f.minRPM))
        f.minRPM = 0;
    if (!(f.maxRPM > 0) || !std::isfinite(f.maxRPM))
        f.maxRPM = 0;
    return true;
}

} // namespace

QList<SMCFanReading> SMCSampler::readFans()
{
    QList<SMCFanReading> out;
    const auto n = readKey(QStringLiteral("FNum"));
    if (!n || !(*n > 0))
        return out;
    const int count = saturatingCast<int>(*n);
    for (int i = 0; i < std::min(count, SMCMonitor::kMaxFans); ++i) {
        const QString base = QStringLiteral("F") + QString::number(i);
        const auto rpm = readKey(base + QStringLiteral("Ac"));
        if (!rpm)
            continue;
        SMCFanReading f;
        f.index = i;
        f.name = SMCMonitor::fanName(count, i);
        f.rpm = *rpm;
        f.minRPM = readKey(base + QStringLiteral("Mn")).value_or(0.0);
        f.maxRPM = readKey(base + QStringLiteral("Mx")).value_or(0.0);
        if (physicalFan(f))
            out.append(std::move(f));
    }
    return out;
}

namespace {

template <typename Pred>
std::optional<double> maxWhere(const QList<SMCTemperatureReading> &list, Pred pred)
{
    std::optional<double> best;
    for (const auto &r : list)
        if (pred(r) && (!best || r.celsius > *best))
            best = r.celsius;
    return best;
}

} // namespace

double SMCMonitor::cpuTemperature(const QList<SMCTemperatureReading> &sorted)
{
    for (const auto &r : sorted)
        if (r.key == QLatin1String("TC0P"))
            return r.celsius;
    if (auto v = maxWhere(sorted, [](const auto &r) { return r.name.startsWith(QLatin1String("CPU")); }))
        return *v;
    if (auto v = maxWhere(sorted, [](const auto &r) { return r.key.startsWith(QLatin1String("Tp")); }))
        return *v;
    return 0;
}

double SMCMonitor::gpuTemperature(const QList<SMCTemperatureReading> &sorted)
{
    for (const auto &r : sorted)
        if (r.key == QLatin1String("TG0P"))
            return r.celsius;
    if (auto v = maxWhere(sorted, [](const auto &r) { return r.name.contains(QLatin1String("GPU")); }))
        return *v;
    if (auto v = maxWhere(sorted, [](const auto &r) { return r.key.startsWith(QLatin1String("Tg")); }))
        return *v;
    return 0;
}

namespace {

bool plausible(double celsius) { return celsius > 1.0 && celsius < 128.0; }

void hottestFirst(QList<SMCTemperatureReading> &list)
{
    std::stable_sort(list.begin(), list.end(), [](const auto &a, const auto &b) { return a.celsius > b.celsius; });
}

} // namespace

SMCMonitor::Snapshot SMCSampler::sample()
{
    openAndDiscover();
    if (m_source)
        return sampleSource();
    SMCMonitor::Snapshot s;
    if (m_connection == 0)
        return s;
    s.connected = true;
    for (const auto &k : m_temperatureKeys) {
        const auto v = readKey(k.key, k.type);
        if (v && plausible(*v))
            s.temperatures.append({k.key, SMCMonitor::sensorName(k.key), *v});
    }
    hottestFirst(s.temperatures);
    s.cpuTemp = SMCMonitor::cpuTemperature(s.temperatures);
    s.gpuTemp = SMCMonitor::gpuTemperature(s.temperatures);
    s.fans = readFans();
    return s;
}

SMCMonitor::Snapshot SMCSampler::sampleSource()
{
    SMCMonitor::Snapshot s;
    if (m_connection == 0)
        return s;
    s.connected = true;
    // The CPU package reading stands where an Apple machine has "TC0P"; the CPU's other
    // sensors, then a board's CPU input, only without it.
    std::optional<double> package, cpu, board, gpu, die;
    const auto hottest = [](std::optional<double> &best, double v) {
        if (!best || v > *best)
            best = v;
    };
    for (const SensorTemperature &t : m_source->temperatures()) {
        if (!plausible(t.celsius))
            continue;
        s.temperatures.append({t.key, t.name, t.celsius});
        if (t.role == SensorRole::CpuPackage && !package)
            package = t.celsius;
        else if (t.role == SensorRole::Cpu)
            hottest(cpu, t.celsius);
        else if (t.role == SensorRole::BoardCpu)
            hottest(board, t.celsius);
        else if (t.role == SensorRole::GpuDie && !die)
            die = t.celsius;
        else if (t.role == SensorRole::Gpu)
            hottest(gpu, t.celsius);
    }
    hottestFirst(s.temperatures);
    s.cpuTemp = package ? *package : cpu ? *cpu : board.value_or(0);
    s.gpuTemp = die ? *die : gpu.value_or(0);
    const std::vector<SensorFan> fans = m_source->fans();
    const int count = static_cast<int>(fans.size());
    for (int i = 0; i < std::min(count, SMCMonitor::kMaxFans); ++i) {
        const SensorFan &f = fans[static_cast<size_t>(i)];
        SMCFanReading r{f.index, SMCMonitor::fanName(count, i), f.rpm, f.minRPM, f.maxRPM};
        if (physicalFan(r))
            s.fans.append(std::move(r));
    }
    if (!m_formerKeysSent) {
        m_formerKeysSent = true;
        s.formerKeys = m_source->formerKeys();
    }
    return s;
}

// --- main thread ---

void SMCMonitor::publish(const Snapshot &s)
{
    if (!s.connected) {
        emit updated();
        return;
    }
    ChangeSet changes;
    changes.set(this, m_temperatures, s.temperatures, &SMCMonitor::temperaturesChanged);
    changes.set(this, m_cpuTemp, s.cpuTemp, &SMCMonitor::cpuTempChanged);
    changes.set(this, m_gpuTemp, s.gpuTemp, &SMCMonitor::gpuTempChanged);
    changes.set(this, m_fans, s.fans, &SMCMonitor::fansChanged);
    if (!s.formerKeys.isEmpty())
        m_formerKeys = s.formerKeys;
    // The histories take every tick's reading, changed or not.
    if (m_cpuTemp > 0)
        m_cpuHistory->push(m_cpuTemp);
    if (m_gpuTemp > 0)
        m_gpuHistory->push(m_gpuTemp);
    changes.emitAll();
    emit updated();
}

QString SMCMonitor::renamedKeys(const QString &raw, const QHash<QString, QString> &formerKeys)
{
    QStringList keys = raw.split(QLatin1Char(','), Qt::SkipEmptyParts);
    bool changed = false;
    for (QString &k : keys) {
        if (const auto it = formerKeys.constFind(k); it != formerKeys.constEnd()) {
            k = *it;
            changed = true;
        }
    }
    if (!changed)
        return raw;
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys.join(QLatin1Char(','));
}

// --- labels ---

QString SMCMonitor::sensorName(const QString &key)
{
    static const QHash<QString, QString> table = {
        {QStringLiteral("TC0P"), QStringLiteral("CPU Proximity")},
        {QStringLiteral("TC0D"), QStringLiteral("CPU Die")},
        {QStringLiteral("TC0E"), QStringLiteral("CPU Die (PECI)")},
        {QStringLiteral("TC0F"), QStringLiteral("CPU Die (filtrat)")},
        {QStringLiteral("TCXC"), QStringLiteral("CPU PECI")},
        {QStringLiteral("TCSA"), QStringLiteral("CPU System Agent")},
        {QStringLiteral("TCGC"), QStringLiteral("Intel GPU")},
        {QStringLiteral("TCTD"), QStringLiteral("CPU Package")},
        {QStringLiteral("TG0P"), QStringLiteral("GPU Proximity")},
        {QStringLiteral("TG0D"), QStringLiteral("GPU Die")},
        {QStringLiteral("TGDD"), QStringLiteral("GPU Die")},
        {QStringLiteral("TGVP"), QStringLiteral("GPU VRAM Proximity")},
        {QStringLiteral("TM0P"), QStringLiteral("Memorie Proximity")},
        {QStringLiteral("TM0S"), QStringLiteral("Memorie")},
        {QStringLiteral("TB0T"), QStringLiteral("Baterie 1")},
        {QStringLiteral("TB1T"), QStringLiteral("Baterie 2")},
        {QStringLiteral("TB2T"), QStringLiteral("Baterie 3")},
        {QStringLiteral("Ts0P"), QStringLiteral("Palm Rest 1")},
        {QStringLiteral("Ts1P"), QStringLiteral("Palm Rest 2")},
        {QStringLiteral("TW0P"), QStringLiteral("Wi-Fi")},
        {QStringLiteral("TA0P"), QStringLiteral("Ambient 1")},
        {QStringLiteral("TA1P"), QStringLiteral("Ambient 2")},
        {QStringLiteral("TaLC"), QStringLiteral("Airflow stânga")},
        {QStringLiteral("TaRC"), QStringLiteral("Airflow dreapta")},
        {QStringLiteral("TaLP"), QStringLiteral("Airflow stânga")},
        {QStringLiteral("TaRF"), QStringLiteral("Airflow dreapta")},
        {QStringLiteral("Ta0P"), QStringLiteral("Airflow 1")},
        {QStringLiteral("Ta1P"), QStringLiteral("Airflow 2")},
        {QStringLiteral("TH0A"), QStringLiteral("SSD A")},
        {QStringLiteral("TH0B"), QStringLiteral("SSD B")},
        {QStringLiteral("TH0a"), QStringLiteral("SSD 1")},
        {QStringLiteral("TH0b"), QStringLiteral("SSD 2")},
        {QStringLiteral("TPCD"), QStringLiteral("Platform Controller Hub")},
        {QStringLiteral("TTLD"), QStringLiteral("Thunderbolt stânga")},
        {QStringLiteral("TTRD"), QStringLiteral("Thunderbolt dreapta")},
        {QStringLiteral("TI0P"), QStringLiteral("Thunderbolt Proximity 1")},
        {QStringLiteral("TI1P"), QStringLiteral("Thunderbolt Proximity 2")},
    };
    if (const auto it = table.constFind(key); it != table.constEnd())
        return *it;
    if (key.size() == 4 && key.startsWith(QLatin1String("TC"))
        && (key.endsWith(QLatin1Char('C')) || key.endsWith(QLatin1Char('c'))) && key.at(2).isDigit())
        return QStringLiteral("CPU Core ") + key.at(2);
    const QString rest = key.mid(2);
    if (key.startsWith(QLatin1String("Tp")))
        return QStringLiteral("CPU senzor ") + rest;
    if (key.startsWith(QLatin1String("Tg")))
        return QStringLiteral("GPU senzor ") + rest;
    if (key.startsWith(QLatin1String("Th")))
        return QStringLiteral("Heatpipe ") + rest;
    return QStringLiteral("Senzor ") + key;
}

// --- fan control ---

void SMCMonitor::setFanTarget(const QVariant &rpm, const QVariant &fanIndex)
{
    std::optional<double> r;
    std::optional<int> i;
    if (rpm.isValid() && !rpm.isNull())
        r = rpm.toDouble();
    if (fanIndex.isValid() && !fanIndex.isNull())
        i = fanIndex.toInt();
    setFanTarget(r, i);
}

void SMCMonitor::setFanTarget(std::optional<double> rpm, std::optional<int> fanIndex)
{
    const auto helper = m_fanControl->helperPath();
    if (!helper) {
        publishFanOutcome(std::nullopt, QStringLiteral("Helper-ul smcfan lipsește din instalare"));
        emit fanCommandFinished();
        return;
    }
    std::optional<long long> target;
    if (rpm) {
        target = checkedCast<long long>(*rpm);
        if (!target) {
            // Not a speed at all (NaN, infinite, beyond any integer): the helper would
            // refuse it, so it is never run.
            publishFanOutcome(std::nullopt, QStringLiteral("Ventilatorul a refuzat comanda"));
            emit fanCommandFinished();
            return;
        }
    }
    const QStringList args = FanControlBridge::helperArguments(target, fanIndex);
    m_fanControl->run(*helper, args, [this, target, fanIndex](FanControlBridge::Outcome o) {
        if (o.success) {
            QString message;
            if (!target) {
                message = QStringLiteral("Control automat restabilit");
            } else {
                QString label = QStringLiteral("ventilatoare");
                if (fanIndex) {
                    for (const auto &f : std::as_const(m_fans)) {
                        if (f.index == *fanIndex) {
                            label = f.name.toLower();
                            break;
                        }
                    }
                }
                message = QStringLiteral("Țintă ") + label + QStringLiteral(": ") + QString::number(*target)
                    + QStringLiteral(" rpm");
            }
            publishFanOutcome(target.has_value(), message);
        } else {
            publishFanOutcome(std::nullopt, o.message);
        }
        refresh();
        emit fanCommandFinished();
    });
}

void SMCMonitor::publishFanOutcome(std::optional<bool> manual, const QString &message)
{
    ChangeSet changes;
    if (manual)
        changes.set(this, m_fanManualActive, *manual, &SMCMonitor::fanManualActiveChanged);
    changes.set(this, m_fanControlMessage, std::optional<QString>(message), &SMCMonitor::fanControlMessageChanged);
    changes.emitAll();
    emit updated();
}

void SMCMonitor::restoreAutomaticFans()
{
    if (m_fanControl->beginRestore())
        m_fanControl->finishRestore(std::chrono::steady_clock::now()
                                    + std::chrono::milliseconds(m_fanControl->restoreTimeoutMs()));
}

} // namespace corvane
