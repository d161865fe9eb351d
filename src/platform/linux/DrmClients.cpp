#include "platform/linux/DrmClients.h"
#include "platform/linux/SysFile.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <set>

namespace corvane {
namespace {

// A new GPU client shows up within this many ticks; listing every open file of every
// process each second would cost more than the rest of the sampling together.
constexpr int kRescanEveryTicks = 5;

std::optional<uint64_t> leadingNumber(std::string_view s)
{
    s = sysfile::trim(s);
    uint64_t v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc())
        return std::nullopt;
    return v;
}

template <class F>
void forEachNumber(const char *dir, F &&f)
{
    DIR *d = ::opendir(dir);
    if (!d)
        return;
    while (dirent *e = ::readdir(d)) {
        int64_t v = 0;
        const char *n = e->d_name;
        const auto r = std::from_chars(n, n + std::char_traits<char>::length(n), v);
        if (r.ec == std::errc() && *r.ptr == '\0' && v >= 0 && v <= INT32_MAX)
            f(static_cast<int32_t>(v));
    }
    ::closedir(d);
}

} // namespace

std::optional<DrmClientRecord> parseDrmFdinfo(std::string_view text)
{
    DrmClientRecord r;
    bool haveId = false;
    std::string pdev;
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        const std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || !line.starts_with("drm-"))
            continue;
        const std::string_view key = line.substr(0, colon);
        const std::string_view value = sysfile::trim(line.substr(colon + 1));
        auto suffix = [&](std::string_view prefix) { return std::string(key.substr(prefix.size())); };
        if (key == "drm-driver") {
            r.driver = value;
        } else if (key == "drm-pdev") {
            pdev = value;
        } else if (key == "drm-client-id") {
            if (auto v = leadingNumber(value)) {
                r.clientId = *v;
                haveId = true;
            }
        } else if (key.starts_with("drm-engine-capacity-")) {
            if (auto v = leadingNumber(value))
                r.capacity[suffix("drm-engine-capacity-")] = *v;
        } else if (key.starts_with("drm-engine-")) {
            if (auto v = leadingNumber(value); v && value.ends_with("ns"))
                r.engineNs[suffix("drm-engine-")] = *v;
        } else if (key.starts_with("drm-total-cycles-")) {
            if (auto v = leadingNumber(value))
                r.totalCycles[suffix("drm-total-cycles-")] = *v;
        } else if (key.starts_with("drm-cycles-")) {
            if (auto v = leadingNumber(value))
                r.cycles[suffix("drm-cycles-")] = *v;
        }
    }
    if (r.driver.empty() || !haveId)
        return std::nullopt;
    r.device = pdev.empty() ? "driver:" + r.driver : pdev;
    return r;
}

void DrmClients::rescan()
{
    m_open.clear();
    std::string fdDir;
    char target[64];
    forEachNumber(m_procRoot.c_str(), [&](int32_t pid) {
        fdDir = m_procRoot + "/" + std::to_string(pid) + "/fd";
        forEachNumber(fdDir.c_str(), [&](int32_t fd) {
            const std::string link = fdDir + "/" + std::to_string(fd);
            const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
            const std::string_view t(target, n > 0 ? static_cast<size_t>(n) : 0);
            if (t.starts_with("/dev/dri/"))
                m_open.push_back({pid, fd, std::string(t.substr(9))});
        });
    });
}

std::map<std::string, double> DrmClients::sample(uint64_t nowNs,
                                                 const std::function<bool(const std::string &)> &awake)
{
    if (m_ticksToRescan-- <= 0) {
        rescan();
        m_ticksToRescan = kRescanEveryTicks - 1;
    }
    // One client can be open through several files (dup, fork): count it once.
    std::map<std::pair<std::string, uint64_t>, DrmClientRecord> now;
    std::vector<Open> stillOpen;
    std::map<std::string, bool> nodeAwake;
    for (const Open &o : m_open) {
        auto [it, fresh] = nodeAwake.try_emplace(o.node, false);
        if (fresh)
            it->second = awake(o.node);
        if (!it->second) {
            stillOpen.push_back(o);
            continue;
        }
        const std::string path = m_procRoot + "/" + std::to_string(o.pid) + "/fdinfo/" + std::to_string(o.fd);
        if (!sysfile::readInto(path, m_buf, 16 * 1024))
            continue; // closed, or the process is gone
        stillOpen.push_back(o);
        if (auto r = parseDrmFdinfo(m_buf)) {
            auto key = std::make_pair(r->device, r->clientId);
            now.try_emplace(std::move(key), std::move(*r));
        }
    }
    m_open = std::move(stillOpen);

    std::map<std::string, double> busy;
    if (m_lastNs != 0 && nowNs > m_lastNs) {
        const double wall = static_cast<double>(nowNs - m_lastNs);
        // Per device and engine: summed busy ns, and (xe) summed cycles over the elapsed GPU cycles.
        std::map<std::string, std::map<std::string, double>> ns, cycles, totals;
        std::map<std::string, std::map<std::string, uint64_t>> capacity;
        std::set<std::string> seen;
        for (const auto &[key, cur] : now) {
            const auto prev = m_last.find(key);
            if (prev == m_last.end())
                continue; // a new client: its time since it opened is not this interval's
            seen.insert(cur.device);
            for (const auto &[engine, v] : cur.engineNs) {
                const auto p = prev->second.engineNs.find(engine);
                if (p != prev->second.engineNs.end() && v >= p->second)
                    ns[cur.device][engine] += static_cast<double>(v - p->second);
                if (auto c = cur.capacity.find(engine); c != cur.capacity.end() && c->second > 0)
                    capacity[cur.device][engine] = c->second;
            }
            for (const auto &[engine, v] : cur.cycles) {
                const auto p = prev->second.cycles.find(engine);
                const auto t = cur.totalCycles.find(engine);
                const auto pt = prev->second.totalCycles.find(engine);
                if (p == prev->second.cycles.end() || t == cur.totalCycles.end()
                    || pt == prev->second.totalCycles.end() || v < p->second || t->second <= pt->second)
                    continue;
                cycles[cur.device][engine] += static_cast<double>(v - p->second);
                auto &total = totals[cur.device][engine];
                total = std::max(total, static_cast<double>(t->second - pt->second));
            }
        }
        for (const std::string &device : seen) {
            double best = 0;
            for (const auto &[engine, sum] : ns[device]) {
                const auto c = capacity[device].find(engine);
                const double engines = c == capacity[device].end() ? 1.0 : static_cast<double>(c->second);
                best = std::max(best, sum / (wall * engines));
            }
            for (const auto &[engine, sum] : cycles[device])
                if (const double t = totals[device][engine]; t > 0)
                    best = std::max(best, sum / t);
            busy[device] = std::clamp(best, 0.0, 1.0);
        }
    }
    m_last = std::move(now);
    m_lastNs = nowNs;
    return busy;
}

} // namespace corvane
