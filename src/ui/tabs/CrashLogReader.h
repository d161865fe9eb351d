#pragma once
// The crash-log tab's reader: lists the system's crash reports with a process name and a
// one-line summary from each report's head, newest first; rescans every 30 s and on demand.
// Scans run on a worker thread; only the newest scan's result is published.
#include <QDateTime>
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
    Q_PROPERTY(QString fileName MEMBER fileName)
    Q_PROPERTY(QString processName MEMBER processName)
    Q_PROPERTY(QDateTime date MEMBER date)
    Q_PROPERTY(QString path MEMBER path)
    Q_PROPERTY(QString kind MEMBER kind)
    Q_PROPERTY(QString summary MEMBER summary)
    Q_PROPERTY(QString dateText READ dateText)
public:
    QString id; // new at every scan
    QString fileName;
    QString processName;
    QDateTime date;
    QString path;
    QString kind;
    QString summary;
    QString dateText() const;
};

// A folder the reader scans. Report folders hold report files by extension; a kernel-dump
// folder (systemd-pstore) holds dumps without one, directly or one folder deep.
struct CrashSource {
    QString folder;
    bool kernelDumps = false;
};

struct CrashHeader {
    std::optional<QString> process;
    std::optional<QString> summary;
};

class CrashLogReader : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QVariantList entries READ entriesVariant NOTIFY entriesChanged)
    Q_PROPERTY(int count READ count NOTIFY entriesChanged)
    Q_PROPERTY(QVariant lastError READ lastError CONSTANT)
    Q_PROPERTY(bool scanning READ scanning NOTIFY scanningChanged)
    Q_PROPERTY(QString reportFolder READ reportFolder CONSTANT)
public:
    static constexpr int kHeadBytes = 4096;
    static constexpr int kHeadLines = 40;
    static constexpr int kRescanMs = 30'000;

    // Scans the places this system keeps crash reports.
    explicit CrashLogReader(QObject *parent = nullptr);
    CrashLogReader(QList<CrashSource> sources, QObject *parent = nullptr);
    ~CrashLogReader() override;

    const QList<CrashLogEntry> &entries() const { return m_entries; }
    QVariantList entriesVariant() const;
    int count() const { return int(m_entries.size()); }
    QVariant lastError() const { return {}; }
    bool scanning() const { return m_pending > 0; }
    // The first folder: the one "Deschide folderul" opens.
    QString reportFolder() const;

    // Starts a scan; a scan still running is superseded.
    Q_INVOKABLE void refresh();
    Q_INVOKABLE void openFolder() const;
    Q_INVOKABLE void openReport(const QString &path) const;

    static QList<CrashSource> systemSources();
    // One whole scan, newest first (stable for equal dates); `now` dates what has no date.
    static QList<CrashLogEntry> scan(const QList<CrashSource> &sources, const QDateTime &now);
    static CrashHeader parseHeader(const QByteArray &head);
    static CrashHeader readHeader(const QString &path);
    static QString processName(const QString &fileName);
    static QString kind(const QString &lowerExtension);
    static bool isReportExtension(const QString &lowerExtension);

signals:
    void entriesChanged();
    void scanningChanged();

private:
    void apply(quint64 token, QList<CrashLogEntry> entries);

    QList<CrashSource> m_sources;
    QList<CrashLogEntry> m_entries;
    QTimer m_timer;
    quint64 m_token = 0;
    int m_pending = 0;
    std::shared_ptr<bool> m_alive;
};

// The detail pane's text: the whole report as UTF-8 up to a cap, read off the GUI thread.
// A late read for an earlier path never replaces the text of the current one.
class CrashReportText : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString path READ path WRITE setPath NOTIFY pathChanged)
    Q_PROPERTY(QString content READ content NOTIFY contentChanged)
    Q_PROPERTY(QStringList lines READ lines NOTIFY contentChanged)
    Q_PROPERTY(QString truncatedNote READ truncatedNote NOTIFY contentChanged)
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
public:
    static constexpr qint64 kMaxBytes = 4 * 1024 * 1024;
    static inline const QString kLoading = QStringLiteral("Se încarcă…");
    static inline const QString kUnreadable = QStringLiteral("Nu pot citi fișierul.");

    explicit CrashReportText(QObject *parent = nullptr);
    ~CrashReportText() override;

    QString path() const { return m_path; }
    void setPath(const QString &path);
    QString content() const { return m_content; }
    QStringList lines() const { return m_lines; }
    QString truncatedNote() const { return m_note; }
    bool loading() const { return m_loading; }

    struct Loaded {
        QString text;
        QString note; // empty unless the report was cut at the cap
    };
    static Loaded load(const QString &path, qint64 maxBytes = kMaxBytes);

signals:
    void pathChanged();
    void contentChanged();
    void loadingChanged();

private:
    QString m_path;
    QString m_content = kLoading;
    QStringList m_lines{kLoading};
    QString m_note;
    bool m_loading = false;
    quint64 m_token = 0;
    std::shared_ptr<bool> m_alive;
};

} // namespace corvane

Q_DECLARE_METATYPE(corvane::CrashLogEntry)
