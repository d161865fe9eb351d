#pragma once
// A process's name as its user knows it: the executable's full name, not the kernel's
// 15-character `comm`.
#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace corvane::procnames {

// The executable's basename from the target of <pid>/exe (which may end in " (deleted)"),
// else from argv[0] in <pid>/cmdline; nullopt when neither tells it.
std::optional<std::string> executableName(std::string_view exeLink, std::string_view cmdline);

// executableName() of the process whose /proc folder is `pidDir`; `scratch` holds cmdline.
std::optional<std::string> readExecutableName(const std::string &pidDir, std::string &scratch);

// Reads <procRoot>/<pid>/exe and cmdline, falling back to comm (kernel threads, no access);
// nullopt when the process is gone.
std::optional<QString> processName(const std::string &procRoot, uint32_t pid);

} // namespace corvane::procnames
