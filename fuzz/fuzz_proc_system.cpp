// /proc/stat, /proc/meminfo, /proc/uptime and the pressure file: the input is each of them
// in turn, read by the host statistics and the memory breakdown.
#include "checks/MemoryBreakdown.h"
#include "platform/HostStats.h"
#include "platform/MemoryStats.h"

#include "FuzzFiles.h"

#include <memory>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace corvane;
    static const QString root = fuzz::scratch().path() + QStringLiteral("/proc");
    static const std::unique_ptr<HostStats> host = makeLinuxHostStats(root);
    static const std::unique_ptr<MemoryStats> memory = makeLinuxMemoryStats(root);
    for (const char *name : {"proc/stat", "proc/meminfo", "proc/uptime", "proc/pressure/memory"})
        fuzz::putFile(QString::fromLatin1(name), data, size);
    (void)host->cpuLoad();
    (void)host->vmCounters();
    (void)host->uptimeSeconds();
    std::string text;
    const bool have = memory->meminfo(text);
    (void)MemoryReading::fromMeminfo(have ? std::optional<std::string_view>(text) : std::nullopt, 16ull << 30, 4096,
                                     MemoryReading::pressureLevel(std::string_view(reinterpret_cast<const char *>(data), size)));
    return 0;
}
