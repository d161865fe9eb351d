#include "common/Numbers.h"
#include "platform/GpuStats.h"
#include "platform/linux/DrmClients.h"
#include "platform/linux/Nvml.h"
#include "platform/linux/SysFile.h"

#include <QFile>
#include <QRegularExpression>

#include <dirent.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <map>

namespace corvane {
namespace {


constexpr uint16_t kVendorNvidia = 0x10de;

std::optional<uint16_t> readHex16(const std::string &path)
{
    const auto t = sysfile::readTrimmed(path);
    if (!t)
        return std::nullopt;
    std::string_view s = *t;
    if (s.starts_with("0x") || s.starts_with("0X"))
        s.remove_prefix(2);
    unsigned v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v, 16);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || v > 0xffff)
        return std::nullopt;
    return static_cast<uint16_t>(v);
}

// A firmware framebuffer has a DRM card but is no accelerator.
bool isFramebufferDriver(const std::string &driver)
{
    return driver == "simple-framebuffer" || driver == "simpledrm" || driver == "efi-framebuffer"
        || driver == "vesa-framebuffer" || driver == "ofdrm";
}

// Runtime PM: "suspended" (or on its way in or out) means any read may wake the device;
// "unsupported" means it never sleeps.
bool isAwake(const std::string &device)
{
    const auto status = sysfile::readTrimmed(device + "/power/runtime_status");
    return !status || *status == "active" || *status == "unsupported";
}

bool hasClientStats(const std::string &driver)
{
    return driver == "i915" || driver == "xe" || driver == "amdgpu" || driver == "nouveau" || driver == "msm";
}

struct Card {
    int index = 0;
    std::string dir;    // <class/drm>/cardN
    std::string device; // <card>/device
    std::optional<uint16_t> vendor;
    std::optional<uint16_t> deviceId;
    std::string busId;  // PCI_SLOT_NAME
    std::string driver; // DRIVER
    bool bootVga = false;
    bool awake = true;
};

class LinuxGpuStats final : public GpuStats {
public:
    explicit LinuxGpuStats(LinuxGpuOptions o)
        : m_opt(std::move(o)), m_drmDir(m_opt.sysRoot.toStdString() + "/class/drm"),
          m_pciDir(m_opt.sysRoot.toStdString() + "/bus/pci/devices/"), m_clients(m_opt.procRoot.toStdString())
    {
    }

    std::optional<GpuDeviceInfo> defaultDevice() override
    {
        const auto cards = listCards();
        const Card *c = defaultCard(cards);
        if (c) {
            GpuDeviceInfo info;
            std::optional<nvmlDevice> nv;
            if (c->vendor == kVendorNvidia && c->awake && nvml())
                nv = m_nvml->device(c->busId);
            if (nv) {
                info.name = m_nvml->deviceName(*nv).value_or(QString());
                if (auto m = m_nvml->memoryInfo(*nv))
                    info.vramTotalBytes = m->total;
            } else if (c->awake) {
                info.vramTotalBytes = sysfile::readU64(c->device + "/mem_info_vram_total");
            }
            if (info.name.isEmpty())
                info.name = cardName(*c);
            return info;
        }
        if (!awakeNvidiaDevices().empty() && nvml()) {
            const auto devs = m_nvml->devices();
            if (!devs.empty()) {
                GpuDeviceInfo info;
                info.name = m_nvml->deviceName(devs.front()).value_or(QStringLiteral("NVIDIA"));
                if (auto m = m_nvml->memoryInfo(devs.front()))
                    info.vramTotalBytes = m->total;
                return info;
            }
        }
        return std::nullopt;
    }

    std::optional<uint64_t> defaultDeviceUsedBytes() override
    {
        const auto cards = listCards();
        const Card *c = defaultCard(cards);
        if (c) {
            if (!c->awake)
                return std::nullopt;
            if (c->vendor == kVendorNvidia && nvml()) {
                if (auto d = m_nvml->device(c->busId)) {
                    if (auto m = m_nvml->memoryInfo(*d))
                        return m->used;
                    return std::nullopt;
                }
            }
            return sysfile::readU64(c->device + "/mem_info_vram_used");
        }
        if (!awakeNvidiaDevices().empty() && nvml()) {
            const auto devs = m_nvml->devices();
            if (!devs.empty())
                if (auto m = m_nvml->memoryInfo(devs.front()))
                    return m->used;
        }
        return std::nullopt;
    }

    std::optional<std::vector<GpuAcceleratorReading>> accelerators() override
    {
        const uint64_t now = nowNs();
        const auto cards = listCards();
        // Walking the processes' open files costs: only where a driver reports client times.
        std::map<std::string, double> clientBusy;
        if (std::any_of(cards.begin(), cards.end(), [](const Card &c) { return c.awake && hasClientStats(c.driver); }))
            clientBusy = m_clients.sample(now, [this](const std::string &node) {
                return isAwake(m_drmDir + "/" + node + "/device");
            });
        std::vector<GpuAcceleratorReading> out;
        for (const Card &c : cards) {
            GpuAcceleratorReading r;
            if (!c.awake) {
                m_idle.erase(c.index); // its residency baseline would span the sleep
                out.push_back(std::move(r));
                continue;
            }
            if (auto v = sysfile::readU64(c.device + "/gpu_busy_percent"); v && *v <= 100)
                r.utilizationPercents.push_back(static_cast<int64_t>(*v));
            auto busy = clientBusy.find(c.busId.empty() ? "driver:" + c.driver : c.busId);
            if (busy == clientBusy.end() && !c.busId.empty())
                busy = clientBusy.find("driver:" + c.driver);
            if (busy != clientBusy.end())
                r.utilizationPercents.push_back(percent(busy->second));
            else if (auto idle = idleResidencyBusy(c, now))
                r.utilizationPercents.push_back(percent(*idle));
            out.push_back(std::move(r));
        }
        // NVIDIA devices report through NVML, whether or not they also have a DRM card; one
        // that sleeps is left alone, and the library is not even loaded until one is awake.
        const auto nvidia = awakeNvidiaDevices();
        if (!nvidia.empty() && nvml()) {
            for (const std::string &busId : nvidia) {
                GpuAcceleratorReading r;
                if (auto d = m_nvml->device(busId))
                    if (auto v = m_nvml->busyPercent(*d); v && *v <= 100)
                        r.utilizationPercents.push_back(*v);
                out.push_back(std::move(r));
            }
        }
        if (out.empty())
            return std::nullopt;
        return out;
    }

    // Once both scans have found nothing, every read is of the cached empty lists (and the
    // half-minute rescan of sysfs) until a device appears.
    bool readsMayBlock() override
    {
        return !m_cardsScannedAt || !m_nvidiaScannedAt || !m_cards.empty() || !m_nvidiaSlots.empty() || m_nvml;
    }

private:
    static int64_t percent(double fraction) { return saturatingCast<int64_t>(std::round(fraction * 100.0)); }

    // i915 and xe count the time their GT spends idle (RC6); the rest of the wall time is busy.
    std::optional<double> idleResidencyBusy(const Card &c, uint64_t nowNs)
    {
        std::optional<uint64_t> ms;
        if (c.driver == "i915")
            ms = sysfile::readU64(c.dir + "/power/rc6_residency_ms");
        else if (c.driver == "xe")
            ms = sysfile::readU64(c.device + "/tile0/gt0/gtidle/idle_residency_ms");
        if (!ms) {
            m_idle.erase(c.index);
            return std::nullopt;
        }
        const auto prev = m_idle.find(c.index);
        std::optional<double> busy;
        if (prev != m_idle.end() && nowNs > prev->second.second && *ms >= prev->second.first) {
            const double idleNs = static_cast<double>(*ms - prev->second.first) * 1e6;
            busy = std::clamp(1.0 - idleNs / static_cast<double>(nowNs - prev->second.second), 0.0, 1.0);
        }
        m_idle[c.index] = {*ms, nowNs};
        return busy;
    }

    uint64_t nowNs() const
    {
        return m_opt.monotonicNs ? m_opt.monotonicNs()
                                 : static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                             std::chrono::steady_clock::now().time_since_epoch())
                                                             .count());
    }

    // The cards and PCI devices change only on a hot-plug; a laptop lists dozens of PCI
    // devices, too many to walk every second. Whether each one is awake is read every time.
    static constexpr uint64_t kRescanNs = 30'000'000'000ull;
    bool rescanDue(std::optional<uint64_t> &scannedAt)
    {
        const uint64_t now = nowNs();
        if (scannedAt && now >= *scannedAt && now - *scannedAt < kRescanNs)
            return false;
        scannedAt = now;
        return true;
    }

    // PCI slots of NVIDIA display controllers that are not runtime-suspended.
    std::vector<std::string> awakeNvidiaDevices()
    {
        if (rescanDue(m_nvidiaScannedAt)) {
            m_nvidiaSlots.clear();
            if (DIR *d = ::opendir(m_pciDir.c_str())) {
                while (dirent *e = ::readdir(d)) {
                    if (e->d_name[0] == '.')
                        continue;
                    const std::string dev = m_pciDir + e->d_name;
                    if (readHex16(dev + "/vendor") != kVendorNvidia)
                        continue;
                    const auto cls = sysfile::readTrimmed(dev + "/class"); // 0x03xxxx: display controller
                    if (cls && cls->starts_with("0x03"))
                        m_nvidiaSlots.emplace_back(e->d_name);
                }
                ::closedir(d);
            }
            std::sort(m_nvidiaSlots.begin(), m_nvidiaSlots.end());
        }
        std::vector<std::string> out;
        for (const std::string &slot : m_nvidiaSlots)
            if (isAwake(m_pciDir + slot))
                out.push_back(slot);
        return out;
    }

    // Loaded on first use, on the sampler thread: initialising the driver can take a while.
    const Nvml *nvml()
    {
        if (!m_opt.useNvml)
            return nullptr;
        if (!m_nvml)
            m_nvml = std::make_unique<Nvml>();
        return m_nvml->ready() ? m_nvml.get() : nullptr;
    }

    std::vector<Card> listCards()
    {
        if (rescanDue(m_cardsScannedAt)) {
            m_cards = scanCards();
            const QString cause = QString::fromStdString(m_drmDir);
            if (m_cards.empty())
                sysfile::failures().absent(cause, cause + QStringLiteral(": no GPU card with a driver"));
            else
                sysfile::failures().cleared(cause);
        }
        std::vector<Card> cards = m_cards;
        for (Card &c : cards)
            c.awake = isAwake(c.device);
        return cards;
    }

    std::vector<Card> scanCards() const
    {
        std::vector<Card> cards;
        DIR *d = ::opendir(m_drmDir.c_str());
        if (!d)
            return cards;
        while (dirent *e = ::readdir(d)) {
            const std::string_view n = e->d_name;
            if (!n.starts_with("card") || n.size() == 4)
                continue;
            int idx = 0;
            const auto r = std::from_chars(n.data() + 4, n.data() + n.size(), idx);
            if (r.ec != std::errc() || r.ptr != n.data() + n.size())
                continue; // a connector such as card0-HDMI-A-1
            Card c;
            c.index = idx;
            c.dir = m_drmDir + "/" + std::string(n);
            c.device = c.dir + "/device";
            if (auto ue = sysfile::read(c.device + "/uevent", 4096)) {
                std::string_view s = *ue;
                while (!s.empty()) {
                    const size_t nl = s.find('\n');
                    const std::string_view line = s.substr(0, nl);
                    if (line.starts_with("PCI_SLOT_NAME="))
                        c.busId = std::string(line.substr(14));
                    else if (line.starts_with("DRIVER="))
                        c.driver = std::string(line.substr(7));
                    s = nl == std::string_view::npos ? std::string_view() : s.substr(nl + 1);
                }
            } else if (!sysfile::read(c.device + "/vendor", 64)) {
                continue; // no device behind the card
            }
            if (isFramebufferDriver(c.driver))
                continue;
            c.vendor = readHex16(c.device + "/vendor");
            c.deviceId = readHex16(c.device + "/device");
            c.bootVga = sysfile::readU64(c.device + "/boot_vga").value_or(0) == 1;
            cards.push_back(std::move(c));
        }
        ::closedir(d);
        std::sort(cards.begin(), cards.end(), [](const Card &a, const Card &b) { return a.index < b.index; });
        return cards;
    }

    static const Card *defaultCard(const std::vector<Card> &cards)
    {
        for (const Card &c : cards)
            if (c.bootVga)
                return &c;
        return cards.empty() ? nullptr : &cards.front();
    }

    QString cardName(const Card &c) const
    {
        if (c.vendor && c.deviceId) {
            for (const QString &p : m_opt.pciIdsPaths)
                if (auto n = lookupPciName(p, *c.vendor, *c.deviceId))
                    return *n;
            return QStringLiteral("PCI %1:%2")
                .arg(*c.vendor, 4, 16, QLatin1Char('0'))
                .arg(*c.deviceId, 4, 16, QLatin1Char('0'));
        }
        if (!c.driver.empty())
            return QString::fromStdString(c.driver);
        return QStringLiteral("card%1").arg(c.index);
    }

    LinuxGpuOptions m_opt;
    std::string m_drmDir;
    std::string m_pciDir; // with a trailing slash
    std::unique_ptr<Nvml> m_nvml;
    DrmClients m_clients;
    std::map<int, std::pair<uint64_t, uint64_t>> m_idle; // card → (idle ms, at ns)
    std::vector<Card> m_cards;
    std::optional<uint64_t> m_cardsScannedAt;
    std::vector<std::string> m_nvidiaSlots;
    std::optional<uint64_t> m_nvidiaScannedAt;
};

} // namespace

std::optional<QString> lookupPciName(const QString &pciIdsPath, uint16_t vendor, uint16_t device)
{
    QFile f(pciIdsPath);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray v = QByteArray::number(vendor, 16).rightJustified(4, '0');
    const QByteArray dv = QByteArray::number(device, 16).rightJustified(4, '0');
    QString vendorName;
    bool inVendor = false;
    QByteArray line;
    while (!f.atEnd()) {
        line = f.readLine();
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith("C "))
            break; // device classes follow the vendors
        if (line[0] != '\t') {
            if (inVendor)
                break; // the vendor's device list is over
            if (line.size() > 6 && line.left(4).toLower() == v) {
                inVendor = true;
                vendorName = QString::fromUtf8(line.mid(4)).trimmed();
            }
            continue;
        }
        if (!inVendor || line.startsWith("\t\t"))
            continue;
        if (line.size() > 7 && line.mid(1, 4).toLower() == dv) {
            const QString deviceName = QString::fromUtf8(line.mid(5)).trimmed();
            // "Advanced Micro Devices, Inc. [AMD/ATI]" reads better as its short form.
            static const QRegularExpression shortForm(QStringLiteral("\\[([^\\]]+)\\]\\s*$"));
            const auto m = shortForm.match(vendorName);
            const QString vshort = m.hasMatch() ? m.captured(1) : vendorName;
            return vshort + QLatin1Char(' ') + deviceName;
        }
    }
    return std::nullopt;
}

std::unique_ptr<GpuStats> makeLinuxGpuStats(const LinuxGpuOptions &options)
{
    return std::make_unique<LinuxGpuStats>(options);
}

} // namespace corvane
