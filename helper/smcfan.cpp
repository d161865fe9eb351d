// smcfan: forces fan speeds and puts them back to automatic control. Runs as root through
// pkexec, so it trusts nothing it is given:
//   smcfan set <rpm> [<fan index>]   rpm a plain decimal integer within the fan's range
//   smcfan auto                      restores the mode each fan had before the first "set"
// Fans are those of applesmc (fanN_manual / fanN_output) or else of hwmon (pwmN_enable /
// pwmN, the speed mapped linearly from the fan's lowest running duty to full duty).
// The original modes are kept in a state file so that "auto" restores them even after the
// application that asked for "set" has crashed and restarted. The file also names the process
// that asked (its parent), and is readable by everyone: the application finds there, when it
// starts, fans that an earlier run left forced.
//
// SMCFAN_SYSFS_ROOT and SMCFAN_STATE_DIR exist for tests on a copied fixture tree, and
// SMCFAN_TEST_HOLD_MS for the test of overlapping commands (a pause while the state is held).
// They are honoured only in an unprivileged run: never when the real or effective uid is root
// (pkexec, sudo -E), the process is setuid (AT_SECURE) or PKEXEC_UID is set.
//
// Every command holds an exclusive lock on the state folder from before it reads the state
// until after it has written the fans, so two overlapping commands can't lose a fan's
// original mode or leave a fan forced after "auto".
#include "platform/linux/SmcFanTree.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <sys/auxv.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace corvane::fantree;

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

int refuse(int code, const std::string &why)
{
    std::fprintf(stderr, "smcfan: %s\n", why.c_str());
    return code;
}

std::string trustedEnv(const char *name, const char *fallback)
{
    if (!overridesAllowed(::getuid(), ::geteuid(), ::getauxval(AT_SECURE) != 0, std::getenv("PKEXEC_UID") != nullptr))
        return fallback;
    const char *v = std::getenv(name);
    return v && *v ? v : fallback;
}

// A plain decimal number: digits only, no sign, no spaces, at most `maxDigits`.
std::optional<long> parseCount(const std::string &s, size_t maxDigits)
{
    if (s.empty() || s.size() > maxDigits)
        return std::nullopt;
    long v = 0;
    for (const char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

// Tests only: a pause between reading the state and writing it back, so that commands started
// together overlap there for certain.
void holdForTest()
{
    if (const auto ms = parseCount(trustedEnv("SMCFAN_TEST_HOLD_MS", ""), 4))
        ::usleep(static_cast<useconds_t>(*ms) * 1000);
}

struct Range {
    long min = 0;
    long max = 0;
};

// The fan's speed range; nothing when its maximum is unknown.
std::optional<Range> rangeOf(const FanNode &f)
{
    const auto max = readInteger(f.file("_max"));
    if (!max || *max <= 0)
        return std::nullopt;
    const long min = static_cast<long>(std::max(0LL, readInteger(f.file("_min")).value_or(0)));
    if (min > *max)
        return std::nullopt;
    return Range{min, static_cast<long>(*max)};
}

bool controllable(const FanNode &f)
{
    if (f.source == Source::AppleSmc)
        return exists(f.file("_manual")) && exists(f.file("_output"));
    return exists(f.pwmFile("")) && exists(f.pwmFile("_enable"));
}

// --- state file: one line per fan, "<dir>\t<number>\t<mode>\t<pwm>", and the owner's line ---

struct Saved {
    long long mode = 0;
    long long pwm = -1; // hwmon only
};
struct State {
    std::map<std::pair<std::string, int>, Saved> fans;
    std::optional<StateOwner> owner;
};

std::string statePath(const std::string &dir) { return dir + "/state"; }

// Creates the state folder if needed and locks it; the descriptor stays open (and the lock
// held) until the process ends. -1 when the folder is unusable: not ours, open to others,
// or not a folder.
int lockStateDir(const std::string &dir)
{
    if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
        return -1;
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 022) != 0) {
        ::close(fd);
        errno = EPERM;
        return -1;
    }
    // Readable by the application (an earlier version made it ours alone).
    if ((st.st_mode & 0777) != 0755)
        ::fchmod(fd, 0755);
    int r;
    while ((r = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (r != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

State loadState(const std::string &dir)
{
    State st;
    const int fd = ::open(statePath(dir).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return st;
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0 && text.size() < 1 << 20)
        text.append(buf, static_cast<size_t>(n));
    ::close(fd);
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (auto o = parseOwnerLine(line)) {
            st.owner = o;
            continue;
        }
        std::istringstream l(line);
        std::string d;
        int number = 0;
        Saved s;
        if (std::getline(l, d, '\t') && (l >> number >> s.mode >> s.pwm))
            st.fans[{d, number}] = s;
    }
    return st;
}

bool saveState(const std::string &dir, const State &st)
{
    if (st.fans.empty()) {
        return ::unlink(statePath(dir).c_str()) == 0 || errno == ENOENT;
    }
    if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
        return false;
    std::string text;
    if (st.owner)
        text += ownerLine(*st.owner) + "\n";
    for (const auto &[k, s] : st.fans)
        text += k.first + "\t" + std::to_string(k.second) + "\t" + std::to_string(s.mode) + "\t"
            + std::to_string(s.pwm) + "\n";
    const std::string tmp = statePath(dir) + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::fchmod(fd, 0644) == 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    return ::rename(tmp.c_str(), statePath(dir).c_str()) == 0;
}

// The process that ran us: pkexec runs the helper in its own place, so the parent is the
// application that asked.
StateOwner caller()
{
    StateOwner o;
    o.pid = static_cast<long>(::getppid());
    o.startTime = processStartTime(o.pid).value_or(0);
    o.uid = static_cast<long>(::getuid());
    if (const char *u = std::getenv("PKEXEC_UID")) {
        if (const auto v = parseCount(u, 10))
            o.uid = *v;
    }
    return o;
}

std::optional<Saved> currentMode(const FanNode &f)
{
    Saved s;
    if (f.source == Source::AppleSmc) {
        const auto m = readInteger(f.file("_manual"));
        if (!m)
            return std::nullopt;
        s.mode = *m;
        return s;
    }
    const auto m = readInteger(f.pwmFile("_enable"));
    const auto p = readInteger(f.pwmFile(""));
    if (!m || !p)
        return std::nullopt;
    s.mode = *m;
    s.pwm = *p;
    return s;
}

// hwmon's fanN_min is an alarm threshold, not a speed: PWM 0 stops most fans. The lowest
// duty that keeps the fan turning is the driver's own start/floor value where it has one,
// never less than this share of full duty.
constexpr double kRunningShare = 0.3;

struct PwmSpan {
    long floor = 0;
    long max = 255;
};

PwmSpan pwmSpanOf(const FanNode &f)
{
    PwmSpan s;
    if (const auto m = readInteger(f.pwmFile("_max")); m && *m > 0 && *m <= 255)
        s.max = static_cast<long>(*m);
    s.floor = std::lround(kRunningShare * static_cast<double>(s.max));
    for (const char *suffix : {"_min", "_floor", "_start"})
        if (const auto v = readInteger(f.pwmFile(suffix)); v && *v > s.floor && *v <= s.max)
            s.floor = static_cast<long>(*v);
    return s;
}

// rpm within [r.min, r.max] to a duty between the running floor and full duty: the fan's
// minimum is its lowest running speed.
long pwmFor(long rpm, const Range &r, const PwmSpan &p)
{
    const double span = static_cast<double>(r.max - r.min);
    const double frac = span > 0 ? std::clamp(static_cast<double>(rpm - r.min) / span, 0.0, 1.0) : 1.0;
    return std::clamp(p.floor + std::lround(frac * static_cast<double>(p.max - p.floor)), p.floor, p.max);
}

// An SMC fan's minimum is its lowest running speed; without one (0 or missing) a target of 0
// would stop the fan, so the lowest target is the running share of its maximum.
long appleSmcFloor(const Range &r)
{
    return r.min > 0 ? r.min : std::lround(kRunningShare * static_cast<double>(r.max));
}

bool writeFan(const FanNode &f, long rpm, const Range &r)
{
    if (f.source == Source::AppleSmc)
        return writeExisting(f.file("_manual"), "1")
            && writeExisting(f.file("_output"), std::to_string(std::clamp(rpm, appleSmcFloor(r), r.max)));
    const long pwm = pwmFor(rpm, r, pwmSpanOf(f));
    return writeExisting(f.pwmFile("_enable"), "1") && writeExisting(f.pwmFile(""), std::to_string(pwm));
}

bool restoreFan(const FanNode &f, const std::optional<Saved> &saved)
{
    if (f.source == Source::AppleSmc)
        return writeExisting(f.file("_manual"), std::to_string(saved ? saved->mode : 0));
    if (!saved)
        return true; // never changed by us; hwmon has no single "automatic" value to guess
    if (saved->mode == 1 && saved->pwm >= 0 && !writeExisting(f.pwmFile(""), std::to_string(saved->pwm)))
        return false;
    return writeExisting(f.pwmFile("_enable"), std::to_string(saved->mode));
}

int cmdSet(const std::vector<FanNode> &fans, const std::string &sysRoot, const std::string &stateDir, long rpm,
           std::optional<long> index)
{
    std::vector<std::pair<const FanNode *, Range>> targets;
    for (const FanNode &f : fans) {
        if (index && f.index != *index)
            continue;
        const auto r = rangeOf(f);
        if (!r)
            return refuse(kFailed, "fan " + std::to_string(f.index) + " has no known speed range");
        if (!controllable(f))
            return refuse(kFailed, "fan " + std::to_string(f.index) + " cannot be controlled");
        targets.emplace_back(&f, *r);
    }
    if (targets.empty())
        return refuse(kFailed, (index ? "no fan with index " + std::to_string(*index) : std::string("no fans"))
                                   + " under " + sysRoot);

    // One fan: its own range. Every fan: the span of all ranges, each fan clamped to its own.
    Range all{targets.front().second.min, targets.front().second.max};
    for (const auto &[f, r] : targets) {
        all.min = std::min(all.min, r.min);
        all.max = std::max(all.max, r.max);
    }
    if (rpm < all.min || rpm > all.max)
        return refuse(kFailed, "speed " + std::to_string(rpm) + " outside " + std::to_string(all.min) + "–"
                                   + std::to_string(all.max) + " rpm");

    // Record the original modes before touching anything.
    if (lockStateDir(stateDir) < 0)
        return refuse(kFailed, "cannot lock the state folder " + stateDir + ": " + std::strerror(errno));
    State st = loadState(stateDir);
    holdForTest();
    bool changed = false;
    for (const auto &[f, r] : targets) {
        const auto key = std::make_pair(f->dir, f->number);
        if (st.fans.count(key))
            continue;
        const auto mode = currentMode(*f);
        if (!mode)
            return refuse(kFailed, "cannot read the mode of fan " + std::to_string(f->index));
        st.fans[key] = *mode;
        changed = true;
    }
    // The latest caller owns the forced speeds: it is the one that puts them back.
    const StateOwner owner = caller();
    if (!st.owner || st.owner->pid != owner.pid || st.owner->startTime != owner.startTime) {
        st.owner = owner;
        changed = true;
    }
    if (changed && !saveState(stateDir, st))
        return refuse(kFailed, "cannot write the state file in " + stateDir + ": " + std::strerror(errno));

    for (const auto &[f, r] : targets) {
        const long own = std::clamp(rpm, r.min, r.max);
        if (!writeFan(*f, own, r))
            return refuse(kFailed, "writing fan " + std::to_string(f->index) + " failed: " + std::strerror(errno));
    }
    return 0;
}

int cmdAuto(const std::string &sysRoot, const std::string &stateDir)
{
    if (lockStateDir(stateDir) < 0)
        return refuse(kFailed, "cannot lock the state folder " + stateDir + ": " + std::strerror(errno));
    // The fans are listed under the lock, after any "set" still running has finished.
    const std::vector<FanNode> fans = machineFans(sysRoot);
    State st = loadState(stateDir);
    bool ok = true;
    for (const FanNode &f : fans) {
        const auto key = std::make_pair(f.dir, f.number);
        const auto it = st.fans.find(key);
        const std::optional<Saved> saved = it == st.fans.end() ? std::nullopt : std::optional<Saved>(it->second);
        if (!controllable(f)) {
            continue;
        }
        if (restoreFan(f, saved)) {
            if (it != st.fans.end())
                st.fans.erase(it);
        } else {
            ok = false;
            std::fprintf(stderr, "smcfan: restoring fan %d failed: %s\n", f.index, std::strerror(errno));
        }
    }
    // Records of fans no longer present stay until they can be restored.
    if (!saveState(stateDir, st))
        return refuse(kFailed, "cannot update the state file in " + stateDir);
    return ok ? 0 : kFailed;
}

} // namespace

int main(int argc, char **argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const std::string usage = "usage: smcfan set <rpm> [<fan index>] | smcfan auto";
    if (args.empty())
        return refuse(kUsage, usage);

    const std::string sysRoot = trustedEnv("SMCFAN_SYSFS_ROOT", "/sys");
    const std::string stateDir = trustedEnv("SMCFAN_STATE_DIR", "/run/corvane-smcfan");

    if (args[0] == "auto") {
        if (args.size() != 1)
            return refuse(kUsage, usage);
        return cmdAuto(sysRoot, stateDir);
    }
    if (args[0] == "set") {
        if (args.size() < 2 || args.size() > 3)
            return refuse(kUsage, usage);
        const auto rpm = parseCount(args[1], 6);
        if (!rpm)
            return refuse(kUsage, "speed must be a whole number of rpm: " + args[1]);
        std::optional<long> index;
        if (args.size() == 3) {
            index = parseCount(args[2], 3);
            if (!index)
                return refuse(kUsage, "fan index must be a whole number: " + args[2]);
        }
        return cmdSet(machineFans(sysRoot), sysRoot, stateDir, *rpm, index);
    }
    return refuse(kUsage, usage);
}
