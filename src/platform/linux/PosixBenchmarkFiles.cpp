#include "platform/BenchmarkFiles.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

namespace corvane {
namespace {

class PosixBenchmarkFiles final : public BenchmarkFiles {
public:
    int createNew(const std::string &path, bool direct) override
    {
        int flags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
        if (direct)
            flags |= O_DIRECT;
        const int fd = ::open(path.c_str(), flags, 0600);
        if (fd >= 0)
            return fd;
        const int err = errno;
        // Some file systems create the file before refusing O_DIRECT; the name is ours alone.
        if (direct && err == EINVAL)
            ::unlink(path.c_str());
        return -err;
    }
    int openForReading(const std::string &path, bool direct) override
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | (direct ? O_DIRECT : 0));
        return fd >= 0 ? fd : -errno;
    }
    ssize_t write(int fd, const void *data, size_t size) override
    {
        const ssize_t n = ::write(fd, data, size);
        return n >= 0 ? n : -errno;
    }
    ssize_t read(int fd, void *data, size_t size) override
    {
        const ssize_t n = ::read(fd, data, size);
        return n >= 0 ? n : -errno;
    }
    int dataSync(int fd) override { return ::fdatasync(fd) == 0 ? 0 : -errno; }
    void dropCache(int fd) override { ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED); }
    void close(int fd) override { ::close(fd); }
    void remove(const std::string &path) override { ::unlink(path.c_str()); }
    std::optional<uint64_t> availableBytes(const std::string &directory) override
    {
        struct statvfs s {};
        if (::statvfs(directory.c_str(), &s) != 0)
            return std::nullopt;
        return uint64_t(s.f_bavail) * uint64_t(s.f_frsize);
    }
    std::optional<DirectoryInfo> directoryInfo(const std::string &directory) override
    {
        struct stat st {};
        struct statfs fs {};
        if (::stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || ::statfs(directory.c_str(), &fs) != 0)
            return std::nullopt;
        DirectoryInfo info;
        info.device = st.st_dev;
        info.ramBacked = fs.f_type == TMPFS_MAGIC || fs.f_type == RAMFS_MAGIC;
        info.writable = ::access(directory.c_str(), W_OK | X_OK) == 0;
        return info;
    }
};

} // namespace

std::unique_ptr<BenchmarkFiles> BenchmarkFiles::createPosix() { return std::make_unique<PosixBenchmarkFiles>(); }

} // namespace corvane
