#include "platform/ProcessLauncher.h"

#include "common/Log.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QProcess>

#include <algorithm>
#include <memory>
#include <utility>

namespace corvane {

namespace {

// pkexec's status when the authentication dialog was dismissed, and when no authorisation was
// obtained (refused, or no authentication agent running to ask).
constexpr int kElevatorDismissed = 126;
constexpr int kElevatorNotAuthorized = 127;

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
