#include "platform/ProcessTable.h"
#include "platform/linux/SysFile.h"

#include <dirent.h>
#include <unistd.h>

namespace corvane {
namespace {

class LinuxProcessTable final : public ProcessTable {
public:
    explicit LinuxProcessTable(const QString &root) : m_root(root.toStdString())
    {
        const long hz = ::sysconf(_SC_CLK_TCK);
        const long ps = ::sysconf(_SC_PAGESIZE);
        m_ticksPerSec = hz > 0 ? static_cast<uint32_t>(hz) : 100;
        m_pageSize = ps > 0 ? static_cast<uint64_t>(ps) : 4096;
        m_path.reserve(m_root.size() + 32);
        m_buf.reserve(1024);
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
        return pids;
    }

    std::optional<ProcessTaskInfo> taskInfo(int32_t pid) override
    {
        m_path.assign(m_root);
        m_path += '/';
        m_path += std::to_string(pid);
        m_path += "/stat";
        if (!sysfile::readInto(m_path, m_buf, 4096))
            return std::nullopt;
        return parseStat(m_buf, m_pageSize);
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
        // Fields after ')': 0 state, 1 ppid, ... 11 utime, 12 stime, ... 21 rss (pages).
        int field = 0;
        std::optional<uint64_t> utime, stime, rss;
        while (!rest.empty() && field <= 21) {
            rest = rest.substr(std::min(rest.find_first_not_of(' '), rest.size()));
            if (rest.empty())
                break;
            if (field == 11 || field == 12 || field == 21) {
                std::string_view tok = rest;
                auto v = sysfile::parseU64(tok);
                if (field == 11)
                    utime = v;
                else if (field == 12)
                    stime = v;
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
        return info;
    }

private:
    std::string m_root;
    std::string m_path;
    std::string m_buf;
    uint32_t m_ticksPerSec = 100;
    uint64_t m_pageSize = 4096;
};

} // namespace

std::unique_ptr<ProcessTable> makeLinuxProcessTable(const QString &procRoot)
{
    return std::make_unique<LinuxProcessTable>(procRoot);
}

} // namespace corvane
