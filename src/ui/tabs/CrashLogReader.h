#pragma once
// The crash-log tab's reader: lists the system's crash reports with a process name and a
// one-line summary from each report's head, newest first; rescans every 30 s and on demand.
// Scans run on a worker thread and read only reports that are new or changed since the last
// one; the list reaches the view as a keyed model, so a rescan inserts and removes rows
// rather than rebuilding them, and a report keeps its row (and the view its place) for as
// long as it is unchanged.
#include "platform/CoredumpJournal.h"
#include "ui/shared/KeyedListModel.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

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
    Q_PROPERTY(QString dateText READ dateText)
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

    QString dateText() const;
    bool canOpen() const { return openable; }
    bool operator==(const CrashLogEntry &) const = default;
};

// Where the reader looks. Report folders hold report files by extension; a kernel-dump folder
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

class CrashLogReader : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QAbstractItemModel *model READ model CONSTANT)
    Q_PROPERTY(int count READ count NOTIFY entriesChanged)
    // Goes up with every published scan: bindings that look entries up depend on it.
    Q_PROPERTY(int revision READ revision NOTIFY entriesChanged)
    // Null while every source reads; else which could not be read and why, one per line.
    Q_PROPERTY(QVariant lastError READ lastError NOTIFY lastErrorChanged)
    Q_PROPERTY(bool scanning READ scanning NOTIFY scanningChanged)
    Q_PROPERTY(QString reportFolder READ reportFolder CONSTANT)
public:
    static constexpr int kHeadBytes = 4096;
    static constexpr int kHeadLines = 40;
    static constexpr int kRescanMs = 30'000;
    // The newest this many of systemd-coredump's records.
    static constexpr int kJournalLimit = 10'000;

    // Scans the places this system keeps crash reports.
    explicit CrashLogReader(QObject *parent = nullptr);
    CrashLogReader(QList<CrashSource> sources, QObject *parent = nullptr);
    ~CrashLogReader() override;

    const QList<CrashLogEntry> &entries() const { return m_entries; }
    KeyedListModel *model() const { return m_model; }
    int count() const { return int(m_entries.size()); }
    int revision() const { return m_revision; }
    QVariant lastError() const { return m_lastError; }
    bool scanning() const { return m_pending > 0; }
    // The first folder: the one "Deschide folderul" opens.
    QString reportFolder() const;
    // Reports whose head the last published scan read (new or changed ones).
    int lastScanReads() const { return m_lastScanReads; }

    // The entry with this key, or null.
    Q_INVOKABLE QVariant entryFor(const QString &key) const;

    // Starts a scan; a scan still running is superseded.
    Q_INVOKABLE void refresh();
    Q_INVOKABLE void openFolder() const;
    Q_INVOKABLE void openReport(const QString &key) const;

    static QList<CrashSource> systemSources();

    struct Scan {
        QList<CrashLogEntry> entries; // newest first
        int reads = 0;                // report heads read
        QList<CrashSourceFailure> failures;
    };
    // One whole scan, newest first (stable for equal dates); `now` dates what has no date.
    // Reports unchanged since `previous` are taken from it as they were.
    static Scan scan(const QList<CrashSource> &sources, const QDateTime &now,
                     const QList<CrashLogEntry> &previous);
    static QList<CrashLogEntry> scan(const QList<CrashSource> &sources, const QDateTime &now)
    {
        return scan(sources, now, {}).entries;
    }
    static CrashHeader parseHeader(const QByteArray &head);
    static CrashHeader readHeader(const QString &path);
    static CrashHeader readHeader(const QByteArray &nativePath);
    static QString processName(const QString &fileName);
    static QString kind(const QString &lowerExtension);
    static bool isReportExtension(const QString &lowerExtension);
    static CrashLogEntry journalEntry(const CoredumpRecord &record, const QDateTime &now);
    static QString fileKey(const QByteArray &nativePath);
    // "Nu pot citi <folder>: <why>." for each failure, one per line; null for none.
    static QVariant failureText(const QList<CrashSourceFailure> &failures);
    static QString reasonText(int error);

signals:
    void entriesChanged();
    void scanningChanged();
    void lastErrorChanged();

private:
    struct Published;
    void apply(quint64 token, std::shared_ptr<Published> result);

    QList<CrashSource> m_sources;
    QList<CrashLogEntry> m_entries;
    QHash<QString, qsizetype> m_index;
    QList<CrashSourceFailure> m_failures;
    QVariant m_lastError;
    KeyedListModel *m_model;
    QTimer m_timer;
    quint64 m_token = 0;
    int m_pending = 0;
    int m_revision = 0;
    int m_lastScanReads = 0;
};

// The detail pane's text: the whole report as UTF-8 up to a cap, read off the GUI thread and
// laid out in lines of bounded length, so one enormous line costs no more than many short
// ones. A late read for an earlier entry never replaces the text of the current one.
class CrashReportText : public QObject {
    Q_OBJECT
    QML_ELEMENT
    // A CrashLogEntry; the same report again (a rescan) is not read again.
    Q_PROPERTY(QVariant entry READ entry WRITE setEntry NOTIFY entryChanged)
    Q_PROPERTY(QString content READ content NOTIFY contentChanged)
    Q_PROPERTY(QStringList lines READ lines NOTIFY contentChanged)
    Q_PROPERTY(QString truncatedNote READ truncatedNote NOTIFY contentChanged)
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
public:
    static constexpr qint64 kMaxBytes = 4 * 1024 * 1024;
    // Longer lines are shown in pieces of this many characters, one after the other.
    static constexpr qsizetype kPieceChars = 512;
    static inline const QString kLoading = QStringLiteral("Se încarcă…");
    static inline const QString kUnreadable = QStringLiteral("Nu pot citi fișierul.");

    explicit CrashReportText(QObject *parent = nullptr);
    ~CrashReportText() override;

    QVariant entry() const { return m_entry; }
    void setEntry(const QVariant &entry);
    QString content() const { return m_content; }
    QStringList lines() const { return m_lines; }
    QString truncatedNote() const { return m_note; }
    bool loading() const { return m_loading; }

    struct Loaded {
        QString text;
        QString note; // empty unless the report was cut at the cap
        QStringList lines; // the text's lines, long ones cut into pieces
    };
    static Loaded load(const QString &path, qint64 maxBytes = kMaxBytes);
    static Loaded load(const CrashLogEntry &entry, qint64 maxBytes = kMaxBytes);
    static QStringList pieces(const QString &text, qsizetype pieceChars = kPieceChars);

signals:
    void entryChanged();
    void contentChanged();
    void loadingChanged();

private:
    QVariant m_entry;
    QString m_content = kLoading;
    QStringList m_lines{kLoading};
    QString m_note;
    bool m_loading = false;
    quint64 m_token = 0;
};

} // namespace corvane

Q_DECLARE_METATYPE(corvane::CrashLogEntry)
