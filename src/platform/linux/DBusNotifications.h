#pragma once
// Notifications through org.freedesktop.Notifications on the session bus.
#include "platform/Notifications.h"

#include <QDBusConnection>
#include <QObject>

namespace corvane {

class DBusNotifications final : public QObject, public Notifications {
    Q_OBJECT
public:
    explicit DBusNotifications(const QDBusConnection &bus, QObject *parent = nullptr);
    ~DBusNotifications() override;

    void post(const QString &title, const QString &body) override;
    // Authorised means a notification server answers on the bus.
    void queryAuthorization(QObject *context, std::function<void(bool)> done) override;

    static const QString &service();
    // The body as sent: escaped for servers that read markup.
    static QString bodyText(const QString &body, bool markup);

private:
    QDBusConnection m_bus;
    bool m_bodyMarkup = true;
};

} // namespace corvane
