#include "app/MenuBarExtra.h"
#include "app/HiddenRelease.h"

#include "common/Log.h"
#include "common/Numbers.h"
#include "platform/linux/StatusNotifier.h"

#include <QCursor>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QImageReader>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QQmlComponent>
#include <QTimer>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QScreen>
#include <QSystemTrayIcon>
#include <qpa/qplatformnativeinterface.h>
#include <qpa/qplatformsystemtrayicon.h>
#include <qpa/qplatformtheme.h>
#include <private/qguiapplication_p.h>

#include <memory>

namespace corvane {

MenuBarExtra::MenuBarExtra(AppState *state, AppDelegate *delegate, QObject *parent)
    : QObject(parent), m_state(state), m_delegate(delegate)
{
    m_tray = new QSystemTrayIcon(menuBarIcon(0), this);
    m_tray->setToolTip(QStringLiteral("Corvane"));

    m_menu = new QMenu(QStringLiteral("Widget"));
    auto add = [this](const QString &title, const QKeySequence &keys, void (AppDelegate::*slot)()) {
        QAction *a = m_menu->addAction(title);
        a->setShortcut(keys);
        a->setShortcutVisibleInContextMenu(true);
        connect(a, &QAction::triggered, m_delegate, slot);
    };
    add(QStringLiteral("Comută Bar Mode (sus pe ecran)"), QKeySequence(Qt::CTRL | Qt::Key_D), &AppDelegate::toggleBarMode);
    add(QStringLiteral("Comută Modul Desktop (lipit de wallpaper)"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D),
        &AppDelegate::toggleDesktopMode);
    add(QStringLiteral("Adu în Față"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F), &AppDelegate::bringToFront);
    // Without a way out here, a user whose popup cannot open has none.
    m_menu->addSeparator();
    connect(m_menu->addAction(QStringLiteral("Ieșire")), &QAction::triggered, m_delegate, &AppDelegate::quit);
    m_tray->setContextMenu(m_menu);

    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::DoubleClick)
            togglePopup();
    });
    m_tray->show();

    // Qt docks the icon in an XEmbed tray that comes later (a panel started after the app at
    // login, or restarted) by itself; what closing the window does follows that tray.
    QObject *native = QGuiApplication::platformNativeInterface();
    if (native && native->metaObject()->indexOfSignal("systemTrayWindowChanged(QScreen*)") >= 0)
        connect(native, SIGNAL(systemTrayWindowChanged(QScreen*)), this, SLOT(trayHostChanged()));

    // StatusNotifier trays (Plasma, GNOME's AppIndicator, swaybar) are a watcher on the session
    // bus. Qt gives its icon to one only if it was there when the first icon was made, and
    // decides that once per run (its platform theme keeps the answer): the icon made above
    // fixed it. A watcher that comes later gets an item of our own, and while a watcher shows
    // it the XEmbed icon stays away (Plasma's XEmbed proxy would show it twice).
    const std::unique_ptr<QPlatformSystemTrayIcon> probe(
        QGuiApplicationPrivate::platformTheme() ? QGuiApplicationPrivate::platformTheme()->createPlatformSystemTrayIcon()
                                                : nullptr);
    m_qtOnWatcher = probe != nullptr;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        m_watch = new StatusNotifierWatch(bus, m_qtOnWatcher, this);
        connect(m_watch, &StatusNotifierWatch::heldChanged, this, &MenuBarExtra::trayHostChanged);
        if (!m_qtOnWatcher) {
            m_item = new StatusNotifierItem(bus, m_menu, m_watch, this);
            m_item->setIcon(menuBarIcon(0));
            m_item->setToolTip(QStringLiteral("Corvane"), {});
            connect(m_item, &StatusNotifierItem::activated, this, [this](QPoint at) { togglePopup(at); });
            connect(m_item, &StatusNotifierItem::contextMenuRequested, this, [this](QPoint at) { m_menu->popup(at); });
            connect(m_watch, &StatusNotifierWatch::heldChanged, m_tray, [this](bool held) { m_tray->setVisible(!held); });
        }
    }
    m_hostSeen = isAvailable();
}

void MenuBarExtra::trayHostChanged()
{
    const bool available = isAvailable();
    if (available == m_hostSeen)
        return;
    m_hostSeen = available;
    emit availabilityChanged(available);
}

MenuBarExtra::~MenuBarExtra()
{
    // A window being destroyed still reports itself hidden; by then it is no longer a
    // QQuickWindow, so it must not reach popupVisibilityChanged.
    if (QQuickWindow *popup = m_popup.data()) {
        m_popup = nullptr;
        popup->disconnect(this);
        delete popup;
    }
    delete m_menu;
}

bool MenuBarExtra::isAvailable() const
{
    if (m_watch && m_watch->held())
        return true;
    // Qt's icon on a watcher is in no XEmbed tray, whatever one is there.
    return !m_qtOnWatcher && QSystemTrayIcon::isSystemTrayAvailable();
}

QString MenuBarExtra::labelText(double cpuTemp)
{
    if (!(cpuTemp > 0))
        return {};
    const auto whole = checkedCast<long long>(cpuTemp);
    if (!whole)
        return {};
    return printfInt(*whole) + QStringLiteral("°");
}

QImage MenuBarExtra::brandMark(int side)
{
    QImageReader reader(QStringLiteral(":/images/VexelMark.svg"));
    reader.setScaledSize(QSize(side, side));
    QImage img = reader.read();
    return img.isNull() ? img : img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QIcon MenuBarExtra::menuBarIcon(double cpuTemp)
{
    const QString text = labelText(cpuTemp);
    QIcon icon;
    for (int side : {16, 22, 32, 48, 64}) {
        QImage pm(side, side, QImage::Format_ARGB32_Premultiplied);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        // The white mark over a dark outline of itself reads on light and dark panels.
        const int pad = qMax(1, side / 16);
        const QImage mark = brandMark(side - 2 * pad);
        if (!mark.isNull()) {
            QImage outline = mark;
            QPainter o(&outline);
            o.setCompositionMode(QPainter::CompositionMode_SourceIn);
            o.fillRect(outline.rect(), QColor(16, 18, 26, 235));
            o.end();
            for (int dx = -pad; dx <= pad; ++dx)
                for (int dy = -pad; dy <= pad; ++dy)
                    if (dx || dy)
                        p.drawImage(pad + dx, pad + dy, outline);
            p.drawImage(pad, pad, mark);
        }
        if (!text.isEmpty()) {
            // The temperature on a dark tag across the lower half, the mark still visible above.
            QFont f(QStringLiteral("DejaVu Sans Mono"));
            f.setBold(true);
            f.setPixelSize(qMax(6, int(side * (text.size() > 3 ? 0.36 : 0.46))));
            p.setFont(f);
            const QRectF tag(0, side * 0.5, side, side * 0.5);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(16, 18, 26, 225));
            p.drawRoundedRect(tag, side * 0.12, side * 0.12);
            p.setPen(Qt::white);
            p.drawText(tag, Qt::AlignCenter, text);
        }
        p.end();
        icon.addPixmap(QPixmap::fromImage(pm));
    }
    return icon;
}

void MenuBarExtra::setCpuTemp(double celsius)
{
    const QString text = labelText(celsius);
    if (text == m_label)
        return;
    m_label = text;
    m_tray->setIcon(menuBarIcon(celsius));
    m_tray->setToolTip(text.isEmpty() ? QStringLiteral("Corvane") : QStringLiteral("Corvane · ") + text);
    if (m_item) {
        m_item->setIcon(m_tray->icon());
        m_item->setToolTip(QStringLiteral("Corvane"), text);
    }
}

void MenuBarExtra::togglePopup(QPoint near)
{
    if (!m_popup) {
        // The engine may have gone with the main window while everything was hidden.
        m_delegate->ensureMainWindow();
        QQmlEngine *engine = m_delegate->engine();
        if (!engine)
            return;
        QQmlComponent c(engine, QUrl(QStringLiteral("qrc:/Corvane/MenuBarPopupWindow.qml")));
        m_popup = qobject_cast<QQuickWindow *>(c.createWithInitialProperties({{QStringLiteral("visible"), false}}));
        if (!m_popup) {
            qCWarning(lcUi) << "Popup could not be created:" << c.errorString();
            return;
        }
        m_delegate->keepOutOfTaskbar(m_popup);
        connect(m_popup, &QWindow::visibleChanged, this, &MenuBarExtra::popupVisibilityChanged);
        // The focus handed to the main window (an action brought it forward) is no momentary
        // loss: the popup goes at once.
        connect(qGuiApp, &QGuiApplication::focusWindowChanged, m_popup, [this, popup = m_popup.data()](QWindow *w) {
            if (w && (w == m_delegate->mainWindow() || w == m_delegate->barWindow()) && popup->isVisible())
                popup->hide();
        });
    }
    if (m_popup->isVisible()) {
        m_popup->hide();
        return;
    }
    // Next to the icon: below it on a top panel, above it on a bottom one.
    QRect anchor = m_tray->geometry();
    if (!anchor.isValid())
        anchor = QRect(near.isNull() ? QCursor::pos() : near, QSize(1, 1));
    QScreen *screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    const QSize size = m_popup->size();
    int x = anchor.center().x() - size.width() / 2;
    int y = anchor.bottom() + 6;
    if (y + size.height() > avail.bottom())
        y = anchor.top() - 6 - size.height();
    x = qBound(avail.left(), x, avail.right() - size.width());
    y = qBound(avail.top(), y, avail.bottom() - size.height());
    m_popup->setPosition(x, y);
    m_popup->show();
    m_popup->raise();
    m_popup->requestActivate();
}

void MenuBarExtra::popupVisibilityChanged(bool visible)
{
    m_state->menuPopupVisible = visible;
    m_state->updateVisibility();
    if (!visible && m_popup) {
        // Built again on the next click: a closed popup keeps no scene. Until it is gone it
        // hears no more focus changes (their handler reaches into this object, which may go first).
        disconnect(qGuiApp, nullptr, m_popup, nullptr);
        m_popup->deleteLater();
        m_popup = nullptr;
        QTimer::singleShot(500, this, &trimFreedMemory);
    }
}

} // namespace corvane
