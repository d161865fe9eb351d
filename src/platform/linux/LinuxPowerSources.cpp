#include "common/Numbers.h"
#include "platform/PowerSources.h"
#include "platform/linux/SysFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <dirent.h>
#include <vector>

namespace corvane {
namespace {

std::optional<int64_t> readI64(const std::string &path)
{
    const auto t = sysfile::readTrimmed(path);
    if (!t || t->empty())
        return std::nullopt;
    int64_t v = 0;
    auto [p, ec] = std::from_chars(t->data(), t->data() + t->size(), v);
    if (ec != std::errc() || p != t->data() + t->size())
        return std::nullopt;
    return v;
}

std::optional<QString> readText(const std::string &path)
{
    const auto t = sysfile::readTrimmed(path);
    if (!t || t->empty())
        return std::nullopt;
    return QString::fromUtf8(t->data(), static_cast<qsizetype>(t->size()));
}

// Micro-units (µV, µA, µAh, µWh) to milli-units, rounded.
std::optional<int64_t> milli(std::optional<int64_t> micro)
{
    if (!micro)
        return std::nullopt;
    return checkedCast<int64_t>(std::round(static_cast<double>(*micro) / 1000.0));
}

std::optional<int64_t> rounded(double v)
{
    return checkedCast<int64_t>(std::round(v));
}

bool isAdapterType(const std::string &type)
{
    return type == "Mains" || type.starts_with("USB") || type == "BrickID" || type == "Wireless";
}

struct Supply {
    std::string path;
    std::string type;
};

class LinuxPowerSources final : public PowerSources {
public:
    explicit LinuxPowerSources(const QString &sysRoot) : m_root(sysRoot.toStdString() + "/class/power_supply") {}

    std::optional<QList<PowerSourceDescription>> powerSources() override
    {
        const auto all = supplies();
        if (!all)
            return std::nullopt;
        const std::optional<bool> external = externalPower(*all);
        QList<PowerSourceDescription> out;
        for (const auto &s : *all) {
            if (!isSystemBattery(s))
                continue;
            PowerSourceDescription d;
            if (auto pct = readI64(s.path + "/capacity")) {
                d.currentCapacity = *pct;
                d.maxCapacity = 100;
            } else if (auto now = readI64(s.path + "/energy_now"), full = readI64(s.path + "/energy_full");
                       now && full) {
                d.currentCapacity = now;
                d.maxCapacity = full;
            } else if (auto cnow = readI64(s.path + "/charge_now"), cfull = readI64(s.path + "/charge_full");
                       cnow && cfull) {
                d.currentCapacity = cnow;
                d.maxCapacity = cfull;
            }
            const auto status = sysfile::readTrimmed(s.path + "/status");
            // With no adapter listed, the battery's own status tells whether power comes in.
            std::optional<bool> onAC = external;
            if (!onAC && status) {
                if (*status == "Discharging")
                    onAC = false;
                else if (*status == "Charging" || *status == "Full" || *status == "Not charging")
                    onAC = true;
            }
            if (onAC)
                d.powerSourceState = QString::fromLatin1(*onAC ? kACPowerState : kBatteryPowerState);
            d.timeToEmpty = timeToEmpty(s.path, onAC, status);
            out.append(d);
        }
        return out;
    }

    std::optional<SmartBatteryReading> smartBattery() override
    {
        const auto all = supplies();
        if (!all)
            return std::nullopt;
        const auto it = std::find_if(all->begin(), all->end(), [](const Supply &s) { return isSystemBattery(s); });
        if (it == all->end())
            return std::nullopt;
        const std::string &p = it->path;
        SmartBatteryReading r;
        r.cycleCount = readI64(p + "/cycle_count");
        // Gauges report charge (µAh) or energy (µWh); energy becomes charge at the design voltage.
        auto designVolts = readI64(p + "/voltage_min_design");
        if (!designVolts || *designVolts <= 0)
            designVolts = readI64(p + "/voltage_max_design");
        auto capacity = [&](const char *name) -> std::optional<int64_t> {
            if (auto c = readI64(p + "/charge_" + name))
                return milli(c);
            const auto e = readI64(p + "/energy_" + name);
            if (!e || !designVolts || *designVolts <= 0)
                return std::nullopt;
            return rounded(static_cast<double>(*e) / static_cast<double>(*designVolts) * 1000.0);
        };
        r.designCapacity = capacity("full_design");
        r.fullChargeCapacity = capacity("full");
        if (auto t = readI64(p + "/temp")) // tenths of °C
            r.temperature = *t * 10;
        const auto microVolts = readI64(p + "/voltage_now");
        r.voltage = milli(microVolts);

        std::optional<double> milliAmps;
        if (auto ua = readI64(p + "/current_now"))
            milliAmps = static_cast<double>(*ua) / 1000.0;
        else if (auto uw = readI64(p + "/power_now"); uw && microVolts && *microVolts > 0)
            milliAmps = static_cast<double>(*uw) / static_cast<double>(*microVolts) * 1000.0;
        if (milliAmps) {
            // Drivers disagree on the sign; the status decides: discharging is negative.
            const auto status = sysfile::readTrimmed(p + "/status");
            double ma = *milliAmps;
            if (status && *status == "Discharging")
                ma = -std::fabs(ma);
            else if (status && *status == "Charging")
                ma = std::fabs(ma);
            r.amperage = rounded(ma);
        }
        return r;
    }

    std::optional<AdapterDetails> adapterDetails() override
    {
        const auto all = supplies();
        if (!all)
            return std::nullopt;
        for (const auto &s : *all) {
            if (!isAdapterType(s.type) || readI64(s.path + "/online").value_or(0) != 1)
                continue;
            AdapterDetails a;
            const auto vMax = readI64(s.path + "/voltage_max");
            const auto iMax = readI64(s.path + "/current_max");
            if (vMax && iMax && *vMax > 0 && *iMax > 0)
                a.watts = rounded(static_cast<double>(*vMax) * static_cast<double>(*iMax) / 1e12);
            a.name = readText(s.path + "/model_name");
            a.description = QString::fromStdString(s.type);
            a.manufacturer = readText(s.path + "/manufacturer");
            // No family code on Linux.
            auto nowOrMax = [&](const char *now, std::optional<int64_t> max) {
                auto v = readI64(s.path + "/" + now);
                return milli(v ? v : max);
            };
            a.current = nowOrMax("current_now", iMax);
            a.voltage = nowOrMax("voltage_now", vMax);
            return a;
        }
        return std::nullopt;
    }

private:
    static bool isSystemBattery(const Supply &s)
    {
        // Mice and keyboards report their batteries here too, with scope "Device".
        if (s.type != "Battery")
            return false;
        const auto scope = sysfile::readTrimmed(s.path + "/scope");
        return !scope || *scope != "Device";
    }

    // Whether any adapter is online; nullopt when the machine lists no adapter at all.
    static std::optional<bool> externalPower(const std::vector<Supply> &all)
    {
        std::optional<bool> any;
        for (const auto &s : all) {
            if (!isAdapterType(s.type))
                continue;
            const bool online = readI64(s.path + "/online").value_or(0) == 1;
            any = any.value_or(false) || online;
        }
        return any;
    }

    static std::optional<int64_t> timeToEmpty(const std::string &p, std::optional<bool> onAC,
                                              const std::optional<std::string> &status)
    {
        if (onAC.value_or(false))
            return 0; // not emptying
        if (!onAC && !(status && *status == "Discharging"))
            return std::nullopt;
        if (auto secs = readI64(p + "/time_to_empty_now"); secs && *secs >= 0)
            return *secs / 60;
        // Remaining energy over the present draw, as the desktop's power service estimates it.
        const auto energy = readI64(p + "/energy_now");
        const auto power = readI64(p + "/power_now");
        if (energy && power && *power != 0)
            return rounded(static_cast<double>(*energy) / std::fabs(static_cast<double>(*power)) * 60.0);
        const auto charge = readI64(p + "/charge_now");
        const auto current = readI64(p + "/current_now");
        if (charge && current && *current != 0)
            return rounded(static_cast<double>(*charge) / std::fabs(static_cast<double>(*current)) * 60.0);
        return -1; // still estimating
    }

    std::optional<std::vector<Supply>> supplies() const
    {
        std::vector<Supply> out;
        DIR *dir = ::opendir(m_root.c_str());
        if (!dir)
            return std::nullopt;
        while (const dirent *e = ::readdir(dir)) {
            if (e->d_name[0] == '.')
                continue;
            Supply s;
            s.path = m_root + "/" + e->d_name;
            if (auto t = sysfile::readTrimmed(s.path + "/type"))
                s.type = *t;
            out.push_back(std::move(s));
        }
        ::closedir(dir);
        // BAT0 before BAT1, AC before ucsi ports: a stable order.
        std::sort(out.begin(), out.end(), [](const Supply &a, const Supply &b) { return a.path < b.path; });
        return out;
    }

    std::string m_root;
};

} // namespace

std::unique_ptr<PowerSources> makeLinuxPowerSources(const QString &sysRoot)
{
    return std::make_unique<LinuxPowerSources>(sysRoot);
}

} // namespace corvane
