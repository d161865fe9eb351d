#include "app/ProcessEnd.h"

#include "common/Log.h"

#include <QGuiApplication>
#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace corvane {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int g_pipe[2] = {-1, -1};

void onSignal(int sig)
{
    const int saved = errno;
    const char byte = static_cast<char>(sig);
    // A full pipe already holds a quit request.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

// Made before main(), so it outlives the exit handler registered later.
std::function<void()> g_last;

void runUnplanned()
{
    if (auto last = std::exchange(g_last, nullptr))
        last();
}

} // namespace

QuitSignals::QuitSignals(QObject *parent) : QObject(parent)
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcUi) << "termination signals can't be handled:" << strerror(errno);
        return;
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        ssize_t n;
        while ((n = ::read(g_pipe[0], bytes, sizeof bytes)) > 0)
            for (ssize_t i = 0; i < n; ++i)
                emit received(bytes[i]);
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : kSignals)
        ::sigaction(sig, &sa, nullptr);
}

QuitSignals::~QuitSignals()
{
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    for (int sig : kSignals)
        ::sigaction(sig, &sa, nullptr);
}

void setUnplannedExit(std::function<void()> last)
{
    g_last = std::move(last);
    armUnplannedExit();
}

void armUnplannedExit()
{
    // Registered once more each time; the runs after the first find nothing left to do.
    if (std::atexit(runUnplanned) != 0)
        qCWarning(lcUi) << "no exit handler: a lost display would skip the last words";
}

void clearUnplannedExit() { g_last = nullptr; }

bool displayConnectionLost()
{
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    auto *x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *c = x11 ? x11->connection() : nullptr;
    return c && xcb_connection_has_error(c) != 0;
}

} // namespace corvane
