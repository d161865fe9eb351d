// Preloaded into a Qt program by the footprint benchmark: counts the frames the software
// scene graph puts on screen (each is one QBackingStore::flush) and keeps the running total
// in the file named by FRAME_COUNT_FILE, so the benchmark reads frames a second from outside.
#include <QBackingStore>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QWindow>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace {
std::atomic<unsigned long> g_frames{0};
int g_fd = -2;

void record(const QRegion &region)
{
    const bool trace = std::getenv("FRAME_TRACE"); // when each frame went out, to see what drives them
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    if (region.isEmpty()) {
        // The render loop ran a pass that changed no pixel: nothing reaches the screen.
        if (trace)
            std::fprintf(stderr, "empty pass at %ld.%03ld\n", long(ts.tv_sec % 100), ts.tv_nsec / 1000000);
        return;
    }
    const unsigned long n = ++g_frames;
    if (trace) {
        const QRect r = region.boundingRect();
        std::fprintf(stderr, "frame %lu at %ld.%03ld: %d rects in %dx%d+%d+%d\n", n, long(ts.tv_sec % 100),
                     ts.tv_nsec / 1000000, int(region.rectCount()), r.width(), r.height(), r.x(), r.y());
    }
    if (g_fd == -2) {
        const char *path = std::getenv("FRAME_COUNT_FILE");
        g_fd = path ? ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644) : -1;
    }
    if (g_fd < 0)
        return;
    char buf[32];
    const int len = std::snprintf(buf, sizeof buf, "%020lu\n", n);
    if (::pwrite(g_fd, buf, len, 0) != len)
        g_fd = -1;
}
} // namespace

// Takes the place of Qt's own and hands on to it.
void QBackingStore::flush(const QRegion &region, QWindow *window, const QPoint &offset)
{
    using Real = void (*)(QBackingStore *, const QRegion &, QWindow *, const QPoint &);
    static Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "_ZN13QBackingStore5flushERK7QRegionP7QWindowRK6QPoint"));
    record(region);
    if (real)
        real(this, region, window, offset);
}
