#pragma once
// A list model over records that carry an identity: a new list updates rows in place, moves
// them, inserts and removes only what changed, so delegates (and their hover, press and
// expanded states) and the view's place survive the monitors' refreshes. A new list costs
// time in proportion to its length, plus the rows that changed.
#include <QAbstractListModel>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace corvane {

class KeyedListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QVariantList items READ items WRITE setItems NOTIFY itemsChanged)
    // The field that identifies a record (a gadget property or a map key).
    Q_PROPERTY(QString keyField READ keyField WRITE setKeyField NOTIFY keyFieldChanged)
    // At most this many of the first records; negative for all.
    Q_PROPERTY(int limit READ limit WRITE setLimit NOTIFY limitChanged)
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)
public:
    enum Roles { ItemRole = Qt::UserRole + 1, KeyRole };
    // More rows out of order than this and the model starts over rather than moving each.
    static constexpr qsizetype kMaxMoves = 64;

    explicit KeyedListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    QVariantList items() const { return m_source; }
    void setItems(const QVariantList &items);
    QString keyField() const { return m_keyField; }
    void setKeyField(const QString &f);
    int limit() const { return m_limit; }
    void setLimit(int n);

    static QVariant keyOf(const QVariant &record, const QString &field);

signals:
    void itemsChanged();
    void keyFieldChanged();
    void limitChanged();
    void countChanged();

private:
    void sync();
    QVariant keyOfCached(const QVariant &record);

    QVariantList m_source;
    QString m_keyField = QStringLiteral("id");
    int m_limit = -1;
    QVariantList m_rows;
    QVariantList m_keys;
    QStringList m_keyTexts; // the keys as text, for lookups
    QMetaType m_keyType;
    int m_keyIndex = -1;
};

} // namespace corvane
