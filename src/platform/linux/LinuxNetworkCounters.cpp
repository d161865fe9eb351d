#include "platform/NetworkCounters.h"
#include "platform/linux/SysFile.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <utility>
#include <vector>

namespace corvane {
namespace {

std::vector<std::string_view> fields(std::string_view line)
{
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
    return out;
}

std::optional<uint64_t> hex(std::string_view s)
{
    uint64_t v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v, 16);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size())
        return std::nullopt;
    return v;
}

constexpr uint64_t kRouteUp = 0x1;

class LinuxNetworkCounters final : public NetworkCounters {
public:
    LinuxNetworkCounters(const QString &sysRoot, const QString &procRoot)
        : m_dir(sysRoot.toStdString() + "/class/net"), m_route(procRoot.toStdString() + "/net/route"),
          m_route6(procRoot.toStdString() + "/net/ipv6_route")
    {
    }

    std::optional<QList<InterfaceCounters>> interfaces() override
    {
        DIR *d = ::opendir(m_dir.c_str());
        if (!d)
            return std::nullopt;
        const std::string routed = defaultRouteInterface();
        struct Entry {
            uint64_t index;
            InterfaceCounters c;
        };
        std::vector<Entry> entries;
        while (dirent *e = ::readdir(d)) {
            if (e->d_name[0] == '.')
                continue;
            const std::string base = m_dir + "/" + e->d_name;
            Entry en;
            en.c.name = QString::fromUtf8(e->d_name);
            en.index = sysfile::readU64(base + "/ifindex").value_or(UINT64_MAX);
            const auto rx = sysfile::readU64(base + "/statistics/rx_bytes");
            const auto tx = sysfile::readU64(base + "/statistics/tx_bytes");
            en.c.linkLevel = rx.has_value() && tx.has_value();
            en.c.rxBytes = rx.value_or(0);
            en.c.txBytes = tx.value_or(0);
            en.c.physical = !isVirtual(base);
            en.c.defaultRoute = !routed.empty() && routed == e->d_name;
            entries.push_back(std::move(en));
        }
        ::closedir(d);
        // The kernel's own order is the interface index.
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Entry &a, const Entry &b) { return a.index < b.index; });
        QList<InterfaceCounters> out;
        out.reserve(static_cast<qsizetype>(entries.size()));
        for (auto &e : entries)
            out.append(std::move(e.c));
        return out;
    }

private:
    // Class entries are links into the device tree; tunnels, bridges, veth pairs and the
    // loopback all sit under devices/virtual/net.
    static bool isVirtual(const std::string &classEntry)
    {
        char target[1024];
        const ssize_t n = ::readlink(classEntry.c_str(), target, sizeof target - 1);
        if (n <= 0)
            return false; // not a link: a plain directory tells nothing
        return std::string_view(target, static_cast<size_t>(n)).find("/devices/virtual/") != std::string_view::npos;
    }

    std::string defaultRouteInterface()
    {
        std::string best;
        uint64_t bestMetric = UINT64_MAX;
        if (m_route.read(m_buf)) {
            // Iface Destination Gateway Flags RefCnt Use Metric Mask ...
            std::string_view all(m_buf);
            bool header = true;
            while (!all.empty()) {
                const size_t eol = all.find('\n');
                const std::string_view line = all.substr(0, eol);
                all.remove_prefix(eol == std::string_view::npos ? all.size() : eol + 1);
                if (std::exchange(header, false))
                    continue;
                const auto f = fields(line);
                if (f.size() < 8)
                    continue;
                const auto dest = hex(f[1]), flags = hex(f[3]), mask = hex(f[7]);
                if (dest != 0u || mask != 0u || !flags || !(*flags & kRouteUp))
                    continue;
                uint64_t dec = UINT64_MAX; // this file's metric is decimal
                std::from_chars(f[6].data(), f[6].data() + f[6].size(), dec);
                if (best.empty() || dec < bestMetric) {
                    best.assign(f[0]);
                    bestMetric = dec;
                }
            }
        }
        if (!best.empty())
            return best;
        if (m_route6.read(m_buf)) {
            // dest prefix src srcprefix nexthop metric refcnt use flags device (hex fields)
            std::string_view all(m_buf);
            while (!all.empty()) {
                const size_t eol = all.find('\n');
                const std::string_view line = all.substr(0, eol);
                all.remove_prefix(eol == std::string_view::npos ? all.size() : eol + 1);
                const auto f = fields(line);
                if (f.size() < 10 || f[0] != std::string_view("00000000000000000000000000000000") || f[1] != "00")
                    continue;
                const auto flags = hex(f[8]), metric = hex(f[5]);
                // An unreachable default is put on the loopback.
                if (!flags || !(*flags & kRouteUp) || f[9] == "lo" || !metric)
                    continue;
                if (best.empty() || *metric < bestMetric) {
                    best.assign(f[9]);
                    bestMetric = *metric;
                }
            }
        }
        return best;
    }

    std::string m_dir;
    sysfile::ReopenableFile m_route;
    sysfile::ReopenableFile m_route6;
    std::string m_buf;
};

} // namespace

std::unique_ptr<NetworkCounters> makeLinuxNetworkCounters(const QString &sysRoot, const QString &procRoot)
{
    return std::make_unique<LinuxNetworkCounters>(sysRoot, procRoot);
}

} // namespace corvane
