#pragma once
// The system's crash reports: lists them with a process name and a one-line summary from
// each report's head, newest first; rescans every 30 s and on demand. Scans run on threads of
// their own and read only reports that are new or changed since the last one, so a report
// keeps its entry (and its id) for as long as it is unchanged. Reads files only: a report is
// never moved, deleted or written.
#include "platform/CoredumpJournal.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QVariantList>

#include <functional>
#include <memory>
#include <optional>

namespace corvane {

struct CrashLogEntry {
    Q_GADGET
    Q_PROPERTY(QString id MEMBER id)
    Q_PROPERTY(QString key MEMBER key)
    Q_PROPERTY(QString fileName MEMBER fileName)
    Q_PROPERTY(QString processName MEMBER processName)
    Q_PROPERTY(QDateTime date MEMBER date)
    Q_PROPERTY(QString path MEMBER path)
    Q_PROPERTY(QString kind MEMBER kind)
    Q_PROPERTY(QString summary MEMBER summary)
    Q_PROPERTY(bool canOpen READ canOpen)
public:
    QString id;  // kept while the report is unchanged
    // The report's identity across scans: its exact path (percent-encoded, so names that
    // aren't UTF-8 stay distinct) or its journal cursor.
    QString key;
    QString fileName;    // shown: controls and bidi overrides neutralised
    QString processName; // likewise
    QDateTime date;
    QString path;        // shown; nativePath opens the file
    QString kind;
    QString summary;

    QByteArray nativePath;                    // empty for a journal entry
    std::shared_ptr<CoredumpJournal> journal; // set for a journal entry
    QByteArray cursor;
    // What the scan saw of the file, to tell a changed report from the one read before.
    qint64 size = -1;
    qint64 mtimeNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    // A regular file the scan opened and read itself: only such a report is handed on.
    bool openable = false;

    bool canOpen() const { return openable; }
    bool operator==(const CrashLogEntry &) const = default;
};

// Where the monitor looks. Report folders hold report files by extension; a kernel-dump folder
// (systemd-pstore) holds dumps without one, directly or one folder deep; a journal source
// lists systemd-coredump's records.
struct CrashSource {
    CrashSource(QString folder_, bool kernelDumps_ = false, std::shared_ptr<CoredumpJournal> journal_ = {})
        : folder(std::move(folder_)), kernelDumps(kernelDumps_), journal(std::move(journal_))
    {
    }
    QString folder;
    bool kernelDumps = false;
    std::shared_ptr<CoredumpJournal> journal;
};

// A place the scan could not read, and why.
struct CrashSourceFailure {
    QString folder; // the folder as shown; empty for the journal
    int error = 0;  // errno
    bool operator==(const CrashSourceFailure &) const = default;
};

struct CrashHeader {
    std::optional<QString> process;
    std::optional<QString> summary;
};

// A report's text for the detail pane.
struct CrashReportBody {
    std::optional<QString> text; // none when gone, not a regular file, or not UTF-8
    QStringList lines;           // the text's lines, long ones cut into pieces
    bool truncated = false;      // cut at the cap (on a character boundary)
    qint64 size = 0;             // the size the file reports
};

class CrashLogMonitor : public QObject {
    Q_OBJECT
public:
    static constexpr int kHeadBytes = 4096;
    static constexpr int kHeadLines = 40;
    static constexpr int kRescanMs = 30'000;
    // The newest this many of systemd-coredump's records.
    static constexpr int kJournalLimit = 10'000;
    // Longer lines of a report's text come in pieces of this many characters.
    static constexpr qsizetype kPieceChars = 512;

    // Scans at once, then every 30 s.
    explicit CrashLogMonitor(QList<CrashSource> sources, QObject *parent = nullptr);
    ~CrashLogMonitor() override;

    // The places this system keeps crash reports.
    static QList<CrashSource> systemSources();

    const QList<CrashLogEntry> &entries() const { return m_entries; }
    // The entries as QVariants, in the same order, for a list model.
    const QVariantList &rows() const { return m_rows; }
    // The entry with this key, or null.
    const CrashLogEntry *entry(const QString &key) const;
    // The sources the last published scan could not read.
    const QList<CrashSourceFailure> &failures() const { return m_failures; }
    bool scanning() const { return m_pending > 0; }
    // Reports whose head the last published scan read (new or changed ones).
    int lastScanReads() const { return m_lastScanReads; }
    // The first folder, the one the tab offers to open.
    QString reportFolder() const;
    // The report's file for the desktop's viewer while the path still names the regular file
    // the scan read; empty otherwise (a journal record, a link, a FIFO, a file swapped since).
    QUrl openableUrl(const QString &key) const;

    // Starts a scan; a scan still running is superseded.
    void refresh();

    struct Scan {
        QList<CrashLogEntry> entries; // newest first
        int reads = 0;                // report heads read
        QList<CrashSourceFailure> failures;
    };
    // One whole scan, newest first (stable for equal dates); `now` dates what has no date.
    // Reports unchanged since `previous` are taken from it as they were.
    static Scan scan(const QList<CrashSource> &sources, const QDateTime &now, const QList<CrashLogEntry> &previous);
    static QList<CrashLogEntry> scan(const QList<CrashSource> &sources, const QDateTime &now)
    {
        return scan(sources, now, {}).entries;
    }
    static CrashHeader parseHeader(const QByteArray &head);
    static QString processName(const QString &fileName);
    static QString kind(const QString &lowerExtension);
    static bool isReportExtension(const QString &lowerExtension);
    static CrashLogEntry journalEntry(const CoredumpRecord &record, const QDateTime &now);
    static QString fileKey(const QByteArray &nativePath);

    // The whole report as UTF-8 up to `maxBytes`, laid out in lines of bounded length, so one
    // enormous line costs no more than many short ones.
    static CrashReportBody readReport(const CrashLogEntry &entry, qint64 maxBytes);
    static CrashReportBody readReport(const QString &path, qint64 maxBytes);
    static QStringList pieces(const QString &text, qsizetype pieceChars = kPieceChars);
    // readReport on the monitor's threads; `done` gets the body on the main thread, unless
    // `context` is gone by then.
    static void readReportLater(const CrashLogEntry &entry, qint64 maxBytes, QObject *context,
                                std::function<void(CrashReportBody)> done);

signals:
    // A scan's result is in: entries, rows and failures are the new ones.
    void published();
    void scanningChanged();

private:
    struct Published;
    void apply(quint64 token, std::shared_ptr<Published> result);

    QList<CrashSource> m_sources;
    QList<CrashLogEntry> m_entries;
    QVariantList m_rows;
    QHash<QString, qsizetype> m_index;
    QList<CrashSourceFailure> m_failures;
    QTimer m_timer;
    quint64 m_token = 0;
    int m_pending = 0;
    int m_lastScanReads = 0;
};

} // namespace corvane

Q_DECLARE_METATYPE(corvane::CrashLogEntry)
