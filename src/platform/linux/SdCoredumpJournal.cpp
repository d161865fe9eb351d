#include "platform/CoredumpJournal.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <systemd/sd-journal.h>
#include <systemd/sd-messages.h>

namespace corvane {
namespace {

// What systemd-coredump logs each dump under.
constexpr char kCoredumpMatch[] = "MESSAGE_ID=" SD_MESSAGE_COREDUMP_STR;

struct JournalHandle {
    sd_journal *j = nullptr;
    ~JournalHandle()
    {
        if (j)
            sd_journal_close(j);
    }
};

std::optional<QByteArray> field(sd_journal *j, const char *name)
{
    const void *data = nullptr;
    size_t len = 0;
    if (sd_journal_get_data(j, name, &data, &len) < 0)
        return std::nullopt;
    const size_t prefix = std::strlen(name) + 1; // "NAME="
    if (len < prefix)
        return std::nullopt;
    return QByteArray(static_cast<const char *>(data) + prefix, qsizetype(len - prefix));
}

template <typename T>
std::optional<T> number(const std::optional<QByteArray> &text)
{
    if (!text)
        return std::nullopt;
    T v{};
    const char *end = text->constData() + text->size();
    const auto r = std::from_chars(text->constData(), end, v);
    if (r.ec != std::errc() || r.ptr != end)
        return std::nullopt;
    return v;
}

// Why journal files that are there could not be read: libsystemd skips a file it can't open
// and says nothing. The errno of the first file or folder that refused, or 0 when there are
// no journal files at all or one of them opens. Machine folders are looked into, one deep.
int unreadableJournal(const QByteArray &folder, int depth = 0)
{
    const int dfd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0)
        return errno == ENOENT ? 0 : errno;
    DIR *dir = ::fdopendir(dfd);
    if (!dir) {
        ::close(dfd);
        return errno;
    }
    int refused = 0;
    bool opened = false;
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name.startsWith('.'))
            continue;
        if (name.endsWith(".journal") || name.endsWith(".journal~")) {
            const int fd = ::openat(dfd, e->d_name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
            if (fd >= 0) {
                ::close(fd);
                opened = true;
                break;
            }
            if (!refused)
                refused = errno;
        } else if (depth == 0 && e->d_type == DT_DIR) {
            if (const int inner = unreadableJournal(folder + '/' + name, 1); inner && !refused)
                refused = inner;
        }
    }
    ::closedir(dir);
    return opened ? 0 : refused;
}

class SdCoredumpJournal final : public CoredumpJournal {
public:
    explicit SdCoredumpJournal(QString directory) : m_directory(std::move(directory)) {}

    CoredumpListing list(int limit, const std::function<bool(const QByteArray &)> &known) override
    {
        CoredumpListing listing;
        std::vector<CoredumpRecord> &out = listing.records;
        JournalHandle h;
        if (const int r = open(h); r < 0) {
            listing.error = r == -ENOENT ? 0 : -r; // no journal folder: no journal
            return listing;
        }
        if (sd_journal_has_runtime_files(h.j) <= 0 && sd_journal_has_persistent_files(h.j) <= 0) {
            // Nothing opened: no journal, or one that refuses to be read.
            for (const QByteArray &folder : folders())
                if ((listing.error = unreadableJournal(folder)))
                    break;
            return listing;
        }
        if (const int r = sd_journal_add_match(h.j, kCoredumpMatch, 0); r < 0) {
            listing.error = -r;
            return listing;
        }
        // Only short fields are read here; the stack trace in MESSAGE can be long.
        sd_journal_set_data_threshold(h.j, 4096);
        if (const int r = sd_journal_seek_tail(h.j); r < 0) {
            listing.error = -r;
            return listing;
        }
        while (int(out.size()) < limit) {
            if (const int r = sd_journal_previous(h.j); r <= 0) {
                listing.error = -r;
                break;
            }
            char *cursor = nullptr;
            if (sd_journal_get_cursor(h.j, &cursor) < 0 || !cursor)
                continue;
            CoredumpRecord r;
            r.cursor = QByteArray(cursor);
            std::free(cursor);
            if (known && known(r.cursor)) {
                out.push_back(std::move(r));
                continue;
            }
            r.executable = QString::fromUtf8(field(h.j, "COREDUMP_EXE").value_or(QByteArray()));
            r.command = QString::fromUtf8(field(h.j, "COREDUMP_COMM").value_or(QByteArray()));
            r.coreFile = QString::fromUtf8(field(h.j, "COREDUMP_FILENAME").value_or(QByteArray()));
            r.pid = number<qint64>(field(h.j, "COREDUMP_PID"));
            r.signal = number<int>(field(h.j, "COREDUMP_SIGNAL"));
            std::optional<quint64> usec = number<quint64>(field(h.j, "COREDUMP_TIMESTAMP"));
            if (!usec) {
                uint64_t entryUsec = 0;
                if (sd_journal_get_realtime_usec(h.j, &entryUsec) >= 0)
                    usec = entryUsec;
            }
            if (usec)
                r.time = QDateTime::fromMSecsSinceEpoch(qint64(*usec / 1000));
            out.push_back(std::move(r));
        }
        return listing;
    }

    std::optional<QByteArray> entryText(const QByteArray &cursor, qint64 maxBytes) override
    {
        JournalHandle h;
        if (open(h) < 0 || sd_journal_seek_cursor(h.j, cursor.constData()) < 0 || sd_journal_next(h.j) <= 0
            || sd_journal_test_cursor(h.j, cursor.constData()) <= 0)
            return std::nullopt;
        sd_journal_set_data_threshold(h.j, size_t(std::max<qint64>(maxBytes, 1)));
        // Shown as text: bytes that aren't UTF-8 become U+FFFD rather than hiding the entry.
        QString text = QString::fromUtf8(field(h.j, "MESSAGE").value_or(QByteArray()));
        text += QLatin1String("\n\n");
        const void *data = nullptr;
        size_t len = 0;
        sd_journal_restart_data(h.j);
        while (text.size() < maxBytes && sd_journal_enumerate_data(h.j, &data, &len) > 0) {
            const QByteArray entry(static_cast<const char *>(data), qsizetype(len));
            if (entry.startsWith("MESSAGE=") || entry.startsWith("COREDUMP="))
                continue; // shown above; the core itself is binary
            text += QString::fromUtf8(entry);
            text += QLatin1Char('\n');
        }
        QByteArray out = text.toUtf8();
        if (out.size() > maxBytes) {
            // Cut on a character boundary.
            qsizetype n = maxBytes;
            while (n > 0 && (static_cast<unsigned char>(out[n]) & 0xC0) == 0x80)
                --n;
            out.truncate(n);
        }
        return out;
    }

private:
    int open(JournalHandle &h) const
    {
        const int r = m_directory.isEmpty()
            ? sd_journal_open(&h.j, SD_JOURNAL_LOCAL_ONLY)
            : sd_journal_open_directory(&h.j, QFile::encodeName(m_directory).constData(), 0);
        return r < 0 ? r : h.j ? 0 : -EINVAL;
    }
    // Where the journal's files are.
    std::vector<QByteArray> folders() const
    {
        if (!m_directory.isEmpty())
            return {QFile::encodeName(m_directory)};
        return {"/run/log/journal", "/var/log/journal"};
    }

    QString m_directory;
};

} // namespace

std::shared_ptr<CoredumpJournal> makeCoredumpJournal(const QString &directory)
{
    return std::make_shared<SdCoredumpJournal>(directory);
}

} // namespace corvane
