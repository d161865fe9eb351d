#pragma once
// Runs the privileged fan helper "smcfan" through pkexec, with an argument list and never
// a shell. The launcher and the helper's location can be replaced (tests use a script).
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
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
    static inline const QString kDefaultLauncher = QStringLiteral("/usr/bin/pkexec");
    // pkexec's exit status when the user dismissed the authentication dialog.
    static constexpr int kLauncherDismissed = 126;
    // Quitting waits at most this long for the helper, so it never hangs; long enough to
    // type a password when the authorisation is not cached.
    static constexpr int kRestoreTimeoutMs = 20000;

    explicit FanControlBridge(QObject *parent = nullptr);

    void setLauncher(const QString &program) { m_launcher = program; }
    const QString &launcher() const { return m_launcher; }
    // An explicit helper path (tests); an empty string means "missing".
    void setHelperPath(std::optional<QString> path) { m_helperOverride = std::move(path); }
    void setRestoreTimeoutMs(int ms) { m_restoreTimeoutMs = ms; }

    // The helper beside the application binary, else in <prefix>/libexec/corvane.
    std::optional<QString> helperPath() const;
    static std::optional<QString> locateHelper(const QString &appDir);

    // "set" <rpm> [<index>] or "auto"; rpm already truncated to an integer.
    static QStringList helperArguments(std::optional<long long> rpm, std::optional<int> fanIndex);
    // The outcome of a finished launcher run.
    static Outcome outcomeFor(QProcess::ExitStatus status, int exitCode);

    // Starts launcher <helper> <args…>; `done` runs on this object's thread when it ends.
    void run(const QString &helper, const QStringList &args, std::function<void(Outcome)> done);
    // The same, blocking for at most the restore time limit; the outcome is not examined.
    void runBlocking(const QString &helper, const QStringList &args);

private:
    QString m_launcher = kDefaultLauncher;
    std::optional<QString> m_helperOverride;
    int m_restoreTimeoutMs = kRestoreTimeoutMs;
};

} // namespace corvane
