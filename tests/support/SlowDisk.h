#pragma once
// A slow disk for the process: this binary's fdatasync and fsync (QSaveFile::commit ends in
// one) stand in for the C library's and, while a hold or a delay is in place, keep the
// caller waiting before they reach the kernel.
#include <chrono>

namespace corvane::test {

// From construction until release() (or the destructor) every sync on another thread waits.
// A sync on the thread that made the hold is counted and let through, so a test of code that
// syncs where it shouldn't fails instead of hanging.
class DiskHold {
public:
    DiskHold();
    ~DiskHold();
    DiskHold(const DiskHold &) = delete;
    DiskHold &operator=(const DiskHold &) = delete;
    void release();
    // Syncs waiting now on other threads.
    int waiting() const;
    // Syncs the holding thread made.
    int syncsOnHoldingThread() const;
};

// Each sync takes this long more (0: as the disk is).
void setSyncDelay(std::chrono::milliseconds delay);

} // namespace corvane::test
