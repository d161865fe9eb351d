#pragma once
// GPU busy time from DRM fdinfo: every open DRM file lists its client's engine times
// ("drm-engine-<engine>: <ns> ns", or "drm-cycles-<engine>" over "drm-total-cycles-<engine>"
// on xe). Summed over clients and divided by wall time, they give each device's load.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

struct DrmClientRecord {
    std::string device;   // drm-pdev (PCI slot), else "driver:<name>"
    std::string driver;
    uint64_t clientId = 0;
    std::map<std::string, uint64_t> engineNs;     // busy nanoseconds per engine
    std::map<std::string, uint64_t> capacity;     // engines of one class (i915)
    std::map<std::string, uint64_t> cycles;       // xe: busy GPU cycles per engine class
    std::map<std::string, uint64_t> totalCycles;  // xe: GPU timestamp cycles
};

// Parses one fdinfo file; nullopt when it is no DRM client (no drm-driver / drm-client-id).
std::optional<DrmClientRecord> parseDrmFdinfo(std::string_view text);

class DrmClients {
public:
    explicit DrmClients(std::string procRoot) : m_procRoot(std::move(procRoot)) {}

    // Busy fraction (0…1) of each device whose clients were seen in this and the previous
    // call: the busiest engine's share of the wall time. Devices without such clients are absent.
    // Files of a DRM node ("card1", "renderD129") that `awake` says is asleep are not read:
    // a driver may wake its device to answer.
    std::map<std::string, double> sample(uint64_t nowNs, const std::function<bool(const std::string &)> &awake);

private:
    struct Open {
        int32_t pid;
        int fd;
        std::string node;
    };
    void rescan();

    std::string m_procRoot;
    std::vector<Open> m_open; // DRM files found by the last rescan
    int m_ticksToRescan = 0;
    std::map<std::pair<std::string, uint64_t>, DrmClientRecord> m_last;
    uint64_t m_lastNs = 0;
    std::string m_buf;
};

} // namespace corvane
