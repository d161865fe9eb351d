#include "platform/ProcessLauncher.h"

#include "common/Log.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QProcess>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char **environ;

namespace corvane {

namespace {

// pkexec's status when the authentication dialog was dismissed, and when no authorisation was
// obtained (refused, or no authentication agent running to ask).
constexpr int kElevatorDismissed = 126;
constexpr int kElevatorNotAuthorized = 127;
constexpr const char *kSetsid = "/usr/bin/setsid";

// A child of our own, waited for by its pid: Qt's process code never sees it (it reaps only
// the children it started).
class SpawnedChild final : public ProcessLauncher::Spawned {
public:
    explicit SpawnedChild(pid_t pid) : m_pid(pid)
    {
#ifdef SYS_pidfd_open
        m_pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#endif
    }
    ~SpawnedChild() override
    {
        if (m_pidfd >= 0)
            ::close(m_pidfd);
    }
    bool waitUntil(std::chrono::steady_clock::time_point deadline) override
    {
        using namespace std::chrono;
        for (;;) {
            if (m_ended || reap())
                return true;
            const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
            if (left <= 0)
                return false;
            if (m_pidfd >= 0) {
                pollfd p{m_pidfd, POLLIN, 0};
                ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000)));
            } else {
                const timespec step{0, 10'000'000};
                ::nanosleep(&step, nullptr);
            }
        }
    }

private:
    bool reap()
    {
        int status = 0;
        pid_t r;
        do {
            r = ::waitpid(m_pid, &status, WNOHANG);
        } while (r < 0 && errno == EINTR);
        // ECHILD: someone else reaped it; it has ended either way.
        m_ended = r == m_pid || (r < 0 && errno == ECHILD);
        return m_ended;
    }

    pid_t m_pid;
    int m_pidfd = -1;
    bool m_ended = false;
};

std::unique_ptr<ProcessLauncher::Spawned> spawnPlain(const std::vector<std::string> &argv)
{
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // The child starts with no signal blocked and every signal at its default.
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, args[0], &files, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&files);
    if (rc != 0)
        return nullptr;
    return std::make_unique<SpawnedChild>(pid);
}

class QProcessLauncher final : public ProcessLauncher {
public:
    explicit QProcessLauncher(QString elevator) : m_elevator(std::move(elevator)) {}

    void start(const QString &program, const QStringList &args, QObject *context,
               std::function<void(const ProcessOutcome &)> done) override
    {
        auto *proc = new QProcess;
        prepare(*proc, program, args);
        auto errors = std::make_shared<QByteArray>();
        auto finish = std::make_shared<std::function<void(const ProcessOutcome &)>>(std::move(done));
        QPointer<QObject> guard(context);
        const bool elevated = !m_elevator.isEmpty(); // the process may outlive this launcher
        auto deliver = [proc, finish, guard](ProcessOutcome o) {
            proc->deleteLater();
            auto f = std::exchange(*finish, nullptr);
            if (f && guard)
                f(o);
        };
        // Read as it arrives so a talkative program never stalls on a full pipe.
        QObject::connect(proc, &QProcess::readyReadStandardError, proc,
                         [proc, errors] { keepTail(*errors, proc->readAllStandardError()); });
        QObject::connect(proc, &QProcess::finished, proc,
                         [elevated, proc, errors, deliver](int code, QProcess::ExitStatus st) {
                             keepTail(*errors, proc->readAllStandardError());
                             deliver(outcome(elevated, st, code, proc->errorString(), *errors));
                         });
        QObject::connect(proc, &QProcess::errorOccurred, proc, [proc, deliver](QProcess::ProcessError e) {
            if (e != QProcess::FailedToStart)
                return; // a crash or kill also ends in finished()
            deliver(failedToStart(proc->program(), proc->errorString()));
        });
        proc->start();
    }

    ProcessOutcome run(const QString &program, const QStringList &args, int timeoutMs) override
    {
        QProcess proc;
        prepare(proc, program, args);
        QElapsedTimer elapsed;
        elapsed.start();
        proc.start();
        if (!proc.waitForStarted(timeoutMs))
            return failedToStart(proc.program(), proc.errorString());
        const int left = std::max(0, timeoutMs - static_cast<int>(elapsed.elapsed()));
        if (!proc.waitForFinished(left)) {
            proc.kill();
            proc.waitForFinished(500);
            qCWarning(lcPlatform).noquote() << proc.program() << "did not finish within" << timeoutMs << "ms";
            ProcessOutcome o;
            o.end = ProcessOutcome::End::timedOut;
            return o;
        }
        QByteArray errors;
        keepTail(errors, proc.readAllStandardError());
        return outcome(!m_elevator.isEmpty(), proc.exitStatus(), proc.exitCode(), proc.errorString(), errors);
    }

    std::unique_ptr<Spawned> spawn(const QString &program, const QStringList &args) override
    {
        std::vector<std::string> argv;
        if (!m_elevator.isEmpty()) {
            // pkexec ends with the process that started it (PR_SET_PDEATHSIG), and polkit may
            // answer after the app has gone: a setsid of its own starts it in a new session
            // and waits for it, so the command survives the app while the app can still wait
            // for its end.
            if (::access(kSetsid, X_OK) == 0)
                argv.insert(argv.end(), {kSetsid, "--fork", "--wait", "--"});
            argv.push_back(QFile::encodeName(m_elevator).toStdString());
        }
        argv.push_back(QFile::encodeName(program).toStdString());
        for (const QString &a : args)
            argv.push_back(a.toStdString());
        return spawnPlain(argv);
    }

private:
    void prepare(QProcess &proc, const QString &program, const QStringList &args) const
    {
        if (m_elevator.isEmpty()) {
            proc.setProgram(program);
            proc.setArguments(args);
        } else {
            proc.setProgram(m_elevator);
            proc.setArguments(QStringList{program} + args);
        }
        proc.setStandardOutputFile(QProcess::nullDevice());
        proc.setStandardInputFile(QProcess::nullDevice());
    }

    static void keepTail(QByteArray &into, const QByteArray &more)
    {
        into += more;
        if (into.size() > kMaxErrorOutput)
            into.remove(0, into.size() - kMaxErrorOutput);
    }

    static ProcessOutcome failedToStart(const QString &program, const QString &why)
    {
        qCWarning(lcPlatform).noquote() << program << "could not be started:" << why;
        ProcessOutcome o;
        o.end = ProcessOutcome::End::failedToStart;
        o.errorText = why;
        return o;
    }

    static ProcessOutcome outcome(bool elevated, QProcess::ExitStatus st, int code, const QString &why,
                                  const QByteArray &errors)
    {
        ProcessOutcome o;
        o.exitCode = code;
        o.errorOutput = errors;
        if (st == QProcess::CrashExit) {
            o.end = ProcessOutcome::End::crashed;
            o.errorText = why;
        } else if (elevated && code == kElevatorDismissed) {
            o.end = ProcessOutcome::End::dismissed;
        } else if (elevated && code == kElevatorNotAuthorized) {
            o.end = ProcessOutcome::End::notAuthorized;
        }
        return o;
    }

    QString m_elevator;
};

} // namespace

std::unique_ptr<ProcessLauncher> makeProcessLauncher() { return std::make_unique<QProcessLauncher>(QString()); }

std::unique_ptr<ProcessLauncher> makeElevatedLauncher(const QString &elevator)
{
    return std::make_unique<QProcessLauncher>(elevator);
}

} // namespace corvane
