#pragma once
// CPU tick counters, memory counters and uptime of the whole machine.
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace corvane {

// Cumulative CPU ticks of all cores; 32-bit counters that may wrap.
struct CpuLoadInfo {
    uint32_t user = 0;
    uint32_t system = 0;
    uint32_t idle = 0;
    uint32_t nice = 0;
};

// Page counts of memory in use. Their sum times the page size is "used memory".
struct VmCounters {
    uint32_t active = 0;
    uint32_t wired = 0;
    uint32_t compressor = 0;
};

class HostStats {
public:
    virtual ~HostStats() = default;
    virtual std::optional<CpuLoadInfo> cpuLoad() = 0;
    virtual std::optional<VmCounters> vmCounters() = 0;
    virtual uint64_t pageSize() = 0;
    virtual uint64_t physicalMemory() = 0;
    virtual double uptimeSeconds() = 0;
};

// Reads <procRoot>/stat, meminfo and uptime.
std::unique_ptr<HostStats> makeLinuxHostStats(const QString &procRoot = QStringLiteral("/proc"));

} // namespace corvane
