#include "checks/MemoryBreakdown.h"

#include "platform/MemoryStats.h"

#include <algorithm>
#include <charconv>

namespace corvane::MemoryReading {
namespace {

// "avg10=12.34" in the line that starts with `kind`.
std::optional<double> avg10(std::string_view text, std::string_view kind)
{
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t eol = text.find('\n', pos);
        const std::string_view line = text.substr(pos, eol == std::string_view::npos ? std::string_view::npos : eol - pos);
        if (line.substr(0, kind.size()) == kind && line.size() > kind.size() && line[kind.size()] == ' ') {
            const size_t at = line.find("avg10=");
            if (at == std::string_view::npos)
                return std::nullopt;
            const char *first = line.data() + at + 6;
            double v = 0;
            const auto r = std::from_chars(first, line.data() + line.size(), v);
            if (r.ec != std::errc() || !(v >= 0))
                return std::nullopt;
            return v;
        }
        if (eol == std::string_view::npos)
            break;
        pos = eol + 1;
    }
    return std::nullopt;
}

} // namespace

std::optional<uint32_t> pressureLevel(std::string_view psi)
{
    const auto some = avg10(psi, "some");
    if (!some)
        return std::nullopt;
    const double full = avg10(psi, "full").value_or(0.0); // older kernels list "some" only
    if (full >= kCriticalFullAvg10 || *some >= kCriticalSomeAvg10)
        return 4;
    if (*some >= kWarningSomeAvg10)
        return 2;
    return 1;
}

MemoryBreakdown fromMeminfo(std::optional<std::string_view> meminfo, uint64_t physicalMemory, uint64_t pageSize,
                            std::optional<uint32_t> pressure)
{
    MemoryBreakdown b;
    b.pageSize = pageSize;
    b.pressure = pressure.value_or(1);
    b.total = physicalMemory;
    if (!meminfo)
        return b;
    const auto bytes = [&](std::string_view key) -> quint64 { return meminfoKb(*meminfo, key).value_or(0) * 1024; };
    const auto memTotal = meminfoKb(*meminfo, "MemTotal");
    const auto memAvailable = meminfoKb(*meminfo, "MemAvailable");
    if (!memTotal || !memAvailable)
        return b; // not meminfo, or a kernel too old to estimate what is available: like a failed read
    b.total = *memTotal * 1024;
    b.available = std::min<quint64>(*memAvailable * 1024, b.total);
    b.free = bytes("MemFree");
    const quint64 used = b.total - b.available;
    // What is in use, cut into kernel, zswap and the rest; each part bounded by what is left,
    // so the three always add up to `used` however the counters drift within one read.
    const quint64 kernel = bytes("SUnreclaim") + bytes("KernelStack") + bytes("PageTables") + bytes("SecPageTables");
    b.wired = std::min(kernel, used);
    b.compressed = std::min(bytes("Zswap"), used - b.wired);
    b.active = used - b.wired - b.compressed;
    b.inactive = b.available > b.free ? b.available - b.free : 0;
    b.compressorPages = pageSize ? b.compressed / pageSize : 0;
    b.shared = bytes("Shmem");
    const quint64 pageCache = bytes("Cached") + bytes("Buffers");
    b.fileBacked = pageCache > b.shared ? pageCache - b.shared : 0;
    b.anonymous = bytes("AnonPages");
    b.swapTotal = bytes("SwapTotal");
    const quint64 swapFree = bytes("SwapFree");
    b.swapUsed = b.swapTotal > swapFree ? b.swapTotal - swapFree : 0;
    return b;
}

} // namespace corvane::MemoryReading
