#include "platform/ProcessSignals.h"
#include "platform/linux/SysFile.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <poll.h>
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

// A file of the process's /proc folder, read through the folder opened at hold time: once
// that process is gone (reaped), reading through it fails even if the pid was handed out
// again.
std::optional<std::string> readAt(int procDir, const char *name)
{
    const int fd = ::openat(procDir, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string out(4096, '\0');
    size_t got = 0;
    while (got < out.size()) {
        const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    if (got == 0)
        return std::nullopt;
    out.resize(got);
    return out;
}

struct StatFields {
    char state = '?';
    uint64_t startTime = 0;
};

// State (field 3) and start time (field 22) of /proc/<pid>/stat, counted after the command
// name's closing parenthesis.
std::optional<StatFields> statFields(int procDir)
{
    const auto stat = readAt(procDir, "stat");
    if (!stat)
        return std::nullopt;
    const size_t close = stat->rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    std::string_view rest(*stat);
    rest.remove_prefix(close + 1);
    rest = sysfile::trim(rest);
    if (rest.empty())
        return std::nullopt;
    StatFields f;
    f.state = rest.front();
    // From state (field 3) to starttime (field 22): skip 19 fields.
    for (int field = 3; field < 22; ++field) {
        rest = sysfile::trim(rest);
        const size_t space = rest.find(' ');
        if (space == std::string_view::npos)
            return std::nullopt;
        rest.remove_prefix(space);
    }
    const auto start = sysfile::parseU64(rest);
    if (!start)
        return std::nullopt;
    f.startTime = *start;
    return f;
}

// Whether the "SigIgn:" mask of /proc/<pid>/status holds `signal`.
bool ignoresSignal(int procDir, int signal)
{
    if (signal <= 0 || signal > 64 || signal == SIGKILL || signal == SIGSTOP)
        return false;
    const auto status = readAt(procDir, "status");
    if (!status)
        return false;
    const size_t at = status->find("\nSigIgn:");
    if (at == std::string::npos)
        return false;
    std::string_view hex = sysfile::trim(std::string_view(*status).substr(at + 8, 24));
    uint64_t mask = 0;
    int digits = 0;
    for (const char c : hex) {
        const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (d < 0 || ++digits > 16)
            break;
        mask = mask << 4 | static_cast<uint64_t>(d);
    }
    return (mask >> (signal - 1)) & 1u;
}

class Refused final : public HeldProcess {
public:
    explicit Refused(int err) : m_err(err) {}
    int check() override { return m_err; }
    int send(int) override { return m_err; }
    bool running() override { return false; }
    bool ignores(int) override { return false; }

private:
    int m_err;
};

// The picked process: its /proc folder, and its pidfd where the kernel has them.
class Held final : public HeldProcess {
public:
    Held(int32_t pid, int procDir, int pidfd, uint64_t start) : m_pid(pid), m_procDir(procDir), m_pidfd(pidfd), m_start(start) {}
    ~Held() override
    {
        ::close(m_procDir);
        if (m_pidfd >= 0)
            ::close(m_pidfd);
    }

    int check() override
    {
        if (exited())
            return ESRCH;
        const auto f = statFields(m_procDir);
        if (!f)
            return ESRCH;
        return f->startTime == m_start ? 0 : kProcessReplaced;
    }

    int send(int signal) override
    {
        if (const int err = check())
            return err;
        const long r = m_pidfd >= 0 ? ::syscall(SYS_pidfd_send_signal, m_pidfd, signal, nullptr, 0u)
                                    : ::kill(m_pid, signal);
        return r == 0 ? 0 : errno; // read once, right after the call
    }

    bool running() override
    {
        if (exited())
            return false;
        const auto f = statFields(m_procDir);
        return f && f->startTime == m_start && f->state != 'Z' && f->state != 'X';
    }

    bool ignores(int signal) override { return check() == 0 && ignoresSignal(m_procDir, signal); }

private:
    // A pidfd turns readable once its process has exited.
    bool exited() const
    {
        if (m_pidfd < 0)
            return false;
        pollfd p{m_pidfd, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }

    int32_t m_pid;
    int m_procDir;
    int m_pidfd;
    uint64_t m_start;
};

class LinuxProcessSignals final : public ProcessSignals {
public:
    LinuxProcessSignals(std::string procRoot, bool usePidfd) : m_procRoot(std::move(procRoot)), m_usePidfd(usePidfd) {}

    std::unique_ptr<HeldProcess> hold(int32_t pid, uint64_t startTime) override
    {
        if (pid <= 1)
            return std::make_unique<Refused>(EPERM);
        // The pidfd first: whatever the folder then shows is that process or a later one.
        const long fd = m_usePidfd ? ::syscall(SYS_pidfd_open, pid, 0u) : -1;
        if (fd < 0 && m_usePidfd && errno != ENOSYS)
            return std::make_unique<Refused>(errno);
        const std::string dir = m_procRoot + "/" + std::to_string(pid);
        const int procDir = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (procDir < 0) {
            if (fd >= 0)
                ::close(static_cast<int>(fd));
            return std::make_unique<Refused>(ESRCH);
        }
        auto held = std::make_unique<Held>(pid, procDir, static_cast<int>(fd), startTime);
        if (const int err = held->check())
            return std::make_unique<Refused>(err);
        return held;
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
