#include "app/HiddenRelease.h"
#include "state/AppState.h"

#include <QPixmapCache>
#include <QPointer>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTimer>

#include <memory>
#include <vector>

#include <cstdio>
#include <cstring>
#include <malloc.h>
#include <sys/mman.h>

namespace corvane {

void trimFreedMemory()
{
    malloc_trim(0);
}

qint64 releaseIdleFilePages()
{
    // Only mappings that cannot be written and hold no page of our own (Anonymous and Swap
    // both zero): there dropping a page loses nothing, the file gives it back. A read-only
    // mapping with pages of our own is one that was written before it was protected
    // (relocated data): dropping those would bring back the file's unrelocated bytes.
    FILE *f = std::fopen("/proc/self/smaps", "re");
    if (!f)
        return 0;
    struct Mapping {
        quintptr start = 0, end = 0;
        bool candidate = false;
        qint64 rss = 0, own = 0;
    };
    std::vector<Mapping> drop;
    Mapping m;
    const auto finish = [&drop](const Mapping &done) {
        if (done.candidate && done.rss > 0 && done.own == 0)
            drop.push_back(done);
    };
    char line[8192]; // a header line holds a path of up to PATH_MAX
    while (std::fgets(line, sizeof line, f)) {
        unsigned long start = 0, end = 0;
        char perms[8] = {};
        int pathAt = 0;
        if (std::sscanf(line, "%lx-%lx %7s %*s %*s %*s %n", &start, &end, perms, &pathAt) >= 3 && pathAt > 0) {
            finish(m);
            const char *path = line + pathAt;
            m = Mapping{start, end, false, 0, 0};
            // Files only: not devices, shared memory or memory files.
            m.candidate = perms[0] == 'r' && perms[1] != 'w' && path[0] == '/' && std::strncmp(path, "/dev/", 5) != 0
                && std::strncmp(path, "/memfd:", 7) != 0 && std::strncmp(path, "/SYSV", 5) != 0
                && !std::strstr(path, "(deleted)");
            continue;
        }
        long kb = 0;
        if (std::sscanf(line, "Rss: %ld kB", &kb) == 1)
            m.rss = kb;
        else if (std::sscanf(line, "Anonymous: %ld kB", &kb) == 1 || std::sscanf(line, "Swap: %ld kB", &kb) == 1)
            m.own += kb;
    }
    finish(m);
    std::fclose(f);
    qint64 released = 0;
    for (const Mapping &d : drop)
        if (::madvise(reinterpret_cast<void *>(d.start), d.end - d.start, MADV_DONTNEED) == 0)
            released += d.rss;
    return released;
}

void releaseWhileHidden(QQuickWindow *window, int delayMs, std::function<bool()> keepNativeWindow,
                        std::function<void()> released)
{
    auto *timer = new QTimer(window);
    timer->setSingleShot(true);
    timer->setInterval(delayMs);
    QObject::connect(timer, &QTimer::timeout, window, [window, keepNativeWindow, released] {
        if (window->isVisible())
            return;
        const bool software = window->rendererInterface()->graphicsApi() == QSGRendererInterface::Software;
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
        trimFreedMemory();
        releaseIdleFilePages();
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
