#include "common/Numbers.h"

#include "common/Log.h"
#include "platform/WiFiLink.h"
#include "platform/linux/NetworkManagerSignals.h"
#include "platform/linux/SysFile.h"

#include <QCoreApplication>
#include <QSet>
#include <QThread>

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QVariantMap>

#include <charconv>
#include <cmath>

namespace corvane {

namespace wifilinux {

std::optional<WiFiChannel> channelFromFrequency(uint32_t mhz)
{
    if (mhz == 2484)
        return WiFiChannel{14, 1};
    if (mhz >= 2412 && mhz <= 2472 && (mhz - 2407) % 5 == 0)
        return WiFiChannel{(mhz - 2407) / 5, 1};
    // 6 GHz channel 2 sits below the regular 20 MHz grid.
    if (mhz == 5935)
        return WiFiChannel{2, 3};
    if (mhz >= 5955 && mhz <= 7115 && (mhz - 5950) % 5 == 0)
        return WiFiChannel{(mhz - 5950) / 5, 3};
    if (mhz >= 5160 && mhz <= 5885 && (mhz - 5000) % 5 == 0)
        return WiFiChannel{(mhz - 5000) / 5, 2};
    if (mhz >= 4915 && mhz <= 4980 && (mhz - 4000) % 5 == 0) // Japanese 4.9 GHz channels
        return WiFiChannel{(mhz - 4000) / 5, 2};
    return std::nullopt;
}

WiFiSecurity securityFromFlags(uint32_t flags, uint32_t wpa, uint32_t rsn)
{
    // Values of NetworkManager's NM80211ApFlags and NM80211ApSecurityFlags.
    constexpr uint32_t privacy = 0x1;
    constexpr uint32_t psk = 0x100, eap = 0x200, sae = 0x400, owe = 0x800, oweTransition = 0x1000,
                       suiteB192 = 0x2000;
    if (rsn & oweTransition)
        return WiFiSecurity::OWETransition;
    if (rsn & owe)
        return WiFiSecurity::OWE;
    if (rsn & suiteB192)
        return WiFiSecurity::WPA3Enterprise;
    if (rsn & sae)
        return (rsn & psk) ? WiFiSecurity::WPA3Transition : WiFiSecurity::WPA3Personal;
    if ((rsn | wpa) & eap) {
        if ((rsn & eap) && (wpa & eap))
            return WiFiSecurity::WPAEnterpriseMixed;
        return (rsn & eap) ? WiFiSecurity::WPA2Enterprise : WiFiSecurity::WPAEnterprise;
    }
    if ((rsn | wpa) & psk) {
        if ((rsn & psk) && (wpa & psk))
            return WiFiSecurity::WPAPersonalMixed;
        return (rsn & psk) ? WiFiSecurity::WPA2Personal : WiFiSecurity::WPAPersonal;
    }
    if (wpa == 0 && rsn == 0)
        return (flags & privacy) ? WiFiSecurity::WEP : WiFiSecurity::None;
    return WiFiSecurity::Unknown;
}

static std::vector<std::string_view> lines(std::string_view text)
{
    std::vector<std::string_view> out;
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        out.push_back(text.substr(0, eol));
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    }
    return out;
}

// "wlan0: 0000   54.  -56.  -256  ..." → the interface name, and the rest after ':'.
static std::optional<std::pair<std::string_view, std::string_view>> splitLine(std::string_view line)
{
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    const std::string_view name = sysfile::trim(line.substr(0, colon));
    // The two header lines contain '|' and no interface.
    if (name.empty() || name.find('|') != std::string_view::npos)
        return std::nullopt;
    return std::make_pair(name, line.substr(colon + 1));
}

static std::vector<std::string_view> fields(std::string_view s)
{
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        const size_t start = i;
        while (i < s.size() && s[i] != ' ' && s[i] != '\t')
            ++i;
        if (i > start)
            out.push_back(s.substr(start, i - start));
    }
    return out;
}

// A fresh value carries a trailing '.'; without it the kernel has nothing current.
static std::optional<int64_t> freshDbm(std::string_view field)
{
    if (field.empty() || field.back() != '.')
        return std::nullopt;
    field.remove_suffix(1);
    int64_t v = 0;
    auto [p, ec] = std::from_chars(field.data(), field.data() + field.size(), v);
    if (ec != std::errc() || p != field.data() + field.size())
        return std::nullopt;
    // Old drivers report an unsigned byte; 0 and positive small numbers are qualities, not dBm.
    if (v > 110 && v < 256)
        v -= 256;
    if (v >= 0 || v <= -256)
        return std::nullopt;
    return v;
}

std::optional<WirelessLevels> parseProcNetWireless(std::string_view text, std::string_view iface)
{
    for (const auto line : lines(text)) {
        const auto split = splitLine(line);
        if (!split || split->first != iface)
            continue;
        const auto f = fields(split->second); // status link level noise ...
        WirelessLevels w;
        if (f.size() >= 4) {
            w.signal = freshDbm(f[2]);
            w.noise = freshDbm(f[3]);
        }
        return w;
    }
    return std::nullopt;
}

std::vector<std::string> wirelessInterfaces(std::string_view text)
{
    std::vector<std::string> out;
    for (const auto line : lines(text))
        if (const auto split = splitLine(line))
            out.emplace_back(split->first);
    return out;
}

int64_t strengthToDbm(uint32_t percent)
{
    // NetworkManager maps -100..-40 dBm linearly onto 0..100 %.
    const double q = std::min<uint32_t>(percent, 100);
    return checkedCast<int64_t>(std::round(-100.0 + q * 0.6)).value_or(0);
}

} // namespace wifilinux

namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kRootPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kDeviceIface = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString kWirelessIface = QStringLiteral("org.freedesktop.NetworkManager.Device.Wireless");
const QString kApIface = QStringLiteral("org.freedesktop.NetworkManager.AccessPoint");
const QString kPropertiesIface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kPropertiesChanged = QStringLiteral("PropertiesChanged");
const char *const kPropertiesSlot = SLOT(propertiesChanged(QString, QVariantMap, QStringList));
constexpr uint32_t kDeviceTypeWifi = 2;

std::optional<QString> nonEmpty(const QVariant &v)
{
    const QString s = v.toString();
    if (s.isEmpty())
        return std::nullopt;
    return s;
}

class NetworkManagerWiFiLink final : public WiFiLink {
public:
    NetworkManagerWiFiLink(std::optional<QDBusConnection> bus, const QString &procRoot, int timeoutMs)
        : m_bus(std::move(bus)), m_wireless(procRoot.toStdString() + "/net/wireless"), m_timeoutMs(timeoutMs),
          m_signals(new NetworkManagerSignals)
    {
        // Signals are delivered on the receiver's thread: the application's, whose event loop
        // runs for as long as the app does (the reader's own thread has none).
        if (QCoreApplication *app = QCoreApplication::instance(); app && app->thread() != QThread::currentThread())
            m_signals->moveToThread(app->thread());
    }

    ~NetworkManagerWiFiLink() override
    {
        if (m_bus && m_bus->isConnected()) {
            for (const QString &path : std::as_const(m_watched))
                m_bus->disconnect(kService, path, kPropertiesIface, kPropertiesChanged, m_signals, kPropertiesSlot);
            if (m_ownerWatched)
                disconnectOwner();
        }
        m_signals->deleteLater(); // it may be handling a signal on its own thread right now
    }

    uint64_t changeGeneration() const override { return m_signals->generation(); }

    std::optional<WiFiInterfaceReading> currentInterface() override
    {
        std::string procText;
        const bool haveProc = sysfile::readInto(m_wireless, procText, 64 * 1024);
        if (const auto devices = wifiDevices())
            return fromNetworkManager(*devices, haveProc ? std::string_view(procText) : std::string_view());
        // No NetworkManager: the kernel's table still gives the interface and its levels.
        if (!haveProc)
            return std::nullopt;
        const auto names = wifilinux::wirelessInterfaces(procText);
        if (names.empty())
            return std::nullopt;
        WiFiInterfaceReading r;
        applyLevels(r, procText, names.front());
        return r;
    }

    int locationAuthorizationStatus() const override { return kAuthorizedAlways; }

private:
    struct Device {
        QString interfaceName;
        QVariantMap wireless;
        QString activeAp;
    };

    std::optional<QDBusMessage> call(const QString &path, const QString &iface, const QString &method,
                                     const QVariantList &args = {}) const
    {
        QDBusMessage msg = QDBusMessage::createMethodCall(kService, path, iface, method);
        msg.setArguments(args);
        const QDBusMessage reply = m_bus->call(msg, QDBus::Block, m_timeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            // Polled every few seconds: only on request, or machines without it fill the log.
            qCDebug(lcPlatform).noquote() << "NetworkManager" << method << "failed:" << reply.errorMessage();
            return std::nullopt;
        }
        return reply;
    }

    std::optional<QVariantMap> getAll(const QString &path, const QString &iface) const
    {
        const auto reply = call(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
                                {iface});
        if (!reply)
            return std::nullopt;
        const QVariant first = reply->arguments().constFirst();
        if (first.canConvert<QDBusArgument>())
            return qdbus_cast<QVariantMap>(first.value<QDBusArgument>());
        if (first.metaType() == QMetaType::fromType<QVariantMap>())
            return first.toMap();
        return std::nullopt;
    }

    static QList<QDBusObjectPath> objectPaths(const QVariant &v)
    {
        if (v.canConvert<QDBusArgument>())
            return qdbus_cast<QList<QDBusObjectPath>>(v.value<QDBusArgument>());
        return v.value<QList<QDBusObjectPath>>();
    }

    // nullopt when NetworkManager does not answer; an empty list when it has no Wi-Fi device.
    std::optional<QList<Device>> wifiDevices()
    {
        if (!m_bus)
            m_bus = QDBusConnection::systemBus();
        if (!m_bus->isConnected())
            return std::nullopt;
        if (!m_ownerWatched)
            m_ownerWatched = m_bus->connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"),
                                            {kService}, QString(), m_signals,
                                            SLOT(ownerChanged(QString, QString, QString)));
        const auto reply = call(kRootPath, kService, QStringLiteral("GetDevices"));
        if (!reply)
            return std::nullopt;
        QList<Device> out;
        QSet<QString> watch;
        for (const auto &path : objectPaths(reply->arguments().constFirst())) {
            const auto dev = getAll(path.path(), kDeviceIface);
            if (!dev || dev->value(QStringLiteral("DeviceType")).toUInt() != kDeviceTypeWifi)
                continue;
            Device d;
            d.interfaceName = dev->value(QStringLiteral("Interface")).toString();
            if (auto w = getAll(path.path(), kWirelessIface))
                d.wireless = *w;
            const QString ap = d.wireless.value(QStringLiteral("ActiveAccessPoint")).value<QDBusObjectPath>().path();
            if (!ap.isEmpty() && ap != u"/")
                d.activeAp = ap;
            watch.insert(path.path());
            if (!d.activeAp.isEmpty())
                watch.insert(d.activeAp);
            out.append(std::move(d));
        }
        watchPaths(watch);
        return out;
    }

    // Listens to exactly the Wi-Fi devices and active access points of the last reading:
    // their properties say when the link (and so its security) changes.
    void watchPaths(const QSet<QString> &paths)
    {
        for (auto it = m_watched.begin(); it != m_watched.end();) {
            if (paths.contains(*it)) {
                ++it;
                continue;
            }
            m_bus->disconnect(kService, *it, kPropertiesIface, kPropertiesChanged, m_signals, kPropertiesSlot);
            it = m_watched.erase(it);
        }
        for (const QString &path : paths)
            if (!m_watched.contains(path)
                && m_bus->connect(kService, path, kPropertiesIface, kPropertiesChanged, m_signals, kPropertiesSlot))
                m_watched.insert(path);
    }

    void disconnectOwner()
    {
        m_bus->disconnect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                          QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"), {kService},
                          QString(), m_signals, SLOT(ownerChanged(QString, QString, QString)));
    }

    static void applyLevels(WiFiInterfaceReading &r, std::string_view procText, std::string_view iface)
    {
        if (const auto w = wifilinux::parseProcNetWireless(procText, iface)) {
            if (w->signal)
                r.rssi = *w->signal;
            if (w->noise)
                r.noise = *w->noise;
        }
    }

    std::optional<WiFiInterfaceReading> fromNetworkManager(const QList<Device> &devices, std::string_view procText) const
    {
        if (devices.isEmpty())
            return std::nullopt;
        // The associated interface, else the first one.
        const Device *dev = &devices.front();
        for (const auto &d : devices)
            if (!d.activeAp.isEmpty()) {
                dev = &d;
                break;
            }
        WiFiInterfaceReading r;
        r.hardwareAddress = nonEmpty(dev->wireless.value(QStringLiteral("HwAddress")));
        if (dev->activeAp.isEmpty())
            return r;
        const auto ap = getAll(dev->activeAp, kApIface);
        if (!ap)
            return r;
        const QByteArray ssid = ap->value(QStringLiteral("Ssid")).toByteArray();
        if (!ssid.isEmpty())
            r.ssid = QString::fromUtf8(ssid);
        r.bssid = nonEmpty(ap->value(QStringLiteral("HwAddress")));
        // The kernel's dBm figures are exact; NetworkManager's percentage is the fallback.
        const QByteArray iface = dev->interfaceName.toUtf8();
        applyLevels(r, procText, std::string_view(iface.constData(), static_cast<size_t>(iface.size())));
        if (r.rssi == 0 && ap->contains(QStringLiteral("Strength")))
            r.rssi = wifilinux::strengthToDbm(ap->value(QStringLiteral("Strength")).toUInt());
        r.transmitRate = dev->wireless.value(QStringLiteral("Bitrate")).toUInt() / 1000.0; // kbit/s
        r.security = static_cast<int64_t>(wifilinux::securityFromFlags(ap->value(QStringLiteral("Flags")).toUInt(),
                                                                       ap->value(QStringLiteral("WpaFlags")).toUInt(),
                                                                       ap->value(QStringLiteral("RsnFlags")).toUInt()));
        r.channel = wifilinux::channelFromFrequency(ap->value(QStringLiteral("Frequency")).toUInt());
        return r;
    }

    std::optional<QDBusConnection> m_bus;
    std::string m_wireless;
    int m_timeoutMs;
    NetworkManagerSignals *m_signals;
    QSet<QString> m_watched;
    bool m_ownerWatched = false;
};

} // namespace

std::unique_ptr<WiFiLink> makeNetworkManagerWiFiLink(std::optional<QDBusConnection> bus, const QString &procRoot,
                                                     int timeoutMs)
{
    return std::make_unique<NetworkManagerWiFiLink>(std::move(bus), procRoot, timeoutMs);
}

} // namespace corvane
