#pragma once
// The kernel's memory counters as text, the page size and the memory-pressure stall figures.
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

class MemoryStats {
public:
    virtual ~MemoryStats() = default;
    // The text of meminfo into `out` (its capacity reused); false when it can't be read.
    virtual bool meminfo(std::string &out) = 0;
    // The text of the memory pressure-stall file; false where the kernel has no PSI.
    virtual bool pressure(std::string &out) = 0;
    virtual uint64_t pageSize() = 0;
    // Physical memory from the system configuration (used when meminfo can't be read).
    virtual uint64_t physicalMemory() = 0;
};

// The value in kB of one "Key:   123 kB" line of meminfo text; nullopt when the key is absent.
std::optional<uint64_t> meminfoKb(std::string_view meminfo, std::string_view key);

// Reads <procRoot>/meminfo and <procRoot>/pressure/memory.
std::unique_ptr<MemoryStats> makeLinuxMemoryStats(const QString &procRoot = QStringLiteral("/proc"));

} // namespace corvane
