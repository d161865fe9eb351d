#pragma once
// inotify watches served by one named thread that sleeps in poll() until the kernel
// reports something: no polling. Each read batch calls every affected callback once.
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace corvane {

class InotifyWatcher {
public:
    // The inotify mask of the event and, for watched directories, the entry's name.
    using Callback = std::function<void(uint32_t mask, const QString &name)>;

    explicit InotifyWatcher(QString threadName);
    ~InotifyWatcher(); // stops and joins the thread; no callback runs afterwards

    InotifyWatcher(const InotifyWatcher &) = delete;
    InotifyWatcher &operator=(const InotifyWatcher &) = delete;

    bool isValid() const { return m_fd >= 0; }
    // Adds a watch; returns a token, or -1 when the path cannot be watched.
    int add(const QString &path, uint32_t mask, Callback callback);
    void remove(int token);

private:
    void run(const QString &name);

    struct Entry {
        int wd;
        uint32_t mask;
        Callback callback;
    };
    int m_fd = -1;
    int m_stopFd = -1;
    std::mutex m_mutex;
    std::map<int, Entry> m_entries; // by token
    int m_nextToken = 1;
    std::thread m_thread;
};

} // namespace corvane
