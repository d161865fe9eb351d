#include "platform/linux/StatusNotifier.h"

#include "common/Log.h"

#include <QAction>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QImage>
#include <QKeySequence>
#include <QMenu>
#include <QtEndian>

namespace corvane {

namespace {
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kMenuPath = QStringLiteral("/MenuBar");
} // namespace

QDBusArgument &operator<<(QDBusArgument &arg, const SniPixmap &p)
{
    arg.beginStructure();
    arg << p.width << p.height << p.argb;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, SniPixmap &p)
{
    arg.beginStructure();
    arg >> p.width >> p.height >> p.argb;
    arg.endStructure();
    return arg;
}

QDBusArgument &operator<<(QDBusArgument &arg, const SniToolTip &t)
{
    arg.beginStructure();
    arg << t.iconName << t.pixmaps << t.title << t.text;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, SniToolTip &t)
{
    arg.beginStructure();
    arg >> t.iconName >> t.pixmaps >> t.title >> t.text;
    arg.endStructure();
    return arg;
}

// (ia{sv}av): the children travel as variants, each holding the same structure.
QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuLayout &l)
{
    arg.beginStructure();
    arg << l.id << l.properties;
    arg.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const DBusMenuLayout &child : l.children)
        arg << QDBusVariant(QVariant::fromValue(child));
    arg.endArray();
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuLayout &l)
{
    arg.beginStructure();
    arg >> l.id >> l.properties;
    l.children.clear();
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant v;
        arg >> v;
        l.children << qdbus_cast<DBusMenuLayout>(v.variant());
    }
    arg.endArray();
    arg.endStructure();
    return arg;
}

QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuItemProperties &p)
{
    arg.beginStructure();
    arg << p.id << p.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuItemProperties &p)
{
    arg.beginStructure();
    arg >> p.id >> p.properties;
    arg.endStructure();
    return arg;
}

QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuEvent &e)
{
    arg.beginStructure();
    arg << e.id << e.eventId << e.data << e.timestamp;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuEvent &e)
{
    arg.beginStructure();
    arg >> e.id >> e.eventId >> e.data >> e.timestamp;
    arg.endStructure();
    return arg;
}

namespace {
void registerTypes()
{
    static const bool done = [] {
        qDBusRegisterMetaType<SniPixmap>();
        qDBusRegisterMetaType<SniPixmaps>();
        qDBusRegisterMetaType<SniToolTip>();
        qDBusRegisterMetaType<DBusMenuLayout>();
        qDBusRegisterMetaType<DBusMenuItemProperties>();
        qDBusRegisterMetaType<DBusMenuItemPropertiesList>();
        qDBusRegisterMetaType<DBusMenuEvent>();
        qDBusRegisterMetaType<DBusMenuEventList>();
        qDBusRegisterMetaType<QList<QStringList>>();
        return true;
    }();
    (void)done;
}

SniPixmaps pixmapsOf(const QIcon &icon)
{
    SniPixmaps out;
    for (const QSize &size : icon.availableSizes()) {
        const QImage img = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        if (img.isNull())
            continue;
        SniPixmap p{img.width(), img.height(), QByteArray(img.width() * img.height() * 4, Qt::Uninitialized)};
        auto *dst = reinterpret_cast<quint32 *>(p.argb.data());
        for (int y = 0; y < img.height(); ++y) {
            const auto *row = reinterpret_cast<const quint32 *>(img.constScanLine(y));
            for (int x = 0; x < img.width(); ++x)
                *dst++ = qToBigEndian<quint32>(row[x]);
        }
        out << p;
    }
    return out;
}

// Mnemonics are marked with '_' there ('__' for the character), '&' here ('&&').
QString menuLabel(const QString &text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'_')
            out += QStringLiteral("__");
        else if (c == u'&' && i + 1 < text.size() && text.at(i + 1) == u'&')
            out += text.at(++i);
        else
            out += c == u'&' ? QChar(u'_') : c;
    }
    return out;
}

// The first chord of a shortcut as the menu's hosts name it: modifiers, then the key.
QList<QStringList> shortcutKeys(const QKeySequence &seq)
{
    const QKeyCombination chord = seq[0];
    QStringList keys;
    const Qt::KeyboardModifiers mods = chord.keyboardModifiers();
    if (mods & Qt::ControlModifier)
        keys << QStringLiteral("Control");
    if (mods & Qt::AltModifier)
        keys << QStringLiteral("Alt");
    if (mods & Qt::ShiftModifier)
        keys << QStringLiteral("Shift");
    if (mods & Qt::MetaModifier)
        keys << QStringLiteral("Super");
    keys << QKeySequence(chord.key()).toString(QKeySequence::PortableText);
    return {keys};
}

// The watcher's side of the bus answers late or not at all: nothing here waits for it.
template <typename Done>
void whenAnswered(QObject *context, const QDBusPendingCall &call, Done done)
{
    auto *w = new QDBusPendingCallWatcher(call, context);
    QObject::connect(w, &QDBusPendingCallWatcher::finished, context, [w, done] {
        w->deleteLater();
        done(*w);
    });
}
} // namespace

// ---------------------------------------------------------------------------------------------

StatusNotifierWatch::StatusNotifierWatch(const QDBusConnection &bus, bool shownNow, QObject *parent)
    : QObject(parent), m_bus(bus),
      m_watcher(new QDBusServiceWatcher(service(), bus, QDBusServiceWatcher::WatchForOwnerChange, this))
{
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &now) { ownerChanged(now); });
    // A panel may restart its host under a watcher that stays (Plasma keeps the watcher elsewhere).
    m_bus.connect(service(), kWatcherPath, service(), QStringLiteral("StatusNotifierHostRegistered"), this,
                  SLOT(readHosts()));
    m_bus.connect(service(), kWatcherPath, service(), QStringLiteral("StatusNotifierHostUnregistered"), this,
                  SLOT(readHosts()));
    // Known from the start, so a window closed at once already counts the tray: the bus itself
    // names the owner, and a caller that has just seen a host there says so (the watcher's own
    // answer follows).
    if (QDBusConnectionInterface *daemon = m_bus.interface())
        m_owner = daemon->serviceOwner(service()).value();
    m_hosts = shownNow;
    m_held = held();
    readHosts();
}

const QString &StatusNotifierWatch::service()
{
    static const QString name = QStringLiteral("org.kde.StatusNotifierWatcher");
    return name;
}

void StatusNotifierWatch::ownerChanged(const QString &owner)
{
    if (owner == m_owner)
        return;
    m_owner = owner;
    m_hosts = false;
    if (!owner.isEmpty()) {
        qCDebug(lcPlatform) << "StatusNotifier watcher on the bus:" << owner;
        emit watcherAppeared(owner);
        readHosts();
    }
    setHosts(false);
}

void StatusNotifierWatch::readHosts()
{
    if (m_owner.isEmpty())
        return;
    QDBusMessage get = QDBusMessage::createMethodCall(m_owner, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << service() << QStringLiteral("IsStatusNotifierHostRegistered");
    whenAnswered(this, m_bus.asyncCall(get), [this, owner = m_owner](const QDBusPendingCall &call) {
        if (owner != m_owner)
            return; // a watcher gone since
        const QDBusPendingReply<QDBusVariant> reply(call);
        setHosts(reply.isValid() && reply.value().variant().toBool());
    });
}

void StatusNotifierWatch::setHosts(bool hosts)
{
    m_hosts = hosts;
    if (held() == m_held)
        return;
    m_held = held();
    emit heldChanged(m_held);
}

// ---------------------------------------------------------------------------------------------

namespace sni {

QString ItemObject::category() const { return QStringLiteral("ApplicationStatus"); }
QString ItemObject::id() const { return QCoreApplication::applicationName(); }
QString ItemObject::status() const { return QStringLiteral("Active"); }
QDBusObjectPath ItemObject::menu() const { return QDBusObjectPath(kMenuPath); }

MenuObject::MenuObject(QMenu *menu, QObject *parent) : QObject(parent), m_menu(menu) {}

QString MenuObject::textDirection() const
{
    return QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rtl") : QStringLiteral("ltr");
}

QString MenuObject::status() const { return QStringLiteral("normal"); }

bool MenuObject::known(int id) const { return id == 0 || (m_menu && id > 0 && id <= m_menu->actions().size()); }

QVariantMap MenuObject::properties(int id, const QStringList &names) const
{
    QVariantMap all;
    if (id == 0) {
        all.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    } else if (known(id)) {
        const QAction *a = m_menu->actions().at(id - 1);
        if (a->isSeparator()) {
            all.insert(QStringLiteral("type"), QStringLiteral("separator"));
        } else {
            all.insert(QStringLiteral("label"), menuLabel(a->text()));
            all.insert(QStringLiteral("enabled"), a->isEnabled());
            if (!a->shortcut().isEmpty())
                all.insert(QStringLiteral("shortcut"), QVariant::fromValue(shortcutKeys(a->shortcut())));
        }
        all.insert(QStringLiteral("visible"), a->isVisible());
    }
    if (names.isEmpty())
        return all;
    QVariantMap some;
    for (const QString &n : names)
        if (all.contains(n))
            some.insert(n, all.value(n));
    return some;
}

uint MenuObject::GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames, DBusMenuLayout &layout)
{
    layout = DBusMenuLayout{parentId, properties(parentId, propertyNames), {}};
    if (parentId == 0 && recursionDepth != 0 && m_menu) {
        for (int id = 1; id <= m_menu->actions().size(); ++id)
            layout.children << DBusMenuLayout{id, properties(id, propertyNames), {}};
    }
    return 1; // the layout never changes
}

DBusMenuItemPropertiesList MenuObject::GetGroupProperties(const QList<int> &ids, const QStringList &propertyNames)
{
    DBusMenuItemPropertiesList out;
    for (int id : ids)
        if (known(id))
            out << DBusMenuItemProperties{id, properties(id, propertyNames)};
    return out;
}

QDBusVariant MenuObject::GetProperty(int id, const QString &name)
{
    return QDBusVariant(properties(id, {name}).value(name));
}

void MenuObject::Event(int id, const QString &eventId, const QDBusVariant &, uint)
{
    if (eventId != u"clicked" || id <= 0 || !known(id))
        return;
    QAction *a = m_menu->actions().at(id - 1);
    // After the answer has gone back: a command may take a moment (a window built again).
    if (!a->isSeparator() && a->isEnabled())
        QMetaObject::invokeMethod(a, &QAction::trigger, Qt::QueuedConnection);
}

QList<int> MenuObject::EventGroup(const DBusMenuEventList &events)
{
    QList<int> unknown;
    for (const DBusMenuEvent &e : events) {
        if (known(e.id))
            Event(e.id, e.eventId, e.data, e.timestamp);
        else
            unknown << e.id;
    }
    return unknown;
}

bool MenuObject::AboutToShow(int) { return false; }

QList<int> MenuObject::AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors)
{
    idErrors.clear();
    for (int id : ids)
        if (!known(id))
            idErrors << id;
    return {};
}

} // namespace sni

// ---------------------------------------------------------------------------------------------

StatusNotifierItem::StatusNotifierItem(const QDBusConnection &bus, QMenu *menu, StatusNotifierWatch *watch, QObject *parent)
    : QObject(parent), m_bus(bus)
{
    registerTypes();
    m_item = new sni::ItemObject(this);
    m_menu = new sni::MenuObject(menu, this);
    connect(m_item, &sni::ItemObject::activated, this, &StatusNotifierItem::activated);
    connect(m_item, &sni::ItemObject::contextMenuRequested, this, &StatusNotifierItem::contextMenuRequested);
    m_exported = m_bus.registerObject(kItemPath, m_item, QDBusConnection::ExportScriptableContents | QDBusConnection::ExportAllProperties)
        && m_bus.registerObject(kMenuPath, m_menu, QDBusConnection::ExportScriptableContents | QDBusConnection::ExportAllProperties);
    if (!m_exported) {
        qCWarning(lcPlatform) << "The tray item could not be put on the session bus";
        return;
    }
    connect(watch, &StatusNotifierWatch::watcherAppeared, this, &StatusNotifierItem::registerWith);
    if (!watch->owner().isEmpty())
        registerWith(watch->owner());
}

StatusNotifierItem::~StatusNotifierItem()
{
    if (!m_exported)
        return;
    m_bus.unregisterObject(kMenuPath);
    m_bus.unregisterObject(kItemPath);
}

void StatusNotifierItem::registerWith(const QString &watcher)
{
    QDBusMessage call = QDBusMessage::createMethodCall(watcher, kWatcherPath, StatusNotifierWatch::service(),
                                                       QStringLiteral("RegisterStatusNotifierItem"));
    call << m_bus.baseService();
    whenAnswered(this, m_bus.asyncCall(call), [](const QDBusPendingCall &done) {
        if (done.isError())
            qCWarning(lcPlatform) << "The tray did not take the icon:" << done.error().message();
    });
}

void StatusNotifierItem::setIcon(const QIcon &icon)
{
    m_item->m_pixmaps = pixmapsOf(icon);
    emit m_item->NewIcon();
}

void StatusNotifierItem::setToolTip(const QString &title, const QString &text)
{
    m_item->m_toolTip.title = title;
    m_item->m_toolTip.text = text;
    emit m_item->NewToolTip();
}

} // namespace corvane
