#pragma once
// The long-lived settings object of one store. A write lands in memory at once, where every
// settings object of this process reads it; the disk follows once writes have been quiet for
// a moment, written by a worker thread through a settings object of its own (so nothing the
// interface reads through is held meanwhile): dragging a slider costs one file write instead
// of one per step, and the interface never waits for the disk. Pending writes reach the disk
// when the store goes away or the application quits.
//
// Before the first store reads the settings file, the file is checked: one that QSettings
// could not read whole (a line it would drop or merge into another, text that isn't UTF-8, a
// file in another format, one larger than any the app writes, one that can't be read) would
// lose what it couldn't read at the next save. It is moved aside with a warning, and the
// lines that read as settings are written back in its place.
#include <QSettings>
#include <QTimer>

#include <memory>

namespace corvane {

class StoredSettings : public QSettings {
    Q_OBJECT
public:
    static constexpr int kQuietMs = 500;
    // Far larger than any settings file the app writes (a few kilobytes).
    static constexpr qint64 kMaxFileBytes = 1024 * 1024;

    explicit StoredSettings(QObject *parent = nullptr);
    ~StoredSettings() override;

    // Stores `value` under `key` (no disk write when it is already the stored value).
    void write(const QString &key, const QVariant &value);
    // A stored boolean / finite-or-not double, `fallback` when absent or unreadable.
    bool readBool(const QString &key, bool fallback) const;
    double readDouble(const QString &key, double fallback) const;

    // Writes pending changes to disk now, on this thread (the store going away, quitting).
    void flush();
    // Writes them on the worker thread; returns at once.
    void flushInBackground();
    struct Shared;
    bool hasPendingWrite() const { return m_quiet.isActive(); }
    // Waits until the background writes asked for so far are done (tests).
    static void finishBackgroundWrites();

    struct FileCheck {
        enum class Outcome { Missing, Whole, MovedAside, LeftAlone };
        Outcome outcome = Outcome::Missing;
        QString keptAs;        // where a moved file went
        int linesKept = 0;     // settings lines written back in its place
        int linesDropped = 0;  // lines that didn't read as settings
    };
    // Checks the settings file at `path` as described above. The stores check theirs once
    // per process, before the first of them reads it (also the first in a new settings path).
    static FileCheck checkFile(const QString &path);
    // The file the stores use.
    static QString defaultFileName();

protected:
    bool event(QEvent *e) override;

private:
    std::shared_ptr<Shared> m_shared;
    QTimer m_quiet;
};

} // namespace corvane
