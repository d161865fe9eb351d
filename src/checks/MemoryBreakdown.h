#pragma once
// One reading of where the machine's memory is, from meminfo and the pressure-stall figures.
#include <QObject>
#include <QtQml/qqmlregistration.h>

#include <cstdint>
#include <optional>
#include <string_view>

namespace corvane {

// Linux has no active/wired/compressed split that adds up to "in use": the figures are cut
// so that they do. `used` is MemTotal − MemAvailable, the same figure every other screen
// shows; it splits into kernel memory (`wired`), zswap's pool (`compressed`) and the rest
// (`active`), and what is available splits into MemFree (`free`) and what the kernel can
// reclaim (`inactive`). The content figures (page cache, program memory, shared memory) cut
// across both halves. Nothing here stands for purgeable or speculative pages: Linux has none.
struct MemoryBreakdown {
    Q_GADGET
    QML_VALUE_TYPE(memoryBreakdown)
    Q_PROPERTY(quint64 total MEMBER total)
    Q_PROPERTY(quint64 active MEMBER active)
    Q_PROPERTY(quint64 inactive MEMBER inactive)
    Q_PROPERTY(quint64 wired MEMBER wired)
    Q_PROPERTY(quint64 compressed MEMBER compressed)
    Q_PROPERTY(quint64 compressorPages MEMBER compressorPages)
    Q_PROPERTY(quint64 free MEMBER free)
    Q_PROPERTY(quint64 available MEMBER available)
    Q_PROPERTY(quint64 fileBacked MEMBER fileBacked)
    Q_PROPERTY(quint64 anonymous MEMBER anonymous)
    Q_PROPERTY(quint64 shared MEMBER shared)
    Q_PROPERTY(quint64 swapTotal MEMBER swapTotal)
    Q_PROPERTY(quint64 swapUsed MEMBER swapUsed)
    Q_PROPERTY(quint32 pressure MEMBER pressure)
    Q_PROPERTY(quint64 pageSize MEMBER pageSize)
    // Derived figures of the details screen.
    Q_PROPERTY(quint64 used READ used)
    Q_PROPERTY(double usedFraction READ usedFraction)
    Q_PROPERTY(quint64 cached READ cached)
    Q_PROPERTY(double swapFraction READ swapFraction)
public:
    quint64 total = 0;      // MemTotal
    quint64 active = 0;     // in use, not kernel, not compressed: programs, shared memory, pinned cache
    quint64 inactive = 0;   // available beyond MemFree: cache and slab the kernel can reclaim
    quint64 wired = 0;      // unreclaimable kernel memory: SUnreclaim, KernelStack, PageTables
    quint64 compressed = 0; // zswap's pool (the compressed size)
    quint64 compressorPages = 0;
    quint64 free = 0;       // MemFree
    quint64 available = 0;  // MemAvailable
    quint64 fileBacked = 0; // page cache: Cached + Buffers − Shmem
    quint64 anonymous = 0;  // program memory: AnonPages
    quint64 shared = 0;     // Shmem: tmpfs, shared segments, graphics buffers
    quint64 swapTotal = 0;
    quint64 swapUsed = 0;
    quint32 pressure = 1; // 1 normal, 2 warning, 4 critical
    quint64 pageSize = 0;

    quint64 used() const { return active + wired + compressed; }
    double usedFraction() const { return total == 0 ? 0.0 : static_cast<double>(used()) / static_cast<double>(total); }
    quint64 cached() const { return inactive; }
    double swapFraction() const
    {
        return swapTotal == 0 ? 0.0 : static_cast<double>(swapUsed) / static_cast<double>(swapTotal);
    }
    bool operator==(const MemoryBreakdown &) const = default;
};

namespace MemoryReading {
// Stall shares (per cent of the last 10 s) at which the pressure level rises.
inline constexpr double kWarningSomeAvg10 = 10.0; // some task waited on memory this often
inline constexpr double kCriticalFullAvg10 = 5.0; // every task waited on memory this often
inline constexpr double kCriticalSomeAvg10 = 40.0;

// Fills a breakdown from meminfo text (nullopt: unreadable, or without MemAvailable) and the
// pressure level.
MemoryBreakdown fromMeminfo(std::optional<std::string_view> meminfo, uint64_t physicalMemory, uint64_t pageSize,
                            std::optional<uint32_t> pressure);
// 1, 2 or 4 from the text of the memory pressure-stall file; nullopt when it has no figures.
std::optional<uint32_t> pressureLevel(std::string_view psi);
} // namespace MemoryReading

} // namespace corvane
