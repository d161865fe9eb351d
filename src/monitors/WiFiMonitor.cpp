#include "monitors/WiFiMonitor.h"

namespace corvane {

WiFiMonitor::WiFiMonitor(QObject *parent)
    : WiFiMonitor(makeNetworkManagerWiFiLink(), Clock::system(), true, parent)
{
}

WiFiMonitor::WiFiMonitor(std::unique_ptr<WiFiLink> link, const Clock &clock, bool autoStart, QObject *parent)
    : QObject(parent), m_link(std::move(link))
{
    m_scheduler = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.wifi"), Cadence::offsetThenEvery(0.1, 3.0),
        [this] {
            const WiFiSample s = sampleWiFi();
            QMetaObject::invokeMethod(this, [this, s] { publish(s); }, Qt::QueuedConnection);
        },
        SamplerScheduler::Placement::OwnThread, clock);
    m_locationAuthorized = m_link->locationAuthorizationStatus() == WiFiLink::kAuthorizedAlways;
    if (autoStart)
        start();
}

WiFiMonitor::~WiFiMonitor()
{
    m_scheduler.reset();
}

void WiFiMonitor::start() { m_scheduler->start(); }
void WiFiMonitor::stop() { m_scheduler->stop(); }

QString WiFiMonitor::signalQualityLabel(qint64 rssi)
{
    if (rssi > 0)
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

WiFiMonitor::WiFiSample WiFiMonitor::sampleWiFi()
{
    return sampleFrom(m_link->currentInterface());
}

void WiFiMonitor::publish(const WiFiSample &s)
{
    m_sample.isConnected = s.isConnected;
    emit isConnectedChanged();
    m_sample.ssid = s.ssid;
    emit ssidChanged();
    m_sample.bssid = s.bssid;
    emit bssidChanged();
    m_sample.rssiDbm = s.rssiDbm;
    emit rssiDbmChanged();
    m_sample.noiseDbm = s.noiseDbm;
    emit noiseDbmChanged();
    m_sample.transmitRateMbps = s.transmitRateMbps;
    emit transmitRateMbpsChanged();
    m_sample.securityType = s.securityType;
    emit securityTypeChanged();
    m_sample.channelLabel = s.channelLabel;
    emit channelLabelChanged();
    m_sample.hardwareAddress = s.hardwareAddress;
    emit hardwareAddressChanged();
    emit updated();
}

void WiFiMonitor::locationAuthorizationDidChange()
{
    // The status may change on any thread; the field is written on ours.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_locationAuthorized = m_link->locationAuthorizationStatus() == WiFiLink::kAuthorizedAlways;
            emit locationAuthorizedChanged();
        },
        Qt::QueuedConnection);
}

} // namespace corvane
