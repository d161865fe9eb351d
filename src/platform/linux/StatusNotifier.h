#pragma once
// StatusNotifier trays (KDE Plasma, GNOME's AppIndicator extension, swaybar, waybar): the
// watcher on the session bus followed as it comes and goes, and a tray item of our own with
// its menu (com.canonical.dbusmenu) for a watcher that came after Qt chose how to show the icon.
#include <QDBusConnection>
#include <QDBusVariant>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QVariantMap>

class QDBusServiceWatcher;
class QMenu;

namespace corvane {

struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb; // ARGB32, network byte order
};
using SniPixmaps = QList<SniPixmap>;

struct SniToolTip {
    QString iconName;
    SniPixmaps pixmaps;
    QString title;
    QString text;
};

struct DBusMenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayout> children;
};

struct DBusMenuItemProperties {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemPropertiesList = QList<DBusMenuItemProperties>;

struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

// Whether a StatusNotifier watcher is on the bus with a host that shows its items. The
// watcher's name is followed as it changes owner (a panel started late, restarted or gone),
// and its hosts as they register and leave; nothing waits on the bus.
class StatusNotifierWatch : public QObject {
    Q_OBJECT
public:
    // `shownNow`: the caller has just found the watcher with a host.
    StatusNotifierWatch(const QDBusConnection &bus, bool shownNow, QObject *parent = nullptr);
    static const QString &service();

    bool held() const { return !m_owner.isEmpty() && m_hosts; }
    // The watcher's unique name now; empty while there is none.
    QString owner() const { return m_owner; }

signals:
    void heldChanged(bool held);
    // A new watcher took the name: items have to register with it.
    void watcherAppeared(const QString &owner);

private slots:
    void readHosts();

private:
    void ownerChanged(const QString &owner);
    void setHosts(bool hosts);

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher;
    QString m_owner;
    bool m_hosts = false;
    bool m_held = false;
};

namespace sni {

// org.kde.StatusNotifierItem, as hosts read it.
class ItemObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(corvane::SniPixmaps IconPixmap READ iconPixmap)
    Q_PROPERTY(corvane::SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
public:
    using QObject::QObject;
    QString category() const;
    QString id() const;
    QString title() const { return m_toolTip.title; }
    QString status() const;
    QString iconName() const { return {}; }
    SniPixmaps iconPixmap() const { return m_pixmaps; }
    SniToolTip toolTip() const { return m_toolTip; }
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const;

    SniPixmaps m_pixmaps;
    SniToolTip m_toolTip;

public slots:
    Q_SCRIPTABLE void Activate(int x, int y) { emit activated(QPoint(x, y)); }
    Q_SCRIPTABLE void ContextMenu(int x, int y) { emit contextMenuRequested(QPoint(x, y)); }

signals:
    Q_SCRIPTABLE void NewIcon();
    Q_SCRIPTABLE void NewToolTip();
    void activated(QPoint at);
    void contextMenuRequested(QPoint at);
};

// com.canonical.dbusmenu over the actions of a QMenu: one level, ids by position (1, 2, …),
// the root 0.
class MenuObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)
public:
    MenuObject(QMenu *menu, QObject *parent);
    uint version() const { return 3; }
    QString textDirection() const;
    QString status() const;
    QStringList iconThemePath() const { return {}; }

public slots:
    Q_SCRIPTABLE uint GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames,
                                corvane::DBusMenuLayout &layout);
    Q_SCRIPTABLE corvane::DBusMenuItemPropertiesList GetGroupProperties(const QList<int> &ids,
                                                                        const QStringList &propertyNames);
    Q_SCRIPTABLE QDBusVariant GetProperty(int id, const QString &name);
    Q_SCRIPTABLE void Event(int id, const QString &eventId, const QDBusVariant &data, uint timestamp);
    Q_SCRIPTABLE QList<int> EventGroup(const corvane::DBusMenuEventList &events);
    Q_SCRIPTABLE bool AboutToShow(int id);
    Q_SCRIPTABLE QList<int> AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors);

private:
    QVariantMap properties(int id, const QStringList &names) const;
    bool known(int id) const;

    QPointer<QMenu> m_menu;
};

} // namespace sni

// A tray item of our own: the icon, its tooltip and the menu's commands, registered with
// every watcher that takes the name. Activating it reports where; its menu runs the actions.
class StatusNotifierItem : public QObject {
    Q_OBJECT
public:
    StatusNotifierItem(const QDBusConnection &bus, QMenu *menu, StatusNotifierWatch *watch, QObject *parent = nullptr);
    ~StatusNotifierItem() override;

    void setIcon(const QIcon &icon);
    void setToolTip(const QString &title, const QString &text);
    // Whether the object is on the bus (another object may hold the path on a shared connection).
    bool isExported() const { return m_exported; }

signals:
    void activated(QPoint at);
    void contextMenuRequested(QPoint at);

private:
    void registerWith(const QString &watcher);

    QDBusConnection m_bus;
    sni::ItemObject *m_item;
    sni::MenuObject *m_menu;
    bool m_exported = false;
};

} // namespace corvane

Q_DECLARE_METATYPE(corvane::SniPixmap)
Q_DECLARE_METATYPE(corvane::SniToolTip)
Q_DECLARE_METATYPE(corvane::DBusMenuLayout)
Q_DECLARE_METATYPE(corvane::DBusMenuItemProperties)
Q_DECLARE_METATYPE(corvane::DBusMenuEvent)
