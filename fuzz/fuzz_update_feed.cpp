// The update feed (an appcast) as a server may send it.
#include "state/Updater.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString error;
    const auto item = corvane::newestAppcastItem(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), &error);
    if (item)
        (void)corvane::compareVersions(item->version, QStringLiteral("0.1"));
    return 0;
}
