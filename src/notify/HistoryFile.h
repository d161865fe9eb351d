#pragma once
// One JSON history file in the application's data folder: atomic writes, and a file that
// can't be read or decoded is moved aside (kept) instead of being replaced by the next save.
#include <QByteArray>
#include <QString>
#include <QUuid>

#include <functional>

namespace corvane {

class Clock;

// Seconds from the Unix epoch to 2001-01-01 00:00:00 UTC, the epoch of stored dates.
inline constexpr double kReferenceEpochOffset = 978'307'200.0;

class HistoryFile {
public:
    // `folder` empty: nothing is read or written (no data location on this system).
    HistoryFile(QString folder, QString fileName, const Clock &clock);

    // GenericDataLocation + "/CorvaneMonitor"; empty when the platform reports none.
    static QString defaultFolder();

    QString path() const;

    // Reads the file and hands its bytes to `decode`. A missing file is an empty history.
    // Unreadable bytes, or `decode` returning false, move the file aside.
    void load(const std::function<bool(const QByteArray &)> &decode);

    // Writes atomically, creating the folder first. False when nothing was written.
    bool save(const QByteArray &bytes);

    // Where the last bad file went (empty when none).
    QString quarantinedPath() const { return m_quarantined; }

private:
    void moveAside();

    QString m_folder;
    QString m_fileName;
    const Clock &m_clock;
    QString m_quarantined;
    // A bad file that could not be moved aside is never overwritten.
    bool m_blocked = false;
};

namespace json {
// A JSON string literal in the platform's default style ('/' escaped as "\/").
void appendString(QByteArray &out, const QString &s);
// Shortest text that reads back to the same double; false for NaN and infinities.
bool appendNumber(QByteArray &out, double v);
// Upper-case 36-character UUID text.
QString uuidText(const QUuid &id);
} // namespace json

} // namespace corvane
