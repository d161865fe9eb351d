#pragma once
// The machine's Wi-Fi interface and the current link on it.
#include <QDBusConnection>
#include <QString>

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// Security of the link, by the values a Wi-Fi framework reports.
enum class WiFiSecurity : int64_t {
    None = 0, WEP = 1, WPAPersonal = 2, WPAPersonalMixed = 3, WPA2Personal = 4, Personal = 5,
    DynamicWEP = 6, WPAEnterprise = 7, WPAEnterpriseMixed = 8, WPA2Enterprise = 9, Enterprise = 10,
    WPA3Personal = 11, WPA3Enterprise = 12, WPA3Transition = 13, OWE = 14, OWETransition = 15,
    Unknown = std::numeric_limits<int64_t>::max(),
};

// Band values: 1 = 2.4 GHz, 2 = 5 GHz, 3 = 6 GHz, 0 = unknown.
struct WiFiChannel {
    int64_t number = 0;
    int64_t band = 0;
    bool operator==(const WiFiChannel &) const = default;
};

// One reading of the interface; figures the system cannot give are 0 or absent.
struct WiFiInterfaceReading {
    std::optional<QString> ssid;
    int64_t rssi = 0;          // dBm
    int64_t noise = 0;         // dBm
    double transmitRate = 0.0; // Mbit/s
    int64_t security = static_cast<int64_t>(WiFiSecurity::Unknown);
    std::optional<WiFiChannel> channel;
    std::optional<QString> bssid;
    std::optional<QString> hardwareAddress;
};

class WiFiLink {
public:
    // Location authorisation statuses; the network name needs "always".
    static constexpr int kAuthorizedAlways = 3;

    virtual ~WiFiLink() = default;
    // nullopt when the machine has no Wi-Fi interface. Called on the sampler thread.
    virtual std::optional<WiFiInterfaceReading> currentInterface() = 0;
    // Any thread.
    virtual int locationAuthorizationStatus() const = 0;
    // Changes whenever what the link knows may have changed (a network daemon's change
    // signals), so a reader can keep its last answer until then. Constant for links that
    // announce nothing. Any thread.
    virtual uint64_t changeGeneration() const { return 0; }
};

// NetworkManager on `bus` (the system bus when none is given, connected on first use so the
// GUI thread never waits for it) for the link, <procRoot>/net/wireless for signal and noise in
// dBm. Each D-Bus call waits at most `timeoutMs`. Linux has no location permission: always granted.
// Each reading also listens to the Wi-Fi devices and their access points it found: their
// change signals (and NetworkManager starting or stopping) advance changeGeneration().
std::unique_ptr<WiFiLink> makeNetworkManagerWiFiLink(std::optional<QDBusConnection> bus = std::nullopt,
                                                     const QString &procRoot = QStringLiteral("/proc"),
                                                     int timeoutMs = 500);

class Nl80211;
// The link from nl80211 (any network daemon); `networkManager` adds the security only, and
// stands in for the whole reading where nl80211 cannot be reached. Either may be null.
// NetworkManager is asked again only when the access point changes or it announces a change.
std::unique_ptr<WiFiLink> makeNl80211WiFiLink(std::unique_ptr<Nl80211> nl, std::unique_ptr<WiFiLink> networkManager);
// The machine's own: the kernel's nl80211 with NetworkManager on the system bus.
std::unique_ptr<WiFiLink> makeLinuxWiFiLink();

namespace wifilinux {
// Centre frequency in MHz to channel number and band; nullopt outside the Wi-Fi bands.
std::optional<WiFiChannel> channelFromFrequency(uint32_t mhz);
// NetworkManager's access-point flags to a security value.
WiFiSecurity securityFromFlags(uint32_t flags, uint32_t wpaFlags, uint32_t rsnFlags);
struct WirelessLevels {
    std::optional<int64_t> signal; // dBm
    std::optional<int64_t> noise;  // dBm
};
// The line of `iface` in /proc/net/wireless; a figure counts only when the kernel marks it
// fresh and it is a dBm value. nullopt when the interface is not listed.
std::optional<WirelessLevels> parseProcNetWireless(std::string_view text, std::string_view iface);
// Interfaces listed in /proc/net/wireless, in file order.
std::vector<std::string> wirelessInterfaces(std::string_view text);
// NetworkManager's signal strength (percent) back to dBm, inverting its own dBm-to-percent scale.
int64_t strengthToDbm(uint32_t percent);
} // namespace wifilinux

} // namespace corvane
