#include "monitors/NetworkMonitor.h"
#include "monitors/Publish.h"
#include "monitors/Rates.h"

namespace corvane {

NetworkMonitor::NetworkMonitor(QObject *parent)
    : NetworkMonitor(makeLinuxNetworkCounters(), Clock::system(), true, parent)
{
}

NetworkMonitor::NetworkMonitor(std::unique_ptr<NetworkCounters> source, const Clock &clock, bool autoStart,
                               QObject *parent)
    : QObject(parent), m_sampler(std::make_unique<NetworkSampler>(std::move(source), clock)),
      m_downHistory(new MetricHistory(this)), m_upHistory(new MetricHistory(this))
{
    m_scheduler = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.network-sampler"), Cadence::every(m_interval),
        sampleThenPublish(m_sampler.get(), this),
        SamplerScheduler::Placement::SharedThread, clock);
    if (autoStart)
        start();
}

NetworkMonitor::~NetworkMonitor()
{
    m_scheduler.reset(); // joins the sampler thread before the sampler goes
}

void NetworkMonitor::start() { m_scheduler->start(); }
void NetworkMonitor::stop() { m_scheduler->stop(); }

void NetworkMonitor::setInterval(double seconds)
{
    m_interval = seconds;
    m_scheduler->setCadence(Cadence::every(seconds));
}

NetworkSampler::Totals NetworkSampler::sumInterfaceCounters(const QList<InterfaceCounters> &list)
{
    Totals t;
    uint64_t best = 0;
    bool routed = false;
    for (const auto &i : list) {
        if (!i.linkLevel || !i.physical)
            continue;
        if (i.name.startsWith(u"lo"))
            continue;
        t.received += i.rxBytes;
        t.sent += i.txBytes;
        if (routed)
            continue;
        if (i.defaultRoute) {
            routed = true;
            t.primary = i.name;
            continue;
        }
        const uint64_t traffic = i.rxBytes + i.txBytes;
        if (traffic > best) {
            best = traffic;
            t.primary = i.name;
        }
    }
    return t;
}

std::optional<NetworkSnapshot> NetworkSampler::sample()
{
    // A failed or empty listing would read as zero traffic and make the next tick's rate the
    // whole counter: keep the baseline instead.
    auto list = m_source->interfaces();
    if (!list || list->isEmpty())
        return std::nullopt;
    Totals totals = sumInterfaceCounters(*list);
    const uint64_t now = m_clock.monotonicNs();

    NetworkSnapshot s;
    if (m_lastTimestampNs != 0) {
        const double dt = rateInterval(now, m_lastTimestampNs);
        s.rates = NetworkSnapshot::Rates{counterRate(totals.received, m_lastIn, dt),
                                         counterRate(totals.sent, m_lastOut, dt)};
    }
    m_lastIn = totals.received;
    m_lastOut = totals.sent;
    m_lastTimestampNs = now;
    s.received = totals.received;
    s.sent = totals.sent;
    s.primary = std::move(totals.primary);
    return s;
}

void NetworkMonitor::publish(const Snapshot &s)
{
    ChangeSet changes;
    if (s.rates) {
        changes.set(this, m_down, quint64(s.rates->down), &NetworkMonitor::downloadBytesPerSecChanged);
        changes.set(this, m_up, quint64(s.rates->up), &NetworkMonitor::uploadBytesPerSecChanged);
    }
    changes.set(this, m_totalDown, quint64(s.received), &NetworkMonitor::totalDownloadedBytesChanged);
    changes.set(this, m_totalUp, quint64(s.sent), &NetworkMonitor::totalUploadedBytesChanged);
    changes.set(this, m_primary, s.primary, &NetworkMonitor::primaryInterfaceChanged);
    if (s.rates) {
        m_downHistory->push(static_cast<double>(s.rates->down));
        m_upHistory->push(static_cast<double>(s.rates->up));
    }
    changes.emitAll();
    emit updated();
}

} // namespace corvane
