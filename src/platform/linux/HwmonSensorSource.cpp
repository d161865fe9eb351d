// hwmon chips as libsensors finds them: its chip names ("k10temp-pci-00c3"), the user's
// sensors.conf labels (shown as written) and ignores. Other names follow the chip:
//   CPU (coretemp, k10temp, zenpower, …): the package reading "CPU Package" (coretemp's
//     "Package id", Tdie where the chip has it, else Tctl, which some Zen parts report up to
//     27 °C above the die; the first chip's where there are several), Core n "CPU Core n",
//     Tccd n "CPU CCD n", the others "CPU " + label;
//   GPU (amdgpu, nouveau, i915, xe, …): the first "edge" (or unlabeled/"pkg") sensor "GPU", so
//     the GPU figure is the die rather than the hotter junction or VRAM;
//   drives (nvme, drivetemp): the composite sensor of each "SSD n", the others "SSD n " + label;
//   Wi-Fi (iwlwifi) "Wi-Fi", chipset (pch_*) "Platform Controller Hub", anything else its label.
// With no CPU chip, the CPU-type thermal zones stand in (ARM boards). A board's own CPU input
// (nct67xx "CPUTIN", often unwired and reading noise) counts only where the CPU has no sensor.
// NVIDIA's own driver has no hwmon chip: its GPUs' temperature comes from NVML, never read
// while the GPU sleeps (runtime PM). Values are read from the chip's own files: libsensors
// looks chips up by name, and two virtual chips of one name would read the first one's.
#include "common/Log.h"
#include "platform/SensorSource.h"
#include "platform/linux/SysFile.h"
#include "platform/linux/Nvml.h"
#include "platform/linux/SmcFanTree.h"

#include <sensors/error.h>
#include <sensors/sensors.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>

namespace corvane {
namespace {

const std::string kSys = "/sys";

bool oneOf(const std::string &name, std::initializer_list<const char *> names)
{
    for (const char *n : names)
        if (name == n)
            return true;
    return false;
}

bool startsWith(const std::string &s, const char *prefix) { return s.rfind(prefix, 0) == 0; }

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

// The chip's device below /sys/devices ("pci0000:00/0000:00:18.3"); the chip's own folder
// when it has no device link. Part of the keys earlier versions saved.
std::string devicePath(const std::string &chip)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path devices = fs::canonical(fs::path(kSys) / "devices", ec);
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

std::optional<int> numberAfter(const std::string &s, const char *prefix)
{
    if (!startsWith(s, prefix))
        return std::nullopt;
    const std::string rest = s.substr(std::char_traits<char>::length(prefix));
    if (rest.empty() || rest.size() > 6 || !std::all_of(rest.begin(), rest.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoi(rest);
}

std::optional<double> scaledFile(const std::string &path, double scale)
{
    const auto v = fantree::readInteger(path);
    if (!v)
        return std::nullopt;
    return static_cast<double>(*v) * scale;
}

void logParseError(const char *err, const char *file, int line)
{
    qCWarning(lcPlatform) << "sensors.conf:" << (file ? file : "?") << line << err;
}
void logParseErrorAt(const char *err, int line) { logParseError(err, nullptr, line); }

// What libsensors reported, copied out: its state is one per process.
struct ChipFeature {
    std::string name;  // "temp2", "fan1"
    std::string label; // from sensors.conf when `configured`, else the chip's own or empty
    bool configured = false;
    std::string input, min, max; // attribute file names
};
struct Chip {
    std::string name; // libsensors' chip name, "#2" added to a second chip of one name
    std::string prefix;
    std::string path; // /sys/class/hwmon/hwmonN
    int hwmon = 0;
    std::vector<ChipFeature> temps, fans;
};

std::mutex g_lib;

std::vector<Chip> detectChips(const std::string &config)
{
    std::lock_guard lock(g_lib);
    sensors_parse_error_wfn = &logParseError;
    sensors_parse_error = &logParseErrorAt;
    FILE *f = nullptr;
    if (!config.empty() && !(f = std::fopen(config.c_str(), "re")))
        qCWarning(lcPlatform) << "cannot read" << config.c_str();
    int err = sensors_init(config.empty() ? nullptr : f);
    if (err == -SENSORS_ERR_PARSE) {
        // A broken sensors.conf would hide every sensor: show them unconfigured instead.
        FILE *none = std::fopen("/dev/null", "re");
        err = none ? sensors_init(none) : err;
        if (none)
            std::fclose(none);
    }
    if (f)
        std::fclose(f);
    std::vector<Chip> chips;
    if (err != 0) {
        qCWarning(lcPlatform) << "libsensors:" << sensors_strerror(err);
        sensors_cleanup();
        return chips;
    }
    int nr = 0;
    while (const sensors_chip_name *c = sensors_get_detected_chips(nullptr, &nr)) {
        Chip chip;
        char buf[256];
        if (sensors_snprintf_chip_name(buf, sizeof buf, c) < 0 || !c->path || !c->prefix)
            continue;
        chip.name = buf;
        chip.prefix = c->prefix;
        chip.path = c->path;
        chip.hwmon = numberAfter(std::filesystem::path(chip.path).filename().string(), "hwmon").value_or(-1);
        int fnr = 0;
        while (const sensors_feature *feat = sensors_get_features(c, &fnr)) {
            const bool temp = feat->type == SENSORS_FEATURE_TEMP;
            if (!temp && feat->type != SENSORS_FEATURE_FAN)
                continue;
            const auto sub = [&](sensors_subfeature_type t) {
                const sensors_subfeature *s = sensors_get_subfeature(c, feat, t);
                return s && s->name ? std::string(s->name) : std::string();
            };
            ChipFeature cf;
            cf.name = feat->name;
            cf.input = sub(temp ? SENSORS_SUBFEATURE_TEMP_INPUT : SENSORS_SUBFEATURE_FAN_INPUT);
            if (cf.input.empty())
                continue;
            if (!temp) {
                cf.min = sub(SENSORS_SUBFEATURE_FAN_MIN);
                cf.max = sub(SENSORS_SUBFEATURE_FAN_MAX);
            }
            // libsensors answers the configured label, else the chip's own, else the
            // feature's name: only the first is news here.
            const std::string own = fantree::readLine(chip.path + "/" + cf.name + "_label").value_or("");
            if (char *l = sensors_get_label(c, feat)) {
                std::string label = l;
                std::free(l);
                while (!label.empty() && (label.back() == ' ' || label.back() == '\t'))
                    label.pop_back();
                cf.configured = label != own && !(own.empty() && label == cf.name);
                cf.label = cf.configured ? label : own;
            } else {
                cf.label = own;
            }
            (temp ? chip.temps : chip.fans).push_back(std::move(cf));
        }
        const auto byNumber = [](const ChipFeature &a, const ChipFeature &b) {
            return numberAfter(a.name, a.name[0] == 't' ? "temp" : "fan").value_or(0)
                < numberAfter(b.name, b.name[0] == 't' ? "temp" : "fan").value_or(0);
        };
        std::stable_sort(chip.temps.begin(), chip.temps.end(), byNumber);
        std::stable_sort(chip.fans.begin(), chip.fans.end(), byNumber);
        chips.push_back(std::move(chip));
    }
    sensors_cleanup();
    // libsensors lists chips in directory order; hwmonN order keeps drive numbers and the
    // first GPU the same from run to run (and as earlier versions had them).
    std::stable_sort(chips.begin(), chips.end(), [](const Chip &a, const Chip &b) { return a.hwmon < b.hwmon; });
    // Two chips of one name (virtual ones have no address): the second is "#2".
    std::map<std::string, int> seen;
    for (Chip &c : chips)
        if (const int n = ++seen[c.name]; n > 1)
            c.name += "#" + std::to_string(n);
    return chips;
}

struct Temp {
    std::string file;
    double scale = 0.001;
    std::string dev; // NVIDIA GPU's PCI device folder; empty for files
    SensorTemperature out;
};

class HwmonSensorSource final : public SensorSource {
public:
    HwmonSensorSource(GpuTemperatureReader nvidia, std::string config)
        : m_nvidia(std::move(nvidia)), m_config(std::move(config))
    {
    }

    bool open() override
    {
        m_temps.clear();
        m_fans.clear();
        m_former.clear();
        const std::vector<Chip> chips = detectChips(m_config);
        Naming naming;
        for (const Chip &chip : chips)
            addChip(chip, naming);
        if (!naming.cpuFound)
            addCpuThermalZones();
        // The CPU's own sensors make a board's CPU input just another board sensor.
        if (std::any_of(m_temps.begin(), m_temps.end(), [](const Temp &t) {
                return t.out.role == SensorRole::CpuPackage || t.out.role == SensorRole::Cpu;
            }))
            for (Temp &t : m_temps)
                if (t.out.role == SensorRole::BoardCpu)
                    t.out.role = SensorRole::Other;
        if (m_nvidia)
            addNvidiaGpus(naming);
        addFans(chips);
        const QString chipsSeen = QStringLiteral(" (%1 hwmon chips seen)").arg(chips.size());
        const auto note = [&](const QString &cause, bool none, const QString &what) {
            if (none)
                sysfile::failures().absent(cause, QStringLiteral("libsensors: ") + what + chipsSeen);
            else
                sysfile::failures().cleared(cause);
        };
        note(QStringLiteral("sensors: temperatures"), m_temps.empty(), QStringLiteral("no temperature sensor"));
        note(QStringLiteral("sensors: fans"), m_fans.empty(), QStringLiteral("no fan"));
        return !m_temps.empty() || !m_fans.empty();
    }

    std::vector<SensorTemperature> temperatures() override
    {
        std::vector<SensorTemperature> out;
        for (const Temp &t : m_temps) {
            std::optional<double> v = t.dev.empty() ? scaledFile(t.file, t.scale) : nvidiaCelsius(t.dev);
            if (!v)
                continue;
            SensorTemperature r = t.out;
            r.celsius = *v;
            out.push_back(std::move(r));
        }
        return out;
    }

    std::vector<SensorFan> fans() override
    {
        std::vector<SensorFan> out;
        for (const Fan &f : m_fans) {
            const auto rpm = scaledFile(f.input, 1.0);
            if (!rpm)
                continue;
            out.push_back({f.index, *rpm, f.min.empty() ? 0.0 : scaledFile(f.min, 1.0).value_or(0.0),
                           f.max.empty() ? 0.0 : scaledFile(f.max, 1.0).value_or(0.0)});
        }
        return out;
    }

    QHash<QString, QString> formerKeys() const override { return m_former; }

private:
    struct Naming {
        bool cpuFound = false;
        bool packageTaken = false;
        bool gpuTaken = false;
        int drives = 0;
    };
    struct Named {
        std::string name;
        SensorRole role = SensorRole::Other;
    };
    struct Fan {
        int index = 0;
        std::string input, min, max;
    };

    // The feature of a CPU chip that reads its package: Tdie before Tctl, else the first
    // "Package id", else an unlabeled first sensor (k8temp, via_cputemp); empty when none.
    static std::string packageFeature(const Chip &chip)
    {
        std::string tctl, package;
        for (size_t i = 0; i < chip.temps.size(); ++i) {
            const std::string &f = chip.temps[i].name;
            const std::string label = fantree::readLine(chip.path + "/" + f + "_label").value_or("");
            if (label == "Tdie")
                return f;
            if (label == "Tctl" && tctl.empty())
                tctl = f;
            else if (startsWith(label, "Package id") && package.empty())
                package = f;
            else if (label.empty() && i == 0)
                package = f;
        }
        return tctl.empty() ? package : tctl;
    }

    static Named nameSensor(ChipKind kind, const std::string &chip, const std::string &label, int number, bool first,
                            bool package, int drive, Naming &naming)
    {
        const std::string n = std::to_string(number);
        Named out;
        switch (kind) {
        case ChipKind::Cpu: {
            out.role = SensorRole::Cpu;
            if (package && !naming.packageTaken) {
                naming.packageTaken = true;
                return {"CPU Package", SensorRole::CpuPackage};
            }
            if (startsWith(label, "Core ") && label.size() > 5)
                out.name = "CPU Core " + label.substr(5);
            else if (startsWith(label, "Tccd") && label.size() > 4)
                out.name = "CPU CCD " + label.substr(4);
            else
                out.name = "CPU " + (label.empty() ? "senzor " + n : label);
            return out;
        }
        case ChipKind::Gpu: {
            const bool main = label == "edge" || label == "pkg" || label == "GPU" || (label.empty() && first);
            if (main && !naming.gpuTaken) {
                naming.gpuTaken = true;
                return {"GPU", SensorRole::GpuDie};
            }
            if (label == "junction")
                out.name = "GPU Junction";
            else if (label == "mem" || label == "vram")
                out.name = "GPU VRAM";
            else
                out.name = "GPU " + (label.empty() || label == "edge" || label == "pkg" ? "senzor " + n : label);
            break;
        }
        case ChipKind::Drive: {
            const std::string ssd = "SSD " + std::to_string(drive);
            const bool composite = label == "Composite" || (label.empty() && first);
            out.name = composite ? ssd : ssd + " " + (label.empty() ? "senzor " + n : label);
            break;
        }
        case ChipKind::WiFi:
            out.name = "Wi-Fi";
            break;
        case ChipKind::Chipset:
            out.name = "Platform Controller Hub";
            break;
        case ChipKind::Other:
            out.name = label.empty() ? "Senzor " + chip + " " + n : label;
            break;
        }
        // A board's "CPUTIN" may stand in for the CPU figure, a "GPU" label counts for the GPU's.
        if (startsWith(out.name, "CPU"))
            out.role = SensorRole::BoardCpu;
        else if (out.name.find("GPU") != std::string::npos)
            out.role = SensorRole::Gpu;
        return out;
    }

    void addChip(const Chip &chip, Naming &naming)
    {
        const ChipKind kind = chipKind(chip.prefix);
        int drive = 0;
        if (kind == ChipKind::Drive && !chip.temps.empty())
            drive = ++naming.drives;
        // Earlier versions keyed a sensor by its label where the chip had it once.
        std::map<std::string, int> labelCount;
        for (int n : fantree::numberedFiles(chip.path, "temp", "_input"))
            ++labelCount[fantree::readLine(chip.path + "/temp" + std::to_string(n) + "_label").value_or("")];
        const std::string formerBase = "hwmon/" + chip.prefix + "@" + devicePath(chip.path) + "/";

        const std::string package = kind == ChipKind::Cpu ? packageFeature(chip) : std::string();
        naming.cpuFound = naming.cpuFound || (kind == ChipKind::Cpu && !chip.temps.empty());
        bool first = true;
        for (const ChipFeature &f : chip.temps) {
            const int number = numberAfter(f.name, "temp").value_or(0);
            const std::string own = fantree::readLine(chip.path + "/" + f.name + "_label").value_or("");
            Named named = nameSensor(kind, chip.prefix, own, number, first, !package.empty() && f.name == package,
                                     drive, naming);
            first = false;
            Temp t;
            t.file = chip.path + "/" + f.input;
            t.out.key = QString::fromStdString(keySafe(chip.name + "/" + f.name));
            t.out.name = QString::fromStdString(f.configured ? f.label : named.name);
            t.out.role = named.role;
            const bool uniqueLabel = !own.empty() && labelCount[own] == 1;
            // Two chips of one name once shared their keys: the first keeps them.
            const QString former = QString::fromStdString(keySafe(formerBase + (uniqueLabel ? own : f.name)));
            if (!m_former.contains(former))
                m_former.insert(former, t.out.key);
            m_temps.push_back(std::move(t));
        }
    }

    // Thermal zones of CPU type: x86_pkg_temp, cpu-thermal, cpu0-thermal, soc_thermal, …
    static bool cpuZone(const std::string &type)
    {
        return type == "x86_pkg_temp" || startsWith(type, "cpu") || startsWith(type, "soc")
            || type.find("-cpu") != std::string::npos || type.find("_cpu") != std::string::npos;
    }

    void addCpuThermalZones()
    {
        const std::string dir = kSys + "/class/thermal";
        std::map<std::string, int> seen;
        int count = 0;
        for (int n : fantree::numberedFiles(dir, "thermal_zone", "")) {
            const std::string zone = dir + "/thermal_zone" + std::to_string(n);
            const std::string type = fantree::readLine(zone + "/type").value_or("");
            if (!cpuZone(type) || !fantree::exists(zone + "/temp"))
                continue;
            const int dup = seen[type]++;
            ++count;
            Temp t;
            t.file = zone + "/temp";
            t.out.key = QString::fromStdString(keySafe("thermal/" + type + (dup ? "#" + std::to_string(dup + 1) : "")));
            t.out.name = count == 1 ? QStringLiteral("CPU") : QStringLiteral("CPU ") + QString::number(count);
            t.out.role = SensorRole::Cpu;
            m_temps.push_back(std::move(t));
        }
    }

    // GPUs on NVIDIA's own driver, which gives no hwmon chip (nouveau has one).
    void addNvidiaGpus(Naming &naming)
    {
        namespace fs = std::filesystem;
        std::error_code ec;
        std::vector<std::string> gpus;
        for (const auto &e : fs::directory_iterator(kSys + "/bus/pci/devices", ec)) {
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
            const bool main = !naming.gpuTaken;
            naming.gpuTaken = true;
            Temp t;
            t.dev = dev;
            t.out.key = QString::fromStdString(keySafe("nvml/" + address));
            t.out.name = main ? QStringLiteral("GPU") : QStringLiteral("GPU ") + QString::fromStdString(address);
            t.out.role = main ? SensorRole::GpuDie : SensorRole::Gpu;
            m_temps.push_back(std::move(t));
        }
    }

    std::optional<double> nvidiaCelsius(const std::string &dev) const
    {
        // "suspended" (or on its way): asking the driver would power the GPU up.
        const auto status = fantree::readLine(dev + "/power/runtime_status");
        if (status && *status != "active" && *status != "unsupported")
            return std::nullopt;
        return m_nvidia(std::filesystem::path(dev).filename().string());
    }

    // Fans carry smcfan's numbering, which counts every fan of every chip.
    void addFans(const std::vector<Chip> &chips)
    {
        const std::vector<fantree::FanNode> nodes = fantree::hwmonFans(fantree::hwmonClassDir(kSys));
        for (const Chip &chip : chips) {
            for (const ChipFeature &f : chip.fans) {
                const auto number = numberAfter(f.name, "fan");
                const auto node = std::find_if(nodes.begin(), nodes.end(), [&](const fantree::FanNode &n) {
                    return n.dir == chip.path && number && n.number == *number;
                });
                if (node == nodes.end())
                    continue;
                Fan fan;
                fan.index = node->index;
                fan.input = chip.path + "/" + f.input;
                if (!f.min.empty())
                    fan.min = chip.path + "/" + f.min;
                if (!f.max.empty())
                    fan.max = chip.path + "/" + f.max;
                m_fans.push_back(std::move(fan));
            }
        }
        std::stable_sort(m_fans.begin(), m_fans.end(), [](const Fan &a, const Fan &b) { return a.index < b.index; });
    }

    GpuTemperatureReader m_nvidia;
    std::string m_config;
    std::vector<Temp> m_temps;
    std::vector<Fan> m_fans;
    QHash<QString, QString> m_former;
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

std::unique_ptr<SensorSource> makeHwmonSensorSource(GpuTemperatureReader nvidia, const QString &sensorsConfig)
{
    return std::make_unique<HwmonSensorSource>(std::move(nvidia), sensorsConfig.toStdString());
}

} // namespace corvane
