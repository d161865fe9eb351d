// The head of a crash report (systemd-coredump, apport, Qt's own), as the crash tab reads it.
#include "monitors/CrashLogMonitor.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    (void)corvane::CrashLogMonitor::parseHeader(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
