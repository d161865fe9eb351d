// SMC value bytes with any type code and size, as a key store answers them.
#include "monitors/SMCMonitor.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 8)
        return 0;
    uint32_t type = 0;
    uint32_t bytesSize = 0;
    std::memcpy(&type, data, 4);
    std::memcpy(&bytesSize, data + 4, 4);
    std::array<uint8_t, 32> bytes{};
    std::memcpy(bytes.data(), data + 8, std::min<size_t>(size - 8, bytes.size()));
    (void)corvane::SMCMonitor::decodeValue(type, bytesSize, bytes);
    return 0;
}
