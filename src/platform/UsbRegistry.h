#pragma once
// The USB devices attached to the machine, one property set per device (not per interface).
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace corvane {

// Speed classes of a device's link.
enum class UsbSpeedCode : int64_t { Low = 0, Full = 1, High = 2, Super = 3, SuperPlus = 4, SuperPlus20 = 5 };

// What the system knows about one device; every field may be missing.
struct UsbDeviceProperties {
    std::optional<QString> productName;
    std::optional<QString> serviceName;  // the registry's own name for the device
    std::optional<QString> vendorName;
    std::optional<int64_t> deviceSpeed;  // a UsbSpeedCode value, or another number
    std::optional<int64_t> requestedPower; // mA
    std::optional<int64_t> busCurrentAllocation; // mA
    std::optional<int64_t> busPowerAvailable;    // units of 2 mA
    std::optional<uint64_t> locationId;
    std::optional<int64_t> builtIn; // 1 for a device fixed inside the machine
};

class UsbRegistry {
public:
    virtual ~UsbRegistry() = default;
    // Every device once, in the registry's order; nullopt when they cannot be listed.
    virtual std::optional<QList<UsbDeviceProperties>> devices() = 0;
};

// Reads <sysRoot>/bus/usb/devices. Safe to call from any one thread at a time.
std::unique_ptr<UsbRegistry> makeLinuxUsbRegistry(const QString &sysRoot = QStringLiteral("/sys"));

namespace usbsysfs {
// The kernel's "speed" text (Mbit/s) to a speed code; nullopt for other speeds.
std::optional<int64_t> speedCode(std::string_view mbits);
// A location id from the bus number and port path of a device name such as "3-1.4.2":
// bus in the high bits, seven bits per port, at most six ports deep. Stays below 2^53
// so it survives a trip through a JavaScript number. nullopt for root hubs and odd names.
std::optional<uint64_t> locationId(std::string_view deviceName);
} // namespace usbsysfs

} // namespace corvane
