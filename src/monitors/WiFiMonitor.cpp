#include "monitors/WiFiMonitor.h"
#include "monitors/Publish.h"

namespace corvane {

WiFiMonitor::WiFiMonitor(QObject *parent)
    : WiFiMonitor(makeLinuxWiFiLink(), Clock::system(), true, parent)
{
}

WiFiMonitor::WiFiMonitor(std::unique_ptr<WiFiLink> link, const Clock &clock, bool autoStart, QObject *parent)
    : QObject(parent), m_sampler(std::make_unique<WiFiSampler>(std::move(link)))
{
    m_scheduler = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.wifi"), Cadence::offsetThenEvery(0.1, 3.0), sampleThenPublish(m_sampler.get(), this),
        SamplerScheduler::Placement::OwnThread, clock);
    m_locationAuthorized = m_sampler->locationAuthorized();
    if (autoStart)
        start();
}

WiFiMonitor::~WiFiMonitor()
{
    m_scheduler.reset(); // joins the sampler thread before the sampler goes
}

void WiFiMonitor::start() { m_scheduler->start(); }
void WiFiMonitor::stop() { m_scheduler->stop(); }

QString WiFiMonitor::signalQualityLabel(qint64 rssi)
{
    // 0 is no reading at all (not connected, no interface), not a perfect signal.
    if (rssi >= 0)
        return QStringLiteral("—");
    if (rssi >= -49)
        return QStringLiteral("Excelent");
    if (rssi >= -64)
        return QStringLiteral("Bun");
    if (rssi >= -80)
        return QStringLiteral("Mediu");
    return QStringLiteral("Slab");
}

QString WiFiMonitor::securityLabel(int64_t raw)
{
    static const char *const labels[] = {
        "Open",       "WEP",  "WPA",       "WPA/WPA2", "WPA2", "Personal", "WEP-Dyn",  "WPA Ent",
        "WPA Ent Mixed", "WPA2 Ent", "Enterprise", "WPA3", "WPA3 Ent", "WPA3 Tran", "OWE", "OWE Tran",
    };
    if (raw < 0 || raw >= static_cast<int64_t>(std::size(labels)))
        return QStringLiteral("?");
    return QString::fromLatin1(labels[raw]);
}

std::optional<QString> WiFiMonitor::channelText(const std::optional<WiFiChannel> &channel)
{
    if (!channel)
        return std::nullopt;
    QString band;
    switch (channel->band) {
    case 1: band = QStringLiteral("2.4 GHz"); break;
    case 2: band = QStringLiteral("5 GHz"); break;
    case 3: band = QStringLiteral("6 GHz"); break;
    default: band = QStringLiteral("?"); break;
    }
    return QStringLiteral("Ch ") + QString::number(channel->number) + QStringLiteral(" · ") + band;
}

WiFiMonitor::WiFiSample WiFiMonitor::sampleFrom(const std::optional<WiFiInterfaceReading> &reading)
{
    WiFiSample s;
    if (!reading)
        return s;
    const WiFiInterfaceReading &r = *reading;
    // A hidden network has no name but still a signal.
    s.ssid = r.ssid;
    s.isConnected = r.ssid.has_value() || r.rssi != 0;
    s.rssiDbm = r.rssi;
    s.noiseDbm = r.noise;
    s.transmitRateMbps = r.transmitRate;
    s.securityType = securityLabel(r.security);
    s.channelLabel = channelText(r.channel);
    s.bssid = r.bssid;
    s.hardwareAddress = r.hardwareAddress;
    return s;
}

void WiFiMonitor::publish(const WiFiSample &s)
{
    ChangeSet changes;
    changes.set(this, m_sample.isConnected, s.isConnected, &WiFiMonitor::isConnectedChanged);
    changes.set(this, m_sample.ssid, s.ssid, &WiFiMonitor::ssidChanged);
    changes.set(this, m_sample.bssid, s.bssid, &WiFiMonitor::bssidChanged);
    changes.set(this, m_sample.rssiDbm, s.rssiDbm, &WiFiMonitor::rssiDbmChanged);
    changes.set(this, m_sample.noiseDbm, s.noiseDbm, &WiFiMonitor::noiseDbmChanged);
    changes.set(this, m_sample.transmitRateMbps, s.transmitRateMbps, &WiFiMonitor::transmitRateMbpsChanged);
    changes.set(this, m_sample.securityType, s.securityType, &WiFiMonitor::securityTypeChanged);
    changes.set(this, m_sample.channelLabel, s.channelLabel, &WiFiMonitor::channelLabelChanged);
    changes.set(this, m_sample.hardwareAddress, s.hardwareAddress, &WiFiMonitor::hardwareAddressChanged);
    changes.emitAll();
    emit updated();
}

void WiFiMonitor::locationAuthorizationDidChange()
{
    // The status may change on any thread; the field is written on ours.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (assignChanged(m_locationAuthorized, m_sampler->locationAuthorized()))
                emit locationAuthorizedChanged();
            emit updated();
        },
        Qt::QueuedConnection);
}

} // namespace corvane
