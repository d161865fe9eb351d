// USB device folder names ("1-2.3") and their speed files, as sysfs lists them.
#include "platform/UsbRegistry.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    (void)corvane::usbsysfs::locationId(text);
    (void)corvane::usbsysfs::speedCode(text);
    return 0;
}
