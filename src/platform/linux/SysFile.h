#pragma once
// Small, allocation-light readers for procfs and sysfs files.
#include "common/Log.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane::sysfile {

// Reads at most `limit` bytes of a file; nullopt when it cannot be opened or read.
std::optional<std::string> read(const std::string &path, size_t limit = 256 * 1024);
// Reads into `out` (reusing its capacity); false on failure.
bool readInto(const std::string &path, std::string &out, size_t limit = 256 * 1024);
// Reads an open file from offset 0 into `out`; false on failure.
bool readFdInto(int fd, std::string &out, size_t limit = 256 * 1024);
// The same in one read, for files the kernel makes in one piece (a sysfs attribute,
// /proc/<pid>/stat or statm): a shorter read than asked for is the whole file, and the read
// that would confirm the end is spared.
bool readFdSingle(int fd, std::string &out, size_t limit);
// The file's text with surrounding white space removed.
std::optional<std::string> readTrimmed(const std::string &path);
// The file's first token as an unsigned decimal number.
std::optional<uint64_t> readU64(const std::string &path);

std::string_view trim(std::string_view s);
// Parses an unsigned decimal number at the start of `s` (after spaces); advances `s`.
std::optional<uint64_t> parseU64(std::string_view &s);

// Value in kB of a "Key:   123 kB" line of /proc/meminfo; nullopt when the key is absent.
std::optional<uint64_t> meminfoKb(std::string_view text, std::string_view key);

// The platform layer's failures, each said once when it starts and once when it clears.
FailureLog &failures();
// Says a failed open or read of `path` (errno `err`) once: a file or device that is not there
// at debug level, anything else (permissions, I/O errors) as a warning.
void noteFailure(const std::string &path, int err);
inline void noteCleared(const std::string &path) { failures().cleared(QString::fromStdString(path)); }

// A file kept open and re-read from offset 0 each time (procfs regenerates it). `single`:
// the kernel makes it in one piece (/proc/stat, meminfo, uptime; not diskstats or net/route,
// which come a page at a time), so a short read is its end.
class ReopenableFile {
public:
    explicit ReopenableFile(std::string path, bool single = false) : m_path(std::move(path)), m_single(single) {}
    ~ReopenableFile();
    ReopenableFile(const ReopenableFile &) = delete;
    ReopenableFile &operator=(const ReopenableFile &) = delete;
    // Fills `out` with the current contents; false on failure.
    bool read(std::string &out);

private:
    std::string m_path;
    bool m_single = false;
    bool m_failing = false;
    int m_fd = -1;
};

} // namespace corvane::sysfile
