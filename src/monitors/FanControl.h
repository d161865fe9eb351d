#pragma once
// Runs the privileged fan helper "smcfan" through the platform's elevating launcher, with an
// argument list and never a shell. The launcher and the helper's location can be replaced
// (tests use a fake launcher).
#include "platform/ProcessLauncher.h"

#include <QObject>
#include <QString>
#include <QStringList>

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
    // Quitting waits at most this long for the helper, so it never hangs; long enough to
    // type a password when the authorisation is not cached.
    static constexpr int kRestoreTimeoutMs = 20000;

    // Runs the helper through makeElevatedLauncher().
    explicit FanControlBridge(QObject *parent = nullptr);

    void setProcessLauncher(std::unique_ptr<ProcessLauncher> launcher) { m_launcher = std::move(launcher); }
    // An explicit helper path (tests); an empty string means "missing".
    void setHelperPath(std::optional<QString> path) { m_helperOverride = std::move(path); }
    void setRestoreTimeoutMs(int ms) { m_restoreTimeoutMs = ms; }

    // The helper beside the application binary, else in <prefix>/libexec/corvane.
    std::optional<QString> helperPath() const;
    static std::optional<QString> locateHelper(const QString &appDir);

    // "set" <rpm> [<index>] or "auto"; rpm already truncated to an integer.
    static QStringList helperArguments(std::optional<long long> rpm, std::optional<int> fanIndex);
    // The outcome of a finished run; a failure is logged with the helper's own words.
    static Outcome outcomeFor(const ProcessOutcome &ended);

    // Starts <helper> <args…> elevated; `done` runs on this object's thread when it ends.
    void run(const QString &helper, const QStringList &args, std::function<void(Outcome)> done);
    // The same, blocking for at most the restore time limit; a failure is only logged.
    void runBlocking(const QString &helper, const QStringList &args);

private:
    std::unique_ptr<ProcessLauncher> m_launcher;
    std::optional<QString> m_helperOverride;
    int m_restoreTimeoutMs = kRestoreTimeoutMs;
};

} // namespace corvane
