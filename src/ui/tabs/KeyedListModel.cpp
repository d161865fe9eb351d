#include "ui/tabs/KeyedListModel.h"

#include <QHash>
#include <QMetaProperty>
#include <QSet>

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
    m_keyType = QMetaType();
    beginResetModel();
    m_rows.clear();
    m_keys.clear();
    m_keyTexts.clear();
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

QVariant KeyedListModel::keyOfCached(const QVariant &record)
{
    // One property lookup per record type, not per record: lists run to thousands of rows.
    const QMetaType type = record.metaType();
    if (const QMetaObject *mo = type.metaObject()) {
        if (type != m_keyType) {
            m_keyType = type;
            m_keyIndex = mo->indexOfProperty(m_keyField.toLatin1().constData());
        }
        if (m_keyIndex >= 0)
            return mo->property(m_keyIndex).readOnGadget(record.constData());
    }
    return keyOf(record, m_keyField);
}

void KeyedListModel::sync()
{
    const qsizetype n = m_limit < 0 ? m_source.size() : std::min<qsizetype>(m_limit, m_source.size());
    const int before = int(m_rows.size());

    // The new list's keys; a key seen before in the same list gets a suffix, so every row
    // stays distinct.
    QVariantList keys;
    QStringList texts;
    QHash<QString, qsizetype> wanted;
    keys.reserve(n);
    texts.reserve(n);
    wanted.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        keys.append(keyOfCached(m_source.at(i)));
        QString text = keys.last().toString();
        if (wanted.contains(text)) {
            const QString base = text;
            for (int repeat = 1; wanted.contains(text); ++repeat)
                text = base + QChar(0) + QString::number(repeat);
        }
        wanted.insert(text, i);
        texts.append(std::move(text));
    }

    if (m_rows.isEmpty()) {
        // The first list (or one after an empty one): one insertion of everything.
        if (n > 0) {
            beginInsertRows({}, 0, int(n - 1));
            m_rows = m_source.mid(0, n);
            m_keys = std::move(keys);
            m_keyTexts = std::move(texts);
            endInsertRows();
            emit countChanged();
        }
        return;
    }

    // Rows that are gone, a run at a time from the end.
    for (qsizetype j = m_rows.size(); j > 0;) {
        if (wanted.contains(m_keyTexts.at(j - 1))) {
            --j;
            continue;
        }
        const qsizetype end = j;
        while (j > 0 && !wanted.contains(m_keyTexts.at(j - 1)))
            --j;
        beginRemoveRows({}, int(j), int(end - 1));
        m_rows.remove(j, end - j);
        m_keys.remove(j, end - j);
        m_keyTexts.remove(j, end - j);
        endRemoveRows();
    }

    // A wholesale reorder would take a move per row: start over instead.
    qsizetype outOfOrder = 0;
    qsizetype lastAt = -1;
    for (const QString &text : std::as_const(m_keyTexts)) {
        const qsizetype at = wanted.value(text);
        if (at < lastAt)
            ++outOfOrder;
        lastAt = at;
    }
    if (outOfOrder > kMaxMoves) {
        beginResetModel();
        m_rows = m_source.mid(0, n);
        m_keys = keys;
        m_keyTexts = texts;
        endResetModel();
        if (before != m_rows.size())
            emit countChanged();
        return;
    }

    QSet<QString> present(m_keyTexts.cbegin(), m_keyTexts.cend());
    for (qsizetype i = 0; i < n;) {
        const QVariant &record = m_source.at(i);
        if (i < m_rows.size() && m_keyTexts.at(i) == texts.at(i)) {
            if (m_rows.at(i) != record) {
                m_rows[i] = record;
                emit dataChanged(index(int(i)), index(int(i)), {ItemRole});
            }
            ++i;
            continue;
        }
        if (!present.contains(texts.at(i))) {
            // New records, as one insertion per run.
            qsizetype end = i;
            while (end < n && !present.contains(texts.at(end)))
                ++end;
            beginInsertRows({}, int(i), int(end - 1));
            for (qsizetype k = i; k < end; ++k) {
                m_rows.insert(k, m_source.at(k));
                m_keys.insert(k, keys.at(k));
                m_keyTexts.insert(k, texts.at(k));
                present.insert(texts.at(k));
            }
            endInsertRows();
            i = end;
            continue;
        }
        // A record further down moved up.
        const qsizetype at = m_keyTexts.indexOf(texts.at(i), i + 1);
        beginMoveRows({}, int(at), int(at), {}, int(i));
        m_rows.move(at, i);
        m_keys.move(at, i);
        m_keyTexts.move(at, i);
        endMoveRows();
        if (m_rows.at(i) != record) {
            m_rows[i] = record;
            emit dataChanged(index(int(i)), index(int(i)), {ItemRole});
        }
        ++i;
    }
    if (before != m_rows.size())
        emit countChanged();
}

} // namespace corvane
