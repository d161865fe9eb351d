#include "platform/MemoryStats.h"
#include "platform/linux/SysFile.h"

#include <unistd.h>

namespace corvane {
namespace {

class LinuxMemoryStats final : public MemoryStats {
public:
    explicit LinuxMemoryStats(const QString &root)
        : m_meminfo(root.toStdString() + "/meminfo"), m_pressure(root.toStdString() + "/pressure/memory")
    {
        const long ps = ::sysconf(_SC_PAGESIZE);
        m_pageSize = ps > 0 ? static_cast<uint64_t>(ps) : 4096;
        const long pages = ::sysconf(_SC_PHYS_PAGES);
        m_physical = pages > 0 ? static_cast<uint64_t>(pages) * m_pageSize : 0;
    }
    bool meminfo(std::string &out) override { return m_meminfo.read(out); }
    bool pressure(std::string &out) override { return m_pressure.read(out); }
    uint64_t pageSize() override { return m_pageSize; }
    uint64_t physicalMemory() override { return m_physical; }

private:
    sysfile::ReopenableFile m_meminfo;
    sysfile::ReopenableFile m_pressure;
    uint64_t m_pageSize = 4096;
    uint64_t m_physical = 0;
};

} // namespace

std::optional<uint64_t> meminfoKb(std::string_view meminfo, std::string_view key)
{
    return sysfile::meminfoKb(meminfo, key);
}

std::unique_ptr<MemoryStats> makeLinuxMemoryStats(const QString &procRoot)
{
    return std::make_unique<LinuxMemoryStats>(procRoot);
}

} // namespace corvane
