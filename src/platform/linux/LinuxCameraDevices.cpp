#include "platform/CameraDevices.h"
#include "platform/linux/InotifyWatcher.h"
#include "platform/linux/SysFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <dirent.h>
#include <mutex>
#include <string_view>
#include <vector>
#include <sys/inotify.h>
#include <unistd.h>

namespace corvane {
namespace {

bool isVideoNodeName(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^video\\d+$"));
    return re.match(name).hasMatch();
}

// For each of `targets`, whether a process other than ours has it open, in one pass over
// every process's descriptors. Our own reads never count: we neither open the nodes nor
// count our own descriptors.
std::vector<bool> heldByOtherProcesses(const std::string &procRoot, const std::vector<std::string> &targets)
{
    std::vector<bool> held(targets.size(), false);
    size_t left = targets.size();
    DIR *proc = left ? ::opendir(procRoot.c_str()) : nullptr;
    if (!proc)
        return held;
    const std::string self = std::to_string(::getpid());
    std::string fdDir;
    std::string link;
    char buf[4096];
    while (left > 0) {
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
        while (left > 0) {
            const dirent *f = ::readdir(fds);
            if (!f)
                break;
            if (f->d_name[0] == '.')
                continue;
            link = fdDir + '/' + f->d_name;
            const ssize_t len = ::readlink(link.c_str(), buf, sizeof buf);
            if (len <= 0)
                continue;
            const std::string_view opened(buf, static_cast<size_t>(len));
            for (size_t i = 0; i < targets.size(); ++i) {
                if (!held[i] && opened == targets[i]) {
                    held[i] = true;
                    --left;
                }
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return held;
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
        const QString cause = m_devRoot + QStringLiteral("/video*");
        if (names.isEmpty())
            sysfile::failures().absent(cause, cause + QStringLiteral(": no camera device"));
        else
            sysfile::failures().cleared(cause);
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
        return runningStates({device}).value(0);
    }

    QList<std::optional<bool>> runningStates(const QStringList &devices) override
    {
        std::vector<std::string> targets;
        std::vector<qsizetype> at; // index into `devices` of each target
        for (qsizetype i = 0; i < devices.size(); ++i) {
            if (!QFileInfo::exists(m_devRoot + u'/' + devices[i]))
                continue;
            targets.push_back((m_devCanonical + u'/' + devices[i]).toStdString());
            at.push_back(i);
        }
        QList<std::optional<bool>> out(devices.size(), std::nullopt);
        const std::vector<bool> held = heldByOtherProcesses(m_procRoot, targets);
        for (size_t k = 0; k < held.size(); ++k)
            out[at[k]] = held[k];
        return out;
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
