#include "platform/DisplaySource.h"
#include "platform/linux/SysFile.h"

#include <dirent.h>

#include <algorithm>

namespace corvane {

std::vector<DrmConnectorFacts> readDrmConnectors(const QString &sysRoot)
{
    std::vector<DrmConnectorFacts> out;
    const std::string dir = sysRoot.toStdString() + "/class/drm";
    DIR *d = ::opendir(dir.c_str());
    if (!d)
        return out;
    while (dirent *e = ::readdir(d)) {
        const std::string_view n = e->d_name;
        // cardN-<connector>; cardN alone is the device, renderD* a render node.
        if (!n.starts_with("card"))
            continue;
        const size_t dash = n.find('-');
        if (dash == std::string_view::npos || dash == 4 || dash + 1 >= n.size())
            continue;
        if (!std::all_of(n.begin() + 4, n.begin() + static_cast<long>(dash), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const std::string base = dir + "/" + std::string(n);
        DrmConnectorFacts c;
        c.card = QString::fromUtf8(n.substr(0, dash));
        c.name = QString::fromUtf8(n.substr(dash + 1));
        // "HDMI-A-1" is of type "HDMI-A"; the last part is the index.
        const qsizetype lastDash = c.name.lastIndexOf(QLatin1Char('-'));
        c.type = lastDash > 0 ? c.name.left(lastDash) : c.name;
        const auto status = sysfile::readTrimmed(base + "/status");
        if (!status)
            continue; // not a connector
        c.connected = *status == "connected";
        if (const auto en = sysfile::readTrimmed(base + "/enabled"))
            c.enabled = *en == "enabled";
        if (const auto dpms = sysfile::readTrimmed(base + "/dpms"))
            c.dpms = QString::fromStdString(*dpms);
        if (c.connected)
            if (const auto edid = sysfile::read(base + "/edid", 64 * 1024))
                c.edid = QByteArray(edid->data(), static_cast<qsizetype>(edid->size()));
        out.push_back(std::move(c));
    }
    ::closedir(d);
    std::sort(out.begin(), out.end(), [](const DrmConnectorFacts &a, const DrmConnectorFacts &b) {
        return a.card != b.card ? a.card < b.card : a.name < b.name;
    });
    return out;
}

namespace {

class LinuxDisplaySource final : public DisplaySource {
public:
    LinuxDisplaySource(QString sysRoot, QString x11) : m_sysRoot(std::move(sysRoot)), m_x11(std::move(x11)) {}

    DisplaySourceSnapshot read() override
    {
        DisplaySourceSnapshot s;
        s.connectors = readDrmConnectors(m_sysRoot);
        if (!m_x11.isEmpty()) {
            // Opened on first use, so on the sampler thread that keeps using it.
            if (!m_xrandr)
                m_xrandr = makeXRandrReader(m_x11);
            if (m_xrandr)
                s.xOutputs = m_xrandr->read();
        }
        return s;
    }

private:
    QString m_sysRoot;
    QString m_x11;
    std::unique_ptr<XRandrReader> m_xrandr;
};

} // namespace

std::unique_ptr<DisplaySource> makeLinuxDisplaySource(const QString &sysRoot, const QString &x11DisplayName)
{
    return std::make_unique<LinuxDisplaySource>(sysRoot, x11DisplayName);
}

} // namespace corvane
