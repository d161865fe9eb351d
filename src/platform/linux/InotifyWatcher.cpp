#include "platform/linux/InotifyWatcher.h"

#include "common/Log.h"
#include "common/ThreadName.h"

#include <QThread>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <vector>

namespace corvane {

InotifyWatcher::InotifyWatcher(QString threadName)
{
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    m_stopFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_fd < 0 || m_stopFd < 0) {
        qCWarning(lcPlatform).noquote() << "inotify unavailable (" << std::strerror(errno) << "): device use is not followed";
        return;
    }
    m_thread = std::thread([this, threadName] { run(threadName); });
}

InotifyWatcher::~InotifyWatcher()
{
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(m_stopFd, &one, sizeof one);
        m_thread.join();
    }
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_stopFd >= 0)
        ::close(m_stopFd);
}

int InotifyWatcher::add(const QString &path, uint32_t mask, Callback callback)
{
    if (m_fd < 0)
        return -1;
    std::lock_guard lock(m_mutex);
    // IN_MASK_ADD: a second watch on the same inode must not narrow the first one's mask.
    const int wd = ::inotify_add_watch(m_fd, path.toLocal8Bit().constData(), mask | IN_MASK_ADD);
    if (wd < 0) {
        // A device that went away in between is normal; anything else is worth a line.
        if (errno == ENOENT)
            qCDebug(lcPlatform).noquote() << "no inotify watch on vanished" << path;
        else
            qCWarning(lcPlatform).noquote() << "no inotify watch on" << path << ":" << std::strerror(errno);
        return -1;
    }
    const int token = m_nextToken++;
    m_entries.emplace(token, Entry{wd, mask, std::move(callback)});
    return token;
}

void InotifyWatcher::remove(int token)
{
    std::lock_guard lock(m_mutex);
    auto it = m_entries.find(token);
    if (it == m_entries.end())
        return;
    const int wd = it->second.wd;
    m_entries.erase(it);
    if (wd < 0)
        return;
    for (const auto &[t, e] : m_entries)
        if (e.wd == wd)
            return; // still wanted by another listener
    ::inotify_rm_watch(m_fd, wd);
}

void InotifyWatcher::run(const QString &name)
{
    if (QThread *t = QThread::currentThread())
        t->setObjectName(name);
    nameCurrentThread(name);

    alignas(inotify_event) char buf[16 * 1024];
    for (;;) {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        const int r = ::poll(fds, 2, -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;

        // Read everything queued; each affected callback runs once per batch, with the
        // union of the masks it saw (directory watches get one call per name).
        struct Hit {
            int token;
            uint32_t mask;
            QString name;
            Callback callback;
        };
        std::vector<Hit> hits;
        for (;;) {
            const ssize_t len = ::read(m_fd, buf, sizeof buf);
            if (len <= 0)
                break;
            std::lock_guard lock(m_mutex);
            for (ssize_t off = 0; off < len;) {
                const auto *ev = reinterpret_cast<const inotify_event *>(buf + off);
                off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
                const QString entry = ev->len ? QString::fromLocal8Bit(ev->name) : QString();
                for (auto &[token, e] : m_entries) {
                    if (e.wd != ev->wd)
                        continue;
                    if (ev->mask & IN_IGNORED) {
                        e.wd = -1; // the watch is gone (file deleted); a later wd may reuse the number
                        continue;
                    }
                    if (!(ev->mask & e.mask) && !(ev->mask & (IN_DELETE_SELF | IN_MOVE_SELF)))
                        continue;
                    bool merged = false;
                    for (Hit &h : hits)
                        if (h.token == token && h.name == entry) {
                            h.mask |= ev->mask;
                            merged = true;
                        }
                    if (!merged)
                        hits.push_back({token, ev->mask, entry, e.callback});
                }
            }
        }
        for (const Hit &h : hits)
            h.callback(h.mask, h.name);
    }
}

} // namespace corvane
