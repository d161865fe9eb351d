#pragma once
// Sending a termination signal to a process the user picked. The process is held from the
// moment the user is asked until the signal goes out, so a pid that is reused in between
// is never hit.
#include <cstdint>
#include <memory>

namespace corvane {

// One held process. send() returns 0 when the signal went out, else the errno of the
// refusal (ESRCH once the held process has ended, even if its pid now names another).
class HeldProcess {
public:
    virtual ~HeldProcess() = default;
    virtual int send(int signal) = 0;
};

class ProcessSignals {
public:
    virtual ~ProcessSignals() = default;
    // Takes hold of `pid`. Never null: a process that can't be held yields a handle whose
    // send() reports why.
    virtual std::unique_ptr<HeldProcess> hold(int32_t pid) = 0;
};

// pidfd_open + pidfd_send_signal; where the kernel lacks pidfd, kill() after checking that
// the /proc/<pid> folder opened at hold time still reads and the start time is unchanged.
// `usePidfd` false forces the kill() path (kernels before 5.3).
std::unique_ptr<ProcessSignals> makeLinuxProcessSignals(const char *procRoot = "/proc", bool usePidfd = true);

} // namespace corvane
