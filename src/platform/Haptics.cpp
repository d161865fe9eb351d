#include "platform/Haptics.h"

#include <QCoreApplication>
#include <QJSEngine>

namespace corvane {

namespace {
Haptics *s_shared = nullptr;
}

Haptics::Haptics(QObject *parent) : QObject(parent) {}

Haptics *Haptics::shared()
{
    if (!s_shared) {
        s_shared = new Haptics(QCoreApplication::instance());
        QObject::connect(s_shared, &QObject::destroyed, [] { s_shared = nullptr; });
    }
    return s_shared;
}

Haptics *Haptics::create(QQmlEngine *, QJSEngine *)
{
    Haptics *h = shared();
    QJSEngine::setObjectOwnership(h, QJSEngine::CppOwnership);
    return h;
}

void Haptics::perform(int pattern)
{
    // Bounded: only the last few patterns matter to anyone reading them.
    if (m_performed.size() >= 64)
        m_performed.removeFirst();
    m_performed.append(pattern);
    emit performedPattern(pattern);
}

} // namespace corvane
