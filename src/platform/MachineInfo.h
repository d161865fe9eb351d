#pragma once
// What this machine is: model, processor, operating system, kernel, host name and the
// number of online processors. Each fact is absent when the machine does not say.
#include <QString>

#include <memory>
#include <optional>

namespace corvane {

struct MachineFacts {
    std::optional<QString> model;         // firmware product name, else the device-tree model
    std::optional<QString> processor;     // the processor's brand text
    std::optional<QString> osName;        // the distribution's name and version
    std::optional<QString> kernelRelease; // e.g. "6.1.0-18-amd64"
    std::optional<QString> hostName;
    std::optional<int> onlineProcessors;
};

class MachineInfo {
public:
    virtual ~MachineInfo() = default;
    // Read afresh on every call.
    virtual MachineFacts read() const = 0;
};

// The firmware product name, else the device-tree model, under `root`; absent when neither
// says. Read afresh on every call.
std::optional<QString> readMachineModel(const QString &root = QStringLiteral("/"));

// Reads <root>/sys/class/dmi/id, the device tree, <root>/proc/cpuinfo, os-release,
// <root>/proc/sys/kernel and <root>/sys/devices/system/cpu/online.
std::unique_ptr<MachineInfo> makeLinuxMachineInfo(const QString &root = QStringLiteral("/"));

} // namespace corvane
