#include "platform/ProcessSignals.h"
#include "platform/linux/SysFile.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef SYS_pidfd_open
#define SYS_pidfd_open 434
#endif
#ifndef SYS_pidfd_send_signal
#define SYS_pidfd_send_signal 424
#endif

namespace corvane {

namespace {

// Field 22 of /proc/<pid>/stat, counted after the command name's closing parenthesis.
std::optional<uint64_t> startTime(const std::string &procRoot, int32_t pid)
{
    const auto stat = sysfile::read(procRoot + "/" + std::to_string(pid) + "/stat", 4096);
    if (!stat)
        return std::nullopt;
    const size_t close = stat->rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    std::string_view rest(*stat);
    rest.remove_prefix(close + 1);
    // After ')' come state (field 3) … starttime (field 22): skip 19 fields.
    for (int field = 3; field < 22; ++field) {
        rest = sysfile::trim(rest);
        const size_t space = rest.find(' ');
        if (space == std::string_view::npos)
            return std::nullopt;
        rest.remove_prefix(space);
    }
    return sysfile::parseU64(rest);
}

class Refused final : public HeldProcess {
public:
    explicit Refused(int err) : m_err(err) {}
    int send(int) override { return m_err; }

private:
    int m_err;
};

class PidfdProcess final : public HeldProcess {
public:
    explicit PidfdProcess(int fd) : m_fd(fd) {}
    ~PidfdProcess() override { ::close(m_fd); }
    int send(int signal) override
    {
        const long r = ::syscall(SYS_pidfd_send_signal, m_fd, signal, nullptr, 0u);
        const int err = r == 0 ? 0 : errno; // read once, right after the call
        return err;
    }

private:
    int m_fd;
};

class PidProcess final : public HeldProcess {
public:
    PidProcess(std::string procRoot, int32_t pid, int procDir, uint64_t start)
        : m_procRoot(std::move(procRoot)), m_pid(pid), m_procDir(procDir), m_start(start)
    {
    }
    ~PidProcess() override { ::close(m_procDir); }
    int send(int signal) override
    {
        // An open /proc/<pid> folder stays bound to the process it was opened for: once that
        // process is gone, reading through it fails even if the pid was handed out again.
        const int stat = ::openat(m_procDir, "stat", O_RDONLY | O_CLOEXEC);
        if (stat < 0)
            return ESRCH;
        ::close(stat);
        if (startTime(m_procRoot, m_pid) != m_start)
            return ESRCH;
        const int r = ::kill(m_pid, signal);
        const int err = r == 0 ? 0 : errno;
        return err;
    }

private:
    std::string m_procRoot;
    int32_t m_pid;
    int m_procDir;
    uint64_t m_start;
};

class LinuxProcessSignals final : public ProcessSignals {
public:
    LinuxProcessSignals(std::string procRoot, bool usePidfd) : m_procRoot(std::move(procRoot)), m_usePidfd(usePidfd) {}

    std::unique_ptr<HeldProcess> hold(int32_t pid) override
    {
        if (pid <= 1)
            return std::make_unique<Refused>(EPERM);
        const long fd = m_usePidfd ? ::syscall(SYS_pidfd_open, pid, 0u) : -1;
        const int err = fd >= 0 ? 0 : m_usePidfd ? errno : ENOSYS;
        if (fd >= 0)
            return std::make_unique<PidfdProcess>(static_cast<int>(fd));
        if (err != ENOSYS)
            return std::make_unique<Refused>(err);
        const std::string dir = m_procRoot + "/" + std::to_string(pid);
        const int procDir = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const auto start = startTime(m_procRoot, pid);
        if (procDir < 0 || !start) {
            if (procDir >= 0)
                ::close(procDir);
            return std::make_unique<Refused>(ESRCH);
        }
        return std::make_unique<PidProcess>(m_procRoot, pid, procDir, *start);
    }

private:
    std::string m_procRoot;
    bool m_usePidfd;
};

} // namespace

std::unique_ptr<ProcessSignals> makeLinuxProcessSignals(const char *procRoot, bool usePidfd)
{
    return std::make_unique<LinuxProcessSignals>(procRoot, usePidfd);
}

} // namespace corvane
