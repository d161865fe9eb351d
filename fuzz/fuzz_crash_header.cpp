// The head of a crash report (systemd-coredump, apport, Qt's own), as the crash tab reads it.
#include "ui/tabs/CrashLogReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    (void)corvane::CrashLogReader::parseHeader(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
