#pragma once
// One JSON history file in the application's data folder: read and decoded off the GUI
// thread, written atomically. Content that doesn't decode, or a file larger than any history
// the app writes, is moved aside (kept); a file that can't be read at all (permissions, a
// folder in its place) is left where it is and never saved over.
#include <QByteArray>
#include <QString>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

namespace corvane {

class Clock;

// Seconds from the Unix epoch to 2001-01-01 00:00:00 UTC, the epoch of stored dates.
inline constexpr double kReferenceEpochOffset = 978'307'200.0;

class HistoryFile {
public:
    // Larger than any history the app writes. The battery history holds one snapshot per
    // 600 s over 90 days (12,960) of at most 245 bytes each (the longest numbers JSON gives),
    // about 3.2 MB; captures right after each start of the app come on top, and this cap
    // holds over 130,000 such snapshots, ten times the steady state. The privacy history
    // holds 50 events.
    static constexpr qint64 kMaxBytes = 32 * 1024 * 1024;

    enum class Outcome { Missing, Loaded, Undecodable, TooLarge, Unreadable };

    // `folder` empty: nothing is read or written (no data location on this system).
    HistoryFile(QString folder, QString fileName, const Clock &clock);
    ~HistoryFile();
    HistoryFile(const HistoryFile &) = delete;
    HistoryFile &operator=(const HistoryFile &) = delete;

    // GenericDataLocation + "/CorvaneMonitor"; empty when the platform reports none.
    static QString defaultFolder();

    QString path() const;

    // Runs on a worker thread: decodes the file's bytes and returns what applies them on the
    // owner's thread, or nothing when they don't decode. Must not touch the owner.
    using Decoder = std::function<std::function<void()>(const QByteArray &)>;

    // Reads and decodes the file on a worker thread; on this object's thread the decoded
    // history is applied, then `finished` runs (also for a missing or bad file). Neither
    // runs once this object is gone. A missing file is an empty history.
    void load(Decoder decode, std::function<void()> finished = {});
    bool isLoading() const { return m_loading; }
    // Waits for the worker and applies its result now (an owner going away with entries
    // recorded meanwhile, which can only be saved together with the stored ones).
    void finishLoading();
    Outcome outcome() const { return m_outcome; }

    // The reading itself, bounded by `cap` bytes; any thread.
    struct Read {
        Outcome outcome = Outcome::Missing;
        QByteArray bytes;
    };
    static Read readBounded(const QString &path, qint64 cap);

    // Writes atomically, creating the folder first. False when nothing was written (also
    // while the file is still being read: it would be replaced before it was seen).
    bool save(const QByteArray &bytes);

    // The same, with the encoding and the writing done on a worker thread, one write at a
    // time: a save asked for while one runs replaces any that waits, so the newest content is
    // what ends up on disk. `encode` must not touch the owner; nullopt writes nothing.
    using Encoder = std::function<std::optional<QByteArray>()>;
    bool saveInBackground(Encoder encode);
    // Waits until the saves asked for so far are on disk (an owner going away; tests).
    void finishSaving();

private:
    struct Channel;
    struct Writer;
    static bool write(const QString &folder, const QString &path, const QByteArray &bytes);
    void deliver();
    void finish(Outcome outcome, const std::function<void()> &apply, const std::function<void()> &finished);
    void moveAside(const QString &why, const QString &suffix);

    QString m_folder;
    QString m_fileName;
    const Clock &m_clock;
    // A bad file that could not be moved aside, or one that can't be read, is never overwritten.
    bool m_blocked = false;
    bool m_loading = false;
    Outcome m_outcome = Outcome::Missing;
    std::shared_ptr<Channel> m_channel;
    std::shared_ptr<Writer> m_writer;
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
