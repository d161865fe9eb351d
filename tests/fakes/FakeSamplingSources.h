#pragma once
#include <atomic>
// Hand-driven stand-ins for the host, network, storage and process sources.
#include "platform/BlockStorage.h"
#include "platform/HostStats.h"
#include "platform/NetworkCounters.h"
#include "platform/ProcessTable.h"

#include <map>

namespace corvane::test {

class FakeHostStats final : public HostStats {
public:
    std::optional<CpuLoadInfo> cpu;
    std::optional<VmCounters> vm;
    uint64_t page = 4096;
    uint64_t physical = 0;
    double uptime = 0;

    std::optional<CpuLoadInfo> cpuLoad() override { return cpu; }
    std::optional<VmCounters> vmCounters() override { return vm; }
    uint64_t pageSize() override { return page; }
    uint64_t physicalMemory() override { return physical; }
    double uptimeSeconds() override { return uptime; }
};

class FakeNetworkCounters final : public NetworkCounters {
public:
    std::optional<QList<InterfaceCounters>> list = QList<InterfaceCounters>{};
    std::optional<QList<InterfaceCounters>> interfaces() override { return list; }
};

class FakeBlockStorage final : public BlockStorage {
public:
    std::optional<QList<DriveCounters>> list = QList<DriveCounters>{};
    std::optional<VolumeCapacity> volume;
    std::atomic<bool> mayBlock{true};
    std::optional<QList<DriveCounters>> drives() override { return list; }
    std::optional<VolumeCapacity> homeVolume() override { return volume; }
    bool readsMayBlock() override { return mayBlock; }
};

class FakeProcessTable final : public ProcessTable {
public:
    std::vector<int32_t> pids;
    std::map<int32_t, ProcessTaskInfo> info;
    Timebase tb{1, 1};
    std::vector<int32_t> listPids() override { return pids; }
    std::optional<ProcessTaskInfo> taskInfo(int32_t pid) override
    {
        auto it = info.find(pid);
        if (it == info.end())
            return std::nullopt;
        return it->second;
    }
    Timebase timebase() override { return tb; }
    std::map<int32_t, uint64_t> exact; // exactResidentBytes(), where set
    std::optional<uint64_t> exactResidentBytes(int32_t pid) override
    {
        auto it = exact.find(pid);
        return it == exact.end() ? std::nullopt : std::optional<uint64_t>(it->second);
    }

    void add(int32_t pid, const QString &name, uint64_t cpuUnits, uint64_t rss)
    {
        pids.push_back(pid);
        ProcessTaskInfo i;
        i.name = name;
        i.userTime = cpuUnits;
        i.residentBytes = rss;
        info[pid] = i;
    }
};

} // namespace corvane::test
