// privacy-history.json as anything may have left it; what decodes must encode again.
#include "notify/PrivacyNotifier.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto list = corvane::PrivacyNotifier::decode(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (list && corvane::PrivacyNotifier::decode(corvane::PrivacyNotifier::encode(*list)) != list)
        std::abort(); // written history that reads back differently
    return 0;
}
