#include "platform/MachineInfo.h"

#include "platform/linux/SysFile.h"

#include <QStringList>

namespace corvane {

namespace {

// Text up to the first NUL (device-tree strings end in one), invalid UTF-8 replaced,
// first line only, trimmed; absent when nothing is left.
std::optional<QString> firstLine(const std::string &path)
{
    const auto raw = sysfile::read(path, 4096);
    if (!raw)
        return std::nullopt;
    std::string_view s(*raw);
    s = s.substr(0, s.find('\0'));
    s = s.substr(0, s.find('\n'));
    const QString text = QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

// One os-release value: shell-style quoting, with \ escaping $ " \ ` inside double quotes.
QString unquote(QStringView v)
{
    if (v.size() >= 2 && v.front() == u'\'' && v.back() == u'\'')
        return v.mid(1, v.size() - 2).toString();
    if (v.size() >= 2 && v.front() == u'"' && v.back() == u'"') {
        v = v.mid(1, v.size() - 2);
        QString out;
        for (qsizetype i = 0; i < v.size(); ++i) {
            if (v[i] == u'\\' && i + 1 < v.size() && QStringView(u"$\"\\`").contains(v[i + 1]))
                ++i;
            out += v[i];
        }
        return out;
    }
    return v.toString();
}

std::optional<QString> osReleaseName(const std::string &root)
{
    for (const char *rel : {"etc/os-release", "usr/lib/os-release"}) {
        const auto raw = sysfile::read(root + rel, 64 * 1024);
        if (!raw)
            continue;
        QString pretty, name, version;
        const QString text = QString::fromUtf8(raw->data(), static_cast<qsizetype>(raw->size()));
        for (QStringView line : QStringView(text).split(u'\n')) {
            line = line.trimmed();
            const qsizetype eq = line.indexOf(u'=');
            if (line.startsWith(u'#') || eq <= 0)
                continue;
            const QStringView key = line.left(eq);
            const QString value = unquote(line.mid(eq + 1)).trimmed();
            if (key == u"PRETTY_NAME")
                pretty = value;
            else if (key == u"NAME")
                name = value;
            else if (key == u"VERSION")
                version = value;
        }
        if (!pretty.isEmpty())
            return pretty;
        const QString joined = (name + QLatin1Char(' ') + version).trimmed();
        if (!joined.isEmpty())
            return joined;
        return std::nullopt; // the first file found is the one that counts
    }
    return std::nullopt;
}

std::optional<QString> processorName(const std::string &root)
{
    const auto raw = sysfile::read(root + "proc/cpuinfo", 1024 * 1024);
    if (!raw)
        return std::nullopt;
    // x86 names the processor in "model name"; some ARM and MIPS kernels use these.
    const QString text = QString::fromUtf8(raw->data(), static_cast<qsizetype>(raw->size()));
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const char *wanted : {"model name", "Hardware", "cpu model"}) {
        for (const QString &line : lines) {
            const qsizetype colon = line.indexOf(QLatin1Char(':'));
            if (colon < 0 || line.left(colon).trimmed() != QLatin1String(wanted))
                continue;
            const QString value = line.mid(colon + 1).simplified();
            if (!value.isEmpty())
                return value;
        }
    }
    return std::nullopt;
}

// A CPU list such as "0-3,6,8-11".
std::optional<int> countCpuList(const std::optional<QString> &list)
{
    if (!list)
        return std::nullopt;
    int count = 0;
    for (const QString &range : list->split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList ends = range.split(QLatin1Char('-'));
        bool okLo = false, okHi = false;
        const int lo = ends.first().trimmed().toInt(&okLo);
        const int hi = ends.size() == 2 ? ends.last().trimmed().toInt(&okHi) : lo;
        if (!okLo || (ends.size() == 2 && !okHi) || ends.size() > 2 || hi < lo)
            return std::nullopt;
        count += hi - lo + 1;
    }
    if (count == 0)
        return std::nullopt;
    return count;
}

std::optional<QString> modelUnder(const std::string &root)
{
    for (const char *rel : {"sys/class/dmi/id/product_name", "proc/device-tree/model", "sys/firmware/devicetree/base/model"})
        if (auto model = firstLine(root + rel))
            return model;
    return std::nullopt;
}

std::string withSlash(const QString &root)
{
    return root.endsWith(QLatin1Char('/')) ? root.toStdString() : root.toStdString() + "/";
}

class LinuxMachineInfo final : public MachineInfo {
public:
    explicit LinuxMachineInfo(const QString &root) : m_root(withSlash(root)) {}

    MachineFacts read() const override
    {
        MachineFacts f;
        f.model = modelUnder(m_root);
        f.processor = processorName(m_root);
        f.osName = osReleaseName(m_root);
        f.kernelRelease = firstLine(m_root + "proc/sys/kernel/osrelease");
        f.hostName = firstLine(m_root + "proc/sys/kernel/hostname");
        f.onlineProcessors = countCpuList(firstLine(m_root + "sys/devices/system/cpu/online"));
        return f;
    }

private:
    std::string m_root;
};

} // namespace

std::optional<QString> readMachineModel(const QString &root) { return modelUnder(withSlash(root)); }

std::unique_ptr<MachineInfo> makeLinuxMachineInfo(const QString &root)
{
    return std::make_unique<LinuxMachineInfo>(root);
}

} // namespace corvane
