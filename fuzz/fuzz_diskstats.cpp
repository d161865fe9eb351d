// /proc/diskstats, read for the whole disks of a sysfs tree with one disk.
#include "platform/BlockStorage.h"

#include "FuzzFiles.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace corvane;
    static const QString root = [] {
        const char model[] = "Fuzz SSD\n";
        fuzz::putFile(QStringLiteral("sys/block/sda/device/model"), reinterpret_cast<const uint8_t *>(model), sizeof model - 1);
        return fuzz::scratch().path();
    }();
    static const std::unique_ptr<BlockStorage> storage =
        makeLinuxBlockStorage(root + QStringLiteral("/proc"), root + QStringLiteral("/sys"), root);
    fuzz::putFile(QStringLiteral("proc/diskstats"), data, size);
    (void)storage->drives();
    return 0;
}
