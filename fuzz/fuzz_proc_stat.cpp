// /proc/<pid>/stat: the process name may hold anything, ')' and spaces included.
#include "platform/ProcessTable.h"

#include "FuzzFiles.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString root = corvane::fuzz::scratch().path() + QStringLiteral("/proc");
    static const std::unique_ptr<corvane::ProcessTable> table = corvane::makeLinuxProcessTable(root);
    corvane::fuzz::putFile(QStringLiteral("proc/42/stat"), data, size);
    (void)table->taskInfo(42);
    return 0;
}
