#pragma once
// The ways a desktop ends a program, each brought to the app's own quit. SIGTERM, SIGINT and
// SIGHUP (logout, shutdown, kill, a closed terminal) arrive through the event loop: the
// handler only writes the signal's number to a pipe. Qt's X11 backend calls exit() when the
// display connection breaks; an exit handler then runs the last words the app left.
#include <QObject>

#include <functional>

class QSocketNotifier;

namespace corvane {

class QuitSignals : public QObject {
    Q_OBJECT
public:
    // Handles the three signals from now on, for the life of this object.
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

signals:
    void received(int signal);

private:
    QSocketNotifier *m_notifier = nullptr;
};

// `last` runs when the process ends through exit() while it is set (not after main() has
// returned: clear it first). It may end the process itself. Exit handlers run in the reverse
// order of their making, and what was made after one may already be gone when it runs:
// armUnplannedExit() moves it ahead of everything made so far (call it again later).
void setUnplannedExit(std::function<void()> last);
void armUnplannedExit();
void clearUnplannedExit();

// Whether the X display connection has broken (false without one).
bool displayConnectionLost();

} // namespace corvane
