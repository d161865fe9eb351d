#pragma once
// Runs the privileged fan helper "smcfan" through the platform's elevating launcher, with an
// argument list and never a shell. The launcher and the helper's location can be replaced
// (tests use a fake launcher; CORVANE_FAN_ELEVATOR names another program in pkexec's place,
// SMCFAN_STATE_DIR the helper's state folder, as the helper itself takes it in a test run).
#include "platform/ProcessLauncher.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace corvane {

class FanControlBridge : public QObject {
    Q_OBJECT
public:
    struct Outcome {
        bool success = false;
        QString message; // empty on success
    };

    static inline const QString kHelperName = QStringLiteral("smcfan");
    // The way out waits at most this long for the helper. "auto" needs no password, so it
    // ends in a fraction of a second; one that doesn't by then (polkit slow to answer) runs
    // on by itself after the app has gone.
    static constexpr int kRestoreTimeoutMs = 2000;

    // Runs the helper through makeElevatedLauncher().
    explicit FanControlBridge(QObject *parent = nullptr);

    void setProcessLauncher(std::unique_ptr<ProcessLauncher> launcher) { m_launcher = std::move(launcher); }
    // An explicit helper path (tests); an empty string means "missing".
    void setHelperPath(std::optional<QString> path) { m_helperOverride = std::move(path); }
    void setRestoreTimeoutMs(int ms) { m_restoreTimeoutMs = ms; }
    int restoreTimeoutMs() const { return m_restoreTimeoutMs; }
    // Where the helper keeps the fans' saved modes and who forced them.
    QString stateDir() const { return m_stateDir; }
    void setStateDir(QString dir) { m_stateDir = std::move(dir); }

    // The helper beside the application binary, else in <prefix>/libexec/corvane.
    std::optional<QString> helperPath() const;
    static std::optional<QString> locateHelper(const QString &appDir);

    // "set" <rpm> [<index>] or "auto"; rpm already truncated to an integer.
    static QStringList helperArguments(std::optional<long long> rpm, std::optional<int> fanIndex);
    // The outcome of a finished run; a failure is logged with the helper's own words.
    static Outcome outcomeFor(const ProcessOutcome &ended);

    // Starts <helper> <args…> elevated; `done` runs on this object's thread when it ends.
    void run(const QString &helper, const QStringList &args, std::function<void(Outcome)> done);

    // Whether this run may have left fans forced: a "set" succeeded after the last successful
    // "auto", one is still running, or the helper's state names this process as the owner.
    bool mayBeForced() const;

    // The way out: starts "auto" at once, without the event loop (also inside exit handlers),
    // once per run; the helper then runs on by itself. False when there is no helper to run.
    bool beginRestore();
    // Waits for that helper until `deadline`; true once it has ended, or when none was started.
    // A deadline already passed only looks.
    bool finishRestore(std::chrono::steady_clock::time_point deadline);
    // The same until the restore's own time limit, counted from its start.
    bool finishRestore() { return finishRestore(m_restoreDeadline); }
    // Without waiting: the helper has ended, or its time is up.
    bool restoreSettled();
    bool restoreBegun() const { return m_restoring != nullptr; }

    // At start: fans the helper's state names as forced, by a process that no longer runs (a
    // crash, a kill), go back to automatic control now. True when "auto" was started.
    bool restoreIfLeftForced();

signals:
    // After restoreIfLeftForced's "auto" has ended; `restored` on success.
    void leftForcedRestored(bool restored);

private:
    std::unique_ptr<ProcessLauncher::Spawned> m_restoring;
    bool m_restoreEnded = false;
    std::chrono::steady_clock::time_point m_restoreDeadline;
    std::atomic<bool> m_forced{false};
    std::atomic<int> m_setsRunning{0};
    std::unique_ptr<ProcessLauncher> m_launcher;
    QString m_stateDir;
    std::optional<QString> m_helperOverride;
    int m_restoreTimeoutMs = kRestoreTimeoutMs;
};

} // namespace corvane
