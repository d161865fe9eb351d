// battery-history.json as anything may have left it; what decodes must encode again.
#include "notify/BatteryHistory.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto list = corvane::BatteryHistory::decode(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (list) {
        bool ok = false;
        const QByteArray again = corvane::BatteryHistory::encode(*list, &ok);
        if (ok && corvane::BatteryHistory::decode(again) != list)
            std::abort(); // written history that reads back differently
    }
    return 0;
}
