#include "platform/linux/DBusNotifications.h"

#include "common/AppIdentity.h"
#include "common/Log.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QVariantMap>

namespace corvane {

namespace {
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
DBusNotifications *s_system = nullptr;
} // namespace

const QString &DBusNotifications::service()
{
    static const QString name = QStringLiteral("org.freedesktop.Notifications");
    return name;
}

DBusNotifications::DBusNotifications(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_bus(bus)
{
    if (!m_bus.isConnected())
        return;
    // Servers that parse markup in bodies say so; until one has answered, assume it does.
    QDBusMessage call = QDBusMessage::createMethodCall(service(), kPath, kInterface, QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<QStringList> reply = *w;
        if (!reply.isError())
            m_bodyMarkup = reply.value().contains(QStringLiteral("body-markup"));
        w->deleteLater();
    });
}

QString DBusNotifications::bodyText(const QString &body, bool markup)
{
    // App and device names are outside text: "&" or "<" in them must not become markup.
    return markup ? body.toHtmlEscaped() : body;
}

DBusNotifications::~DBusNotifications()
{
    if (s_system == this)
        s_system = nullptr;
}

void DBusNotifications::post(const QString &title, const QString &body)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service(), kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("Corvane") // app_name
         << uint(0)                   // replaces_id
         << kAppId                    // app_icon: the installed icon's name
         << title << bodyText(body, m_bodyMarkup)
         << QStringList()             // actions
         // The desktop entry names the sender in the server's settings and history.
         << QVariantMap{{QStringLiteral("desktop-entry"), kAppId}}
         << int(-1);                  // expire_timeout: the server's default
    // The reply changes nothing; a failure is only logged.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [watcher] {
        if (watcher->isError())
            qCWarning(lcPlatform).noquote() << "notification not shown:" << watcher->error().message();
        watcher->deleteLater();
    });
}

void DBusNotifications::queryAuthorization(QObject *context, std::function<void(bool)> done)
{
    if (!m_bus.isConnected()) {
        // Keep the answer asynchronous, as it is with a bus.
        QMetaObject::invokeMethod(context, [done] { done(false); }, Qt::QueuedConnection);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(service(), kPath, kInterface,
                                                       QStringLiteral("GetServerInformation"));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [done, watcher](QDBusPendingCallWatcher *) {
                         const bool answered = !watcher->isError();
                         watcher->deleteLater();
                         done(answered);
                     });
}

Notifications *Notifications::system()
{
    if (!s_system)
        s_system = new DBusNotifications(QDBusConnection::sessionBus(), QCoreApplication::instance());
    return s_system;
}

} // namespace corvane
