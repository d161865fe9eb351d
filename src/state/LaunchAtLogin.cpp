#include "state/LaunchAtLogin.h"

#include "common/Log.h"

#include <QCoreApplication>
#include <QJSEngine>

namespace corvane {

namespace {
LaunchAtLogin *s_shared = nullptr;
}

LaunchAtLogin::LaunchAtLogin(std::unique_ptr<LoginItem> item, QObject *parent)
    : QObject(parent), m_item(std::move(item))
{
    m_isEnabled = m_item->isEnabled();
}

LaunchAtLogin::~LaunchAtLogin()
{
    if (s_shared == this)
        s_shared = nullptr;
}

LaunchAtLogin *LaunchAtLogin::shared()
{
    if (!s_shared) {
        const QString exe = QCoreApplication::applicationFilePath();
        s_shared = new LaunchAtLogin(makeXdgAutostartItem(exe), QCoreApplication::instance());
    }
    return s_shared;
}

LaunchAtLogin *LaunchAtLogin::create(QQmlEngine *, QJSEngine *)
{
    auto *s = shared();
    QJSEngine::setObjectOwnership(s, QJSEngine::CppOwnership);
    return s;
}

void LaunchAtLogin::setIsEnabled(bool v)
{
    m_isEnabled = v;
    emit isEnabledChanged();
}

void LaunchAtLogin::setLastError(std::optional<QString> e)
{
    if (e)
        qCWarning(lcState).noquote() << "launch at login not changed:" << *e;
    m_lastError = std::move(e);
    emit lastErrorChanged();
}

void LaunchAtLogin::setEnabled(bool enabled)
{
    std::optional<QString> failure;
    if (enabled) {
        if (m_item->isEnabled()) {
            setIsEnabled(true);
            return;
        }
        failure = m_item->registerApp();
    } else {
        failure = m_item->unregisterApp();
    }
    setLastError(failure);
    setIsEnabled(m_item->isEnabled());
}

} // namespace corvane
