#pragma once
// Graphics accelerators: their utilisation figures and the default device's name and memory.
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace corvane {

// The figures one accelerator reports this tick. A driver that gives no utilisation
// leaves the list empty; one that gives several (e.g. engine and whole device) lists each.
struct GpuAcceleratorReading {
    std::vector<int64_t> utilizationPercents;
};

// The device the widget names and whose memory it shows.
struct GpuDeviceInfo {
    QString name;                            // never empty
    std::optional<uint64_t> vramTotalBytes;  // absent where the driver gives no figure
};

class GpuStats {
public:
    virtual ~GpuStats() = default;
    // The default device, or nullopt on a machine without a GPU.
    virtual std::optional<GpuDeviceInfo> defaultDevice() = 0;
    // Bytes in use on the default device; nullopt where the driver does not say.
    virtual std::optional<uint64_t> defaultDeviceUsedBytes() = 0;
    // One reading per accelerator; nullopt when there is no accelerator at all.
    virtual std::optional<std::vector<GpuAcceleratorReading>> accelerators() = 0;
    // Whether a read may block for long (a driver's library, a device's files). A source
    // that found no device to read says no until a rescan finds one.
    virtual bool readsMayBlock() { return true; }
};

struct LinuxGpuOptions {
    QString sysRoot = QStringLiteral("/sys");
    QString procRoot = QStringLiteral("/proc"); // DRM clients' fdinfo
    std::function<uint64_t()> monotonicNs;      // empty: the steady clock
    // PCI id database for device names; the first readable one is used.
    std::vector<QString> pciIdsPaths = {QStringLiteral("/usr/share/misc/pci.ids"),
                                        QStringLiteral("/usr/share/hwdata/pci.ids")};
    // NVIDIA's management library, loaded at run time when present.
    bool useNvml = true;
};

// DRM cards under <sysRoot>/class/drm: load from the engine times of their clients'
// fdinfo (i915, xe, amdgpu, nouveau, msm), amdgpu's gpu_busy_percent, i915/xe idle residency
// where no client can be read; memory from amdgpu's mem_info_vram_*; NVIDIA devices through
// NVML. A runtime-suspended device is never read, so sampling never wakes it.
std::unique_ptr<GpuStats> makeLinuxGpuStats(const LinuxGpuOptions &options = {});

// "Vendor Device" from a pci.ids database, or nullopt when either id is missing.
std::optional<QString> lookupPciName(const QString &pciIdsPath, uint16_t vendor, uint16_t device);

} // namespace corvane
