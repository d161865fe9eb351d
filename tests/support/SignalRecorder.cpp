#include "support/SignalRecorder.h"

#include <QMetaMethod>
#include <QMetaProperty>

#include <set>

namespace corvane::test {

SignalRecorder::SignalRecorder(QObject *source) : m_source(source)
{
    const QMetaObject *mo = source->metaObject();
    std::set<int> signalIndexes;
    for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i)
        if (mo->property(i).hasNotifySignal())
            signalIndexes.insert(mo->property(i).notifySignalIndex());
    if (const int updated = mo->indexOfSignal("updated()"); updated >= 0)
        signalIndexes.insert(updated);
    const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("onSignal()"));
    for (int index : signalIndexes)
        connect(source, mo->method(index), this, slot);
}

void SignalRecorder::clear()
{
    m_names.clear();
    m_seen.clear();
}

QVariantMap SignalRecorder::readAll(const QObject *source)
{
    QVariantMap out;
    const QMetaObject *mo = source->metaObject();
    for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i)
        out.insert(QString::fromLatin1(mo->property(i).name()), mo->property(i).read(source));
    return out;
}

void SignalRecorder::onSignal()
{
    m_names.append(QString::fromLatin1(sender()->metaObject()->method(senderSignalIndex()).name()));
    m_seen.append(readAll(sender()));
}

} // namespace corvane::test
