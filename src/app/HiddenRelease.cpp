#include "app/HiddenRelease.h"

#include <QPixmapCache>
#include <QPointer>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTimer>

#include <malloc.h>

namespace corvane {

void trimFreedMemory()
{
    malloc_trim(0);
}

void releaseWhileHidden(QQuickWindow *window, int delayMs)
{
    auto *timer = new QTimer(window);
    timer->setSingleShot(true);
    timer->setInterval(delayMs);
    QObject::connect(timer, &QTimer::timeout, window, [window] {
        if (window->isVisible())
            return;
        // The nodes and textures of the dropped content are cleaned up only at the next
        // synchronisation, which a hidden window never has: run one off screen.
        if (window->rendererInterface()->graphicsApi() == QSGRendererInterface::Software)
            (void)window->grabWindow();
        window->releaseResources();
        QPixmapCache::clear();
        if (QQmlEngine *engine = qmlEngine(window))
            engine->collectGarbage(); // the dropped content's script objects
        trimFreedMemory();
    });
    QObject::connect(window, &QWindow::visibleChanged, timer, [timer](bool visible) {
        if (visible)
            timer->stop();
        else
            timer->start(); // after the content's deferred deletion has run
    });
}

} // namespace corvane
