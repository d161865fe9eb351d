#pragma once
// The fans of a sysfs tree, numbered the way the SMC key store presents them (F0Ac, F1Ac, …).
// Plain C++ without Qt: the privileged fan helper uses the same numbering.
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvane::fantree {

// The usual sysfs places below a sysfs root ("/sys").
std::string appleSmcDir(const std::string &sysRoot);
std::string hwmonClassDir(const std::string &sysRoot);

enum class Source { AppleSmc, Hwmon };

struct FanNode {
    int index = 0;      // 0-based, in presentation order
    Source source = Source::Hwmon;
    std::string dir;    // folder holding the fanN_* files
    int number = 0;     // the N of fanN_*
    std::string chip;   // hwmon chip name ("applesmc" for applesmc)

    std::string file(const char *suffix) const; // dir + "/fan" + N + suffix
    std::string pwmFile(const char *suffix) const; // dir + "/pwm" + N + suffix
};

// The numbers N for which `dir` holds `<prefix>N<suffix>`, ascending.
std::vector<int> numberedFiles(const std::string &dir, const std::string &prefix, const std::string &suffix);
// hwmonN folders below the class folder, by N.
std::vector<std::string> hwmonChips(const std::string &classDir);

// applesmc fans: fan1 is SMC fan 0.
std::vector<FanNode> appleSmcFans(const std::string &applesmcDir);
// hwmon fans of every chip, chips by number, fans by number.
std::vector<FanNode> hwmonFans(const std::string &classDir);

// The tree a machine uses: applesmc when it has fans or sensors, else hwmon.
bool hasAppleSmc(const std::string &applesmcDir);
std::vector<FanNode> machineFans(const std::string &sysRoot);

// First line of a small file without surrounding white space.
std::optional<std::string> readLine(const std::string &path);
// A whole decimal integer file (optionally signed); nothing for anything else.
std::optional<long long> readInteger(const std::string &path);
bool exists(const std::string &path);
// Writes `text` to an existing file (no creation, no symlink as the last component).
bool writeExisting(const std::string &path, const std::string &text);

// Whether the helper may take its sysfs root and state folder from the environment (tests on
// a copied tree). Only an unprivileged run may: with either uid root (pkexec, sudo -E, a
// setuid copy) the caller's environment would choose what root writes and where.
bool overridesAllowed(uid_t realUid, uid_t effectiveUid, bool secureExec, bool underPkexec);

// The helper's state folder when nothing overrides it.
inline constexpr const char *kDefaultStateDir = "/run/corvane-smcfan";

// The process that forced the fans: its pid and start time (a pid alone may have been
// reused since), and the user it ran as. Kept in the state file as
// "owner\t<pid>\t<start time>\t<uid>", beside the fans' lines.
struct StateOwner {
    long pid = 0;
    unsigned long long startTime = 0;
    long uid = -1;
};
std::string ownerLine(const StateOwner &o);
// The owner named by one line of the state file; nothing for any other line.
std::optional<StateOwner> parseOwnerLine(const std::string &line);
// A process's start time in clock ticks after boot (the 22nd field of /proc/<pid>/stat).
std::optional<unsigned long long> processStartTime(long pid, const std::string &procRoot = "/proc");
// Whether the process that forced the fans still runs.
bool ownerAlive(const StateOwner &o, const std::string &procRoot = "/proc");

// What the state file says: whether it holds a fan's saved mode (some fan is forced, or
// could not be put back), and who forced them.
struct ForcedState {
    bool forced = false;
    std::optional<StateOwner> owner;
};
ForcedState readForcedState(const std::string &stateDir);

} // namespace corvane::fantree
