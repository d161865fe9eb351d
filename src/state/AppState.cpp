#include "state/AppState.h"

#include <QJSEngine>

namespace corvane {

namespace {
AppState *s_shared = nullptr;
}

AppState::AppState(QObject *parent) : QObject(parent)
{
    // Creation order is the monitors' start order.
    m_system = new SystemMonitor(this);
    m_network = new NetworkMonitor(this);
    m_storage = new StorageMonitor(this);
    m_processes = new ProcessMonitor(this);
    if (!s_shared)
        s_shared = this;
}

AppState::~AppState()
{
    if (s_shared == this)
        s_shared = nullptr;
}

AppState *AppState::shared()
{
    return s_shared;
}

AppState *AppState::create(QQmlEngine *, QJSEngine *)
{
    Q_ASSERT(s_shared);
    QJSEngine::setObjectOwnership(s_shared, QJSEngine::CppOwnership);
    return s_shared;
}

} // namespace corvane
