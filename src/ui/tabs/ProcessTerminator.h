#pragma once
// The activity tab's terminate action: holds the picked process while the user confirms,
// then signals that very process and words a refusal for the error alert.
#include "platform/ProcessSignals.h"

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <memory>

namespace corvane {

class ProcessTerminator : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int heldPid READ heldPid NOTIFY heldPidChanged)
public:
    explicit ProcessTerminator(QObject *parent = nullptr);
    ProcessTerminator(std::unique_ptr<ProcessSignals> signals_, qint64 ownPid, QObject *parent = nullptr);
    ~ProcessTerminator() override;

    // The confirmation opened for `pid`: take hold of it now.
    Q_INVOKABLE void hold(int pid);
    // The confirmation closed without a signal.
    Q_INVOKABLE void release();
    // Plays the level-change haptic, then sends SIGKILL (force) or SIGTERM to the held process
    // (holding `pid` first if it is not the held one). Empty on success, else the alert's text.
    Q_INVOKABLE QString terminate(const QString &name, int pid, bool force);

    int heldPid() const { return m_heldPid; }

    static QString refusalText(const QString &name, int pid, int err);
    static QString systemProcessText(const QString &name, int pid);
    static QString ownProcessText(const QString &name, int pid);

signals:
    void heldPidChanged();

private:
    std::unique_ptr<ProcessSignals> m_signals;
    std::unique_ptr<HeldProcess> m_held;
    int m_heldPid = 0;
    qint64 m_ownPid;
};

} // namespace corvane
