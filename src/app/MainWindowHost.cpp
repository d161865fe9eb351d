#include "app/MainWindowHost.h"

#include "app/AppDelegate.h"
#include "app/HiddenRelease.h"
#include "common/Log.h"
#include "state/AppState.h"

#include <QGuiApplication>
#include <QMetaProperty>
#include <QQmlApplicationEngine>
#include <QQuickWindow>

namespace corvane {

namespace {
const char *const kHoldsContent = "holdsContent";
}

MainWindowHost::MainWindowHost(AppState *state, int releaseDelayMs, QObject *parent)
    : QObject(parent), m_state(state)
{
    m_releaseTimer.setSingleShot(true);
    m_releaseTimer.setInterval(releaseDelayMs);
    connect(&m_releaseTimer, &QTimer::timeout, this, &MainWindowHost::considerRelease);
    connect(state, &AppState::visualsPausedChanged, this, [this] {
        if (m_state->visualsPaused())
            m_releaseTimer.start();
        else
            m_releaseTimer.stop();
    });
}

// The engine goes last, after whatever the delegate and the tray built with it.
MainWindowHost::~MainWindowHost() = default;

void MainWindowHost::serve(AppDelegate *delegate)
{
    m_delegate = delegate;
    delegate->rebuildMainWindow = [this] { build(false); };
    connect(delegate, &QObject::destroyed, this, [this] { m_delegate = nullptr; });
}

QQmlEngine *MainWindowHost::engine() const { return m_engine.get(); }

bool MainWindowHost::build(bool visible)
{
    Q_ASSERT(m_delegate);
    if (m_engine)
        return m_window != nullptr;
    m_engine = std::make_unique<QQmlApplicationEngine>();
    m_engine->addImportPath(QStringLiteral("qrc:/")); // the module's qmldir is at qrc:/Corvane
    if (!visible)
        m_engine->setInitialProperties({{QStringLiteral("visible"), false}});
    m_engine->load(QUrl(QStringLiteral("qrc:/Corvane/MainWindow.qml")));
    m_delegate->setEngine(m_engine.get());
    m_window = m_engine->rootObjects().isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(m_engine->rootObjects().first());
    if (!m_window) {
        qCWarning(lcUi) << "The main window could not be built";
        return false;
    }
    QQuickWindow *window = m_window;
    m_delegate->attachMainWindow(window);
    releaseWhileHidden(
        window, 500, [this] { return m_delegate->keepsNativeMainWindow(); },
        // A frame counter still running (another surface shown) may be reading the native
        // window just destroyed: it picks a live one.
        [this, window] {
            qCDebug(lcUi) << "The hidden main window gave its scene back";
            if (!m_state->visualsPaused() && !m_delegate->keepsNativeMainWindow())
                m_state->fps()->attachWindow(window);
        },
        [window] { return window->property(kHoldsContent).toBool(); });
    // A sheet closed while the window is hidden lets it go too.
    const QMetaProperty holds = window->metaObject()->property(window->metaObject()->indexOfProperty(kHoldsContent));
    if (holds.hasNotifySignal())
        connect(window, holds.notifySignal(), this,
                metaObject()->method(metaObject()->indexOfMethod("restartReleaseWait()")));
    m_state->fps()->attachWindow(window); // frames are counted on the main window
    return true;
}

bool MainWindowHost::canRelease() const
{
    if (!m_engine || !m_delegate || !m_state->visualsPaused() || m_delegate->keepsNativeMainWindow())
        return false;
    if (m_window && (m_window->isVisible() || m_window->property(kHoldsContent).toBool()))
        return false;
    for (QWindow *w : QGuiApplication::topLevelWindows())
        if (w->isVisible() && qmlEngine(w) == m_engine.get())
            return false;
    return true;
}

void MainWindowHost::restartReleaseWait()
{
    if (m_state->visualsPaused())
        m_releaseTimer.start();
}

void MainWindowHost::considerRelease()
{
    if (canRelease())
        release();
}

void MainWindowHost::release()
{
    if (!m_engine || !m_delegate)
        return;
    // The settings' refresh rate is bound to the hub from the window; the hub keeps it.
    const double interval = m_state->sampleInterval();
    m_delegate->setEngine(nullptr);
    m_engine.reset(); // the window with it
    m_window = nullptr;
    if (m_state->sampleInterval() != interval)
        m_state->setSampleInterval(interval);
    // Objects the engine handed to deferred deletion go first.
    QTimer::singleShot(0, this, &trimFreedMemory);
}

} // namespace corvane
