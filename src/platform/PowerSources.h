#pragma once
// The internal batteries and the external power adapter, in the units a laptop's power
// management reports them (minutes, mAh, mV, mA, hundredths of a degree).
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace corvane {

inline constexpr auto kACPowerState = "AC Power";
inline constexpr auto kBatteryPowerState = "Battery Power";

// One power source (a battery) as the power-source list describes it.
struct PowerSourceDescription {
    std::optional<int64_t> currentCapacity;
    std::optional<int64_t> maxCapacity;
    std::optional<QString> powerSourceState; // kACPowerState or kBatteryPowerState
    std::optional<int64_t> timeToEmpty;      // minutes; -1 while estimating
};

// The battery's own gauge.
struct SmartBatteryReading {
    std::optional<int64_t> cycleCount;
    std::optional<int64_t> designCapacity;     // mAh
    std::optional<int64_t> fullChargeCapacity; // mAh
    // Full-charge over design capacity in percent, from whichever pair the gauge keeps:
    // known also where no mAh figure can be derived.
    std::optional<double> healthPercent;
    std::optional<int64_t> temperature;        // hundredths of °C
    std::optional<int64_t> voltage;            // mV
    std::optional<int64_t> amperage;           // mA, negative while discharging
};

struct AdapterDetails {
    std::optional<int64_t> watts;
    std::optional<QString> name;
    std::optional<QString> description;
    std::optional<QString> familyCode; // already in text form
    std::optional<QString> manufacturer;
    std::optional<int64_t> current; // mA
    std::optional<int64_t> voltage; // mV
};

class PowerSources {
public:
    virtual ~PowerSources() = default;
    // nullopt when no power-source information is available at all.
    virtual std::optional<QList<PowerSourceDescription>> powerSources() = 0;
    // nullopt when the machine has no battery gauge.
    virtual std::optional<SmartBatteryReading> smartBattery() = 0;
    // nullopt when no external adapter describes itself.
    virtual std::optional<AdapterDetails> adapterDetails() = 0;
};

// Reads <sysRoot>/class/power_supply.
std::unique_ptr<PowerSources> makeLinuxPowerSources(const QString &sysRoot = QStringLiteral("/sys"));

} // namespace corvane
