#include "common/Numbers.h"
#include "platform/PowerSources.h"
#include "platform/linux/SysFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cerrno>
#include <dirent.h>
#include <iterator>
#include <limits>
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

// A reading outside what the quantity can physically be is a driver's fault: absent, as if
// the file were missing, so it reaches neither a screen nor a sum nor an alert.
std::optional<int64_t> readWithin(const std::string &path, int64_t lowest, int64_t highest)
{
    const auto v = readI64(path);
    if (!v || *v < lowest || *v > highest)
        return std::nullopt;
    return v;
}

constexpr int64_t kNoLimit = std::numeric_limits<int64_t>::max();

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
    // Scope "Device": the supply belongs to a device (a mouse's battery, a tablet's charger,
    // a USB-C port that can't charge the machine), not to the machine itself.
    bool deviceScope = false;

    bool isMachineAdapter() const { return isAdapterType(type) && !deviceScope; }
    bool isOnline() const { return readI64(path + "/online").value_or(0) == 1; }
};

// What kind of adapter a supply is, in the words its user knows it by. USB supplies name
// the negotiated mode in brackets ("C [PD] PD_PPS"); older kernels put it in the type.
QString kindOf(const Supply &s)
{
    std::string mode = s.type;
    if (s.type == "USB") {
        const auto usbType = sysfile::readTrimmed(s.path + "/usb_type").value_or(std::string());
        const size_t open = usbType.find('['), close = usbType.find(']');
        if (open != std::string::npos && close != std::string::npos && close > open)
            mode = "USB_" + usbType.substr(open + 1, close - open - 1);
    }
    if (mode.starts_with("USB_PD"))
        return QStringLiteral("USB-C PD");
    if (mode == "USB_C")
        return QStringLiteral("USB-C");
    if (mode.starts_with("USB"))
        return QStringLiteral("USB");
    return QString::fromStdString(s.type);
}

// Under 0.01 Wh or Ah (in the driver's µ-units) a capacity is no figure: a gauge that
// reports a zero full charge still knows its design.
constexpr int64_t kLeastCapacity = 10'000;

std::optional<int64_t> soundCapacity(std::optional<int64_t> v)
{
    return v && *v >= kLeastCapacity ? v : std::nullopt;
}

// A now/full pair with the charge bounded by the full charge: gauges overshoot (a battery
// reporting 24.5 of 23.2 Wh is full, not 106 %).
std::optional<std::pair<int64_t, int64_t>> bounded(std::optional<int64_t> now, std::optional<int64_t> full)
{
    if (!now || !full || *full <= 0)
        return std::nullopt;
    return std::pair{std::min(*now, *full), *full};
}

// One battery's files, read once per call, in the driver's units (µWh, µAh, µV, µA, µW).
struct Battery {
    std::string status;
    std::optional<int64_t> capacityPct;
    std::optional<int64_t> energyNow, energyFull, energyFullDesign, chargeNow, chargeFull, chargeFullDesign;
    std::optional<int64_t> powerNow, currentNow, secondsToEmpty, designMicroVolts;
    // Gauge figures as the smart-battery reading gives them.
    std::optional<int64_t> cycleCount, temperature, designMilliAh, fullMilliAh, milliVolts;
    std::optional<double> milliAmps;

    // Charge becomes energy at the design voltage.
    std::optional<int64_t> toEnergy(std::optional<int64_t> microAh) const
    {
        if (!microAh || !designMicroVolts || *designMicroVolts <= 0)
            return std::nullopt;
        return rounded(static_cast<double>(*microAh) * static_cast<double>(*designMicroVolts) / 1e6);
    }
    std::optional<int64_t> energyNowOrConverted() const { return energyNow ? energyNow : toEnergy(chargeNow); }
    std::optional<int64_t> energyFullOrConverted() const { return energyFull ? energyFull : toEnergy(chargeFull); }
    std::optional<int64_t> energyDesignOrConverted() const
    {
        return energyFullDesign ? energyFullDesign : toEnergy(chargeFullDesign);
    }

    // The battery's own charge in percent, 0–100: its gauge's percentage, else its pair.
    std::optional<double> percent() const
    {
        if (capacityPct)
            return static_cast<double>(*capacityPct);
        auto p = bounded(energyNow, energyFull);
        if (!p)
            p = bounded(chargeNow, chargeFull);
        if (!p)
            return std::nullopt;
        return static_cast<double>(p->first) / static_cast<double>(p->second) * 100.0;
    }
    // A battery whose charge files are missing or impossible has no share in the set's charge;
    // one without any capacity file none in its capacities.
    bool reportsCharge() const { return percent().has_value(); }
    bool reportsCapacity() const { return energyFull || energyFullDesign || chargeFull || chargeFullDesign; }

    static Battery read(const std::string &p)
    {
        Battery b;
        b.status = sysfile::readTrimmed(p + "/status").value_or(std::string());
        b.capacityPct = readWithin(p + "/capacity", 0, 100);
        b.energyNow = readWithin(p + "/energy_now", 0, kNoLimit);
        b.energyFullDesign = soundCapacity(readWithin(p + "/energy_full_design", 0, kNoLimit));
        b.energyFull = readWithin(p + "/energy_full", 0, kNoLimit);
        if (b.energyFull && !soundCapacity(b.energyFull))
            b.energyFull = b.energyFullDesign;
        b.chargeNow = readWithin(p + "/charge_now", 0, kNoLimit);
        b.chargeFullDesign = soundCapacity(readWithin(p + "/charge_full_design", 0, kNoLimit));
        b.chargeFull = readWithin(p + "/charge_full", 0, kNoLimit);
        if (b.chargeFull && !soundCapacity(b.chargeFull))
            b.chargeFull = b.chargeFullDesign;
        b.powerNow = readI64(p + "/power_now");
        b.currentNow = readI64(p + "/current_now");
        b.secondsToEmpty = readI64(p + "/time_to_empty_now");
        b.designMicroVolts = readI64(p + "/voltage_min_design");
        if (!b.designMicroVolts || *b.designMicroVolts <= 0)
            b.designMicroVolts = readI64(p + "/voltage_max_design");

        // Drivers write 0 cycles when they don't count them.
        b.cycleCount = readWithin(p + "/cycle_count", 1, kNoLimit);
        // Gauges report charge (µAh) or energy (µWh); energy becomes charge at the design
        // voltage, and without one there is no charge figure to give.
        auto milliAh = [&](std::optional<int64_t> charge, std::optional<int64_t> energy) -> std::optional<int64_t> {
            if (charge)
                return milli(charge);
            if (!energy || !b.designMicroVolts || *b.designMicroVolts <= 0)
                return std::nullopt;
            return rounded(static_cast<double>(*energy) / static_cast<double>(*b.designMicroVolts) * 1000.0);
        };
        b.designMilliAh = milliAh(b.chargeFullDesign, b.energyFullDesign);
        b.fullMilliAh = milliAh(b.chargeFull, b.energyFull);
        if (auto t = readWithin(p + "/temp", -400, 1000)) // tenths of °C: −40 to 100 °C
            b.temperature = *t * 10;
        const auto microVolts = readWithin(p + "/voltage_now", 1, kNoLimit);
        b.milliVolts = milli(microVolts);
        if (b.currentNow)
            b.milliAmps = static_cast<double>(*b.currentNow) / 1000.0;
        else if (b.powerNow && microVolts && *microVolts > 0)
            b.milliAmps = static_cast<double>(*b.powerNow) / static_cast<double>(*microVolts) * 1000.0;
        if (b.milliAmps) {
            // Drivers disagree on the sign; the status decides: discharging is negative.
            if (b.status == "Discharging")
                b.milliAmps = -std::fabs(*b.milliAmps);
            else if (b.status == "Charging")
                b.milliAmps = std::fabs(*b.milliAmps);
        }
        return b;
    }
};

class LinuxPowerSources final : public PowerSources {
public:
    explicit LinuxPowerSources(const QString &sysRoot) : m_root(sysRoot.toStdString() + "/class/power_supply") {}

    // Every internal battery counts: a laptop with two reports one figure for both.
    //  - charge: Σ now ÷ Σ full, each battery's now bounded by its full, in energy when every
    //    battery reports energy, else in charge when every one reports charge, else in energy
    //    with charge converted at each design voltage; a battery with only a percentage makes
    //    it the plain mean of the percentages; a battery with no sound charge figure is left
    //    out, the others still count;
    //  - state: external power when an adapter is online; with no adapter listed, battery
    //    power when any battery discharges;
    //  - time to empty: Σ energy (or charge) left ÷ Σ present draw.
    std::optional<QList<PowerSourceDescription>> powerSources() override
    {
        const auto all = supplies();
        if (!all)
            return std::nullopt;
        const std::vector<Battery> bats = batteries(*all);
        QList<PowerSourceDescription> out;
        const QString cause = QString::fromStdString(m_root) + QStringLiteral(" batteries");
        if (bats.empty()) {
            sysfile::failures().absent(cause, QString::fromStdString(m_root) + QStringLiteral(": no battery"));
            return out;
        }
        sysfile::failures().cleared(cause);
        PowerSourceDescription d;
        const std::vector<Battery> charged = having(bats, &Battery::reportsCharge);
        if (const auto level = chargeLevel(charged)) {
            d.currentCapacity = level->first;
            d.maxCapacity = level->second;
        }
        // With no adapter listed, the batteries' own status tells whether power comes in.
        std::optional<bool> onAC = externalPower(*all);
        const bool anyDischarging = std::any_of(bats.begin(), bats.end(), [](const Battery &b) {
            return b.status == "Discharging";
        });
        if (!onAC) {
            if (anyDischarging)
                onAC = false;
            else if (std::any_of(bats.begin(), bats.end(), [](const Battery &b) {
                         return b.status == "Charging" || b.status == "Full" || b.status == "Not charging";
                     }))
                onAC = true;
        }
        if (onAC)
            d.powerSourceState = QString::fromLatin1(*onAC ? kACPowerState : kBatteryPowerState);
        d.timeToEmpty = timeToEmpty(charged, onAC, anyDischarging);
        out.append(d);
        return out;
    }

    // The gauge figures of the same set of batteries: capacities are sums over the batteries
    // that report any, health Σ full ÷ Σ design in the unit they all share (energy, else
    // charge, else energy converted), cycles and temperature the highest any battery reports,
    // current the sum, voltage weighted by each battery's current (so voltage × current is the
    // power of the whole set while they all charge or all discharge).
    std::optional<SmartBatteryReading> smartBattery() override
    {
        const auto all = supplies();
        if (!all)
            return std::nullopt;
        const std::vector<Battery> bats = batteries(*all);
        if (bats.empty())
            return std::nullopt;
        SmartBatteryReading r;
        r.cycleCount = highest(bats, &Battery::cycleCount);
        r.temperature = highest(bats, &Battery::temperature);
        const std::vector<Battery> sized = having(bats, &Battery::reportsCapacity);
        r.designCapacity = sumOfAll(sized, &Battery::designMilliAh);
        r.fullChargeCapacity = sumOfAll(sized, &Battery::fullMilliAh);
        r.healthPercent = health(sized);

        double milliAmps = 0, weightedVolts = 0, weights = 0, plainVolts = 0;
        int withCurrent = 0, withVoltage = 0;
        for (const Battery &b : bats) {
            if (b.milliAmps) {
                milliAmps += *b.milliAmps;
                ++withCurrent;
            }
            if (b.milliVolts) {
                plainVolts += static_cast<double>(*b.milliVolts);
                ++withVoltage;
                if (b.milliAmps) {
                    weightedVolts += static_cast<double>(*b.milliVolts) * std::fabs(*b.milliAmps);
                    weights += std::fabs(*b.milliAmps);
                }
            }
        }
        if (withCurrent > 0)
            r.amperage = rounded(milliAmps);
        if (weights > 0)
            r.voltage = rounded(weightedVolts / weights);
        else if (withVoltage > 0)
            r.voltage = rounded(plainVolts / withVoltage);
        return r;
    }

    std::optional<AdapterDetails> adapterDetails() override
    {
        const auto all = supplies();
        if (!all)
            return std::nullopt;
        // On USB-C laptops the ACPI "AC" supply and the UCSI port are online together and only
        // the port knows volts and amps: prefer the adapter that reports the power it delivers,
        // then one that reports its rating, then the first online.
        std::optional<AdapterDetails> best;
        int bestRank = -1;
        for (const auto &s : *all) {
            if (!s.isMachineAdapter() || !s.isOnline())
                continue;
            AdapterDetails a;
            const auto vMax = readI64(s.path + "/voltage_max");
            const auto iMax = readI64(s.path + "/current_max");
            if (vMax && iMax && *vMax > 0 && *iMax > 0)
                a.watts = rounded(static_cast<double>(*vMax) * static_cast<double>(*iMax) / 1e12);
            a.name = readText(s.path + "/model_name");
            a.description = kindOf(s);
            a.manufacturer = readText(s.path + "/manufacturer");
            // No family code on Linux. What flows now comes only from present readings: a
            // port's maxima are its rating, not its output.
            a.current = milli(readI64(s.path + "/current_now"));
            a.voltage = milli(readI64(s.path + "/voltage_now"));
            const bool delivering = a.current.value_or(0) > 0 && a.voltage.value_or(0) > 0;
            const int rank = delivering ? 2 : a.watts ? 1 : 0;
            if (rank > bestRank) {
                best = std::move(a);
                bestRank = rank;
            }
        }
        return best;
    }

private:
    // Mice and keyboards report their batteries here too, with scope "Device".
    static bool isSystemBattery(const Supply &s) { return s.type == "Battery" && !s.deviceScope; }

    // Whether any of the machine's adapters is online; nullopt when it lists none.
    static std::optional<bool> externalPower(const std::vector<Supply> &all)
    {
        std::optional<bool> any;
        for (const auto &s : all) {
            if (!s.isMachineAdapter())
                continue;
            any = any.value_or(false) || s.isOnline();
        }
        return any;
    }

    static std::optional<int64_t> timeToEmpty(const std::vector<Battery> &bats, std::optional<bool> onAC,
                                              bool anyDischarging)
    {
        if (onAC.value_or(false))
            return 0; // not emptying
        if (!onAC && !anyDischarging)
            return std::nullopt;
        if (bats.size() == 1 && bats.front().secondsToEmpty && *bats.front().secondsToEmpty >= 0)
            return *bats.front().secondsToEmpty / 60;
        // Remaining energy over the present draw, as the desktop's power service estimates it.
        auto estimate = [&](auto left, auto draw) -> std::optional<int64_t> {
            double sumLeft = 0, sumDraw = 0;
            for (const Battery &b : bats) {
                if (!(b.*left))
                    return std::nullopt;
                sumLeft += static_cast<double>(*(b.*left));
                sumDraw += std::fabs(static_cast<double>((b.*draw).value_or(0)));
            }
            if (sumDraw == 0)
                return std::nullopt;
            return rounded(sumLeft / sumDraw * 60.0);
        };
        if (auto m = estimate(&Battery::energyNow, &Battery::powerNow))
            return m;
        if (auto m = estimate(&Battery::chargeNow, &Battery::currentNow))
            return m;
        return -1; // still estimating
    }

    using Pair = std::pair<int64_t, int64_t>;

    // Σ of one pair over every battery, or nothing when one of them lacks it.
    template <class PairOf>
    static std::optional<Pair> sums(const std::vector<Battery> &bats, PairOf pairOf)
    {
        if (bats.empty())
            return std::nullopt;
        Pair sum{0, 0};
        for (const Battery &b : bats) {
            const std::optional<Pair> p = pairOf(b);
            if (!p)
                return std::nullopt;
            sum.first += p->first;
            sum.second += p->second;
        }
        return sum;
    }

    // Σ now and Σ full in one unit (see powerSources()), over batteries with a charge figure.
    static std::optional<Pair> chargeLevel(const std::vector<Battery> &bats)
    {
        if (bats.empty())
            return std::nullopt;
        if (bats.size() == 1 && bats.front().capacityPct)
            return Pair{*bats.front().capacityPct, 100};
        if (auto e = sums(bats, [](const Battery &b) { return bounded(b.energyNow, b.energyFull); }))
            return e;
        if (auto c = sums(bats, [](const Battery &b) { return bounded(b.chargeNow, b.chargeFull); }))
            return c;
        if (auto m = sums(bats, [](const Battery &b) {
                return bounded(b.energyNowOrConverted(), b.energyFullOrConverted());
            }))
            return m;
        // Nothing to weigh the batteries by: the mean of their percentages, in hundredths.
        double pct = 0;
        for (const Battery &b : bats)
            pct += *b.percent();
        return Pair{rounded(pct * 100).value_or(0), static_cast<int64_t>(bats.size()) * 10000};
    }

    // Σ full ÷ Σ design in percent, in whichever unit every battery gives both in: no
    // voltage is needed for a gauge that keeps energy only.
    static std::optional<double> health(const std::vector<Battery> &bats)
    {
        auto pair = [](std::optional<int64_t> full, std::optional<int64_t> design) -> std::optional<Pair> {
            if (!full || !design || *design <= 0)
                return std::nullopt;
            return Pair{*full, *design};
        };
        auto p = sums(bats, [&](const Battery &b) { return pair(b.energyFull, b.energyFullDesign); });
        if (!p)
            p = sums(bats, [&](const Battery &b) { return pair(b.chargeFull, b.chargeFullDesign); });
        if (!p)
            p = sums(bats, [&](const Battery &b) { return pair(b.energyFullOrConverted(), b.energyDesignOrConverted()); });
        if (!p)
            return std::nullopt;
        return static_cast<double>(p->first) / static_cast<double>(p->second) * 100.0;
    }

    static std::vector<Battery> having(const std::vector<Battery> &bats, bool (Battery::*reports)() const)
    {
        std::vector<Battery> out;
        std::copy_if(bats.begin(), bats.end(), std::back_inserter(out), [&](const Battery &b) { return (b.*reports)(); });
        return out;
    }

    template <class T>
    static std::optional<T> highest(const std::vector<Battery> &bats, std::optional<T> Battery::*field)
    {
        std::optional<T> best;
        for (const Battery &b : bats)
            if ((b.*field) && (!best || *(b.*field) > *best))
                best = b.*field;
        return best;
    }

    // The sum when every battery reports the figure; a partial sum would understate it.
    static std::optional<int64_t> sumOfAll(const std::vector<Battery> &bats, std::optional<int64_t> Battery::*field)
    {
        if (bats.empty())
            return std::nullopt;
        int64_t sum = 0;
        for (const Battery &b : bats) {
            if (!(b.*field))
                return std::nullopt;
            sum += *(b.*field);
        }
        return sum;
    }

    // The internal batteries in a stable order; devices' batteries and empty bays are left out.
    static std::vector<Battery> batteries(const std::vector<Supply> &all)
    {
        std::vector<Battery> out;
        for (const auto &s : all)
            if (isSystemBattery(s) && readI64(s.path + "/present").value_or(1) != 0)
                out.push_back(Battery::read(s.path));
        return out;
    }

    std::optional<std::vector<Supply>> supplies() const
    {
        std::vector<Supply> out;
        DIR *dir = ::opendir(m_root.c_str());
        if (!dir) {
            sysfile::noteFailure(m_root, errno);
            return std::nullopt;
        }
        sysfile::noteCleared(m_root);
        while (const dirent *e = ::readdir(dir)) {
            if (e->d_name[0] == '.')
                continue;
            Supply s;
            s.path = m_root + "/" + e->d_name;
            if (auto t = sysfile::readTrimmed(s.path + "/type"))
                s.type = *t;
            s.deviceScope = sysfile::readTrimmed(s.path + "/scope") == std::optional<std::string>("Device");
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
