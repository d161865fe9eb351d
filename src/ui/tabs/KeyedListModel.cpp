#include "ui/tabs/KeyedListModel.h"

#include <QMetaProperty>

namespace corvane {

KeyedListModel::KeyedListModel(QObject *parent) : QAbstractListModel(parent) {}

int KeyedListModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }

QVariant KeyedListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    if (role == ItemRole)
        return m_rows.at(index.row());
    if (role == KeyRole)
        return m_keys.at(index.row());
    return {};
}

QHash<int, QByteArray> KeyedListModel::roleNames() const { return {{ItemRole, "item"}, {KeyRole, "key"}}; }

void KeyedListModel::setItems(const QVariantList &items)
{
    m_source = items;
    sync();
    emit itemsChanged();
}

void KeyedListModel::setKeyField(const QString &f)
{
    if (f == m_keyField)
        return;
    m_keyField = f;
    beginResetModel();
    m_rows.clear();
    m_keys.clear();
    endResetModel();
    sync();
    emit keyFieldChanged();
}

void KeyedListModel::setLimit(int n)
{
    if (n == m_limit)
        return;
    m_limit = n;
    sync();
    emit limitChanged();
}

QVariant KeyedListModel::keyOf(const QVariant &record, const QString &field)
{
    if (const QMetaObject *mo = record.metaType().metaObject()) {
        const int idx = mo->indexOfProperty(field.toLatin1().constData());
        if (idx >= 0)
            return mo->property(idx).readOnGadget(record.constData());
    }
    if (record.canConvert<QVariantMap>())
        return record.toMap().value(field);
    return record;
}

void KeyedListModel::sync()
{
    const qsizetype n = m_limit < 0 ? m_source.size() : std::min<qsizetype>(m_limit, m_source.size());
    const int before = int(m_rows.size());
    for (qsizetype i = 0; i < n; ++i) {
        const QVariant &record = m_source.at(i);
        const QVariant key = keyOf(record, m_keyField);
        qsizetype at = -1;
        for (qsizetype j = i; j < m_keys.size(); ++j)
            if (m_keys.at(j) == key) {
                at = j;
                break;
            }
        if (at < 0) {
            beginInsertRows({}, int(i), int(i));
            m_rows.insert(i, record);
            m_keys.insert(i, key);
            endInsertRows();
            continue;
        }
        if (at != i) {
            beginMoveRows({}, int(at), int(at), {}, int(i));
            m_rows.move(at, i);
            m_keys.move(at, i);
            endMoveRows();
        }
        if (m_rows.at(i) != record) {
            m_rows[i] = record;
            emit dataChanged(index(int(i)), index(int(i)), {ItemRole});
        }
    }
    if (m_rows.size() > n) {
        beginRemoveRows({}, int(n), int(m_rows.size() - 1));
        m_rows.resize(n);
        m_keys.resize(n);
        endRemoveRows();
    }
    if (before != m_rows.size())
        emit countChanged();
}

} // namespace corvane
