#pragma once
// Temperature and fan sensors read as what they are: hwmon chips (through libsensors, so the
// user's sensors.conf labels and ignores apply), CPU thermal zones and NVIDIA GPUs. Machines
// with Apple's controller go through SmcTransport instead.
#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

// What a sensor measures, for the CPU and GPU figures.
enum class SensorRole {
    Other,
    CpuPackage, // the CPU chip's package reading: the CPU figure wherever it reads
    Cpu,        // the CPU's other sensors (cores, dies, CPU thermal zones)
    BoardCpu,   // a board's CPU input ("CPUTIN"): only on machines with no CPU sensor of its own
    Gpu,
    GpuDie, // the GPU's own temperature (edge), not its hotspot or memory
};

struct SensorTemperature {
    // Stays the same across reboots (saved favourites point at it): "k10temp-pci-00c3/temp1".
    QString key;
    QString name;
    double celsius = 0;
    SensorRole role = SensorRole::Other;
};

struct SensorFan {
    int index = 0; // the fan number smcfan takes
    double rpm = 0;
    double minRPM = 0;
    double maxRPM = 0;
};

class SensorSource {
public:
    virtual ~SensorSource() = default;
    // Finds the sensors; false when there are none.
    virtual bool open() = 0;
    // The current values of the sensors open() found; unreadable ones are left out.
    virtual std::vector<SensorTemperature> temperatures() = 0;
    virtual std::vector<SensorFan> fans() = 0;
    // Keys earlier versions published for the sensors open() found, each to today's key.
    virtual QHash<QString, QString> formerKeys() const { return {}; }
};

// The temperature in °C of a GPU that has no hwmon chip (NVIDIA's own driver), by its PCI
// address ("0000:01:00.0"); nullopt when it cannot be read.
using GpuTemperatureReader = std::function<std::optional<double>(const std::string &pciAddress)>;
// NVML's GPU temperature, the library loaded on first use; nullopt on machines without it.
GpuTemperatureReader makeNvmlTemperatureReader();

// The hwmon chips libsensors finds below /sys (configured by `sensorsConfig`, or by the system's
// sensors3.conf and sensors.d when empty), the CPU thermal zones when no chip is a CPU's, and
// GPUs on NVIDIA's own driver through `nvidia`.
std::unique_ptr<SensorSource> makeHwmonSensorSource(GpuTemperatureReader nvidia = {},
                                                    const QString &sensorsConfig = {});

} // namespace corvane
