#pragma once
// NVIDIA's management library, loaded at run time where the driver installed it: no build or
// package dependency, and machines without it simply have no NVML figures.
#include <QString>

#include <dlfcn.h>

#include <optional>
#include <string>
#include <vector>

namespace corvane {

// The handful of NVML entry points we use, declared by hand: the library is optional and
// its header is not needed to call it.
extern "C" {
using nvmlReturn = int;
using nvmlDevice = struct nvmlDeviceOpaque *;
struct nvmlUtilization {
    unsigned int gpu;
    unsigned int memory;
};
struct nvmlMemory {
    unsigned long long total;
    unsigned long long free;
    unsigned long long used;
};
}
constexpr nvmlReturn kNvmlSuccess = 0;

class Nvml {
public:
    Nvml()
    {
        m_lib = ::dlopen("libnvidia-ml.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!m_lib)
            return;
        init = sym<nvmlReturn (*)()>("nvmlInit_v2");
        shutdown = sym<nvmlReturn (*)()>("nvmlShutdown");
        getCount = sym<nvmlReturn (*)(unsigned int *)>("nvmlDeviceGetCount_v2");
        byIndex = sym<nvmlReturn (*)(unsigned int, nvmlDevice *)>("nvmlDeviceGetHandleByIndex_v2");
        byBusId = sym<nvmlReturn (*)(const char *, nvmlDevice *)>("nvmlDeviceGetHandleByPciBusId_v2");
        utilization = sym<nvmlReturn (*)(nvmlDevice, nvmlUtilization *)>("nvmlDeviceGetUtilizationRates");
        memory = sym<nvmlReturn (*)(nvmlDevice, nvmlMemory *)>("nvmlDeviceGetMemoryInfo");
        name = sym<nvmlReturn (*)(nvmlDevice, char *, unsigned int)>("nvmlDeviceGetName");
        // Drivers old enough to lack it still give the rest.
        temperatureOf = sym<nvmlReturn (*)(nvmlDevice, int, unsigned int *)>("nvmlDeviceGetTemperature");
        if (init && shutdown && getCount && byIndex && byBusId && utilization && memory && name
            && init() == kNvmlSuccess)
            m_ready = true;
    }
    ~Nvml()
    {
        if (m_ready)
            shutdown();
        if (m_lib)
            ::dlclose(m_lib);
    }
    Nvml(const Nvml &) = delete;
    Nvml &operator=(const Nvml &) = delete;

    bool ready() const { return m_ready; }

    std::vector<nvmlDevice> devices() const
    {
        std::vector<nvmlDevice> out;
        unsigned int n = 0;
        if (!m_ready || getCount(&n) != kNvmlSuccess)
            return out;
        for (unsigned int i = 0; i < n; ++i) {
            nvmlDevice d = nullptr;
            if (byIndex(i, &d) == kNvmlSuccess && d)
                out.push_back(d);
        }
        return out;
    }
    std::optional<nvmlDevice> device(const std::string &busId) const
    {
        nvmlDevice d = nullptr;
        if (!m_ready || busId.empty() || byBusId(busId.c_str(), &d) != kNvmlSuccess || !d)
            return std::nullopt;
        return d;
    }
    std::optional<int64_t> busyPercent(nvmlDevice d) const
    {
        nvmlUtilization u{};
        if (utilization(d, &u) != kNvmlSuccess)
            return std::nullopt;
        return static_cast<int64_t>(u.gpu);
    }
    std::optional<nvmlMemory> memoryInfo(nvmlDevice d) const
    {
        nvmlMemory m{};
        if (memory(d, &m) != kNvmlSuccess)
            return std::nullopt;
        return m;
    }
    // The GPU die's temperature in °C.
    std::optional<double> temperature(nvmlDevice d) const
    {
        constexpr int kTemperatureGpu = 0; // NVML_TEMPERATURE_GPU
        unsigned int c = 0;
        if (!temperatureOf || temperatureOf(d, kTemperatureGpu, &c) != kNvmlSuccess)
            return std::nullopt;
        return static_cast<double>(c);
    }
    std::optional<QString> deviceName(nvmlDevice d) const
    {
        char buf[96] = {};
        if (name(d, buf, sizeof buf) != kNvmlSuccess)
            return std::nullopt;
        buf[sizeof buf - 1] = 0;
        const QString s = QString::fromUtf8(buf).trimmed();
        return s.isEmpty() ? std::nullopt : std::optional<QString>(s);
    }

private:
    template <typename F>
    F sym(const char *n)
    {
        return reinterpret_cast<F>(::dlsym(m_lib, n));
    }
    void *m_lib = nullptr;
    bool m_ready = false;
    nvmlReturn (*init)() = nullptr;
    nvmlReturn (*shutdown)() = nullptr;
    nvmlReturn (*getCount)(unsigned int *) = nullptr;
    nvmlReturn (*byIndex)(unsigned int, nvmlDevice *) = nullptr;
    nvmlReturn (*byBusId)(const char *, nvmlDevice *) = nullptr;
    nvmlReturn (*utilization)(nvmlDevice, nvmlUtilization *) = nullptr;
    nvmlReturn (*memory)(nvmlDevice, nvmlMemory *) = nullptr;
    nvmlReturn (*name)(nvmlDevice, char *, unsigned int) = nullptr;
    nvmlReturn (*temperatureOf)(nvmlDevice, int, unsigned int *) = nullptr;
};

} // namespace corvane
