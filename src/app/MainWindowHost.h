#pragma once
// The QML engine and the main window it builds. While every surface is hidden neither is
// needed: both go (the engine's compiled types, script heap, identifiers and caches with
// them) and are built again on the next show. The app's state (tab, settings, monitors)
// lives outside them; the window's place lives with the delegate.
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class QQmlApplicationEngine;
class QQmlEngine;
class QQuickWindow;

namespace corvane {

class AppDelegate;
class AppState;

class MainWindowHost : public QObject {
    Q_OBJECT
public:
    // `releaseDelayMs` after every surface is hidden (after the window's own release),
    // the engine and the window go if nothing holds them. Building them again costs a
    // tenth of a second or so on the next show, so a window closed and opened again at
    // once keeps them. Made before the delegate and the
    // tray, so the engine outlives the windows they built with it.
    explicit MainWindowHost(AppState *state, int releaseDelayMs = 10'000, QObject *parent = nullptr);
    ~MainWindowHost() override;

    // The delegate that shows the window and builds the other surfaces with the engine.
    void serve(AppDelegate *delegate);

    // Builds the engine and the main window if they are gone and hands them to the delegate;
    // a window built again starts hidden (the delegate shows it where it was).
    bool build(bool visible);
    QQmlEngine *engine() const;
    QQuickWindow *window() const { return m_window; }
    bool isBuilt() const { return m_engine != nullptr; }

    // Whether the engine and the window can go now: every surface hidden, the window not
    // kept by a window mode, no sheet open in it and no other window of the engine shown.
    bool canRelease() const;
    void release();

private slots:
    void restartReleaseWait();

private:
    void considerRelease();

    AppState *m_state;
    AppDelegate *m_delegate = nullptr;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QPointer<QQuickWindow> m_window;
    QTimer m_releaseTimer;
};

} // namespace corvane
