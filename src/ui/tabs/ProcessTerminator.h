#pragma once
// The activity tab's terminate action: holds the picked process (pid and start time) while
// the user confirms, then signals that very process, watches that it really ends, and words
// every refusal for the error alert.
#include "platform/ProcessSignals.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QtQml/qqmlregistration.h>

#include <memory>
#include <vector>

namespace corvane {

class ProcessTerminator : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int heldPid READ heldPid NOTIFY heldPidChanged)
public:
    // How long a signalled process may take to exit before the user is told it still runs.
    static constexpr int kExitGraceMs = 3000;

    explicit ProcessTerminator(QObject *parent = nullptr);
    ProcessTerminator(std::unique_ptr<ProcessSignals> signals_, qint64 ownPid, QObject *parent = nullptr);
    ~ProcessTerminator() override;

    // The confirmation is about to open for the row's process: take hold of it now. Empty
    // when it may open, else the alert's text (it has ended, or its pid names a newer process).
    Q_INVOKABLE QString hold(const QString &name, int pid, quint64 startTime);
    // The confirmation closed without a signal.
    Q_INVOKABLE void release();
    // Plays the level-change haptic, then sends SIGKILL (force) or SIGTERM to the held process
    // (holding it first if it is not the held one). Empty when the signal went out, else the
    // alert's text; a process that outlives the signal is reported later through stillRunning().
    Q_INVOKABLE QString terminate(const QString &name, int pid, quint64 startTime, bool force);

    int heldPid() const { return m_heldPid; }
    void setExitGraceMs(int ms) { m_graceMs = ms; }

    static QString refusalText(const QString &name, int pid, int err);
    static QString systemProcessText(const QString &name, int pid);
    static QString ownProcessText(const QString &name, int pid);
    static QString replacedText(const QString &name, int pid);
    static QString endedText(const QString &name, int pid);
    static QString ignoredText(const QString &name, int pid);
    static QString stillRunningText(const QString &name, int pid, bool force);

signals:
    void heldPidChanged();
    // A signalled process was still running once the grace time had passed.
    void stillRunning(const QString &message);

private:
    struct Watch {
        std::unique_ptr<HeldProcess> process;
        QString name;
        int pid = 0;
        bool force = false;
        int checksLeft = 0;
    };
    void setHeld(std::unique_ptr<HeldProcess> held, int pid);
    void pollWatches();

    std::unique_ptr<ProcessSignals> m_signals;
    std::unique_ptr<HeldProcess> m_held;
    int m_heldPid = 0;
    quint64 m_heldStart = 0;
    qint64 m_ownPid;
    int m_graceMs = kExitGraceMs;
    std::vector<Watch> m_watches;
    QTimer m_watchTimer;
};

} // namespace corvane
