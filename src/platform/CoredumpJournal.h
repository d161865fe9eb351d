#pragma once
// The crashes systemd-coredump recorded in the journal: one record per dump with what the
// crash list shows, and the whole entry as text for the detail pane. The journal's files are
// read directly, so this works whether or not systemd runs; no journal means no records.
// Every call may come from any thread.
#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace corvane {

struct CoredumpRecord {
    QByteArray cursor;      // the entry's journal cursor: its identity
    QString executable;     // COREDUMP_EXE
    QString command;        // COREDUMP_COMM
    std::optional<qint64> pid;
    std::optional<int> signal;
    std::optional<QDateTime> time; // of the crash, else of the entry
    QString coreFile;       // COREDUMP_FILENAME, where the dump was stored outside the journal
};

struct CoredumpListing {
    std::vector<CoredumpRecord> records;
    // errno of a journal that is there but couldn't be read, or that failed part way (the
    // records read until then are kept); 0 when it was read, or when there is no journal.
    int error = 0;
};

class CoredumpJournal {
public:
    virtual ~CoredumpJournal() = default;
    // The newest `limit` dumps, newest first; none when there is no journal. Records whose
    // cursor `known` accepts carry only the cursor (the caller has the rest already).
    virtual CoredumpListing list(int limit, const std::function<bool(const QByteArray &)> &known) = 0;
    // The entry as "FIELD=value" lines, the message first and the core itself left out, at
    // most `maxBytes`; nullopt when the entry is gone.
    virtual std::optional<QByteArray> entryText(const QByteArray &cursor, qint64 maxBytes) = 0;
};

// The local journal (system and the user's own); `directory` reads just the journal files
// there instead.
std::shared_ptr<CoredumpJournal> makeCoredumpJournal(const QString &directory = {});

} // namespace corvane
