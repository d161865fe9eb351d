#include "monitors/CrashLogMonitor.h"

#include "common/DisplayText.h"
#include "common/Log.h"
#include "common/OwnedPool.h"
#include "platform/ReportFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QStringDecoder>
#include <QThreadPool>
#include <QUrl>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace corvane {

namespace {

const QStringList kExtensions = {QStringLiteral("crash"), QStringLiteral("ips"), QStringLiteral("diag"),
                                 QStringLiteral("spin"), QStringLiteral("hang"), QStringLiteral("panic")};

QString trimBlanks(QStringView s)
{
    qsizetype a = 0, b = s.size();
    while (a < b && (s[a] == u' ' || s[a] == u'\t'))
        ++a;
    while (b > a && (s[b - 1] == u' ' || s[b - 1] == u'\t'))
        --b;
    return s.mid(a, b - a).toString();
}

// Strict UTF-8: nullopt for bytes that are not.
std::optional<QString> decodeUtf8(const QByteArray &bytes)
{
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = dec.decode(bytes);
    if (dec.hasError())
        return std::nullopt;
    return text;
}

// Leaves out a multi-byte character that the cap cut in two.
qsizetype completeUtf8Length(const QByteArray &b)
{
    const qsizetype n = b.size();
    for (qsizetype back = 1; back <= 4 && back <= n; ++back) {
        const auto c = static_cast<unsigned char>(b[n - back]);
        if ((c & 0xC0) == 0x80)
            continue; // continuation byte: keep looking for its lead
        const int need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return need > back ? n - back : n;
    }
    return n;
}

// The previous scan's entries by key, to take unchanged reports from.
using Known = QHash<QString, const CrashLogEntry *>;

bool unchanged(const CrashLogEntry &e, const FolderItem &item)
{
    // A file whose size or time the scan couldn't see is read again.
    return item.size >= 0 && e.size == item.size && e.mtimeNs == item.mtimeNs && e.inode == item.inode
        && e.device == item.device;
}

CrashLogEntry makeEntry(const FolderItem &item, const QString &fileName, const QString &kind,
                        const QString &fallbackName, const QDateTime &now, const Known &known, int &reads)
{
    const QString key = CrashLogMonitor::fileKey(item.nativePath);
    if (const CrashLogEntry *before = known.value(key); before && unchanged(*before, item))
        return *before;
    ++reads;
    const auto head = readRegularFile(item.nativePath, CrashLogMonitor::kHeadBytes);
    const CrashHeader header = head ? CrashLogMonitor::parseHeader(head->bytes) : CrashHeader{};
    CrashLogEntry e;
    e.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    e.key = key;
    e.fileName = neutralisedName(fileName);
    e.processName = neutralisedName(header.process ? *header.process : fallbackName);
    e.date = item.modified.value_or(now);
    e.path = item.path;
    e.nativePath = item.nativePath;
    e.kind = kind;
    e.summary = neutralisedName(header.summary.value_or(QStringLiteral("—")));
    e.size = item.size;
    e.mtimeNs = item.mtimeNs;
    e.inode = item.inode;
    e.device = item.device;
    // The very file that was listed, opened as a regular file: not a link, a FIFO or a device.
    e.openable = head && head->inode == item.inode && head->device == item.device;
    return e;
}

// A listing that failed for another reason than there being no such folder.
void noteFailure(QList<CrashSourceFailure> &failures, const QString &folder, int error)
{
    if (error && error != ENOENT)
        failures.append({neutralisedName(folder), error});
}

// Report reads never wait behind, or hold up, other work.
QThreadPool *readPool()
{
    static QPointer<QThreadPool> pool;
    return ownedPool(pool, 2);
}

} // namespace

// A scan's result as the GUI thread applies it: everything built on the worker.
struct CrashLogMonitor::Published {
    QList<CrashLogEntry> entries;
    QHash<QString, qsizetype> index;
    QVariantList rows;
    int reads = 0;
    QList<CrashSourceFailure> failures;
};

CrashLogMonitor::CrashLogMonitor(QList<CrashSource> sources, QObject *parent)
    : QObject(parent), m_sources(std::move(sources))
{
    refresh();
    m_timer.setInterval(kRescanMs);
    connect(&m_timer, &QTimer::timeout, this, &CrashLogMonitor::refresh);
    m_timer.start();
}

CrashLogMonitor::~CrashLogMonitor() = default;

QList<CrashSource> CrashLogMonitor::systemSources()
{
    // apport's reports, the kernel's dumps that systemd-pstore keeps, and systemd-coredump's
    // records in the journal.
    return {{QStringLiteral("/var/crash"), false, {}},
            {QStringLiteral("/var/lib/systemd/pstore"), true, {}},
            {QString(), false, makeCoredumpJournal()}};
}

QString CrashLogMonitor::reportFolder() const
{
    return m_sources.isEmpty() ? QString() : m_sources.first().folder;
}

const CrashLogEntry *CrashLogMonitor::entry(const QString &key) const
{
    const auto it = m_index.constFind(key);
    return it == m_index.constEnd() ? nullptr : &m_entries.at(*it);
}

QUrl CrashLogMonitor::openableUrl(const QString &key) const
{
    const CrashLogEntry *e = entry(key);
    // The viewer opens the path: it must still be the regular file the scan read, not a link
    // planted in its place since (the report folder is writable by every user).
    if (!e || !e->canOpen() || !isSameRegularFile(e->nativePath, e->device, e->inode))
        return {};
    // Built from the exact bytes: a name that isn't UTF-8 still names this file.
    return QUrl::fromEncoded("file://" + e->nativePath.toPercentEncoding("/"));
}

void CrashLogMonitor::refresh()
{
    const quint64 token = ++m_token;
    if (m_pending++ == 0)
        emit scanningChanged();
    QPointer<CrashLogMonitor> self(this);
    readPool()->start([self, token, sources = m_sources, previous = m_entries] {
        auto out = std::make_shared<Published>();
        Scan found = scan(sources, QDateTime::currentDateTime(), previous);
        out->reads = found.reads;
        out->failures = std::move(found.failures);
        out->entries = std::move(found.entries);
        out->index.reserve(out->entries.size());
        out->rows.reserve(out->entries.size());
        for (qsizetype i = 0; i < out->entries.size(); ++i) {
            out->index.insert(out->entries[i].key, i);
            out->rows.append(QVariant::fromValue(out->entries[i]));
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, token, out = std::move(out)]() mutable {
                if (self)
                    self->apply(token, std::move(out));
            },
            Qt::QueuedConnection);
    });
}

void CrashLogMonitor::apply(quint64 token, std::shared_ptr<Published> result)
{
    if (--m_pending == 0)
        emit scanningChanged();
    if (token != m_token)
        return; // a newer scan is on its way
    // Said once, when a source stops reading; the tab shows it for as long as it lasts.
    for (const CrashSourceFailure &f : result->failures)
        if (!m_failures.contains(f))
            qCWarning(lcMonitors).noquote() << "crash reports:" << (f.folder.isEmpty() ? QStringLiteral("journal") : f.folder)
                                            << "unreadable:" << ::strerror(f.error);
    for (const CrashSourceFailure &f : std::as_const(m_failures))
        if (std::none_of(result->failures.begin(), result->failures.end(),
                         [&](const CrashSourceFailure &now) { return now.folder == f.folder; }))
            qCWarning(lcMonitors).noquote() << "crash reports:" << (f.folder.isEmpty() ? QStringLiteral("journal") : f.folder)
                                            << "readable again";
    m_entries = std::move(result->entries);
    m_index = std::move(result->index);
    m_rows = std::move(result->rows);
    m_failures = std::move(result->failures);
    m_lastScanReads = result->reads;
    emit published();
}

QString CrashLogMonitor::fileKey(const QByteArray &nativePath)
{
    return QString::fromLatin1(nativePath.toPercentEncoding("/"));
}

CrashLogEntry CrashLogMonitor::journalEntry(const CoredumpRecord &r, const QDateTime &now)
{
    CrashLogEntry e;
    e.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    e.key = QStringLiteral("journal:") + QString::fromLatin1(r.cursor);
    e.cursor = r.cursor;
    const QString exeName = r.executable.mid(r.executable.lastIndexOf(QLatin1Char('/')) + 1);
    e.processName = neutralisedName(!exeName.isEmpty() ? exeName : !r.command.isEmpty() ? r.command : QStringLiteral("—"));
    QString file = r.coreFile.mid(r.coreFile.lastIndexOf(QLatin1Char('/')) + 1);
    if (file.isEmpty()) {
        // Not stored as a file: named the way systemd-coredump names the files it stores.
        file = QStringLiteral("core.") + (!r.command.isEmpty() ? r.command : e.processName);
        if (r.pid)
            file += QLatin1Char('.') + QString::number(*r.pid);
    }
    e.fileName = neutralisedName(file);
    e.date = r.time.value_or(now);
    e.kind = kind(QStringLiteral("crash"));
    if (r.signal) {
        e.summary = QStringLiteral("Signal: ") + QString::number(*r.signal);
        if (const char *abbrev = ::sigabbrev_np(*r.signal))
            e.summary += QStringLiteral(" (SIG") + QLatin1String(abbrev) + QLatin1Char(')');
    } else {
        e.summary = QStringLiteral("—");
    }
    return e;
}

CrashLogMonitor::Scan CrashLogMonitor::scan(const QList<CrashSource> &sources, const QDateTime &now,
                                          const QList<CrashLogEntry> &previous)
{
    Known known;
    known.reserve(previous.size());
    for (const CrashLogEntry &e : previous)
        known.insert(e.key, &e);
    Scan out;
    for (const CrashSource &source : sources) {
        if (source.journal) {
            const auto seen = [&known](const QByteArray &cursor) {
                return known.contains(QStringLiteral("journal:") + QString::fromLatin1(cursor));
            };
            const CoredumpListing listing = source.journal->list(kJournalLimit, seen);
            if (listing.error)
                out.failures.append({QString(), listing.error});
            for (const CoredumpRecord &r : listing.records) {
                // A journal entry never changes: the one listed before is kept as it was.
                const QString key = QStringLiteral("journal:") + QString::fromLatin1(r.cursor);
                if (const CrashLogEntry *before = known.value(key)) {
                    out.entries.append(*before);
                    continue;
                }
                ++out.reads;
                CrashLogEntry e = journalEntry(r, now);
                e.journal = source.journal;
                out.entries.append(std::move(e));
            }
            continue;
        }
        const FolderListing listing = listFolder(source.folder);
        noteFailure(out.failures, source.folder, listing.error);
        for (const FolderItem &item : listing.items) {
            if (source.kernelDumps) {
                if (!item.isFolder) {
                    out.entries.append(makeEntry(item, item.name, kind(QStringLiteral("panic")),
                                                 QStringLiteral("kernel"), now, known, out.reads));
                    continue;
                }
                // systemd-pstore keeps each dump in a folder named after its record.
                const FolderListing inner = listFolder(item.nativePath);
                noteFailure(out.failures, item.path, inner.error);
                for (const FolderItem &dump : inner.items)
                    if (!dump.isFolder)
                        out.entries.append(makeEntry(dump, item.name + QLatin1Char('/') + dump.name,
                                                     kind(QStringLiteral("panic")), QStringLiteral("kernel"), now,
                                                     known, out.reads));
                continue;
            }
            if (item.isFolder)
                continue; // a folder named like a report is none
            const qsizetype dot = item.name.lastIndexOf(QLatin1Char('.'));
            const QString ext = dot < 0 ? QString() : item.name.mid(dot + 1).toLower();
            if (!isReportExtension(ext))
                continue;
            out.entries.append(makeEntry(item, item.name, kind(ext), processName(item.name), now, known, out.reads));
        }
    }
    std::stable_sort(out.entries.begin(), out.entries.end(),
                     [](const CrashLogEntry &a, const CrashLogEntry &b) { return a.date > b.date; });
    return out;
}

CrashHeader CrashLogMonitor::parseHeader(const QByteArray &head)
{
    const QString text = decodeUtf8(head).value_or(QString());
    CrashHeader h;
    int kept = 0;
    for (QStringView line : QStringView(text).split(u'\n', Qt::SkipEmptyParts)) {
        if (kept++ == kHeadLines)
            break;
        if (line.contains(u"\"process\"") || line.startsWith(u"Process:")) {
            QString p = line.toString();
            p.remove(QStringLiteral("Process:"));
            p.remove(QStringLiteral("\"process\":"));
            p.remove(QLatin1Char('"'));
            p.remove(QLatin1Char(','));
            h.process = trimBlanks(p);
        } else if (line.startsWith(u"ExecutablePath:")) {
            // apport names the program by its path.
            const QString path = trimBlanks(line.mid(15));
            h.process = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        }
        if (line.contains(u"\"exception\"") || line.startsWith(u"Exception Type:")
            || line.startsWith(u"Termination Reason:"))
            h.summary = trimBlanks(line);
    }
    return h;
}

QString CrashLogMonitor::processName(const QString &fileName)
{
    const QStringList parts = fileName.split(QLatin1Char('-'), Qt::SkipEmptyParts);
    return parts.isEmpty() ? fileName : parts.first();
}

QString CrashLogMonitor::kind(const QString &ext)
{
    if (ext == u"panic")
        return QStringLiteral("Kernel Panic");
    if (ext == u"hang" || ext == u"spin")
        return QStringLiteral("Hang / Freeze");
    if (ext == u"diag")
        return QStringLiteral("Diagnostic");
    return QStringLiteral("Crash");
}

bool CrashLogMonitor::isReportExtension(const QString &ext) { return kExtensions.contains(ext); }


// ---- Report text ------------------------------------------------------------------------

QStringList CrashLogMonitor::pieces(const QString &text, qsizetype pieceChars)
{
    QStringList out;
    for (QStringView line : QStringView(text).split(u'\n')) {
        while (line.size() > pieceChars) {
            qsizetype cut = pieceChars;
            if (line[cut - 1].isHighSurrogate())
                --cut; // never split a character in two
            out.append(line.left(cut).toString());
            line = line.mid(cut);
        }
        out.append(line.toString());
    }
    return out;
}

namespace {
CrashReportBody bodyOf(QString text, bool truncated = false, qint64 size = 0)
{
    CrashReportBody out;
    out.lines = CrashLogMonitor::pieces(text);
    out.text = std::move(text);
    out.truncated = truncated;
    out.size = size;
    return out;
}

CrashReportBody readFile(const QByteArray &nativePath, qint64 maxBytes)
{
    auto file = readRegularFile(nativePath, maxBytes);
    if (!file)
        return {};
    if (file->truncated)
        file->bytes.truncate(completeUtf8Length(file->bytes));
    auto text = decodeUtf8(file->bytes);
    if (!text)
        return {};
    file->bytes = QByteArray();
    return bodyOf(std::move(*text), file->truncated, file->size);
}
} // namespace

CrashReportBody CrashLogMonitor::readReport(const QString &path, qint64 maxBytes)
{
    return readFile(QFile::encodeName(path), maxBytes);
}

CrashReportBody CrashLogMonitor::readReport(const CrashLogEntry &entry, qint64 maxBytes)
{
    if (entry.journal) {
        const auto text = entry.journal->entryText(entry.cursor, maxBytes);
        if (!text)
            return {};
        return bodyOf(QString::fromUtf8(*text));
    }
    return readFile(entry.nativePath, maxBytes);
}

void CrashLogMonitor::readReportLater(const CrashLogEntry &entry, qint64 maxBytes, QObject *context,
                                      std::function<void(CrashReportBody)> done)
{
    QPointer<QObject> guard(context);
    readPool()->start([guard, entry, maxBytes, done = std::move(done)]() mutable {
        CrashReportBody body = readReport(entry, maxBytes);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, body = std::move(body), done = std::move(done)]() mutable {
                if (guard)
                    done(std::move(body));
            },
            Qt::QueuedConnection);
    });
}

} // namespace corvane
