#pragma once
// A list model whose rows are kept by identity: a new list removes the rows that went,
// inserts the new ones, moves the rest into the new order and reports changed values,
// so views keep their delegates (and their hover state) across refreshes.
#include <QAbstractListModel>
#include <QHash>
#include <QList>

#include <functional>

namespace corvane {

template <class Row, class Key>
class KeyedRowsModel : public QAbstractListModel {
public:
    using KeyOf = std::function<Key(const Row &)>;
    KeyedRowsModel(KeyOf keyOf, QObject *parent) : QAbstractListModel(parent), m_keyOf(std::move(keyOf)) {}

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    const QList<Row> &rows() const { return m_rows; }

protected:
    // Rows with a key seen earlier in `next` are dropped: identities are unique.
    void assign(QList<Row> next)
    {
        QHash<Key, qsizetype> wanted;
        for (qsizetype i = 0; i < next.size();) {
            const Key k = m_keyOf(next[i]);
            if (wanted.contains(k)) {
                next.removeAt(i);
                continue;
            }
            wanted.insert(k, i++);
        }
        // 1. Remove the rows that are gone, from the back so indices stay valid.
        for (qsizetype i = m_rows.size() - 1; i >= 0; --i) {
            if (wanted.contains(m_keyOf(m_rows[i])))
                continue;
            beginRemoveRows({}, int(i), int(i));
            m_rows.removeAt(i);
            endRemoveRows();
        }
        // 2. Walk the target order: move an existing row up into place, or insert a new one.
        for (qsizetype i = 0; i < next.size(); ++i) {
            const Key k = m_keyOf(next[i]);
            qsizetype at = -1;
            for (qsizetype j = i; j < m_rows.size(); ++j)
                if (m_keyOf(m_rows[j]) == k) {
                    at = j;
                    break;
                }
            if (at < 0) {
                beginInsertRows({}, int(i), int(i));
                m_rows.insert(i, next[i]);
                endInsertRows();
                continue;
            }
            if (at != i) {
                beginMoveRows({}, int(at), int(at), {}, int(i));
                m_rows.move(at, i);
                endMoveRows();
            }
            if (!(m_rows[i] == next[i])) {
                m_rows[i] = next[i];
                const QModelIndex idx = index(int(i));
                emit dataChanged(idx, idx);
            }
        }
    }

private:
    KeyOf m_keyOf;
    QList<Row> m_rows;
};

} // namespace corvane
