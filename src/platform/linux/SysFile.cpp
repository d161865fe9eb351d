#include "platform/linux/SysFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace corvane::sysfile {

// `single`: the kernel makes the file in one piece, so a short read is its end.
static bool readFd(int fd, std::string &out, size_t limit, bool positional, bool single = false)
{
    out.clear();
    size_t cap = 4096;
    off_t off = 0;
    for (;;) {
        if (out.size() + 1 > cap)
            cap *= 2;
        if (cap > limit + 1)
            cap = limit + 1;
        const size_t old = out.size();
        out.resize(cap);
        const size_t want = cap - old;
        if (want == 0) {
            out.resize(old);
            return true; // limit reached
        }
        ssize_t n = positional ? ::pread(fd, out.data() + old, want, off) : ::read(fd, out.data() + old, want);
        if (n < 0 && errno == EINTR) {
            out.resize(old);
            continue;
        }
        if (n < 0) {
            out.resize(old);
            return false;
        }
        out.resize(old + static_cast<size_t>(n));
        off += n;
        if (n == 0 || out.size() >= limit || (single && static_cast<size_t>(n) < want))
            return true;
    }
}

bool readInto(const std::string &path, std::string &out, size_t limit)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = readFd(fd, out, limit, false);
    ::close(fd);
    return ok;
}

bool readFdInto(int fd, std::string &out, size_t limit) { return readFd(fd, out, limit, true); }

bool readFdSingle(int fd, std::string &out, size_t limit) { return readFd(fd, out, limit, true, true); }

std::optional<std::string> read(const std::string &path, size_t limit)
{
    std::string s;
    if (!readInto(path, s, limit))
        return std::nullopt;
    return s;
}

std::string_view trim(std::string_view s)
{
    const auto ws = " \t\r\n\f\v";
    const auto b = s.find_first_not_of(ws);
    if (b == std::string_view::npos)
        return {};
    const auto e = s.find_last_not_of(ws);
    return s.substr(b, e - b + 1);
}

std::optional<std::string> readTrimmed(const std::string &path)
{
    auto s = read(path, 64 * 1024);
    if (!s)
        return std::nullopt;
    return std::string(trim(*s));
}

std::optional<uint64_t> parseU64(std::string_view &s)
{
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    if (i >= s.size() || s[i] < '0' || s[i] > '9') {
        s.remove_prefix(i);
        return std::nullopt;
    }
    uint64_t v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        const uint64_t d = static_cast<uint64_t>(s[i] - '0');
        if (v > (UINT64_MAX - d) / 10)
            v = UINT64_MAX; // saturate instead of wrapping on absurd input
        else
            v = v * 10 + d;
    }
    s.remove_prefix(i);
    return v;
}

std::optional<uint64_t> readU64(const std::string &path)
{
    char buf[64];
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    ssize_t n;
    do {
        n = ::read(fd, buf, sizeof buf - 1);
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n <= 0)
        return std::nullopt;
    std::string_view s(buf, static_cast<size_t>(n));
    return parseU64(s);
}

ReopenableFile::~ReopenableFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool ReopenableFile::read(std::string &out)
{
    if (m_fd < 0) {
        m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0) {
            noteFailure(m_path, errno);
            m_failing = true;
            return false;
        }
    }
    if (readFd(m_fd, out, 1 << 20, true, m_single)) {
        if (m_failing) {
            m_failing = false;
            noteCleared(m_path);
        }
        return true;
    }
    noteFailure(m_path, errno);
    m_failing = true;
    ::close(m_fd); // try a fresh descriptor next time
    m_fd = -1;
    return false;
}

FailureLog &failures()
{
    static FailureLog log(lcPlatform);
    return log;
}

void noteFailure(const std::string &path, int err)
{
    const QString where = QString::fromStdString(path);
    const QString message = where + QStringLiteral(": ") + errnoMessage(err);
    if (err == ENOENT || err == ENODEV || err == ENXIO || err == ENOTDIR)
        failures().absent(where, message);
    else
        failures().failed(where, message);
}

std::optional<uint64_t> meminfoKb(std::string_view text, std::string_view key)
{
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t eol = text.find('\n', pos);
        std::string_view line = text.substr(pos, eol == std::string_view::npos ? std::string_view::npos : eol - pos);
        if (line.size() > key.size() && line.substr(0, key.size()) == key && line[key.size()] == ':') {
            line.remove_prefix(key.size() + 1);
            return parseU64(line);
        }
        if (eol == std::string_view::npos)
            break;
        pos = eol + 1;
    }
    return std::nullopt;
}

} // namespace corvane::sysfile
