#include "monitors/USBMonitor.h"
#include "monitors/Publish.h"

#include <QRandomGenerator>

#include <algorithm>
#include <limits>

namespace corvane {

USBMonitor::USBMonitor(QObject *parent)
    : USBMonitor(makeLinuxUsbRegistry(), Clock::system(), true, parent)
{
}

USBMonitor::USBMonitor(std::unique_ptr<UsbRegistry> registry, const Clock &clock, bool autoStart, QObject *parent)
    : QObject(parent), m_sampler(std::make_unique<USBSampler>(std::move(registry)))
{
    // sysfs reads stay off the GUI thread; only publication happens there. Every 3 s on
    // whole seconds of the wall clock, when the shared thread wakes for the system figures
    // anyway: a reading waits for the second's publication either way.
    m_scheduler = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.usb"), Cadence::alignedTo(3.0), sampleThenPublish(m_sampler.get(), this),
        SamplerScheduler::Placement::SharedThread, clock);
    if (autoStart)
        start();
}

USBMonitor::~USBMonitor()
{
    m_scheduler.reset(); // joins the sampler thread before the sampler goes
}

void USBMonitor::start()
{
    m_scheduler->start();
    m_scheduler->tickNow(); // a start reads at once
}
void USBMonitor::stop() { m_scheduler->stop(); }

QString USBMonitor::speedLabel(std::optional<int64_t> code)
{
    if (!code)
        return QStringLiteral("—");
    switch (*code) {
    case 0: return QStringLiteral("Low (1.5 Mb/s)");
    case 1: return QStringLiteral("Full (12 Mb/s)");
    case 2: return QStringLiteral("High (480 Mb/s)");
    case 3: return QStringLiteral("Super (5 Gb/s)");
    case 4: return QStringLiteral("Super+ (10 Gb/s)");
    case 5: return QStringLiteral("Super+ 20 (20 Gb/s)");
    default: return QStringLiteral("—");
    }
}

static qint64 saturatingMul2(qint64 v)
{
    qint64 r = 0;
    if (__builtin_mul_overflow(v, 2, &r))
        return v < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    return r;
}

static quint64 randomLocation()
{
    quint64 v = 0;
    while (v == 0)
        v = QRandomGenerator::global()->generate64();
    return v;
}

USBDevice USBMonitor::deviceFrom(const UsbDeviceProperties &p)
{
    USBDevice d;
    d.name = p.productName ? *p.productName : p.serviceName ? *p.serviceName : kFallbackName;
    d.vendor = p.vendorName;
    d.portSpeed = speedLabel(p.deviceSpeed);
    d.powerMilliAmps = p.requestedPower.value_or(0);
    if (p.busCurrentAllocation)
        d.busPowerMilliAmps = *p.busCurrentAllocation;
    else if (p.busPowerAvailable)
        d.busPowerMilliAmps = saturatingMul2(*p.busPowerAvailable);
    d.locationId = p.locationId ? *p.locationId : randomLocation();
    d.id = d.locationId;
    d.isBuiltIn = p.builtIn == 1;
    return d;
}

bool USBMonitor::nameLess(const QString &a, const QString &b)
{
    const QList<uint> ua = a.normalized(QString::NormalizationForm_C).toUcs4();
    const QList<uint> ub = b.normalized(QString::NormalizationForm_C).toUcs4();
    return std::lexicographical_compare(ua.begin(), ua.end(), ub.begin(), ub.end());
}

std::optional<USBMonitor::Snapshot> USBSampler::sample()
{
    auto props = m_registry->devices();
    if (!props)
        return std::nullopt;
    USBMonitor::Snapshot s;
    s.devices.reserve(props->size());
    for (const auto &p : *props) {
        USBDevice d = USBMonitor::deviceFrom(p);
        // A wrapped sum would flip the sign of the total.
        if (__builtin_add_overflow(s.total, d.powerMilliAmps, &s.total))
            s.total = d.powerMilliAmps < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
        s.devices.append(std::move(d));
    }
    std::stable_sort(s.devices.begin(), s.devices.end(),
                     [](const USBDevice &x, const USBDevice &y) { return USBMonitor::nameLess(x.name, y.name); });
    return s;
}

void USBMonitor::publish(const Snapshot &s)
{
    ChangeSet changes;
    changes.set(this, m_devices, s.devices, &USBMonitor::devicesChanged);
    changes.set(this, m_totalDrawnMilliAmps, s.total, &USBMonitor::totalDrawnMilliAmpsChanged);
    changes.set(this, m_totalEstimatedWatts, static_cast<double>(s.total) * 5.0 / 1000.0,
                &USBMonitor::totalEstimatedWattsChanged);
    changes.emitAll();
    emit updated();
}

QVariantList USBMonitor::devicesVariant() const
{
    QVariantList out;
    out.reserve(m_devices.size());
    for (const auto &d : m_devices)
        out.append(QVariant::fromValue(d));
    return out;
}

} // namespace corvane
