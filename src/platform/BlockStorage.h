#pragma once
// Cumulative byte counters of the machine's drives and the capacity of the home volume.
#include <QString>
#include <QList>

#include <cstdint>
#include <memory>
#include <optional>

namespace corvane {

struct DriveCounters {
    std::optional<QString> productName; // absent when the drive reports none
    std::optional<uint64_t> bytesRead;
    std::optional<uint64_t> bytesWritten;
};

struct VolumeCapacity {
    std::optional<uint64_t> total;
    std::optional<uint64_t> availableForImportantUsage;
    std::optional<uint64_t> available;
};

class BlockStorage {
public:
    virtual ~BlockStorage() = default;
    // Whole drives in the system's order; nullopt when they cannot be listed.
    virtual std::optional<QList<DriveCounters>> drives() = 0;
    // nullopt when the query fails.
    virtual std::optional<VolumeCapacity> homeVolume() = 0;
    // Whether a read may block for long (a home folder on a network file system). Known
    // after the first homeVolume(); until then, and where not known, it may.
    virtual bool readsMayBlock() { return true; }
};

// Reads <procRoot>/diskstats (whole disks that have <sysRoot>/block/<name>/device),
// the model names under <sysRoot>/block, and statvfs() of `homePath`.
std::unique_ptr<BlockStorage> makeLinuxBlockStorage(const QString &procRoot = QStringLiteral("/proc"),
                                                    const QString &sysRoot = QStringLiteral("/sys"),
                                                    const QString &homePath = QString());

} // namespace corvane
