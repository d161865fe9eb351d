#include "platform/NetworkCounters.h"
#include "platform/linux/SysFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <unordered_map>
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

    ~LinuxNetworkCounters() override
    {
        for (auto &[name, held] : m_held)
            closeHeld(held);
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
        ++m_pass;
        while (dirent *e = ::readdir(d)) {
            if (e->d_name[0] == '.')
                continue;
            bool fresh = false;
            Held &h = held(e->d_name, e->d_ino, fresh);
            h.pass = m_pass;
            Entry en;
            en.c.name = QString::fromUtf8(e->d_name);
            en.index = h.index;
            std::optional<uint64_t> rx = readCounter(h.rx), tx = readCounter(h.tx);
            if (!fresh && (!rx || !tx)) {
                // The link went away under the held files (or came back as another one):
                // everything about it is read afresh.
                closeHeld(h);
                h = Held{};
                h = open(e->d_name, e->d_ino);
                h.pass = m_pass;
                en.index = h.index;
                rx = readCounter(h.rx);
                tx = readCounter(h.tx);
            }
            en.c.linkLevel = rx.has_value() && tx.has_value();
            en.c.rxBytes = rx.value_or(0);
            en.c.txBytes = tx.value_or(0);
            en.c.physical = h.physical;
            en.c.defaultRoute = !routed.empty() && routed == e->d_name;
            entries.push_back(std::move(en));
        }
        ::closedir(d);
        // Links no longer listed let go of their files.
        for (auto it = m_held.begin(); it != m_held.end();) {
            if (it->second.pass != m_pass) {
                closeHeld(it->second);
                it = m_held.erase(it);
            } else {
                ++it;
            }
        }
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
    // A link's byte counters stay open and are read again from the start each tick (sysfs
    // makes them afresh); what cannot change while the link exists is read when it appears.
    // A link removed or made anew under the same name fails the held files' reads, or is a
    // new directory entry.
    struct Held {
        ino_t inode = 0;
        int rx = -1;
        int tx = -1;
        uint64_t index = UINT64_MAX;
        bool physical = false;
        uint64_t pass = 0;
    };

    Held open(const char *name, ino_t inode) const
    {
        const std::string base = m_dir + "/" + name;
        Held h;
        h.inode = inode;
        h.index = sysfile::readU64(base + "/ifindex").value_or(UINT64_MAX);
        h.rx = ::open((base + "/statistics/rx_bytes").c_str(), O_RDONLY | O_CLOEXEC);
        h.tx = ::open((base + "/statistics/tx_bytes").c_str(), O_RDONLY | O_CLOEXEC);
        h.physical = !isVirtual(base);
        return h;
    }

    Held &held(const char *name, ino_t inode, bool &fresh)
    {
        auto [it, added] = m_held.try_emplace(name);
        if (!added && it->second.inode != inode) {
            closeHeld(it->second);
            added = true;
        }
        if (added)
            it->second = open(name, inode);
        fresh = added;
        return it->second;
    }

    static void closeHeld(Held &h)
    {
        for (int fd : {h.rx, h.tx})
            if (fd >= 0)
                ::close(fd);
        h.rx = h.tx = -1;
    }

    std::optional<uint64_t> readCounter(int fd)
    {
        if (fd < 0 || !sysfile::readFdSingle(fd, m_counter, 64) || m_counter.empty())
            return std::nullopt;
        std::string_view s(m_counter);
        return sysfile::parseU64(s);
    }

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
    std::unordered_map<std::string, Held> m_held;
    uint64_t m_pass = 0;
    std::string m_counter;
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
