// applesmc (Intel Macs running Linux): temp*_label names the real SMC key of each sensor,
// temp*_input holds its value in millidegrees, fan*_input/min/max the fan speeds.
#include "platform/linux/SmcFanTree.h"
#include "platform/linux/SmcKeyStore.h"

namespace corvane {
namespace {

bool isKeyText(const std::string &s)
{
    if (s.size() != 4)
        return false;
    for (const char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e)
            return false;
    return true;
}

class AppleSmcTransport final : public SmcKeyStore {
public:
    explicit AppleSmcTransport(std::string dir) : m_dir(std::move(dir)) {}

protected:
    std::vector<Key> scan() override
    {
        std::vector<Key> keys;
        for (int n : fantree::numberedFiles(m_dir, "temp", "_label")) {
            const std::string base = m_dir + "/temp" + std::to_string(n);
            const auto label = fantree::readLine(base + "_label");
            if (!label || !isKeyText(*label) || !fantree::exists(base + "_input"))
                continue;
            keys.push_back(sp78(*label, scaledFileReader(base + "_input", 0.001)));
        }
        const auto fans = fantree::appleSmcFans(m_dir);
        int count = 0;
        for (const auto &f : fans) {
            if (f.index > 9) // F<i>Ac has room for one digit
                break;
            const std::string i = std::to_string(f.index);
            keys.push_back(fpe2("F" + i + "Ac", scaledFileReader(f.file("_input"), 1.0)));
            if (fantree::exists(f.file("_min")))
                keys.push_back(fpe2("F" + i + "Mn", scaledFileReader(f.file("_min"), 1.0)));
            if (fantree::exists(f.file("_max")))
                keys.push_back(fpe2("F" + i + "Mx", scaledFileReader(f.file("_max"), 1.0)));
            count = f.index + 1;
        }
        if (count > 0) {
            const double n = count;
            keys.push_back(ui8("FNum", [n] { return std::optional<double>(n); }));
        }
        return keys;
    }

private:
    std::string m_dir;
};

} // namespace

std::unique_ptr<SmcTransport> makeAppleSmcTransport(const QString &applesmcDir)
{
    return std::make_unique<AppleSmcTransport>(applesmcDir.toStdString());
}

} // namespace corvane
