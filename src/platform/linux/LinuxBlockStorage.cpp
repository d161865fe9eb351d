#include "platform/BlockStorage.h"
#include "platform/linux/SysFile.h"

#include <QDir>

#include <chrono>
#include <unordered_map>

#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
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
        // Which names are drives, and their models, change only when a disk comes or goes:
        // looked up again when the list of names changes, and every half minute besides
        // (snap-based systems list dozens of loop devices).
        const bool rescan = rescanDue();
        std::string names;
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
            if (!ok)
                continue;
            names += name;
            names += '\n';
            auto known = m_devices.find(name);
            if (rescan || known == m_devices.end())
                known = m_devices.insert_or_assign(name, lookUp(name)).first;
            if (!known->second.drive)
                continue;
            DriveCounters dc;
            // diskstats counts 512-byte sectors whatever the device's block size.
            dc.bytesRead = f[2] * 512;
            dc.bytesWritten = f[6] * 512;
            dc.productName = known->second.model;
            out.append(std::move(dc));
        }
        if (names != m_names) {
            // A disk came or went: drop what is gone, and read everything again next time
            // (a name can come back as another device).
            m_names = std::move(names);
            m_devices.clear();
            m_scannedAt.reset();
        }
        return out;
    }

    std::optional<VolumeCapacity> homeVolume() override
    {
        struct statvfs st{};
        if (::statvfs(m_home.c_str(), &st) != 0)
            return std::nullopt;
        if (!m_homeIsLocal) {
            struct statfs fs{};
            m_homeIsLocal = ::statfs(m_home.c_str(), &fs) == 0 && isLocalFileSystem(static_cast<unsigned long>(fs.f_type));
        }
        VolumeCapacity v;
        v.total = static_cast<uint64_t>(st.f_blocks) * st.f_frsize;
        v.available = static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
        // No separate "available for important usage" figure on Linux.
        return v;
    }

    bool readsMayBlock() override { return !m_homeIsLocal.value_or(false); }

private:
    // File systems on this machine's own drives or in its memory; anything else (NFS, SMB,
    // FUSE, cluster file systems) may keep statvfs() waiting on a server.
    static bool isLocalFileSystem(unsigned long type)
    {
        constexpr unsigned long kXfs = 0x58465342, kZfs = 0x2fc12fc1, kF2fs = 0xf2f52010, kBcachefs = 0xca451a4e;
        switch (type) {
        case EXT4_SUPER_MAGIC: // also ext2 and ext3
        case BTRFS_SUPER_MAGIC:
        case TMPFS_MAGIC:
        case RAMFS_MAGIC:
        case OVERLAYFS_SUPER_MAGIC:
        case SQUASHFS_MAGIC:
        case ECRYPTFS_SUPER_MAGIC:
        case MSDOS_SUPER_MAGIC:
        case kXfs:
        case kZfs:
        case kF2fs:
        case kBcachefs:
            return true;
        default:
            return false;
        }
    }

    struct Device {
        bool drive = false;
        std::optional<QString> model;
    };

    Device lookUp(const std::string &name) const
    {
        // Partitions live under their disk, so only whole disks appear directly in /sys/block;
        // a device link tells a real drive from loop, ram, dm and md devices.
        Device d;
        struct stat st{};
        d.drive = ::stat((m_block + "/" + name + "/device").c_str(), &st) == 0;
        if (d.drive)
            if (auto model = sysfile::readTrimmed(m_block + "/" + name + "/device/model"); model && !model->empty())
                d.model = QString::fromUtf8(model->data(), static_cast<qsizetype>(model->size()));
        return d;
    }

    bool rescanDue()
    {
        using namespace std::chrono;
        const auto now = steady_clock::now();
        if (m_scannedAt && now - *m_scannedAt < seconds(30))
            return false;
        m_scannedAt = now;
        return true;
    }

    std::unordered_map<std::string, Device> m_devices;
    std::string m_names;
    std::optional<std::chrono::steady_clock::time_point> m_scannedAt;
    std::optional<bool> m_homeIsLocal; // looked up on the first successful homeVolume()

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
