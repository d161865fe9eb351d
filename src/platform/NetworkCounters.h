#pragma once
// Byte counters of the machine's network interfaces, in interface-index order.
#include <QString>
#include <QList>

#include <cstdint>
#include <memory>
#include <optional>

namespace corvane {

struct InterfaceCounters {
    QString name;
    bool linkLevel = true; // false: an entry without link-level counters (skipped)
    bool physical = true;  // false: a virtual link (tunnel, bridge, veth, loopback)
    bool defaultRoute = false; // carries the default route
    uint64_t rxBytes = 0;
    uint64_t txBytes = 0;
};

class NetworkCounters {
public:
    virtual ~NetworkCounters() = default;
    // nullopt when the interface list cannot be read at all.
    virtual std::optional<QList<InterfaceCounters>> interfaces() = 0;
};

// Reads <sysRoot>/class/net/*/statistics/{rx,tx}_bytes; an interface whose device lives under
// <sysRoot>/devices/virtual is not physical. The default route comes from <procRoot>/net/route
// (IPv4, lowest metric) or else <procRoot>/net/ipv6_route.
std::unique_ptr<NetworkCounters> makeLinuxNetworkCounters(const QString &sysRoot = QStringLiteral("/sys"),
                                                          const QString &procRoot = QStringLiteral("/proc"));

} // namespace corvane
