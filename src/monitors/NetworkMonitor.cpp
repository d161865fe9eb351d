#include "monitors/NetworkMonitor.h"
#include "monitors/Rates.h"

namespace corvane {

NetworkMonitor::NetworkMonitor(QObject *parent)
    : NetworkMonitor(makeLinuxNetworkCounters(), Clock::system(), true, parent)
{
}

NetworkMonitor::NetworkMonitor(std::unique_ptr<NetworkCounters> source, const Clock &clock, bool autoStart,
                               QObject *parent)
    : QObject(parent), m_source(std::move(source)), m_clock(clock), m_downHistory(new MetricHistory(this)),
      m_upHistory(new MetricHistory(this))
{
    m_scheduler = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.network-sampler"), Cadence::wholeSecond(),
        sampleThenPublish(this),
        SamplerScheduler::Placement::OwnThread, clock);
    if (autoStart)
        start();
}

NetworkMonitor::~NetworkMonitor()
{
    m_scheduler.reset();
}

void NetworkMonitor::start() { m_scheduler->start(); }
void NetworkMonitor::stop() { m_scheduler->stop(); }

NetworkMonitor::Totals NetworkMonitor::sumInterfaceCounters(const QList<InterfaceCounters> &list)
{
    Totals t;
    uint64_t best = 0;
    for (const auto &i : list) {
        if (!i.linkLevel)
            continue;
        if (i.name.startsWith(u"lo") || i.name.startsWith(u"utun") || i.name.startsWith(u"awdl")
            || i.name.startsWith(u"llw"))
            continue;
        t.received += i.rxBytes;
        t.sent += i.txBytes;
        const uint64_t traffic = i.rxBytes + i.txBytes;
        if (traffic > best) {
            best = traffic;
            t.primary = i.name;
        }
    }
    return t;
}

NetworkMonitor::Snapshot NetworkMonitor::sample()
{
    Snapshot s;
    if (auto list = m_source->interfaces(); list && !list->isEmpty())
        s.totals = sumInterfaceCounters(*list);
    s.timestampNs = m_clock.monotonicNs();
    return s;
}

void NetworkMonitor::publish(const Snapshot &s)
{
    if (m_lastTimestampNs != 0) {
        const double dt = rateInterval(s.timestampNs, m_lastTimestampNs);
        const uint64_t down = counterRate(s.totals.received, m_lastIn, dt);
        const uint64_t up = counterRate(s.totals.sent, m_lastOut, dt);
        m_down = down;
        emit downloadBytesPerSecChanged();
        m_up = up;
        emit uploadBytesPerSecChanged();
        m_downHistory->push(static_cast<double>(down));
        m_upHistory->push(static_cast<double>(up));
    }
    m_lastIn = s.totals.received;
    m_lastOut = s.totals.sent;
    m_lastTimestampNs = s.timestampNs;
    m_totalDown = s.totals.received;
    emit totalDownloadedBytesChanged();
    m_totalUp = s.totals.sent;
    emit totalUploadedBytesChanged();
    m_primary = s.totals.primary;
    emit primaryInterfaceChanged();
    emit updated();
}

} // namespace corvane
