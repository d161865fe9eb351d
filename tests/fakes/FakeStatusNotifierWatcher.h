#pragma once
// A stand-in for a panel's StatusNotifier watcher on the private session bus: it takes the
// watcher's name on a connection of its own, says a host shows its items, and records the
// items that register. Stopping it drops the connection, as a panel that exits does.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMutex>
#include <QStringList>
#include <QVariantMap>

#include <functional>

namespace corvane::test {

class FakeStatusNotifierWatcher final : public QDBusVirtualObject {
public:
    static constexpr auto kService = "org.kde.StatusNotifierWatcher";
    static constexpr auto kPath = "/StatusNotifierWatcher";

    ~FakeStatusNotifierWatcher() override { stop(); }

    // On the session bus, or on the bus at `address`.
    bool start(const QString &address = {})
    {
        m_name = QStringLiteral("fake-sni-watcher-%1").arg(++m_runs);
        QDBusConnection c = address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_name)
                                              : QDBusConnection::connectToBus(address, m_name);
        return c.isConnected() && c.registerVirtualObject(kPath, this) && c.registerService(kService);
    }
    void stop()
    {
        if (m_name.isEmpty())
            return;
        QDBusConnection::disconnectFromBus(m_name);
        m_name.clear();
        QMutexLocker l(&m_mutex);
        m_items.clear();
    }

    // Bus names of the items that registered with this run.
    QStringList items() const
    {
        QMutexLocker l(&m_mutex);
        return m_items;
    }

    QString introspect(const QString &) const override
    {
        return QStringLiteral(
            "<interface name=\"org.kde.StatusNotifierWatcher\">"
            "<method name=\"RegisterStatusNotifierItem\"><arg name=\"service\" type=\"s\" direction=\"in\"/></method>"
            "<method name=\"RegisterStatusNotifierHost\"><arg name=\"service\" type=\"s\" direction=\"in\"/></method>"
            "<property name=\"RegisteredStatusNotifierItems\" type=\"as\" access=\"read\"/>"
            "<property name=\"IsStatusNotifierHostRegistered\" type=\"b\" access=\"read\"/>"
            "<property name=\"ProtocolVersion\" type=\"i\" access=\"read\"/>"
            "<signal name=\"StatusNotifierItemRegistered\"><arg type=\"s\"/></signal>"
            "<signal name=\"StatusNotifierHostRegistered\"/>"
            "</interface>");
    }

    // Called on the bus's own thread.
    bool handleMessage(const QDBusMessage &msg, const QDBusConnection &conn) override
    {
        const QString member = msg.member();
        if (msg.interface() == QLatin1String(kService) && member == u"RegisterStatusNotifierItem") {
            const QString service = msg.arguments().value(0).toString();
            {
                QMutexLocker l(&m_mutex);
                // A path alone names an object of the caller's.
                m_items << (service.startsWith(u'/') ? msg.service() : service);
            }
            conn.send(msg.createReply());
            return true;
        }
        if (msg.interface() == QLatin1String(kService) && member == u"RegisterStatusNotifierHost") {
            conn.send(msg.createReply());
            return true;
        }
        if (msg.interface() == u"org.freedesktop.DBus.Properties" && (member == u"Get" || member == u"GetAll")) {
            QVariantMap props{{"IsStatusNotifierHostRegistered", true}, {"ProtocolVersion", 0}};
            props.insert("RegisteredStatusNotifierItems", items());
            if (member == u"GetAll") {
                conn.send(msg.createReply(QVariant::fromValue(props)));
            } else {
                const QString name = msg.arguments().value(1).toString();
                if (!props.contains(name))
                    conn.send(msg.createErrorReply(QDBusError::UnknownProperty, name));
                else
                    conn.send(msg.createReply(QVariant::fromValue(QDBusVariant(props.value(name)))));
            }
            return true;
        }
        return false; // introspection is answered by Qt from introspect()
    }

private:
    mutable QMutex m_mutex;
    QStringList m_items;
    QString m_name;
    int m_runs = 0;
};

// The panel's side of an item: its menu read over `bus` and the first entry `pick` takes (by
// its dbusmenu properties) clicked. False when the menu isn't there (yet), no entry is taken,
// or the click went nowhere.
inline bool clickTrayMenu(const QDBusConnection &bus, const QString &item,
                          const std::function<bool(const QVariantMap &)> &pick)
{
    QDBusMessage get = QDBusMessage::createMethodCall(item, "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get");
    get << QString("org.kde.StatusNotifierItem") << QString("Menu");
    const QDBusMessage menu = bus.call(get, QDBus::Block, 10000);
    const QString path = menu.arguments().value(0).value<QDBusVariant>().variant().value<QDBusObjectPath>().path();
    if (path.isEmpty())
        return false;
    QDBusMessage ask = QDBusMessage::createMethodCall(item, path, "com.canonical.dbusmenu", "GetLayout");
    ask << 0 << -1 << QStringList();
    const QDBusMessage layout = bus.call(ask, QDBus::Block, 10000);
    if (layout.signature() != "u(ia{sv}av)")
        return false;
    const QDBusArgument root = layout.arguments().at(1).value<QDBusArgument>();
    int id = 0;
    QVariantMap props;
    int found = -1;
    root.beginStructure();
    root >> id >> props;
    root.beginArray();
    while (!root.atEnd()) {
        QDBusVariant v;
        root >> v;
        const QDBusArgument child = v.variant().value<QDBusArgument>();
        child.beginStructure();
        child >> id >> props;
        child.endStructure(); // each level opened is closed, or its reader is never freed
        if (found < 0 && pick(props))
            found = id;
    }
    root.endArray();
    root.endStructure();
    if (found < 0)
        return false;
    QDBusMessage click = QDBusMessage::createMethodCall(item, path, "com.canonical.dbusmenu", "Event");
    click << found << QString("clicked") << QVariant::fromValue(QDBusVariant(0)) << 0u;
    return bus.call(click, QDBus::Block, 10000).type() == QDBusMessage::ReplyMessage;
}

} // namespace corvane::test
