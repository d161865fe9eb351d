#include "platform/ProcessTable.h"
#include "platform/linux/ProcNames.h"
#include "platform/linux/SysFile.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <unordered_map>

namespace corvane {
namespace {

class LinuxProcessTable final : public ProcessTable {
public:
    explicit LinuxProcessTable(const QString &root) : m_root(root.toStdString())
    {
        // pidfds name this machine's processes, not those of another tree.
        m_watchKernelThreads = m_root == "/proc";
        const long hz = ::sysconf(_SC_CLK_TCK);
        const long ps = ::sysconf(_SC_PAGESIZE);
        m_ticksPerSec = hz > 0 ? static_cast<uint32_t>(hz) : 100;
        m_pageSize = ps > 0 ? static_cast<uint64_t>(ps) : 4096;
        m_path.reserve(m_root.size() + 32);
        m_buf.reserve(1024);
    }

    ~LinuxProcessTable() override
    {
        for (const auto &[pid, fd] : m_statFds)
            ::close(fd);
        for (const auto &[pid, fd] : m_kernelThreads)
            ::close(fd);
    }

    std::vector<int32_t> listPids() override
    {
        std::vector<int32_t> pids;
        DIR *d = ::opendir(m_root.c_str());
        if (!d)
            return pids;
        while (dirent *e = ::readdir(d)) {
            const char *n = e->d_name;
            if (*n < '0' || *n > '9')
                continue;
            int64_t v = 0;
            for (; *n >= '0' && *n <= '9' && v <= INT32_MAX; ++n)
                v = v * 10 + (*n - '0');
            if (*n == '\0' && v <= INT32_MAX)
                pids.push_back(static_cast<int32_t>(v));
        }
        ::closedir(d);
        forgetEndedKernelThreads();
        // Descriptors of processes no longer listed go.
        if (!m_statFds.empty()) {
            std::vector<int32_t> sorted = pids;
            std::sort(sorted.begin(), sorted.end());
            for (auto it = m_statFds.begin(); it != m_statFds.end();) {
                if (std::binary_search(sorted.begin(), sorted.end(), it->first)) {
                    ++it;
                } else {
                    ::close(it->second);
                    it = m_statFds.erase(it);
                }
            }
        }
        return pids;
    }

    std::optional<ProcessTaskInfo> taskInfo(int32_t pid) override
    {
        if (m_kernelThreads.count(pid)) {
            ProcessTaskInfo kernel;
            kernel.kernelThread = true;
            return kernel;
        }
        if (!readStat(pid))
            return std::nullopt;
        auto info = parseStat(m_buf, m_pageSize);
        if (info && info->name && !info->kernelThread)
            info->name = fullName(pid, info->startTime, *info->name);
        if (info && info->kernelThread)
            watchKernelThread(pid);
        return info;
    }

    // stat's resident figure is the kernel's quick read of per-CPU counters, which on
    // recent kernels can stay hundreds of kilobytes behind for an idle process; statm sums
    // them.
    std::optional<uint64_t> exactResidentBytes(int32_t pid) override
    {
        if (!readProcFile(pid, "/statm"))
            return std::nullopt;
        std::string_view s(m_buf);
        if (!sysfile::parseU64(s)) // size
            return std::nullopt;
        const auto resident = sysfile::parseU64(s);
        if (!resident)
            return std::nullopt;
        return *resident * m_pageSize;
    }

    // The kernel counts CPU time in clock ticks.
    Timebase timebase() override { return {1'000'000'000u / m_ticksPerSec, 1}; }

    static std::optional<ProcessTaskInfo> parseStat(std::string_view s, uint64_t pageSize)
    {
        // "pid (comm) state ppid ...": comm may itself hold spaces and ')', so the
        // fields start after the last ')'.
        const size_t open = s.find('(');
        const size_t close = s.rfind(')');
        if (open == std::string_view::npos || close == std::string_view::npos || close < open)
            return std::nullopt;
        ProcessTaskInfo info;
        const std::string_view comm = s.substr(open + 1, close - open - 1);
        info.name = QString::fromUtf8(comm.data(), static_cast<qsizetype>(comm.size()));
        std::string_view rest = s.substr(close + 1);
        // Fields after ')': 0 state, 1 ppid, ... 6 flags, 11 utime, 12 stime, ... 19 starttime,
        // 21 rss (pages).
        int field = 0;
        std::optional<uint64_t> flags, utime, stime, rss, start;
        while (!rest.empty() && field <= 21) {
            rest = rest.substr(std::min(rest.find_first_not_of(' '), rest.size()));
            if (rest.empty())
                break;
            if (field == 6 || field == 11 || field == 12 || field == 19 || field == 21) {
                std::string_view tok = rest;
                auto v = sysfile::parseU64(tok);
                if (field == 6)
                    flags = v;
                else if (field == 11)
                    utime = v;
                else if (field == 12)
                    stime = v;
                else if (field == 19)
                    start = v;
                else
                    rss = v;
            }
            const size_t sp = rest.find(' ');
            rest = sp == std::string_view::npos ? std::string_view() : rest.substr(sp);
            ++field;
        }
        if (!utime || !stime || !rss)
            return std::nullopt;
        info.userTime = *utime;
        info.systemTime = *stime;
        info.residentBytes = *rss * pageSize;
        info.startTime = start.value_or(0);
        constexpr uint64_t kPfKthread = 0x00200000;
        info.kernelThread = flags && (*flags & kPfKthread);
        return info;
    }

private:
    // Kernel threads are half the processes of a typical machine, and never listed: once one
    // is known, a pidfd tells when it ends (one poll() a pass for all of them) instead of a
    // read of its stat each pass. Its pid listed again after that is read as a new process.
    void watchKernelThread(int32_t pid)
    {
        if (!m_watchKernelThreads)
            return;
        const auto held = m_statFds.find(pid);
        if (held == m_statFds.end())
            return; // no held record to confirm the pidfd names the thread just read
        const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0u));
        if (pidfd < 0) {
            if (errno == ENOSYS)
                m_watchKernelThreads = false;
            return;
        }
        // The held record still reads: the thread it was opened on is alive, so the pid
        // cannot have passed to another process before the pidfd was taken.
        if (!sysfile::readFdSingle(held->second, m_buf, 4096) || m_buf.empty()) {
            ::close(pidfd);
            return;
        }
        ::close(held->second);
        m_statFds.erase(held);
        m_kernelThreads.emplace(pid, pidfd);
    }

    void forgetEndedKernelThreads()
    {
        if (m_kernelThreads.empty())
            return;
        m_polls.clear();
        for (const auto &[pid, fd] : m_kernelThreads)
            m_polls.push_back({fd, POLLIN, 0});
        int n;
        do {
            n = ::poll(m_polls.data(), m_polls.size(), 0);
        } while (n < 0 && errno == EINTR);
        if (n == 0)
            return;
        for (const pollfd &p : m_polls) {
            if (n > 0 && p.revents == 0)
                continue;
            // Ended (or, were poll() to fail, not known to be alive): read again from now on.
            for (auto it = m_kernelThreads.begin(); it != m_kernelThreads.end(); ++it) {
                if (it->second == p.fd) {
                    ::close(p.fd);
                    m_kernelThreads.erase(it);
                    break;
                }
            }
        }
    }

    // Opening <pid>/stat costs the kernel as much as reading it: each process's stays open
    // and is read again from the start. Once the process is gone the kernel fails the read
    // (even if its pid is taken again), and the file is opened afresh by path.
    bool readStat(int32_t pid)
    {
        if (const auto it = m_statFds.find(pid); it != m_statFds.end()) {
            if (sysfile::readFdSingle(it->second, m_buf, 4096) && !m_buf.empty())
                return true;
            ::close(it->second);
            m_statFds.erase(it);
        }
        setPath(pid, "/stat");
        const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool ok = sysfile::readFdSingle(fd, m_buf, 4096);
        // Held for the processes seen first; past the cap, open and close as before (the
        // process's descriptor limit belongs to the whole app). A kernel thread's pidfd takes
        // the place of its record's descriptor, within the same cap.
        if (ok && m_statFds.size() + m_kernelThreads.size() < kMaxHeldFiles)
            m_statFds.emplace(pid, fd);
        else
            ::close(fd);
        return ok;
    }

    void setPath(int32_t pid, const char *file)
    {
        m_path.assign(m_root);
        m_path += '/';
        m_path += std::to_string(pid);
        m_path += file;
    }

    // <root>/<pid><file> into m_buf; a file the kernel makes in one piece.
    bool readProcFile(int32_t pid, const char *file)
    {
        setPath(pid, file);
        const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool ok = sysfile::readFdSingle(fd, m_buf, 4096);
        ::close(fd);
        return ok;
    }

    // Names only change on exec, which also sets a new comm: resolve once per process and
    // comm, not every tick.
    QString fullName(int32_t pid, uint64_t startTime, const QString &comm)
    {
        if (++m_lookups > 4096 && m_names.size() > 2048) {
            m_names.clear(); // pids of exited processes pile up otherwise
            m_lookups = 0;
        }
        auto &cached = m_names[pid];
        if (cached.valid && cached.startTime == startTime && cached.comm == comm)
            return cached.name;
        const auto name = procnames::readExecutableName(m_root + "/" + std::to_string(pid), m_cmdline);
        cached = {true, startTime, comm, name ? QString::fromUtf8(name->data(), static_cast<qsizetype>(name->size())) : comm};
        return cached.name;
    }

    struct CachedName {
        bool valid = false;
        uint64_t startTime = 0;
        QString comm;
        QString name;
    };
    static constexpr size_t kMaxHeldFiles = 384;
    std::unordered_map<int32_t, int> m_statFds;
    std::unordered_map<int32_t, int> m_kernelThreads; // pid → pidfd
    std::vector<pollfd> m_polls;
    bool m_watchKernelThreads = false;
    std::unordered_map<int32_t, CachedName> m_names;
    size_t m_lookups = 0;
    std::string m_root;
    std::string m_path;
    std::string m_buf;
    std::string m_cmdline;
    uint32_t m_ticksPerSec = 100;
    uint64_t m_pageSize = 4096;
};

} // namespace

std::unique_ptr<ProcessTable> makeLinuxProcessTable(const QString &procRoot)
{
    return std::make_unique<LinuxProcessTable>(procRoot);
}

} // namespace corvane
