#include "platform/linux/SmcFanTree.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <dirent.h>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::fantree {

std::string appleSmcDir(const std::string &sysRoot) { return sysRoot + "/devices/platform/applesmc.768"; }
std::string hwmonClassDir(const std::string &sysRoot) { return sysRoot + "/class/hwmon"; }

std::string FanNode::file(const char *suffix) const
{
    return dir + "/fan" + std::to_string(number) + suffix;
}

std::string FanNode::pwmFile(const char *suffix) const
{
    return dir + "/pwm" + std::to_string(number) + suffix;
}

static std::vector<std::string> entries(const std::string &dir)
{
    std::vector<std::string> out;
    DIR *d = ::opendir(dir.c_str());
    if (!d)
        return out;
    while (const dirent *e = ::readdir(d))
        out.emplace_back(e->d_name);
    ::closedir(d);
    return out;
}

static std::optional<int> parseNumber(std::string_view s)
{
    if (s.empty() || s.size() > 6)
        return std::nullopt;
    int v = 0;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || v < 0)
        return std::nullopt;
    return v;
}

std::vector<int> numberedFiles(const std::string &dir, const std::string &prefix, const std::string &suffix)
{
    std::vector<int> out;
    for (const std::string &name : entries(dir)) {
        if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0
            || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string_view mid(name.data() + prefix.size(), name.size() - prefix.size() - suffix.size());
        if (auto n = parseNumber(mid))
            out.push_back(*n);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::vector<std::string> hwmonChips(const std::string &classDir)
{
    std::vector<std::pair<int, std::string>> found;
    for (const std::string &name : entries(classDir)) {
        if (name.rfind("hwmon", 0) != 0)
            continue;
        if (auto n = parseNumber(std::string_view(name).substr(5)))
            found.emplace_back(*n, classDir + "/" + name);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> out;
    for (auto &f : found)
        out.push_back(std::move(f.second));
    return out;
}

std::vector<FanNode> appleSmcFans(const std::string &dir)
{
    std::vector<FanNode> out;
    for (int n : numberedFiles(dir, "fan", "_input")) {
        if (n < 1)
            continue;
        FanNode f;
        f.index = n - 1;
        f.source = Source::AppleSmc;
        f.dir = dir;
        f.number = n;
        f.chip = "applesmc";
        out.push_back(std::move(f));
    }
    return out;
}

std::vector<FanNode> hwmonFans(const std::string &classDir)
{
    std::vector<FanNode> out;
    for (const std::string &chip : hwmonChips(classDir)) {
        const std::string name = readLine(chip + "/name").value_or("");
        for (int n : numberedFiles(chip, "fan", "_input")) {
            FanNode f;
            f.index = static_cast<int>(out.size());
            f.source = Source::Hwmon;
            f.dir = chip;
            f.number = n;
            f.chip = name;
            out.push_back(std::move(f));
        }
    }
    return out;
}

bool hasAppleSmc(const std::string &dir)
{
    return !numberedFiles(dir, "fan", "_input").empty() || !numberedFiles(dir, "temp", "_label").empty();
}

std::vector<FanNode> machineFans(const std::string &sysRoot)
{
    const std::string apple = appleSmcDir(sysRoot);
    if (hasAppleSmc(apple))
        return appleSmcFans(apple);
    return hwmonFans(hwmonClassDir(sysRoot));
}

std::optional<std::string> readLine(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char buf[256];
    ssize_t n;
    do {
        n = ::read(fd, buf, sizeof buf);
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n < 0)
        return std::nullopt;
    std::string_view s(buf, static_cast<size_t>(n));
    s = s.substr(0, s.find('\n'));
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return std::string(s);
}

std::optional<long long> readInteger(const std::string &path)
{
    const auto line = readLine(path);
    if (!line || line->empty())
        return std::nullopt;
    long long v = 0;
    const char *b = line->data();
    const char *e = b + line->size();
    const auto [p, ec] = std::from_chars(b, e, v);
    if (ec != std::errc() || p != e)
        return std::nullopt;
    return v;
}

bool exists(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool writeExisting(const std::string &path, const std::string &text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    ssize_t n;
    do {
        n = ::write(fd, text.data(), text.size());
    } while (n < 0 && errno == EINTR);
    const bool ok = n == static_cast<ssize_t>(text.size());
    return ::close(fd) == 0 && ok;
}

bool overridesAllowed(uid_t realUid, uid_t effectiveUid, bool secureExec, bool underPkexec)
{
    return realUid != 0 && effectiveUid != 0 && !secureExec && !underPkexec;
}

std::string ownerLine(const StateOwner &o)
{
    return "owner\t" + std::to_string(o.pid) + "\t" + std::to_string(o.startTime) + "\t" + std::to_string(o.uid);
}

std::optional<StateOwner> parseOwnerLine(const std::string &line)
{
    std::istringstream in(line);
    std::string tag;
    StateOwner o;
    if (!std::getline(in, tag, '\t') || tag != "owner" || !(in >> o.pid >> o.startTime >> o.uid) || o.pid <= 0)
        return std::nullopt;
    return o;
}

std::optional<unsigned long long> processStartTime(long pid, const std::string &procRoot)
{
    if (pid <= 0)
        return std::nullopt;
    const int fd = ::open((procRoot + "/" + std::to_string(pid) + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char buf[1024];
    ssize_t n;
    do {
        n = ::read(fd, buf, sizeof buf - 1);
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n <= 0)
        return std::nullopt;
    // The name may hold anything, ')' too: the fields start after the last ')'.
    const std::string_view text(buf, static_cast<size_t>(n));
    const size_t close = text.rfind(')');
    if (close == std::string_view::npos)
        return std::nullopt;
    std::istringstream in(std::string(text.substr(close + 1)));
    std::string field;
    // Field 3 (the state) comes first here; the start time is field 22.
    for (int i = 3; i < 22; ++i)
        if (!(in >> field))
            return std::nullopt;
    unsigned long long start = 0;
    if (!(in >> start))
        return std::nullopt;
    return start;
}

bool ownerAlive(const StateOwner &o, const std::string &procRoot)
{
    const auto start = processStartTime(o.pid, procRoot);
    return start && *start == o.startTime;
}

ForcedState readForcedState(const std::string &stateDir)
{
    ForcedState st;
    const int fd = ::open((stateDir + "/state").c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return st;
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0 && text.size() < (1u << 20))
        text.append(buf, static_cast<size_t>(n));
    ::close(fd);
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (auto o = parseOwnerLine(line))
            st.owner = o;
        else if (!line.empty())
            st.forced = true;
    }
    return st;
}

} // namespace corvane::fantree
