#include "app/HiddenRelease.h"
#include "state/AppState.h"

#include <QGuiApplication>
#include <QPixmapCache>
#include <QtGui/private/qfont_p.h>
#include <QPointer>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTimer>

#include <memory>

#include <malloc.h>

namespace corvane {

void trimFreedMemory()
{
    malloc_trim(0);
}

void releaseWhileHidden(QQuickWindow *window, int delayMs, std::function<bool()> keepNativeWindow,
                        std::function<void()> released, std::function<bool()> holdsContent)
{
    auto *timer = new QTimer(window);
    timer->setSingleShot(true);
    timer->setInterval(delayMs);
    QObject::connect(timer, &QTimer::timeout, window, [window, keepNativeWindow, released, holdsContent] {
        if (window->isVisible() || (holdsContent && holdsContent()))
            return;
        // Off-screen frames of a hidden window: on X11 (and off screen) it keeps what a frame
        // is painted into; on Wayland a hidden window's surface is gone, and Qt's backing
        // store would paint into the missing surface.
        const QString platform = QGuiApplication::platformName();
        const bool software = window->rendererInterface()->graphicsApi() == QSGRendererInterface::Software
            && (platform == u"xcb" || platform == u"offscreen");
        // The nodes and textures of the dropped content are cleaned up only at the next
        // synchronisation, which a hidden window never has: run one off screen.
        if (software)
            (void)window->grabWindow();
        window->releaseResources();
        QPixmapCache::clear();
        if (QQmlEngine *engine = qmlEngine(window)) {
            engine->collectGarbage(); // the dropped content's script objects
            engine->trimComponentCache(); // and the compiled components only they used
        }
        const bool keep = keepNativeWindow && keepNativeWindow();
        // Geometry, title and flags stay with the QWindow; show() creates a new native window.
        const QRect geometry = window->geometry();
        if (!keep)
            window->destroy();
        if (software) {
            // The software renderer keeps a backing store the window's size (shared memory
            // with the X server) for as long as the window lives; the next frame sizes it
            // to the window. Shrink it with an off-screen frame at 1x1 (which makes a native
            // window if there is none), then put the geometry back.
            window->resize(1, 1);
            (void)window->grabWindow();
            if (!keep)
                window->destroy();
            window->setGeometry(geometry);
        }
        trimFreedMemory();
        if (released)
            released();
    });
    QObject::connect(window, &QWindow::visibleChanged, timer, [timer](bool visible) {
        if (visible)
            timer->stop();
        else
            timer->start(); // after the content's deferred deletion has run
    });
}

std::function<void()> releaseIdleMemory(AppState *state, int hiddenMs, int settleMs, int lateMs)
{
    auto *timer = new QTimer(state);
    timer->setSingleShot(true);
    auto late = std::make_shared<bool>(false); // the hidden state's second round is due
    const auto arm = [state, timer, late, hiddenMs, settleMs] {
        *late = false;
        timer->start(state->visualsPaused() ? hiddenMs : settleMs);
    };
    QObject::connect(timer, &QTimer::timeout, state, [state, timer, late, lateMs] {
        // Qt keeps up to 4 MB of font engines nobody uses, with their glyph caches and mapped
        // font files. Fonts still in use keep their engines; the rest load again when drawn.
        if (state->visualsPaused())
            QFontCache::instance()->clear();
        trimFreedMemory();
        if (state->visualsPaused() && !*late) {
            *late = true;
            timer->start(lateMs);
        }
    });
    QObject::connect(state, &AppState::visualsPausedChanged, timer, arm);
    arm();
    return arm;
}

} // namespace corvane
