// Any other Linux machine: hwmon sensors presented as SMC keys, so the monitor's label
// and CPU/GPU rules apply unchanged.
//   CPU (coretemp, k10temp, zenpower, …): the package as TCTD ("CPU Package"), Core 0–9 as
//     TC<n>C ("CPU Core n"), every other CPU sensor as Tp<nn> ("CPU senzor nn");
//   GPU (amdgpu, nouveau, nvidia, …): Tg<nn> (named "GPU senzor nn");
//   drives (nvme, drivetemp): the first sensor of each as TH0a, TH0b, TH0A, TH0B (SSD labels);
//   Wi-Fi (iwlwifi) TW0P, chipset (pch_*) TPCD; anything else Tx<nn> ("Senzor Tx<nn>").
// Temperatures and fan speeds are "flt " keys: no fixed-point rounding, no 16383 rpm ceiling.
#include "platform/linux/SmcFanTree.h"
#include "platform/linux/SmcKeyStore.h"

#include <array>
#include <map>
#include <set>

namespace corvane {
namespace {

bool oneOf(const std::string &name, std::initializer_list<const char *> names)
{
    for (const char *n : names)
        if (name == n)
            return true;
    return false;
}

class KeyNamer {
public:
    // `key` when still free, else nothing.
    std::optional<std::string> take(const std::string &key)
    {
        if (!m_used.insert(key).second)
            return std::nullopt;
        return key;
    }
    // prefix + the next free two-digit number; nothing after 99.
    std::optional<std::string> next(const std::string &prefix)
    {
        int &n = m_counters[prefix];
        while (n < 100) {
            char d[3] = {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10), 0};
            ++n;
            if (auto k = take(prefix + d))
                return k;
        }
        return std::nullopt;
    }

private:
    std::set<std::string> m_used;
    std::map<std::string, int> m_counters;
};

class HwmonSmcTransport final : public SmcKeyStore {
public:
    explicit HwmonSmcTransport(std::string dir) : m_dir(std::move(dir)) {}

protected:
    std::vector<Key> scan() override
    {
        std::vector<Key> keys;
        KeyNamer namer;
        static const std::array<const char *, 4> kDriveKeys = {"TH0a", "TH0b", "TH0A", "TH0B"};
        size_t drives = 0;

        for (const std::string &chip : fantree::hwmonChips(m_dir)) {
            const std::string name = fantree::readLine(chip + "/name").value_or("");
            const bool cpu = oneOf(name, {"coretemp", "k10temp", "k8temp", "zenpower", "cpu_thermal", "via_cputemp"});
            const bool gpu = oneOf(name, {"amdgpu", "radeon", "nouveau", "nvidia", "i915", "xe"});
            const bool drive = oneOf(name, {"nvme", "drivetemp"});
            bool firstOfChip = true;
            for (int n : fantree::numberedFiles(chip, "temp", "_input")) {
                const std::string base = chip + "/temp" + std::to_string(n);
                const std::string label = fantree::readLine(base + "_label").value_or("");
                std::optional<std::string> key;
                if (cpu) {
                    const bool package = label.rfind("Package id", 0) == 0 || label == "Tctl" || label == "Tdie"
                        || label.empty();
                    if (package)
                        key = namer.take("TCTD");
                    else if (label.size() == 6 && label.rfind("Core ", 0) == 0 && label[5] >= '0' && label[5] <= '9')
                        key = namer.take(std::string("TC") + label[5] + "C");
                    if (!key)
                        key = namer.next("Tp");
                } else if (gpu) {
                    key = namer.next("Tg");
                } else if (drive && firstOfChip && drives < kDriveKeys.size()) {
                    key = namer.take(kDriveKeys[drives++]);
                } else if (name.rfind("iwlwifi", 0) == 0) {
                    key = namer.take("TW0P");
                } else if (name.rfind("pch_", 0) == 0) {
                    key = namer.take("TPCD");
                }
                if (!key)
                    key = namer.next("Tx");
                firstOfChip = false;
                if (key)
                    keys.push_back(flt(*key, scaledFileReader(base + "_input", 0.001)));
            }
        }

        appendFanKeys(keys, fantree::hwmonFans(m_dir), &flt);
        return keys;
    }

private:
    std::string m_dir;
};

} // namespace

std::unique_ptr<SmcTransport> makeHwmonSmcTransport(const QString &hwmonClassDir)
{
    return std::make_unique<HwmonSmcTransport>(hwmonClassDir.toStdString());
}

std::unique_ptr<SmcTransport> makeLinuxSmcTransport(const QString &sysRoot)
{
    const std::string root = sysRoot.toStdString();
    const std::string apple = fantree::appleSmcDir(root);
    if (fantree::hasAppleSmc(apple))
        return makeAppleSmcTransport(QString::fromStdString(apple));
    return makeHwmonSmcTransport(QString::fromStdString(fantree::hwmonClassDir(root)));
}

} // namespace corvane
