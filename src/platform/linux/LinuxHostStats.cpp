#include "platform/HostStats.h"
#include "platform/linux/SysFile.h"

#include <unistd.h>

namespace corvane {
namespace {

using sysfile::meminfoKb;

class LinuxHostStats final : public HostStats {
public:
    explicit LinuxHostStats(const QString &root)
        : m_stat(root.toStdString() + "/stat", true), m_meminfo(root.toStdString() + "/meminfo", true),
          m_uptime(root.toStdString() + "/uptime", true)
    {
        const long ps = ::sysconf(_SC_PAGESIZE);
        m_pageSize = ps > 0 ? static_cast<uint64_t>(ps) : 4096;
    }

    std::optional<CpuLoadInfo> cpuLoad() override
    {
        if (!m_stat.read(m_buf))
            return std::nullopt;
        std::string_view s(m_buf);
        // "cpu  user nice system idle iowait irq softirq steal guest guest_nice"
        if (s.substr(0, 4) != "cpu ")
            return std::nullopt;
        s.remove_prefix(4);
        uint64_t f[8] = {};
        for (int i = 0; i < 8; ++i) {
            auto v = sysfile::parseU64(s);
            if (!v) {
                if (i < 4)
                    return std::nullopt;
                break; // old kernels list fewer fields
            }
            f[i] = *v;
        }
        // Counters are reported 32 bits wide; consumers take deltas modulo 2^32.
        CpuLoadInfo info;
        info.user = static_cast<uint32_t>(f[0]);
        info.nice = static_cast<uint32_t>(f[1]);
        info.system = static_cast<uint32_t>(f[2] + f[5] + f[6] + f[7]);
        info.idle = static_cast<uint32_t>(f[3] + f[4]);
        return info;
    }

    std::optional<VmCounters> vmCounters() override
    {
        if (!m_meminfo.read(m_buf))
            return std::nullopt;
        const auto total = meminfoKb(m_buf, "MemTotal");
        const auto available = meminfoKb(m_buf, "MemAvailable");
        if (!total || !available)
            return std::nullopt;
        m_physical = *total * 1024;
        // Linux has no active/wired/compressed split that adds up to "in use": everything
        // that is not available (MemTotal − MemAvailable) counts as active pages.
        const uint64_t usedBytes = *total > *available ? (*total - *available) * 1024 : 0;
        VmCounters vm;
        vm.active = static_cast<uint32_t>(std::min<uint64_t>(usedBytes / m_pageSize, UINT32_MAX));
        return vm;
    }

    uint64_t pageSize() override { return m_pageSize; }

    uint64_t physicalMemory() override
    {
        if (m_physical == 0 && m_meminfo.read(m_buf)) {
            if (auto total = meminfoKb(m_buf, "MemTotal"))
                m_physical = *total * 1024;
        }
        return m_physical;
    }

    double uptimeSeconds() override
    {
        if (!m_uptime.read(m_buf))
            return 0;
        // "12345.67 23456.78"
        std::string_view s(m_buf);
        auto whole = sysfile::parseU64(s);
        if (!whole)
            return 0;
        double v = static_cast<double>(*whole);
        if (!s.empty() && s[0] == '.') {
            s.remove_prefix(1);
            double scale = 0.1;
            while (!s.empty() && s[0] >= '0' && s[0] <= '9') {
                v += (s[0] - '0') * scale;
                scale /= 10;
                s.remove_prefix(1);
            }
        }
        return v;
    }

private:
    sysfile::ReopenableFile m_stat;
    sysfile::ReopenableFile m_meminfo;
    sysfile::ReopenableFile m_uptime;
    std::string m_buf;
    uint64_t m_pageSize = 4096;
    uint64_t m_physical = 0;
};

} // namespace

std::unique_ptr<HostStats> makeLinuxHostStats(const QString &procRoot)
{
    return std::make_unique<LinuxHostStats>(procRoot);
}

} // namespace corvane
