#pragma once
// Window modes (Bar Mode, desktop mode, bring to front), launch arguments and the
// start-up and quit wiring of the application.
#include "platform/WindowSystem.h"
#include "state/AppState.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QQuickWindow>
#include <QTimer>
#include <QWindow>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <memory>

class QQmlEngine;
class QJSEngine;

namespace corvane {

class AppDelegate : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool barModeActive READ barModeActive NOTIFY barModeActiveChanged)
    Q_PROPERTY(bool desktopMode READ desktopMode NOTIFY desktopModeChanged)
    Q_PROPERTY(bool updatesOffered READ updatesOffered CONSTANT)
public:
    AppDelegate(AppState *state, QQmlEngine *engine, std::unique_ptr<WindowSystem> ws, QObject *parent = nullptr);
    ~AppDelegate() override;
    static AppDelegate *shared();
    static AppDelegate *create(QQmlEngine *, QJSEngine *);

    // The main window reports itself once it exists.
    void attachMainWindow(QWindow *window);
    QWindow *mainWindow() const { return m_mainWindow.data(); }
    // The engine that builds the windows; replaced when the interface is built again.
    QQmlEngine *engine() const { return m_engine; }
    void setEngine(QQmlEngine *engine) { m_engine = engine; }
    // Builds the main window (and the engine behind it) again if it was released while
    // every surface was hidden. Everything that needs a window or the engine calls this first.
    void ensureMainWindow();
    // Builds the engine and the main window again and reports them through attachMainWindow
    // and setEngine; set where the app owns them.
    std::function<void()> rebuildMainWindow;
    QWindow *barWindow() const;
    bool barModeActive() const { return m_barWindow != nullptr; }
    bool desktopMode() const { return m_desktopMode; }
    // Whether the hidden main window must keep its native window: desktop mode's pinning
    // lives there, and in Bar Mode the window comes back by itself, as the same window to
    // the window manager and to whatever addresses it (a close aimed at it, a taskbar).
    bool keepsNativeMainWindow() const { return m_desktopMode || barModeActive(); }
    bool updatesOffered() const;

    Q_INVOKABLE void enterBarMode();
    Q_INVOKABLE void exitBarMode();
    Q_INVOKABLE void toggleBarMode();
    Q_INVOKABLE void toggleDesktopMode();
    Q_INVOKABLE void bringToFront();
    Q_INVOKABLE void checkForUpdates();
    // Ends the app: with fans forced, the windows go and the loop runs on while the helper
    // puts them back (bounded), then the app quits. Termination signals come here too.
    Q_INVOKABLE void quit();

    // The main window's least content size: the designed one, or less where the screen's
    // available area minus the manager's frame is smaller.
    static QSize fittedMinimum(QSize wanted, const QRect &available, const QMargins &frame);
    void fitMainWindowToScreen();

    // The strip's rectangle on a screen's available area for a height and stored edge.
    static QRect barRect(const QRect &available, double height, const QString &positionRaw);
    // What other panels leave of the available area: one that reserves no space
    // still keeps its row (along the top or bottom) or its column (left or right) to itself.
    static QRect barArea(const QRect &available, const QList<QRect> &panels);

    // Readies a small window of the app's own (the tray popup) to stay out of the taskbar and
    // pager; before it is shown.
    void keepOutOfTaskbar(QWindow *w);

    void applyLaunchArguments(const QStringList &arguments);
    // A later launch's arguments, handed over by that launch: applied, then the window
    // comes to the front.
    void receiveLaunchArguments(const QStringList &arguments);
    // Runs once the event loop is up: binds the notifiers, asks once for notification
    // permission, applies the launch arguments.
    void applicationDidFinishLaunching(const QStringList &arguments);
    // At quit: automatic fans back when a manual override is active.
    void applicationWillTerminate();

    // Hooks the services that arrive with their own subsystems.
    std::function<void()> bindServices;
    std::function<void()> requestNotificationPermission;
    std::function<bool()> fanManualActive;
    // Starts putting the fans back (returns at once; once per run) …
    std::function<void()> restoreAutomaticFans;
    // … and says, without waiting, whether that has ended or its time is up.
    std::function<bool()> fanRestoreSettled;
    // Whether a tray holds the app's icon now. With one, closing the window leaves the app
    // running there; without one, closing it quits.
    std::function<bool()> trayAvailable;
    // A tray came or went. One gone for good while nothing is shown brings the window back:
    // the app is never left running with no way in.
    void trayAvailabilityChanged(bool available);

signals:
    void barModeActiveChanged();
    void desktopModeChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setMainWindowVisible(bool visible);
    void showMainWindow();
    void restoreIfMinimised();
    QQuickWindow *createBarPanel(const QRect &rect);
    // Where the strip belongs now: the screen's work area less the other panels.
    QRect barPlacement() const;
    void placeBarLater();

    AppState *m_state;
    QQmlEngine *m_engine;
    std::unique_ptr<WindowSystem> m_ws;
    QPointer<QWindow> m_mainWindow;
    QPointer<QQuickWindow> m_barWindow;
    bool m_desktopMode = false;
    bool m_quitting = false;
    // Where the main window was last seen, so it comes back there after being hidden, and
    // whether it was maximised or full screen (a rebuilt window would not know).
    QRect m_savedGeometry;
    Qt::WindowStates m_savedStates;
    Qt::WindowFlags m_normalFlags;
    QSize m_designMinimum;
    QMargins m_fittedFrame;
    QMetaObject::Connection m_screenWatch;
    QTimer *m_trayGone = nullptr;
    bool m_panelsWatched = false;
    QTimer *m_placeTimer = nullptr;
};

} // namespace corvane
