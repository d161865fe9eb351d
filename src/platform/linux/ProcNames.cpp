#include "platform/linux/ProcNames.h"
#include "platform/linux/SysFile.h"

#include <unistd.h>

namespace corvane::procnames {

std::optional<std::string> executableName(std::string_view exeLink, std::string_view cmdline)
{
    auto basename = [](std::string_view p) {
        const size_t slash = p.rfind('/');
        return slash == std::string_view::npos ? p : p.substr(slash + 1);
    };
    if (!exeLink.empty()) {
        constexpr std::string_view deleted = " (deleted)"; // replaced by an update
        if (exeLink.ends_with(deleted))
            exeLink.remove_suffix(deleted.size());
        if (auto b = basename(exeLink); !b.empty())
            return std::string(b);
    }
    const size_t nul = cmdline.find('\0');
    std::string_view argv0 = cmdline.substr(0, nul);
    // A process that rewrote its title ("sshd: alice@pts/0", "chrome --type=renderer")
    // leaves one argument with spaces in it: the program is its first word.
    const bool oneArgument =
        nul == std::string_view::npos || cmdline.find_first_not_of('\0', nul) == std::string_view::npos;
    if (oneArgument) {
        if (const size_t sp = argv0.find(' '); sp != std::string_view::npos)
            argv0 = argv0.substr(0, sp);
        if (argv0.ends_with(':'))
            argv0.remove_suffix(1);
    }
    if (auto b = basename(argv0); !b.empty())
        return std::string(b);
    return std::nullopt;
}

std::optional<std::string> readExecutableName(const std::string &pidDir, std::string &scratch)
{
    char link[4096];
    const ssize_t n = ::readlink((pidDir + "/exe").c_str(), link, sizeof link);
    const std::string_view exe = n > 0 ? std::string_view(link, static_cast<size_t>(n)) : std::string_view();
    scratch.clear();
    if (exe.empty() && !sysfile::readInto(pidDir + "/cmdline", scratch, 4096))
        scratch.clear();
    return executableName(exe, scratch);
}

std::optional<QString> processName(const std::string &procRoot, uint32_t pid)
{
    const std::string base = procRoot + "/" + std::to_string(pid);
    std::string scratch;
    if (const auto name = readExecutableName(base, scratch))
        return QString::fromUtf8(name->data(), static_cast<qsizetype>(name->size()));
    const auto comm = sysfile::readTrimmed(base + "/comm");
    if (!comm || comm->empty())
        return std::nullopt;
    return QString::fromUtf8(comm->data(), static_cast<qsizetype>(comm->size()));
}

} // namespace corvane::procnames
