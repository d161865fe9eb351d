#include "app/HiddenRelease.h"

#include <QPointer>
#include <QQuickWindow>
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
        window->releaseResources();
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
