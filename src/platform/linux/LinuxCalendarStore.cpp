#include "platform/CalendarStore.h"
#include "platform/linux/ICalParser.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>

namespace corvane {
namespace {

// Larger files are not calendars we can sensibly parse every minute.
constexpr qint64 kMaxFileBytes = 32 * 1024 * 1024;
// Folders of one file per event (vdir) can be large; stop listing somewhere sane.
constexpr int kMaxFiles = 20000;

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

    QStringList calendars() override
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
        for (const QString &folder : m_folders) {
            QStringList files;
            QDirIterator it(folder, {QStringLiteral("*.ics")}, QDir::Files | QDir::Readable,
                            QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
            while (it.hasNext() && files.size() < kMaxFiles)
                files.append(it.next());
            files.sort(); // directory order is arbitrary; keep "first listed" stable
            for (const QString &f : files)
                take(QFileInfo(f));
        }
        return out;
    }

    QList<CalendarEvent> events(const QDateTime &start, const QDateTime &end, const QStringList &calendars) override
    {
        QList<CalendarEvent> out;
        for (const QString &path : calendars) {
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly))
                continue; // a calendar removed since it was listed
            const QByteArray text = f.read(kMaxFileBytes);
            out += ical::occurrences(text, start, end);
        }
        return out;
    }

private:
    QString m_dataHome;
    QStringList m_folders;
};

} // namespace

std::unique_ptr<CalendarStore> makeLinuxCalendarStore(const QString &dataHome, const QStringList &folders)
{
    return std::make_unique<LinuxCalendarStore>(dataHome, folders);
}

std::unique_ptr<CalendarStore> makeLinuxCalendarStore()
{
    QSettings settings;
    return makeLinuxCalendarStore(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                                  settings.value(QStringLiteral("calendar.icsFolders")).toStringList());
}

} // namespace corvane
