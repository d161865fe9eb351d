#pragma once
// The process table: identifiers, CPU time, resident memory and names.
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace corvane {

struct ProcessTaskInfo {
    uint64_t residentBytes = 0;
    uint64_t userTime = 0;   // in timebase units
    uint64_t systemTime = 0; // in timebase units
    std::optional<QString> name; // absent when it cannot be read
    uint64_t startTime = 0;      // when the process started; tells a reused pid apart
    bool kernelThread = false;   // the kernel's own worker: no program, nothing to terminate
};

// timebase units × numer / denom = nanoseconds
struct Timebase {
    uint32_t numer = 1;
    uint32_t denom = 1;
};

class ProcessTable {
public:
    virtual ~ProcessTable() = default;
    virtual std::vector<int32_t> listPids() = 0;
    // nullopt when the process cannot be read (gone, permission, short record).
    virtual std::optional<ProcessTaskInfo> taskInfo(int32_t pid) = 0;
    virtual Timebase timebase() = 0;
    // Resident bytes counted exactly, a second read; nullopt when the source has no
    // better figure than taskInfo()'s.
    virtual std::optional<uint64_t> exactResidentBytes(int32_t) { return std::nullopt; }
};

// Reads <procRoot>/[pid]/stat. Names are the executable's own (the basename of
// <pid>/exe, else of argv[0] in <pid>/cmdline); the kernel's 15-character `comm` only where
// neither can be read (kernel threads).
std::unique_ptr<ProcessTable> makeLinuxProcessTable(const QString &procRoot = QStringLiteral("/proc"));

} // namespace corvane
