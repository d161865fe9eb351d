#pragma once
// A list model whose rows are kept by identity: a new list updates rows in place, moves
// them, inserts and removes only what changed, so delegates (and their hover, press and
// expanded states) and the view's place survive the monitors' refreshes. A new list costs
// time in proportion to its length, plus the rows that changed.
#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QSet>

#include <functional>

namespace corvane {

template <class Row, class Key>
class KeyedRowsModel : public QAbstractListModel {
public:
    using KeyOf = std::function<Key(const Row &)>;
    // More rows out of order than this and the model starts over rather than moving each.
    static constexpr qsizetype kMaxMoves = 64;

    explicit KeyedRowsModel(QObject *parent) : QAbstractListModel(parent) {}
    KeyedRowsModel(KeyOf keyOf, QObject *parent) : QAbstractListModel(parent), m_keyOf(std::move(keyOf)) {}

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    const QList<Row> &rows() const { return m_rows; }

protected:
    // Rows with a key seen earlier in `next` are dropped: identities are unique.
    void assign(QList<Row> next)
    {
        QList<Key> keys;
        QSet<Key> seen;
        keys.reserve(next.size());
        for (qsizetype i = 0; i < next.size();) {
            Key k = m_keyOf(next.at(i));
            if (seen.contains(k)) {
                next.removeAt(i);
                continue;
            }
            seen.insert(k);
            keys.append(std::move(k));
            ++i;
        }
        assign(std::move(next), std::move(keys));
    }

    // `keys[i]` is the identity of `next[i]`; no two are equal.
    void assign(QList<Row> next, QList<Key> keys)
    {
        Q_ASSERT(next.size() == keys.size());
        const qsizetype n = next.size();
        QHash<Key, qsizetype> wanted;
        wanted.reserve(n);
        for (qsizetype i = 0; i < n; ++i)
            wanted.insert(keys.at(i), i);

        if (m_rows.isEmpty()) {
            // The first list (or one after an empty one): one insertion of everything.
            if (n > 0) {
                beginInsertRows({}, 0, int(n - 1));
                m_rows = std::move(next);
                m_keys = std::move(keys);
                endInsertRows();
            }
            return;
        }

        // Rows that are gone, a run at a time from the end.
        for (qsizetype j = m_rows.size(); j > 0;) {
            if (wanted.contains(m_keys.at(j - 1))) {
                --j;
                continue;
            }
            const qsizetype end = j;
            while (j > 0 && !wanted.contains(m_keys.at(j - 1)))
                --j;
            beginRemoveRows({}, int(j), int(end - 1));
            m_rows.remove(j, end - j);
            m_keys.remove(j, end - j);
            endRemoveRows();
        }

        // A wholesale reorder would take a move per row: start over instead.
        qsizetype outOfOrder = 0;
        qsizetype lastAt = -1;
        for (const Key &k : std::as_const(m_keys)) {
            const qsizetype at = wanted.value(k);
            if (at < lastAt)
                ++outOfOrder;
            lastAt = at;
        }
        if (outOfOrder > kMaxMoves) {
            beginResetModel();
            m_rows = std::move(next);
            m_keys = std::move(keys);
            endResetModel();
            return;
        }

        QSet<Key> present(m_keys.cbegin(), m_keys.cend());
        for (qsizetype i = 0; i < n;) {
            if (i < m_rows.size() && m_keys.at(i) == keys.at(i)) {
                update(i, next.at(i));
                ++i;
                continue;
            }
            if (!present.contains(keys.at(i))) {
                // New rows, as one insertion per run.
                qsizetype end = i;
                while (end < n && !present.contains(keys.at(end)))
                    ++end;
                beginInsertRows({}, int(i), int(end - 1));
                for (qsizetype k = i; k < end; ++k) {
                    m_rows.insert(k, next.at(k));
                    m_keys.insert(k, keys.at(k));
                    present.insert(keys.at(k));
                }
                endInsertRows();
                i = end;
                continue;
            }
            // A row further down moved up.
            const qsizetype at = m_keys.indexOf(keys.at(i), i + 1);
            beginMoveRows({}, int(at), int(at), {}, int(i));
            m_rows.move(at, i);
            m_keys.move(at, i);
            endMoveRows();
            update(i, next.at(i));
            ++i;
        }
    }

    // Forgets every row; the next list goes in as one insertion.
    void clear()
    {
        beginResetModel();
        m_rows.clear();
        m_keys.clear();
        endResetModel();
    }
    // The roles a changed row reports; none for all.
    virtual QList<int> changedRoles() const { return {}; }

private:
    void update(qsizetype i, const Row &row)
    {
        if (m_rows.at(i) == row)
            return;
        m_rows[i] = row;
        const QModelIndex idx = index(int(i));
        emit dataChanged(idx, idx, changedRoles());
    }

    KeyOf m_keyOf;
    QList<Row> m_rows;
    QList<Key> m_keys;
};

} // namespace corvane
