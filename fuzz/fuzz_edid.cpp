// EDID blocks as displays report them through /sys/class/drm/*/edid.
#include "platform/Edid.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    (void)corvane::parseEdid(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
