#include "platform/NetworkCounters.h"
#include "platform/linux/SysFile.h"

#include <dirent.h>

#include <algorithm>
#include <vector>

namespace corvane {
namespace {

class LinuxNetworkCounters final : public NetworkCounters {
public:
    explicit LinuxNetworkCounters(const QString &sysRoot) : m_dir(sysRoot.toStdString() + "/class/net") {}

    std::optional<QList<InterfaceCounters>> interfaces() override
    {
        DIR *d = ::opendir(m_dir.c_str());
        if (!d)
            return std::nullopt;
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
    std::string m_dir;
};

} // namespace

std::unique_ptr<NetworkCounters> makeLinuxNetworkCounters(const QString &sysRoot)
{
    return std::make_unique<LinuxNetworkCounters>(sysRoot);
}

} // namespace corvane
