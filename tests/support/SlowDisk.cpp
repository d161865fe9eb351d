#include "support/SlowDisk.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include <sys/syscall.h>
#include <unistd.h>

namespace corvane::test {
namespace {

struct State {
    std::mutex mutex;
    std::condition_variable released;
    bool held = false;
    int waiting = 0;
    int onHolder = 0;
    std::thread::id holder;
    std::chrono::milliseconds delay{0};
};

State &state()
{
    static State s; // outlives every thread that syncs: never destroyed before exit
    return s;
}

void beforeSync()
{
    State &s = state();
    std::unique_lock lock(s.mutex);
    if (s.delay.count() > 0) {
        const auto d = s.delay;
        lock.unlock();
        std::this_thread::sleep_for(d);
        lock.lock();
    }
    if (!s.held)
        return;
    if (std::this_thread::get_id() == s.holder) {
        ++s.onHolder;
        return;
    }
    ++s.waiting;
    // A safety limit: a test that forgets to release ends anyway.
    s.released.wait_for(lock, std::chrono::seconds(60), [&] { return !s.held; });
    --s.waiting;
}

} // namespace

DiskHold::DiskHold()
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    s.held = true;
    s.onHolder = 0;
    s.holder = std::this_thread::get_id();
}

DiskHold::~DiskHold() { release(); }

void DiskHold::release()
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    s.held = false;
    s.released.notify_all();
}

int DiskHold::waiting() const
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    return s.waiting;
}

int DiskHold::syncsOnHoldingThread() const
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    return s.onHolder;
}

void setSyncDelay(std::chrono::milliseconds delay)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    s.delay = delay;
}

} // namespace corvane::test

extern "C" int fdatasync(int fd)
{
    corvane::test::beforeSync();
    return int(::syscall(SYS_fdatasync, fd));
}

extern "C" int fsync(int fd)
{
    corvane::test::beforeSync();
    return int(::syscall(SYS_fsync, fd));
}
