#pragma once
// The keyed list for QML: records (gadgets or maps) from a QVariantList, kept by one field.
#include "ui/shared/KeyedRowsModel.h"

#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace corvane {

struct KeyedRecord {
    QVariant record;
    QVariant key;
    // A row changes with its record; the key is what found it.
    bool operator==(const KeyedRecord &o) const { return record == o.record; }
};

class KeyedListModel : public KeyedRowsModel<KeyedRecord, QString> {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QVariantList items READ items WRITE setItems NOTIFY itemsChanged)
    // The field that identifies a record (a gadget property or a map key).
    Q_PROPERTY(QString keyField READ keyField WRITE setKeyField NOTIFY keyFieldChanged)
    // At most this many of the first records; negative for all.
    Q_PROPERTY(int limit READ limit WRITE setLimit NOTIFY limitChanged)
    // While true the rows hold still: new items are kept and shown once it turns false.
    Q_PROPERTY(bool held READ held WRITE setHeld NOTIFY heldChanged)
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)
public:
    enum Roles { ItemRole = Qt::UserRole + 1, KeyRole };

    explicit KeyedListModel(QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    QVariantList items() const { return m_source; }
    void setItems(const QVariantList &items);
    QString keyField() const { return m_keyField; }
    void setKeyField(const QString &f);
    int limit() const { return m_limit; }
    void setLimit(int n);
    bool held() const { return m_held; }
    void setHeld(bool h);

    static QVariant keyOf(const QVariant &record, const QString &field);

signals:
    void itemsChanged();
    void keyFieldChanged();
    void limitChanged();
    void heldChanged();
    void countChanged();

protected:
    QList<int> changedRoles() const override { return {ItemRole}; }

private:
    void sync();
    QVariant keyOfCached(const QVariant &record);

    QVariantList m_source;
    QString m_keyField = QStringLiteral("id");
    int m_limit = -1;
    bool m_held = false;
    QMetaType m_keyType;
    int m_keyIndex = -1;
};

} // namespace corvane
