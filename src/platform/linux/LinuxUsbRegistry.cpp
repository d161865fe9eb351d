#include "platform/UsbRegistry.h"
#include "platform/linux/SysFile.h"

#include <QSet>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <dirent.h>

namespace corvane {

namespace usbsysfs {

std::optional<int64_t> speedCode(std::string_view mbits)
{
    mbits = sysfile::trim(mbits);
    struct Row {
        std::string_view text;
        UsbSpeedCode code;
    };
    static constexpr Row rows[] = {
        {"1.5", UsbSpeedCode::Low},         {"12", UsbSpeedCode::Full},
        {"480", UsbSpeedCode::High},        {"5000", UsbSpeedCode::Super},
        {"10000", UsbSpeedCode::SuperPlus}, {"20000", UsbSpeedCode::SuperPlus20},
    };
    for (const auto &r : rows)
        if (mbits == r.text)
            return static_cast<int64_t>(r.code);
    return std::nullopt;
}

std::optional<uint64_t> locationId(std::string_view name)
{
    const size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || name.find(':') != std::string_view::npos)
        return std::nullopt;
    uint64_t bus = 0;
    auto [p, ec] = std::from_chars(name.data(), name.data() + dash, bus);
    if (ec != std::errc() || p != name.data() + dash || bus == 0 || bus >= (1u << 11))
        return std::nullopt;
    uint64_t id = bus << 42;
    std::string_view path = name.substr(dash + 1);
    int depth = 0;
    while (true) {
        const size_t dot = path.find('.');
        const std::string_view part = path.substr(0, dot);
        uint64_t port = 0;
        auto [q, ec2] = std::from_chars(part.data(), part.data() + part.size(), port);
        if (part.empty() || ec2 != std::errc() || q != part.data() + part.size() || port == 0 || port > 127
            || depth >= 6)
            return std::nullopt;
        id |= port << (35 - 7 * depth);
        ++depth;
        if (dot == std::string_view::npos)
            break;
        path.remove_prefix(dot + 1);
    }
    return id;
}

} // namespace usbsysfs

namespace {

std::optional<QString> textFile(const std::string &path)
{
    auto t = sysfile::readTrimmed(path);
    if (!t || t->empty())
        return std::nullopt;
    return QString::fromUtf8(t->data(), static_cast<qsizetype>(t->size()));
}

class LinuxUsbRegistry final : public UsbRegistry {
public:
    explicit LinuxUsbRegistry(const QString &sysRoot) : m_root(sysRoot.toStdString() + "/bus/usb/devices") {}

    std::optional<QList<UsbDeviceProperties>> devices() override
    {
        DIR *dir = ::opendir(m_root.c_str());
        if (!dir) {
            const int err = errno;
            sysfile::noteFailure(m_root, err);
            // A kernel without USB has no such folder: that is an empty bus, not a failure.
            if (err == ENOENT)
                return QList<UsbDeviceProperties>{};
            return std::nullopt;
        }
        sysfile::noteCleared(m_root);
        std::vector<std::string> names;
        while (const dirent *e = ::readdir(dir)) {
            const std::string_view n(e->d_name);
            // Interfaces carry a ':' ("1-1:1.0"); root hubs ("usb1") are the controllers themselves.
            if (n.empty() || n[0] == '.' || n.find(':') != std::string_view::npos || n.starts_with("usb"))
                continue;
            names.emplace_back(n);
        }
        ::closedir(dir);
        // readdir order is arbitrary; the kernel's names give a stable registry order.
        std::sort(names.begin(), names.end());

        QList<UsbDeviceProperties> out;
        QSet<QByteArray> seen;
        for (const auto &n : names) {
            const std::string base = m_root + "/" + n;
            // Two entries that lead to one device list it once.
            char *real = ::realpath(base.c_str(), nullptr);
            if (!real)
                continue;
            const QByteArray key(real);
            std::free(real);
            if (seen.contains(key))
                continue;
            seen.insert(key);

            UsbDeviceProperties d;
            d.productName = textFile(base + "/product");
            d.vendorName = textFile(base + "/manufacturer");
            if (auto s = sysfile::readTrimmed(base + "/speed"))
                d.deviceSpeed = usbsysfs::speedCode(*s);
            if (auto p = sysfile::readTrimmed(base + "/bMaxPower")) {
                std::string_view v(*p); // "500mA"
                if (auto mA = sysfile::parseU64(v); mA && *mA <= 100000)
                    d.requestedPower = static_cast<int64_t>(*mA);
            }
            // No bus-power allocation figures on Linux: both stay absent.
            d.locationId = usbsysfs::locationId(n);
            if (auto r = sysfile::readTrimmed(base + "/removable")) {
                if (*r == "fixed")
                    d.builtIn = 1;
                else if (*r == "removable")
                    d.builtIn = 0;
            }
            out.append(std::move(d));
        }
        return out;
    }

private:
    std::string m_root;
};

} // namespace

std::unique_ptr<UsbRegistry> makeLinuxUsbRegistry(const QString &sysRoot)
{
    return std::make_unique<LinuxUsbRegistry>(sysRoot);
}

} // namespace corvane
