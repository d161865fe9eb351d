#include "app/AppDelegate.h"

#include "common/Log.h"
#include "state/BarModeSettings.h"
#include "state/Updater.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QJSEngine>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QScreen>
#include <QSettings>
#include <QTimer>

namespace corvane {

namespace {
AppDelegate *s_shared = nullptr;
}

AppDelegate::AppDelegate(AppState *state, QQmlEngine *engine, std::unique_ptr<WindowSystem> ws, QObject *parent)
    : QObject(parent), m_state(state), m_engine(engine), m_ws(std::move(ws))
{
    if (!s_shared)
        s_shared = this;
}

AppDelegate::~AppDelegate()
{
    delete m_barWindow;
    if (s_shared == this)
        s_shared = nullptr;
}

AppDelegate *AppDelegate::shared() { return s_shared; }

AppDelegate *AppDelegate::create(QQmlEngine *, QJSEngine *)
{
    Q_ASSERT(s_shared);
    QJSEngine::setObjectOwnership(s_shared, QJSEngine::CppOwnership);
    return s_shared;
}

QWindow *AppDelegate::barWindow() const { return m_barWindow.data(); }

bool AppDelegate::updatesOffered() const { return Updater::isOffered(); }

void AppDelegate::ensureMainWindow()
{
    if (!m_mainWindow && rebuildMainWindow)
        rebuildMainWindow();
}

void AppDelegate::attachMainWindow(QWindow *window)
{
    m_mainWindow = window;
    m_normalFlags = window->flags();
    m_designMinimum = window->minimumSize();
    window->installEventFilter(this);
    auto followScreen = [this](QScreen *screen) {
        disconnect(m_screenWatch);
        if (screen)
            m_screenWatch = connect(screen, &QScreen::availableGeometryChanged, this, &AppDelegate::fitMainWindowToScreen);
        fitMainWindowToScreen();
    };
    connect(window, &QWindow::screenChanged, this, followScreen);
    followScreen(window->screen());
}

QSize AppDelegate::fittedMinimum(QSize wanted, const QRect &available, const QMargins &frame)
{
    const QSize room(available.width() - frame.left() - frame.right(), available.height() - frame.top() - frame.bottom());
    return wanted.boundedTo(room).expandedTo(QSize(1, 1));
}

void AppDelegate::fitMainWindowToScreen()
{
    QWindow *w = m_mainWindow;
    if (!w || !w->screen())
        return;
    const QRect available = w->screen()->availableGeometry();
    const QMargins frame = w->frameMargins();
    m_fittedFrame = frame;
    const QSize minimum = fittedMinimum(m_designMinimum, available, frame);
    if (w->minimumSize() != minimum)
        w->setMinimumSize(minimum);
    // A window larger than the room a panel leaves is brought inside it; one that fits
    // stays where and as large as the user put it.
    const QSize room(available.width() - frame.left() - frame.right(), available.height() - frame.top() - frame.bottom());
    if (w->width() <= room.width() && w->height() <= room.height())
        return;
    const QSize size = w->size().boundedTo(room);
    QRect outer(w->framePosition(), size.grownBy(frame));
    outer.moveLeft(qBound(available.left(), outer.left(), available.right() + 1 - outer.width()));
    outer.moveTop(qBound(available.top(), outer.top(), available.bottom() + 1 - outer.height()));
    w->resize(size);
    if (w->isVisible())
        w->setFramePosition(outer.topLeft());
}

void AppDelegate::setMainWindowVisible(bool visible)
{
    m_state->mainWindowVisible = visible;
    m_state->updateVisibility();
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    auto *w = qobject_cast<QWindow *>(watched);
    if (w && w == m_barWindow && event->type() == QEvent::MouseButtonPress && !w->isActive())
        m_ws->activate(w);
    if (w && w == m_mainWindow && event->type() == QEvent::Close && trayAvailable) {
        // Decided at the close, not at start: a panel may have come or gone since.
        QGuiApplication::setQuitOnLastWindowClosed(!trayAvailable());
    }
    // A close the window manager asks for (Alt+F4 on the strip) leaves Bar Mode; closing the
    // strip alone would leave nothing on screen while the app still counts it as shown. The
    // app's own closes (at quit) go through.
    if (w && w == m_barWindow && event->type() == QEvent::Close && event->spontaneous()) {
        event->ignore();
        QMetaObject::invokeMethod(this, [this] { if (m_barWindow) exitBarMode(); }, Qt::QueuedConnection);
        return true;
    }
    if (w && w == m_mainWindow) {
        switch (event->type()) {
        case QEvent::Expose:
            // Delivered after the exposure changed: isExposed() is the new state.
            setMainWindowVisible(w->isExposed());
            // The manager's frame is known once the window is mapped; it counts against the room.
            if (w->isExposed() && w->frameMargins() != m_fittedFrame)
                fitMainWindowToScreen();
            break;
        case QEvent::Show:
            // The manager drops a window's states and desktop when it is unmapped (EWMH), and
            // a released window comes back as a new native window: pin it again as it maps
            // (read by the manager when it takes the window) and once it is mapped (the
            // states Qt writes on mapping are only its own).
            if (m_desktopMode) {
                m_ws->setDesktopPinned(w, true);
                QMetaObject::invokeMethod(
                    this,
                    [this, w = QPointer<QWindow>(w)] {
                        if (w && m_desktopMode && w->isVisible())
                            m_ws->setDesktopPinned(w, true);
                    },
                    Qt::QueuedConnection);
            }
            break;
        case QEvent::Hide:
        case QEvent::Close:
            m_savedGeometry = w->geometry();
            m_savedStates = w->windowStates() & (Qt::WindowMaximized | Qt::WindowFullScreen);
            setMainWindowVisible(false);
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

QRect AppDelegate::barRect(const QRect &available, double height, const QString &positionRaw)
{
    const int h = static_cast<int>(BarModeSettings::usableHeight(height));
    const int y = BarModeSettings::decodePosition(positionRaw) == BarModeSettings::Position::bottom
        ? available.y() + available.height() - h
        : available.y();
    return QRect(available.x(), y, available.width(), h);
}

QRect AppDelegate::barArea(const QRect &available, const QList<QRect> &panels)
{
    QRect area = available;
    // Stacked panels (two rows along one edge) are passed one after another.
    for (bool moved = true; moved;) {
        moved = false;
        for (const QRect &p : panels) {
            if (!p.intersects(area))
                continue;
            QRect next = area;
            if (p.width() >= p.height()) {
                if (p.center().y() < area.center().y())
                    next.setTop(p.bottom() + 1);
                else
                    next.setBottom(p.top() - 1);
            } else if (p.center().x() < area.center().x()) {
                next.setLeft(p.right() + 1);
            } else {
                next.setRight(p.left() - 1);
            }
            // A panel in the middle of the screen takes no edge; nothing is left beside it.
            if (next.isEmpty() || next.height() < area.height() / 2 || next.width() < area.width() / 2)
                continue;
            area = next;
            moved = true;
        }
    }
    return area;
}

QQuickWindow *AppDelegate::createBarPanel(const QRect &rect)
{
    ensureMainWindow(); // its shortcuts reach the strip too
    if (!m_engine)
        return nullptr;
    QQmlComponent component(m_engine, QUrl(QStringLiteral("qrc:/Corvane/BarModePanel.qml")));
    QObject *obj = component.createWithInitialProperties({{QStringLiteral("visible"), false}});
    auto *win = qobject_cast<QQuickWindow *>(obj);
    if (!win) {
        qCWarning(lcUi) << "Bar Mode panel could not be created:" << component.errorString();
        delete obj;
        return nullptr;
    }
    // Not activated when it appears, but it takes focus when clicked, so the "Widget"
    // shortcuts reach it while the main window is hidden.
    win->setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint);
    win->setColor(Qt::transparent);
    win->setGeometry(rect);
    win->create();
    m_ws->makeBarPanel(win);
    win->installEventFilter(this);
    return win;
}

QRect AppDelegate::barPlacement() const
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    BarModeSettings *settings = BarModeSettings::shared();
    const QRect area = barArea(screen->availableGeometry(), m_ws->panels());
    return barRect(area, settings->height(), settings->positionRaw());
}

// A panel that comes, goes or changes the space it reserves moves the strip. Changes come in
// bursts (a panel maps, then reserves its row): they are taken together.
void AppDelegate::placeBarLater()
{
    if (!m_placeTimer) {
        m_placeTimer = new QTimer(this);
        m_placeTimer->setSingleShot(true);
        m_placeTimer->setInterval(150);
        connect(m_placeTimer, &QTimer::timeout, this, [this] {
            if (!m_barWindow)
                return;
            const QRect rect = barPlacement();
            if (rect.isValid() && m_barWindow->geometry() != rect)
                m_barWindow->setGeometry(rect);
        });
    }
    if (m_barWindow)
        m_placeTimer->start();
}

void AppDelegate::keepOutOfTaskbar(QWindow *w)
{
    w->create();
    m_ws->keepOutOfTaskbar(w);
}

void AppDelegate::enterBarMode()
{
    const QRect rect = barPlacement();
    if (!rect.isValid())
        return;
    if (!m_panelsWatched) {
        m_panelsWatched = true;
        m_ws->watchPanels(this, [this] { placeBarLater(); });
    }
    QQuickWindow *panel = createBarPanel(rect);
    if (!panel)
        return;
    if (QScreen *screen = QGuiApplication::primaryScreen())
        connect(screen, &QScreen::availableGeometryChanged, panel, [this] { placeBarLater(); });
    panel->show();
    // Made key as it appears, so the "Widget" shortcuts keep working with the window hidden.
    m_ws->activate(panel);
    delete m_barWindow; // toggleBarMode never lets a second panel in
    m_barWindow = panel;
    if (FPSMonitor *fps = m_state->fps())
        fps->attachWindow(panel); // the frame rate of the display that shows the strip
    // The strip counts as shown before the window's hide is seen, so the samplers run on.
    m_state->barModeVisible = true;
    m_state->updateVisibility();
    if (m_mainWindow) {
        if (m_mainWindow->isVisible())
            m_savedGeometry = m_mainWindow->geometry();
        m_mainWindow->hide();
    }
    emit barModeActiveChanged();
}

void AppDelegate::exitBarMode()
{
    ensureMainWindow();
    if (m_barWindow) {
        m_barWindow->hide();
        m_barWindow->deleteLater();
        m_barWindow = nullptr;
        emit barModeActiveChanged();
    }
    if (m_mainWindow) {
        showMainWindow();
        // Counted as shown until its exposure says otherwise, so leaving the strip does
        // not pause the samplers for the moment in between.
        m_state->mainWindowVisible = true;
        if (FPSMonitor *fps = m_state->fps())
            fps->attachWindow(qobject_cast<QQuickWindow *>(m_mainWindow.data()));
    }
    m_state->barModeVisible = false;
    m_state->updateVisibility();
}

void AppDelegate::restoreIfMinimised()
{
    const Qt::WindowStates states = m_mainWindow->windowStates();
    if (states & Qt::WindowMinimized)
        m_mainWindow->setWindowStates(states & ~Qt::WindowMinimized);
}

void AppDelegate::showMainWindow()
{
    restoreIfMinimised();
    // A window mapped again is placed anew by the window manager: put it back where it was.
    if (m_savedGeometry.isValid())
        m_mainWindow->setGeometry(m_savedGeometry);
    if (m_savedStates && !(m_mainWindow->windowStates() & m_savedStates))
        m_mainWindow->setWindowStates(m_mainWindow->windowStates() | m_savedStates);
    m_mainWindow->show();
    if (m_savedGeometry.isValid() && m_mainWindow->geometry() != m_savedGeometry)
        m_mainWindow->setGeometry(m_savedGeometry);
    m_ws->activate(m_mainWindow);
}

void AppDelegate::toggleBarMode()
{
    if (m_barWindow)
        exitBarMode();
    else
        enterBarMode();
}

void AppDelegate::toggleDesktopMode()
{
    ensureMainWindow();
    if (!m_mainWindow)
        return;
    m_desktopMode = !m_desktopMode;
    // Changing the frame re-maps the window on some window managers; it keeps its place.
    const QRect geometry = m_mainWindow->geometry();
    // A Wayland compositor keeps no window below the others, and there Qt's software
    // renderer, given the new frame's buffer, draws only what changes next: natively on
    // Wayland the window keeps its frame and level.
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        m_mainWindow->setFlags(m_desktopMode ? (m_normalFlags & ~Qt::WindowStaysOnTopHint) | Qt::FramelessWindowHint
                                                   | Qt::WindowStaysOnBottomHint | Qt::NoDropShadowWindowHint
                                             : m_normalFlags);
    }
    m_ws->setDesktopPinned(m_mainWindow, m_desktopMode);
    if (m_mainWindow->isVisible()) {
        m_mainWindow->setGeometry(geometry);
        m_savedGeometry = geometry;
    }
    emit desktopModeChanged();
}

void AppDelegate::bringToFront()
{
    // A closed main window is only hidden here (or built again), so it can always come back.
    ensureMainWindow();
    if (m_mainWindow) {
        if (!m_mainWindow->isVisible()) {
            showMainWindow();
        } else {
            restoreIfMinimised(); // a minimised window is still "visible"
            m_ws->activate(m_mainWindow);
        }
    }
}

void AppDelegate::checkForUpdates()
{
    if (!Updater::isOffered())
        return;
    Updater::shared()->checkForUpdates();
}

void AppDelegate::quit()
{
    if (m_quitting)
        return; // a second request while the fans are put back
    m_quitting = true;
    if (!(fanManualActive && fanManualActive() && restoreAutomaticFans && fanRestoreSettled)) {
        QCoreApplication::quit();
        return;
    }
    if (m_barWindow)
        m_barWindow->hide();
    if (m_mainWindow)
        m_mainWindow->hide();
    restoreAutomaticFans();
    auto *poll = new QTimer(this);
    poll->setInterval(20);
    connect(poll, &QTimer::timeout, this, [this, poll] {
        if (!fanRestoreSettled())
            return;
        poll->stop();
        QCoreApplication::quit();
    });
    poll->start();
}

void AppDelegate::trayAvailabilityChanged(bool available)
{
    if (available) {
        if (m_trayGone)
            m_trayGone->stop();
        return;
    }
    // A panel being restarted leaves for a moment and comes back: only one still gone a
    // little later counts.
    if (!m_trayGone) {
        m_trayGone = new QTimer(this);
        m_trayGone->setSingleShot(true);
        m_trayGone->setInterval(1500);
        connect(m_trayGone, &QTimer::timeout, this, [this] {
            if (m_quitting || (trayAvailable && trayAvailable()))
                return;
            // A minimised window is mapped to Qt but on no screen: it comes back restored.
            const bool shown = (m_mainWindow && m_mainWindow->isVisible()
                                && !(m_mainWindow->windowStates() & Qt::WindowMinimized))
                || m_barWindow;
            if (!shown)
                bringToFront();
        });
    }
    m_trayGone->start();
}

void AppDelegate::applyLaunchArguments(const QStringList &arguments)
{
    static const QString tabPrefix = QStringLiteral("--tab=");
    static const QString cardPrefix = QStringLiteral("--openCard=");
    std::optional<SidebarTab> tab;
    std::optional<QuickTestKind> card;
    for (const QString &arg : arguments) {
        if (arg.startsWith(tabPrefix)) {
            if (const auto t = Tabs::fromRawValue(arg.mid(tabPrefix.size())))
                tab = t;
        }
        if (arg.startsWith(cardPrefix)) {
            if (const auto k = QuickTests::fromRawValue(arg.mid(cardPrefix.size())))
                card = k;
        }
    }
    // The tab first, whatever the order given: the dashboard on screen now must not take a
    // test that belongs to its next showing.
    if (tab)
        m_state->setTab(*tab);
    if (card)
        m_state->setPendingQuickTest(*card);
}

void AppDelegate::receiveLaunchArguments(const QStringList &arguments)
{
    applyLaunchArguments(arguments);
    // A quick test asked for without a tab opens on the dashboard, the screen that shows it.
    bool tabGiven = false;
    bool cardGiven = false;
    for (const QString &arg : arguments) {
        tabGiven = tabGiven || (arg.startsWith(QStringLiteral("--tab=")) && Tabs::fromRawValue(arg.mid(6)));
        cardGiven = cardGiven || (arg.startsWith(QStringLiteral("--openCard=")) && QuickTests::fromRawValue(arg.mid(11)));
    }
    if (cardGiven && !tabGiven && m_state->tab() != SidebarTab::live)
        m_state->setTab(SidebarTab::live);
    bringToFront();
}

void AppDelegate::applicationDidFinishLaunching(const QStringList &arguments)
{
    if (bindServices)
        bindServices();
    QSettings settings;
    if (!settings.value(QStringLiteral("didRequestPrivacyAuth"), false).toBool()) {
        // Written before asking, so a user who quits with the prompt open is not asked again.
        settings.setValue(QStringLiteral("didRequestPrivacyAuth"), true);
        settings.sync();
        if (requestNotificationPermission)
            requestNotificationPermission();
    }
    applyLaunchArguments(arguments);
}

void AppDelegate::applicationWillTerminate()
{
    // Also reached without quit() (the last window closed): the restore starts here, and the
    // way out waits for it.
    if (fanManualActive && fanManualActive() && restoreAutomaticFans)
        restoreAutomaticFans();
}

} // namespace corvane
