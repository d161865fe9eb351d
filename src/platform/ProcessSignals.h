#pragma once
// Sending a termination signal to a process the user picked. The process is named by its pid
// and its start time together, checked when the user is asked and again as the signal goes
// out, so a pid that was handed to a newer process is never hit.
#include <cstdint>
#include <memory>

namespace corvane {

// Beside the system's errno values: the pid now names a process that started at another
// time than the one picked.
inline constexpr int kProcessReplaced = -1;

// One held process.
class HeldProcess {
public:
    virtual ~HeldProcess() = default;
    // 0 while the picked process runs and can be signalled; else why not: ESRCH once it has
    // ended, kProcessReplaced when its pid belongs to a newer process, or the refusal's errno.
    virtual int check() = 0;
    // check(), then the signal: 0 when it went out, else as check() or the kernel's errno.
    virtual int send(int signal) = 0;
    // False once the process has exited (a zombie waiting for its parent has exited too).
    virtual bool running() = 0;
    // The process has set `signal` to be ignored: the kernel drops it on delivery.
    virtual bool ignores(int signal) = 0;
};

class ProcessSignals {
public:
    virtual ~ProcessSignals() = default;
    // Takes hold of the process `pid` that started at `startTime` (ProcessTaskInfo's figure).
    // Never null: a process that can't be held yields a handle whose check() says why.
    virtual std::unique_ptr<HeldProcess> hold(int32_t pid, uint64_t startTime) = 0;
};

// pidfd_open, then the start time read through the process's own /proc folder, then
// pidfd_send_signal: the signal reaches the process whose start time was checked, or none.
// Where the kernel lacks pidfd, kill() right after the same check. `usePidfd` false forces
// the kill() path (kernels before 5.3). Refuses pid ≤ 1.
std::unique_ptr<ProcessSignals> makeLinuxProcessSignals(const char *procRoot = "/proc", bool usePidfd = true);

} // namespace corvane
