// Any other Linux machine: hwmon sensors presented as SMC keys, so the monitor's CPU/GPU
// rules apply unchanged. Each sensor also carries a key that survives reboots (chip name,
// device path, label or index: hwmonN follows probe order) and a name from its label:
//   CPU (coretemp, k10temp, zenpower, …): the package/Tctl/Tdie as TCTD ("CPU Package"),
//     Core 0–9 as TC<n>C ("CPU Core n"), the others Tp<nn> ("CPU " + label);
//   GPU (amdgpu, nouveau, i915, xe, …): the first "edge" (or unlabeled/"pkg") sensor as TG0P
//     named "GPU", so it is the GPU temperature rather than the hotter junction or VRAM;
//   drives (nvme, drivetemp): the composite sensor of each as TH0a, TH0b, … ("SSD n");
//   Wi-Fi (iwlwifi) TW0P, chipset (pch_*) TPCD; anything else Tx<nn> named by its label.
// With no CPU sensor among the chips, the CPU-type thermal zones stand in (ARM boards).
// NVIDIA's own driver has no hwmon chip: its GPUs' temperature comes from NVML, as TG0P
// when no other GPU took it, and is not read while the GPU sleeps (runtime PM).
// Temperatures and fan speeds are "flt " keys: no fixed-point rounding, no 16383 rpm ceiling.
#include "platform/linux/Nvml.h"
#include "platform/linux/SmcFanTree.h"
#include "platform/linux/SmcKeyStore.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>

namespace corvane {
namespace {

bool oneOf(const std::string &name, std::initializer_list<const char *> names)
{
    for (const char *n : names)
        if (name == n)
            return true;
    return false;
}

bool startsWith(const std::string &s, const char *prefix) { return s.rfind(prefix, 0) == 0; }

class KeyNamer {
public:
    // `key` when still free, else nothing.
    std::optional<std::string> take(const std::string &key)
    {
        if (!m_used.insert(key).second)
            return std::nullopt;
        return key;
    }
    // prefix + the next free two-digit number; nothing after 99.
    std::optional<std::string> next(const std::string &prefix)
    {
        int &n = m_counters[prefix];
        while (n < 100) {
            char d[3] = {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10), 0};
            ++n;
            if (auto k = take(prefix + d))
                return k;
        }
        return std::nullopt;
    }
    // A key for a sensor without a meaning of its own; a busy machine can have hundreds.
    std::optional<std::string> other()
    {
        for (const char *p : {"Tx", "Ty", "Tz", "Tw"})
            if (auto k = next(p))
                return k;
        return std::nullopt;
    }

private:
    std::set<std::string> m_used;
    std::map<std::string, int> m_counters;
};

enum class ChipKind { Cpu, Gpu, Drive, WiFi, Chipset, Other };

ChipKind chipKind(const std::string &name)
{
    if (oneOf(name, {"coretemp", "k10temp", "k8temp", "zenpower", "via_cputemp", "cpu_thermal", "soc_thermal",
                     "cpu-thermal", "soc-thermal"}))
        return ChipKind::Cpu;
    if (oneOf(name, {"amdgpu", "radeon", "nouveau", "nvidia", "i915", "xe", "gpu_thermal", "gpu-thermal"}))
        return ChipKind::Gpu;
    if (oneOf(name, {"nvme", "drivetemp"}))
        return ChipKind::Drive;
    if (startsWith(name, "iwlwifi"))
        return ChipKind::WiFi;
    if (startsWith(name, "pch_"))
        return ChipKind::Chipset;
    return ChipKind::Other;
}

// Keys are saved as a comma-separated list: no commas, no line breaks.
std::string keySafe(std::string s)
{
    for (char &c : s)
        if (c == ',' || c == '\n' || c == '\r')
            c = '_';
    return s;
}

// The chip's device below <sysRoot>/devices ("pci0000:00/0000:00:18.3"); the chip's own
// folder when it has no device link.
std::string devicePath(const std::string &sysRoot, const std::string &chip)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path devices = fs::canonical(fs::path(sysRoot) / "devices", ec);
    fs::path dev = fs::canonical(fs::path(chip) / "device", ec);
    if (ec)
        dev = fs::canonical(chip, ec).parent_path();
    if (ec)
        return "?";
    if (!devices.empty()) {
        const fs::path rel = dev.lexically_relative(devices);
        if (!rel.empty() && !startsWith(rel.string(), ".."))
            return rel.string();
    }
    return dev.filename().string();
}

struct Sensor {
    int number = 0;
    std::string label;
};

class HwmonSmcTransport final : public SmcKeyStore {
public:
    HwmonSmcTransport(std::string sysRoot, GpuTemperatureReader nvidia)
        : m_root(std::move(sysRoot)), m_nvidia(std::move(nvidia))
    {
    }

protected:
    std::vector<Key> scan() override
    {
        std::vector<Key> keys;
        KeyNamer namer;
        static const std::array<const char *, 4> kDriveKeys = {"TH0a", "TH0b", "TH0A", "TH0B"};
        int drives = 0;
        bool cpuFound = false;
        const std::string classDir = fantree::hwmonClassDir(m_root);

        for (const std::string &chip : fantree::hwmonChips(classDir)) {
            const std::string name = fantree::readLine(chip + "/name").value_or("");
            const ChipKind kind = chipKind(name);
            const std::string idBase = "hwmon/" + name + "@" + devicePath(m_root, chip) + "/";
            std::vector<Sensor> sensors;
            std::map<std::string, int> labelCount;
            for (int n : fantree::numberedFiles(chip, "temp", "_input")) {
                sensors.push_back({n, fantree::readLine(chip + "/temp" + std::to_string(n) + "_label").value_or("")});
                ++labelCount[sensors.back().label];
            }
            int drive = 0;
            if (kind == ChipKind::Drive && !sensors.empty())
                drive = ++drives;

            for (size_t i = 0; i < sensors.size(); ++i) {
                const Sensor &s = sensors[i];
                const bool first = i == 0;
                Named named = nameSensor(kind, name, s, first, drive, namer, kDriveKeys);
                if (!named.code)
                    continue;
                cpuFound = cpuFound || startsWith(named.name, "CPU");
                const bool uniqueLabel = !s.label.empty() && labelCount[s.label] == 1;
                Key k = flt(*named.code, scaledFileReader(chip + "/temp" + std::to_string(s.number) + "_input", 0.001));
                k.id = keySafe(idBase + (uniqueLabel ? s.label : "temp" + std::to_string(s.number)));
                k.name = named.name;
                keys.push_back(std::move(k));
            }
        }

        if (!cpuFound)
            appendCpuThermalZones(keys, namer);
        if (m_nvidia)
            appendNvidiaGpus(keys, namer);

        appendFanKeys(keys, fantree::hwmonFans(classDir), &flt);
        return keys;
    }

private:
    struct Named {
        std::optional<std::string> code;
        std::string name;
    };

    static Named nameSensor(ChipKind kind, const std::string &chip, const Sensor &s, bool first, int drive,
                            KeyNamer &namer, const std::array<const char *, 4> &driveKeys)
    {
        const std::string &label = s.label;
        const std::string number = std::to_string(s.number);
        Named out;
        switch (kind) {
        case ChipKind::Cpu: {
            const bool package = startsWith(label, "Package id") || label == "Tctl" || label == "Tdie"
                || (label.empty() && first);
            if (package && (out.code = namer.take("TCTD"))) {
                out.name = "CPU Package";
            } else if (startsWith(label, "Core ") && label.size() > 5) {
                const std::string core = label.substr(5);
                if (core.size() == 1 && core[0] >= '0' && core[0] <= '9')
                    out.code = namer.take("TC" + core + "C");
                out.name = "CPU Core " + core;
            } else if (startsWith(label, "Tccd") && label.size() > 4) {
                out.name = "CPU CCD " + label.substr(4);
            } else {
                out.name = "CPU " + (label.empty() ? "senzor " + number : label);
            }
            if (!out.code)
                out.code = namer.next("Tp");
            return out;
        }
        case ChipKind::Gpu: {
            // edge is the die temperature users compare against; junction is the hotspot.
            const bool main = label == "edge" || label == "pkg" || label == "GPU" || (label.empty() && first);
            if (main && (out.code = namer.take("TG0P"))) {
                out.name = "GPU";
                return out;
            }
            if (label == "junction")
                out.name = "GPU Junction";
            else if (label == "mem" || label == "vram")
                out.name = "GPU VRAM";
            else
                out.name = "GPU " + (label.empty() || label == "edge" || label == "pkg" ? "senzor " + number : label);
            out.code = namer.next("Tg");
            return out;
        }
        case ChipKind::Drive: {
            const bool composite = label == "Composite" || (label.empty() && first);
            const std::string ssd = "SSD " + std::to_string(drive);
            if (composite) {
                if (drive >= 1 && drive <= static_cast<int>(driveKeys.size()))
                    out.code = namer.take(driveKeys[drive - 1]);
                out.name = ssd;
            } else {
                out.name = ssd + " " + (label.empty() ? "senzor " + number : label);
            }
            break;
        }
        case ChipKind::WiFi:
            out.code = namer.take("TW0P");
            out.name = "Wi-Fi";
            break;
        case ChipKind::Chipset:
            out.code = namer.take("TPCD");
            out.name = "Platform Controller Hub";
            break;
        case ChipKind::Other:
            out.name = label.empty() ? "Senzor " + chip + " " + number : label;
            break;
        }
        if (!out.code)
            out.code = namer.other();
        return out;
    }

    // Thermal zones of CPU type: x86_pkg_temp, cpu-thermal, cpu0-thermal, soc_thermal, …
    static bool cpuZone(const std::string &type)
    {
        return type == "x86_pkg_temp" || startsWith(type, "cpu") || startsWith(type, "soc")
            || type.find("-cpu") != std::string::npos || type.find("_cpu") != std::string::npos;
    }

    void appendCpuThermalZones(std::vector<Key> &keys, KeyNamer &namer) const
    {
        const std::string dir = m_root + "/class/thermal";
        std::map<std::string, int> seen;
        const size_t before = keys.size();
        bool first = true;
        for (int n : fantree::numberedFiles(dir, "thermal_zone", "")) {
            const std::string zone = dir + "/thermal_zone" + std::to_string(n);
            const std::string type = fantree::readLine(zone + "/type").value_or("");
            if (!cpuZone(type) || !fantree::exists(zone + "/temp"))
                continue;
            const int dup = seen[type]++;
            std::optional<std::string> code = first ? namer.take("TCTD") : std::nullopt;
            if (!code)
                code = namer.next("Tp");
            if (!code)
                continue;
            Key k = flt(*code, scaledFileReader(zone + "/temp", 0.001));
            k.id = keySafe("thermal/" + type + (dup ? "#" + std::to_string(dup + 1) : ""));
            k.name = first ? std::string("CPU") : "CPU " + std::to_string(keys.size() - before + 1);
            keys.push_back(std::move(k));
            first = false;
        }
    }

    // GPUs on NVIDIA's own driver, which gives no hwmon chip (nouveau has one).
    void appendNvidiaGpus(std::vector<Key> &keys, KeyNamer &namer) const
    {
        namespace fs = std::filesystem;
        std::error_code ec;
        std::vector<std::string> gpus;
        for (const auto &e : fs::directory_iterator(m_root + "/bus/pci/devices", ec)) {
            const std::string dev = e.path().string();
            const std::string cls = fantree::readLine(dev + "/class").value_or("");
            if (fantree::readLine(dev + "/vendor").value_or("") != "0x10de" || !startsWith(cls, "0x03"))
                continue;
            std::error_code linkEc;
            if (fs::read_symlink(dev + "/driver", linkEc).filename() != "nvidia")
                continue;
            gpus.push_back(dev);
        }
        std::sort(gpus.begin(), gpus.end());
        for (const std::string &dev : gpus) {
            const std::string address = fs::path(dev).filename().string();
            std::optional<std::string> code = namer.take("TG0P");
            const bool main = code.has_value();
            if (!code)
                code = namer.next("Tg");
            if (!code)
                continue;
            Key k = flt(*code, [reader = m_nvidia, dev, address]() -> std::optional<double> {
                // "suspended" (or on its way): asking the driver would power the GPU up.
                const auto status = fantree::readLine(dev + "/power/runtime_status");
                if (status && *status != "active" && *status != "unsupported")
                    return std::nullopt;
                return reader(address);
            });
            k.id = keySafe("nvml/" + address);
            k.name = main ? std::string("GPU") : "GPU " + address;
            keys.push_back(std::move(k));
        }
    }

    std::string m_root;
    GpuTemperatureReader m_nvidia;
};

} // namespace

GpuTemperatureReader makeNvmlTemperatureReader()
{
    struct Shared {
        std::mutex lock;
        std::unique_ptr<Nvml> nvml;
    };
    auto shared = std::make_shared<Shared>();
    return [shared](const std::string &address) -> std::optional<double> {
        std::lock_guard l(shared->lock);
        if (!shared->nvml)
            shared->nvml = std::make_unique<Nvml>();
        if (!shared->nvml->ready())
            return std::nullopt;
        const auto d = shared->nvml->device(address);
        return d ? shared->nvml->temperature(*d) : std::nullopt;
    };
}

std::unique_ptr<SmcTransport> makeHwmonSmcTransport(const QString &sysRoot, GpuTemperatureReader nvidia)
{
    return std::make_unique<HwmonSmcTransport>(sysRoot.toStdString(), std::move(nvidia));
}

std::unique_ptr<SmcTransport> makeLinuxSmcTransport(const QString &sysRoot)
{
    const std::string root = sysRoot.toStdString();
    const std::string apple = fantree::appleSmcDir(root);
    if (fantree::hasAppleSmc(apple))
        return makeAppleSmcTransport(QString::fromStdString(apple));
    return makeHwmonSmcTransport(sysRoot, makeNvmlTemperatureReader());
}

} // namespace corvane
