#pragma once
// A stand-in for NetworkManager on a private bus: answers GetDevices and Properties.GetAll
// from tables the test fills in.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QMap>
#include <QMutex>
#include <QVariantMap>

#include <atomic>

namespace corvane::test {

class FakeWiFiNetworkManager final : public QDBusVirtualObject {
public:
    static constexpr auto kService = "org.freedesktop.NetworkManager";
    static constexpr auto kRoot = "/org/freedesktop/NetworkManager";

    // Property tables by object path and interface name.
    void setProperties(const QString &path, const QString &iface, const QVariantMap &props)
    {
        QMutexLocker l(&m_mutex);
        m_props[path][iface] = props;
    }
    void setDevices(const QStringList &paths)
    {
        QMutexLocker l(&m_mutex);
        m_devices = paths;
    }
    void setSilent(bool silent)
    {
        QMutexLocker l(&m_mutex);
        m_silent = silent;
    }

    // Sends PropertiesChanged for `path` from `conn`, the connection that owns the service name.
    static bool announce(const QDBusConnection &conn, const QString &path, const QString &iface,
                         const QVariantMap &changed)
    {
        QDBusMessage sig = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("PropertiesChanged"));
        sig << iface << changed << QStringList();
        return conn.send(sig);
    }

    std::atomic<int> deviceListings{0};
    std::atomic<int> calls{0}; // every method call received, swallowed ones too

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &msg, const QDBusConnection &conn) override
    {
        QMutexLocker l(&m_mutex);
        ++calls;
        if (m_silent)
            return true; // swallow the call: the caller must give up on its own
        if (msg.member() == u"GetDevices" && msg.path() == QLatin1String(kRoot)) {
            ++deviceListings;
            QList<QDBusObjectPath> out;
            for (const auto &p : m_devices)
                out.append(QDBusObjectPath(p));
            conn.send(msg.createReply(QVariant::fromValue(out)));
            return true;
        }
        if (msg.member() == u"GetAll" && !msg.arguments().isEmpty()) {
            const QString iface = msg.arguments().constFirst().toString();
            const auto byPath = m_props.constFind(msg.path());
            if (byPath != m_props.constEnd() && byPath->contains(iface)) {
                conn.send(msg.createReply(QVariant(byPath->value(iface))));
                return true;
            }
        }
        conn.send(msg.createErrorReply(QDBusError::UnknownObject, QStringLiteral("no such object")));
        return true;
    }

private:
    QMutex m_mutex;
    QMap<QString, QMap<QString, QVariantMap>> m_props;
    QStringList m_devices;
    bool m_silent = false;
};

} // namespace corvane::test
