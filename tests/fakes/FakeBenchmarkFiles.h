#pragma once
#include "platform/BenchmarkFiles.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace corvane::test {

// Files that exist only as sizes, with switches for the failures a real volume can give.
// Called from the benchmark's worker thread; the test reads it after the worker has ended.
class FakeBenchmarkFiles final : public BenchmarkFiles {
public:
    // Switches (set before a run).
    bool refuseDirect = false;          // O_DIRECT gives EINVAL
    int createErrno = 0;                // creating the file fails
    int64_t spaceLeft = -1;             // bytes that fit before ENOSPC; -1 = unlimited
    int writeReturnsZeroAt = -1;        // the n-th write call returns 0
    int readErrnoAtCall = -1;           // the n-th read call fails with readErrno
    int readErrno = EIO;
    int syncErrno = 0;                  // every fdatasync fails
    std::optional<uint64_t> available;  // what statvfs reports; nullopt = unknown
    std::chrono::milliseconds writeDelay{0};
    int holdWriteCall = -1;             // the n-th write waits in the "disk" until release()
    std::map<std::string, DirectoryInfo> directories;

    // What happened.
    mutable std::mutex lock;
    std::set<std::string> existing;     // files on "disk" now
    std::string lastCreated;
    bool lastCreateDirect = false;
    int writeCalls = 0, readCalls = 0, syncCalls = 0, dropCalls = 0;
    size_t largestWrite = 0;            // the most bytes one write call asked for
    bool holding = false;               // the held write is waiting now
    bool holdTimedOut = false;          // nobody released it (the caller waited for the disk)

    void release()
    {
        std::lock_guard l(lock);
        m_released = true;
        m_releasedChanged.notify_all();
    }
    bool isHolding() const
    {
        std::lock_guard l(lock);
        return holding;
    }

    int createNew(const std::string &path, bool direct) override
    {
        std::lock_guard l(lock);
        if (direct && refuseDirect)
            return -EINVAL;
        if (createErrno)
            return -createErrno;
        if (existing.count(path))
            return -EEXIST;
        existing.insert(path);
        lastCreated = path;
        lastCreateDirect = direct;
        m_sizes[path] = 0;
        m_fds[++m_nextFd] = path;
        return m_nextFd;
    }
    int openForReading(const std::string &path, bool) override
    {
        std::lock_guard l(lock);
        if (!existing.count(path))
            return -ENOENT;
        m_fds[++m_nextFd] = path;
        m_offsets[m_nextFd] = 0;
        return m_nextFd;
    }
    ssize_t write(int fd, const void *, size_t size) override
    {
        if (writeDelay.count())
            std::this_thread::sleep_for(writeDelay);
        std::unique_lock l(lock);
        largestWrite = std::max(largestWrite, size);
        if (++writeCalls == holdWriteCall) {
            holding = true;
            holdTimedOut = !m_releasedChanged.wait_for(l, std::chrono::seconds(60), [this] { return m_released; });
            holding = false;
        }
        if (writeCalls == writeReturnsZeroAt)
            return 0;
        size_t n = size;
        if (spaceLeft >= 0) {
            if (spaceLeft == 0)
                return -ENOSPC;
            n = std::min<size_t>(n, size_t(spaceLeft));
            spaceLeft -= int64_t(n);
        }
        m_sizes[m_fds[fd]] += n;
        return ssize_t(n);
    }
    ssize_t read(int fd, void *, size_t size) override
    {
        std::lock_guard l(lock);
        if (++readCalls == readErrnoAtCall)
            return -readErrno;
        const uint64_t total = m_sizes[m_fds[fd]];
        const uint64_t off = m_offsets[fd];
        const size_t n = size_t(std::min<uint64_t>(size, total - off));
        m_offsets[fd] += n;
        return ssize_t(n);
    }
    int dataSync(int) override
    {
        std::lock_guard l(lock);
        ++syncCalls;
        return syncErrno ? -syncErrno : 0;
    }
    void dropCache(int) override
    {
        std::lock_guard l(lock);
        ++dropCalls;
    }
    void close(int fd) override
    {
        std::lock_guard l(lock);
        m_fds.erase(fd);
    }
    void remove(const std::string &path) override
    {
        std::lock_guard l(lock);
        existing.erase(path);
    }
    std::optional<uint64_t> availableBytes(const std::string &) override { return available; }
    std::optional<DirectoryInfo> directoryInfo(const std::string &d) override
    {
        auto it = directories.find(d);
        if (it != directories.end())
            return it->second;
        return DirectoryInfo{1, false, true};
    }
    bool anyFileLeft() const
    {
        std::lock_guard l(lock);
        return !existing.empty();
    }

private:
    std::condition_variable m_releasedChanged;
    bool m_released = false;
    int m_nextFd = 2;
    std::map<int, std::string> m_fds;
    std::map<std::string, uint64_t> m_sizes;
    std::map<int, uint64_t> m_offsets;
};

} // namespace corvane::test
