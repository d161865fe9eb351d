#pragma once
// The crash-log tab's state: the reports a CrashLogMonitor finds, as a keyed model (a rescan
// inserts and removes rows rather than rebuilding them, so a report keeps its row, and the
// view its place, for as long as it is unchanged), the sources it could not read in words,
// and the text of the selected report.
#include "monitors/CrashLogMonitor.h"
#include "platform/DesktopOpener.h"
#include "ui/shared/KeyedListModel.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

namespace corvane {

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
    // Empty after an open the desktop took; else why the last one failed, with the path.
    Q_PROPERTY(QString openError READ openError NOTIFY openErrorChanged)
    Q_PROPERTY(QString reportFolder READ reportFolder CONSTANT)
public:
    // Scans the places this system keeps crash reports.
    explicit CrashLogReader(QObject *parent = nullptr);
    CrashLogReader(QList<CrashSource> sources, QObject *parent = nullptr);
    ~CrashLogReader() override;

    const QList<CrashLogEntry> &entries() const { return m_monitor->entries(); }
    KeyedListModel *model() const { return m_model; }
    int count() const { return int(entries().size()); }
    int revision() const { return m_revision; }
    QVariant lastError() const { return m_lastError; }
    bool scanning() const { return m_monitor->scanning(); }
    QString openError() const { return m_openError; }
    // Where the folder and the reports are opened: the desktop's own programs unless given.
    void setOpener(std::unique_ptr<DesktopOpener> opener) { m_opener = std::move(opener); }
    // The first folder: the one "Deschide folderul" opens.
    QString reportFolder() const { return m_monitor->reportFolder(); }
    int lastScanReads() const { return m_monitor->lastScanReads(); }

    // The entry with this key, or null.
    Q_INVOKABLE QVariant entryFor(const QString &key) const;

    // Starts a scan; a scan still running is superseded.
    Q_INVOKABLE void refresh() { m_monitor->refresh(); }
    Q_INVOKABLE void openFolder();
    Q_INVOKABLE void openReport(const QString &key);

    // "Nu pot citi <folder>: <why>." for each failure, one per line; null for none.
    static QVariant failureText(const QList<CrashSourceFailure> &failures);
    static QString reasonText(int error);
    // "Nu pot deschide <path>: <why>."
    static QString openFailureText(const QString &path, bool stillThere);

signals:
    void entriesChanged();
    void scanningChanged();
    void lastErrorChanged();
    void openErrorChanged();

private:
    void apply();
    void setOpenError(const QString &text);

    std::unique_ptr<DesktopOpener> m_opener;
    QString m_openError;
    CrashLogMonitor *m_monitor;
    KeyedListModel *m_model;
    QList<CrashSourceFailure> m_failures;
    QVariant m_lastError;
    int m_revision = 0;
};

// The detail pane's text: the whole report as UTF-8 up to a cap, read off the GUI thread and
// laid out in lines of bounded length. A late read for an earlier entry never replaces the
// text of the current one.
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
    static constexpr qsizetype kPieceChars = CrashLogMonitor::kPieceChars;
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

signals:
    void entryChanged();
    void contentChanged();
    void loadingChanged();

private:
    void show(CrashReportBody body);

    QVariant m_entry;
    QString m_content = kLoading;
    QStringList m_lines{kLoading};
    QString m_note;
    bool m_loading = false;
    quint64 m_token = 0;
};

} // namespace corvane
