#include "platform/CameraDevices.h"
#include "platform/linux/InotifyWatcher.h"
#include "platform/linux/SysFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <dirent.h>
#include <mutex>
#include <sys/inotify.h>
#include <unistd.h>

namespace corvane {
namespace {

bool isVideoNodeName(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^video\\d+$"));
    return re.match(name).hasMatch();
}

// True when a process other than ours has `target` open. Our own reads never count: we
// neither open the nodes nor count our own descriptors.
bool heldByAnotherProcess(const std::string &procRoot, const std::string &target)
{
    DIR *proc = ::opendir(procRoot.c_str());
    if (!proc)
        return false;
    const std::string self = std::to_string(::getpid());
    std::string fdDir;
    std::string link;
    char buf[4096];
    bool found = false;
    while (!found) {
        const dirent *p = ::readdir(proc);
        if (!p)
            break;
        const char *n = p->d_name;
        if (*n < '0' || *n > '9' || self == n)
            continue;
        fdDir = procRoot + '/' + n + "/fd";
        DIR *fds = ::opendir(fdDir.c_str()); // other users' processes are not readable: skipped
        if (!fds)
            continue;
        while (const dirent *f = ::readdir(fds)) {
            if (f->d_name[0] == '.')
                continue;
            link = fdDir + '/' + f->d_name;
            const ssize_t len = ::readlink(link.c_str(), buf, sizeof buf);
            if (len == static_cast<ssize_t>(target.size()) && target.compare(0, target.size(), buf, static_cast<size_t>(len)) == 0) {
                found = true;
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return found;
}

class LinuxCameraDevices final : public CameraDevices {
public:
    LinuxCameraDevices(const QString &devRoot, const QString &sysRoot, const QString &procRoot)
        : m_devRoot(devRoot), m_sysRoot(sysRoot), m_procRoot(procRoot.toStdString()),
          m_watcher(QStringLiteral("corvane.camera-listener"))
    {
        // The links in /proc name the node by its real path.
        const QString canon = QFileInfo(devRoot).canonicalFilePath();
        m_devCanonical = canon.isEmpty() ? devRoot : canon;
    }

    ~LinuxCameraDevices() override
    {
        // Watches go with the watcher; no listener runs after this.
    }

    void setDeviceListListener(Listener listener) override
    {
        m_watcher.add(m_devRoot, IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO,
                      [listener](uint32_t, const QString &name) {
                          if (isVideoNodeName(name))
                              listener();
                      });
    }

    std::optional<QStringList> deviceList() override
    {
        QDir dev(m_devRoot);
        if (!dev.exists())
            return std::nullopt;
        QStringList names;
        for (const QString &n : dev.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
            if (isVideoNodeName(n))
                names.append(n);
        // video2 before video10
        std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
            return a.mid(5).toLongLong() < b.mid(5).toLongLong();
        });
        return names;
    }

    int addRunningListener(const QString &device, Listener listener) override
    {
        return m_watcher.add(m_devRoot + u'/' + device, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE,
                             [listener](uint32_t, const QString &) { listener(); });
    }

    void removeRunningListener(const QString &, int token) override
    {
        if (token >= 0)
            m_watcher.remove(token);
    }

    std::optional<bool> isRunningSomewhere(const QString &device) override
    {
        if (!QFileInfo::exists(m_devRoot + u'/' + device))
            return std::nullopt;
        return heldByAnotherProcess(m_procRoot, (m_devCanonical + u'/' + device).toStdString());
    }

    std::optional<QString> name(const QString &device) override
    {
        auto n = sysfile::readTrimmed((m_sysRoot + QStringLiteral("/class/video4linux/") + device + QStringLiteral("/name")).toStdString());
        if (!n || n->empty())
            return std::nullopt;
        return QString::fromStdString(*n);
    }

private:
    QString m_devRoot;
    QString m_devCanonical;
    QString m_sysRoot;
    std::string m_procRoot;
    InotifyWatcher m_watcher;
};

} // namespace

std::unique_ptr<CameraDevices> makeLinuxCameraDevices(const QString &devRoot, const QString &sysRoot,
                                                      const QString &procRoot)
{
    return std::make_unique<LinuxCameraDevices>(devRoot, sysRoot, procRoot);
}

} // namespace corvane
