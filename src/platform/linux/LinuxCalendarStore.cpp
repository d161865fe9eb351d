#include "platform/CalendarStore.h"
#include "platform/linux/ICalParser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <set>
#include <utility>

#include <sys/stat.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace corvane {
namespace {

// Larger files are not calendars we can sensibly parse every minute.
constexpr qint64 kMaxFileBytes = 32 * 1024 * 1024;
// Folders of one file per event (vdir) can be large; stop listing somewhere sane.
constexpr int kMaxFiles = 20000;
constexpr int kMaxFolders = 20000;
constexpr qint64 kTrimAfterBytes = 1024 * 1024;

// A folder's identity whatever path leads to it (bind mounts included).
using FolderId = std::pair<dev_t, ino_t>;

// The .ics files in `folder` and its real sub-folders, sorted (directory order is arbitrary;
// "first listed" stays stable). A link to a file is read; a link to a folder is not: out of
// the tree it may lead anywhere (Wine's `dosdevices/z:` is `/`, /proc included), and a folder
// within the tree is reached by its own path. Each folder is read once.
QStringList icsFilesUnder(const QString &folder, std::set<FolderId> &seen, int &folders, std::stop_token stop)
{
    QStringList files;
    QStringList pending{folder};
    while (!pending.isEmpty() && files.size() < kMaxFiles && folders < kMaxFolders && !stop.stop_requested()) {
        const QString dir = pending.takeLast();
        struct stat st;
        if (::stat(QFile::encodeName(dir).constData(), &st) != 0 || !S_ISDIR(st.st_mode)
            || !seen.insert({st.st_dev, st.st_ino}).second)
            continue;
        ++folders;
        const QFileInfoList entries = QDir(dir).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
        for (auto it = entries.crbegin(); it != entries.crend(); ++it) { // depth first, in name order
            if (it->isDir()) {
                if (!it->isSymLink())
                    pending.append(it->filePath());
            } else if (it->isFile() && it->fileName().endsWith(QLatin1String(".ics"), Qt::CaseInsensitive)) {
                files.append(it->filePath());
            }
        }
    }
    files.sort();
    return files.mid(0, kMaxFiles);
}

class LinuxCalendarStore final : public CalendarStore {
public:
    LinuxCalendarStore(QString dataHome, QStringList folders)
        : m_dataHome(std::move(dataHome)), m_folders(std::move(folders))
    {
    }

    bool isAuthorized() override { return !calendars().isEmpty(); }

    CalendarAccess requestAccess() override
    {
        // Nothing to ask on Linux: access is there when a calendar can be read.
        return {isAuthorized(), std::nullopt};
    }

    QStringList calendars(std::stop_token stop = {}) override
    {
        QStringList out;
        QSet<QString> seen;
        auto take = [&](const QFileInfo &fi) {
            if (!fi.isFile() || !fi.isReadable() || fi.size() > kMaxFileBytes)
                return;
            const QString canon = fi.canonicalFilePath();
            if (canon.isEmpty() || seen.contains(canon))
                return;
            seen.insert(canon);
            out.append(canon);
        };
        if (!m_dataHome.isEmpty()) {
            QDir evo(m_dataHome + QStringLiteral("/evolution/calendar"));
            const QStringList sources = evo.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
            for (const QString &s : sources)
                take(QFileInfo(evo.filePath(s) + QStringLiteral("/calendar.ics")));
        }
        std::set<FolderId> folderIds;
        int folders = 0;
        for (const QString &folder : m_folders) {
            for (const QString &f : icsFilesUnder(folder, folderIds, folders, stop))
                take(QFileInfo(f));
        }
        return out;
    }

    QList<CalendarEvent> events(const QDateTime &start, const QDateTime &end, const QStringList &calendars,
                                std::stop_token stop) override
    {
        QList<CalendarEvent> out;
        ical::Budget budget; // shared by all files: one refresh does bounded work
        budget.stop = stop;
        qint64 largest = 0;
        for (const QString &path : calendars) {
            if (budget.spent())
                break;
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly))
                continue; // a calendar removed since it was listed
            const QByteArray text = f.read(kMaxFileBytes);
            largest = std::max<qint64>(largest, text.size());
            out += ical::occurrences(text, start, end, budget);
        }
#ifdef __GLIBC__
        // A large file's parse leaves its pages with this thread's heap, which would hold them
        // until the next read: hand them back to the system.
        if (largest >= kTrimAfterBytes)
            malloc_trim(0);
#endif
        return out;
    }

private:
    QString m_dataHome;
    QStringList m_folders;
};

// The desktop's store plus the folders the user listed. Its source is chosen on first use, on
// the calendar thread: the registry's D-Bus round trips must not run on the GUI thread, and
// its signals arrive on the thread that made it. Where the store runs it holds Evolution's
// own calendars; elsewhere they are read from their files.
class DesktopCalendarStore final : public CalendarStore {
public:
    DesktopCalendarStore(QString dataHome, QStringList folders)
        : m_dataHome(std::move(dataHome)), m_folders(std::move(folders))
    {
    }

    bool isAuthorized() override { return !calendars().isEmpty(); }

    CalendarAccess requestAccess() override
    {
        const bool any = isAuthorized();
        if (!any)
            openCalendarSettings(); // nothing configured: take the user to where calendars are added
        return {any, std::nullopt};
    }

    QStringList calendars(std::stop_token stop = {}) override
    {
        start();
        QStringList out = m_eds ? m_eds->calendars(stop) : QStringList();
        out += m_files->calendars(stop);
        return out;
    }

    QList<CalendarEvent> events(const QDateTime &start, const QDateTime &end, const QStringList &calendars,
                                std::stop_token stop) override
    {
        this->start();
        // Files are named by absolute paths, the store's calendars by their source ids.
        QStringList files, sources;
        for (const QString &c : calendars)
            (c.startsWith(QLatin1Char('/')) ? files : sources).append(c);
        QList<CalendarEvent> out;
        if (m_eds && !sources.isEmpty())
            out = m_eds->events(start, end, sources, stop);
        if (!files.isEmpty())
            out += m_files->events(start, end, files, stop);
        return out;
    }

private:
    void start()
    {
        if (m_files)
            return;
        m_eds = makeEdsCalendarStore();
        m_files = makeIcsFileCalendarStore(m_eds ? QString() : m_dataHome, m_folders);
    }

    QString m_dataHome;
    QStringList m_folders;
    std::unique_ptr<CalendarStore> m_eds;
    std::unique_ptr<CalendarStore> m_files;
};

} // namespace

std::unique_ptr<CalendarStore> makeIcsFileCalendarStore(const QString &dataHome, const QStringList &folders)
{
    return std::make_unique<LinuxCalendarStore>(dataHome, folders);
}

bool openCalendarSettings()
{
    // The applications that add and switch on calendars, most common desktops first.
    const struct {
        const char *program;
        QStringList args;
    } candidates[] = {
        {"gnome-calendar", {}},
        {"evolution", {QStringLiteral("--component=calendar")}},
        {"korganizer", {}},
        {"gnome-control-center", {QStringLiteral("online-accounts")}},
    };
    for (const auto &c : candidates) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(c.program));
        if (!path.isEmpty() && QProcess::startDetached(path, c.args))
            return true;
    }
    return false;
}

std::unique_ptr<CalendarStore> makeLinuxCalendarStore()
{
    QSettings settings;
    return std::make_unique<DesktopCalendarStore>(
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
        settings.value(QStringLiteral("calendar.icsFolders")).toStringList());
}

} // namespace corvane
