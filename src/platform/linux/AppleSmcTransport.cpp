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
        appendFanKeys(keys, fantree::appleSmcFans(m_dir), &fpe2);
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

std::unique_ptr<SmcTransport> makeLinuxSmcTransport(const QString &sysRoot)
{
    return makeAppleSmcTransport(QString::fromStdString(fantree::appleSmcDir(sysRoot.toStdString())));
}

bool hasAppleSmc(const QString &sysRoot)
{
    return fantree::hasAppleSmc(fantree::appleSmcDir(sysRoot.toStdString()));
}

} // namespace corvane
