#include "notify/PropertyWatch.h"

#include <QMetaMethod>
#include <QtDebug>

namespace corvane {

namespace {
// Exact equality; QVariant's own comparison may be fuzzy for floating point.
bool sameValue(const QVariant &a, const QVariant &b)
{
    const int ta = a.metaType().id(), tb = b.metaType().id();
    if ((ta == QMetaType::Double || ta == QMetaType::Float) && (tb == QMetaType::Double || tb == QMetaType::Float))
        return a.toDouble() == b.toDouble();
    return a == b;
}
} // namespace

PropertyWatch::PropertyWatch(QObject *source, const char *property, int options, Handler handler, QObject *parent)
    : QObject(parent), m_source(source), m_options(options), m_handler(std::move(handler))
{
    if (!source)
        return;
    const QMetaObject *mo = source->metaObject();
    const int index = mo->indexOfProperty(property);
    if (index < 0) {
        qWarning("[PropertyWatch] %s has no property %s", mo->className(), property);
        return;
    }
    m_property = mo->property(index);
    if (!m_property.hasNotifySignal()) {
        qWarning("[PropertyWatch] %s.%s has no notify signal", mo->className(), property);
        return;
    }
    const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("onNotify()"));
    m_valid = bool(connect(source, m_property.notifySignal(), this, slot));
}

void PropertyWatch::start()
{
    if (m_valid)
        deliver(m_property.read(m_source), false);
}

QVariant PropertyWatch::read(const QObject *source, const char *property)
{
    if (!source)
        return {};
    const int index = source->metaObject()->indexOfProperty(property);
    if (index < 0)
        return {};
    return source->metaObject()->property(index).read(source);
}

void PropertyWatch::onNotify()
{
    if (m_source)
        deliver(m_property.read(m_source), bool(m_options & AfterUpdate));
}

void PropertyWatch::deliver(const QVariant &v, bool later)
{
    if (m_options & Distinct) {
        if (m_last && sameValue(*m_last, v))
            return;
        m_last = v;
    }
    if (!later) {
        m_handler(v);
        return;
    }
    // Every change is handed over, in order, even when several arrive before the loop turns.
    QMetaObject::invokeMethod(this, [this, v] { m_handler(v); }, Qt::QueuedConnection);
}

} // namespace corvane
