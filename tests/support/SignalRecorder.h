#pragma once
// Follows every property-change signal of an object and its updated() signal, in emission
// order, and at each one reads all of the object's properties, as a listener would.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>

namespace corvane::test {

class SignalRecorder : public QObject {
    Q_OBJECT
public:
    explicit SignalRecorder(QObject *source);

    // Signal names in emission order ("ssidChanged", "updated", …).
    const QStringList &names() const { return m_names; }
    // The properties as read inside each recorded signal.
    const QList<QVariantMap> &seen() const { return m_seen; }
    void clear();

    // The object's own properties (not QObject's) by name.
    static QVariantMap readAll(const QObject *source);

private slots:
    void onSignal();

private:
    QPointer<QObject> m_source;
    QStringList m_names;
    QList<QVariantMap> m_seen;
};

} // namespace corvane::test
