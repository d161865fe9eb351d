#pragma once
// File access for the disk benchmark: creating, writing, reading and removing its one
// temporary file, and what a directory sits on. Calls return a count or -errno.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace corvane {

struct DirectoryInfo {
    uint64_t device = 0;   // st_dev of the directory
    bool ramBacked = false; // tmpfs or ramfs: nothing reaches a disk
    bool writable = false;
};

class BenchmarkFiles {
public:
    virtual ~BenchmarkFiles() = default;
    // A new file (never an existing one, never through a symlink), mode 0600. With `direct`
    // the page cache is bypassed; -EINVAL means the file system refuses that.
    virtual int createNew(const std::string &path, bool direct) = 0;
    virtual int openForReading(const std::string &path, bool direct) = 0;
    // One system call each; EINTR is returned to the caller like any other error.
    virtual ssize_t write(int fd, const void *data, size_t size) = 0;
    virtual ssize_t read(int fd, void *data, size_t size) = 0;
    virtual int dataSync(int fd) = 0;
    // Asks the kernel to drop the file's cached pages (buffered runs).
    virtual void dropCache(int fd) = 0;
    virtual void close(int fd) = 0;
    virtual void remove(const std::string &path) = 0;
    virtual std::optional<uint64_t> availableBytes(const std::string &directory) = 0;
    virtual std::optional<DirectoryInfo> directoryInfo(const std::string &directory) = 0;

    static std::unique_ptr<BenchmarkFiles> createPosix();
};

} // namespace corvane
