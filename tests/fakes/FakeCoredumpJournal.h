#pragma once
#include "platform/CoredumpJournal.h"

#include <QHash>
#include <QMutex>

namespace corvane::test {

// systemd-coredump's records as a journal would list them (newest first), with the text of
// each entry; counts the records whose fields were read. `error` makes the listing fail
// part way, after the records before it.
class FakeCoredumpJournal final : public CoredumpJournal {
public:
    std::vector<CoredumpRecord> records;
    QHash<QByteArray, QByteArray> texts;
    int error = 0;

    CoredumpListing list(int limit, const std::function<bool(const QByteArray &)> &known) override
    {
        QMutexLocker lock(&m_mutex);
        CoredumpListing listing;
        listing.error = error;
        std::vector<CoredumpRecord> &out = listing.records;
        for (const CoredumpRecord &r : records) {
            if (int(out.size()) == limit)
                break;
            if (known && known(r.cursor)) {
                CoredumpRecord bare;
                bare.cursor = r.cursor;
                out.push_back(bare);
                continue;
            }
            ++m_fieldReads;
            out.push_back(r);
        }
        return listing;
    }
    std::optional<QByteArray> entryText(const QByteArray &cursor, qint64 maxBytes) override
    {
        QMutexLocker lock(&m_mutex);
        if (!texts.contains(cursor))
            return std::nullopt;
        return texts.value(cursor).left(maxBytes);
    }
    int fieldReads()
    {
        QMutexLocker lock(&m_mutex);
        return m_fieldReads;
    }

private:
    QMutex m_mutex;
    int m_fieldReads = 0;
};

} // namespace corvane::test
