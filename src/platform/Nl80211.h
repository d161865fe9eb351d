#pragma once
// The kernel's Wi-Fi configuration interface (nl80211): the station interfaces and, while
// associated, their link, whichever daemon (NetworkManager, iwd, wpa_supplicant,
// systemd-networkd) manages the connection.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace corvane {

struct Nl80211Station {
    QString name; // interface name
    uint32_t ifindex = 0;
    std::optional<QString> mac; // the interface's own address
    bool associated = false;
    // The link while associated; absent where the driver does not report a figure.
    QByteArray ssid;
    std::optional<QString> bssid;
    std::optional<int64_t> signalDbm;
    std::optional<int64_t> noiseDbm;
    std::optional<double> txRateMbps;
    std::optional<uint32_t> frequencyMhz;
    bool operator==(const Nl80211Station &) const = default;
};

class Nl80211 {
public:
    virtual ~Nl80211() = default;
    // Station interfaces in interface order; nullopt when nl80211 cannot be reached.
    virtual std::optional<std::vector<Nl80211Station>> stations() = 0;
};

// Generic netlink through libnl-genl; the socket opens on first use.
std::unique_ptr<Nl80211> makeLinuxNl80211();

} // namespace corvane
