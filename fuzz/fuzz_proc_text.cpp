// Small /proc texts parsed straight from memory: DRM client fdinfo and /proc/net/wireless.
#include "platform/WiFiLink.h"
#include "platform/linux/DrmClients.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    (void)corvane::parseDrmFdinfo(text);
    (void)corvane::wifilinux::parseProcNetWireless(text, "wlan0");
    return 0;
}
