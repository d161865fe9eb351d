#include "platform/BlockStorage.h"
#include "platform/linux/SysFile.h"

#include <QDir>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace corvane {
namespace {

class LinuxBlockStorage final : public BlockStorage {
public:
    LinuxBlockStorage(const QString &procRoot, const QString &sysRoot, const QString &home)
        : m_diskstats(procRoot.toStdString() + "/diskstats"), m_block(sysRoot.toStdString() + "/block"),
          m_home((home.isEmpty() ? QDir::homePath() : home).toStdString())
    {
    }

    std::optional<QList<DriveCounters>> drives() override
    {
        if (!m_diskstats.read(m_buf))
            return std::nullopt;
        QList<DriveCounters> out;
        std::string_view all(m_buf);
        while (!all.empty()) {
            const size_t eol = all.find('\n');
            std::string_view line = all.substr(0, eol);
            all.remove_prefix(eol == std::string_view::npos ? all.size() : eol + 1);
            // major minor name reads merged sectors_read ms writes merged sectors_written ...
            std::string_view s = line;
            if (!sysfile::parseU64(s) || !sysfile::parseU64(s))
                continue;
            s = sysfile::trim(s);
            const size_t sp = s.find_first_of(" \t");
            if (sp == std::string_view::npos)
                continue;
            const std::string name(s.substr(0, sp));
            s.remove_prefix(sp);
            uint64_t f[7] = {};
            bool ok = true;
            for (auto &v : f) {
                auto x = sysfile::parseU64(s);
                if (!x) {
                    ok = false;
                    break;
                }
                v = *x;
            }
            if (!ok || !isWholeDiskWithDevice(name))
                continue;
            DriveCounters dc;
            // diskstats counts 512-byte sectors whatever the device's block size.
            dc.bytesRead = f[2] * 512;
            dc.bytesWritten = f[6] * 512;
            if (auto model = sysfile::readTrimmed(m_block + "/" + name + "/device/model"); model && !model->empty())
                dc.productName = QString::fromUtf8(model->data(), static_cast<qsizetype>(model->size()));
            out.append(std::move(dc));
        }
        return out;
    }

    std::optional<VolumeCapacity> homeVolume() override
    {
        struct statvfs st{};
        if (::statvfs(m_home.c_str(), &st) != 0)
            return std::nullopt;
        VolumeCapacity v;
        v.total = static_cast<uint64_t>(st.f_blocks) * st.f_frsize;
        v.available = static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
        // No separate "available for important usage" figure on Linux.
        return v;
    }

private:
    bool isWholeDiskWithDevice(const std::string &name) const
    {
        // Partitions live under their disk, so only whole disks appear directly in /sys/block;
        // a device link tells a real drive from loop, ram, dm and md devices.
        struct stat st{};
        return ::stat((m_block + "/" + name + "/device").c_str(), &st) == 0;
    }

    sysfile::ReopenableFile m_diskstats;
    std::string m_block;
    std::string m_home;
    std::string m_buf;
};

} // namespace

std::unique_ptr<BlockStorage> makeLinuxBlockStorage(const QString &procRoot, const QString &sysRoot,
                                                    const QString &homePath)
{
    return std::make_unique<LinuxBlockStorage>(procRoot, sysRoot, homePath);
}

} // namespace corvane
