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
    uint64_t rxBytes = 0;
    uint64_t txBytes = 0;
};

class NetworkCounters {
public:
    virtual ~NetworkCounters() = default;
    // nullopt when the interface list cannot be read at all.
    virtual std::optional<QList<InterfaceCounters>> interfaces() = 0;
};

// Reads <sysRoot>/class/net/*/statistics/{rx,tx}_bytes.
std::unique_ptr<NetworkCounters> makeLinuxNetworkCounters(const QString &sysRoot = QStringLiteral("/sys"));

} // namespace corvane
