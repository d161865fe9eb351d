#include "ui/shared/KeyedListModel.h"

#include <QMetaProperty>
#include <QSet>

namespace corvane {

KeyedListModel::KeyedListModel(QObject *parent) : KeyedRowsModel(parent) {}

QVariant KeyedListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows().size())
        return {};
    if (role == ItemRole)
        return rows().at(index.row()).record;
    if (role == KeyRole)
        return rows().at(index.row()).key;
    return {};
}

QHash<int, QByteArray> KeyedListModel::roleNames() const { return {{ItemRole, "item"}, {KeyRole, "key"}}; }

void KeyedListModel::setItems(const QVariantList &items)
{
    m_source = items;
    if (!m_held)
        sync();
    emit itemsChanged();
}

void KeyedListModel::setKeyField(const QString &f)
{
    if (f == m_keyField)
        return;
    m_keyField = f;
    m_keyType = QMetaType();
    clear();
    sync();
    emit keyFieldChanged();
}

void KeyedListModel::setHeld(bool h)
{
    if (h == m_held)
        return;
    m_held = h;
    if (!m_held)
        sync();
    emit heldChanged();
}

void KeyedListModel::setLimit(int n)
{
    if (n == m_limit)
        return;
    m_limit = n;
    if (!m_held)
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
    const int before = rowCount();

    // A key seen before in the same list gets a suffix, so every row stays distinct.
    QList<KeyedRecord> next;
    QList<QString> texts;
    QSet<QString> seen;
    next.reserve(n);
    texts.reserve(n);
    seen.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        const QVariant &record = m_source.at(i);
        next.append({record, keyOfCached(record)});
        QString text = next.last().key.toString();
        if (seen.contains(text)) {
            const QString base = text;
            for (int repeat = 1; seen.contains(text); ++repeat)
                text = base + QChar(0) + QString::number(repeat);
        }
        seen.insert(text);
        texts.append(std::move(text));
    }
    assign(std::move(next), std::move(texts));
    if (before != rowCount())
        emit countChanged();
}

} // namespace corvane
