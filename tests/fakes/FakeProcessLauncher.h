#pragma once
#include "platform/ProcessLauncher.h"

#include <QList>
#include <QObject>
#include <QTimer>

namespace corvane::test {

// Records each run (program first, then its arguments) and ends it with `next`, delivered on
// the next turn of the event loop as a real process would be.
class FakeProcessLauncher final : public ProcessLauncher {
public:
    ProcessOutcome next;
    QList<QStringList> calls;
    QList<int> timeouts; // of run()

    void start(const QString &program, const QStringList &args, QObject *context,
               std::function<void(const ProcessOutcome &)> done) override
    {
        calls << (QStringList{program} + args);
        QTimer::singleShot(0, context, [done = std::move(done), o = next] { done(o); });
    }
    ProcessOutcome run(const QString &program, const QStringList &args, int timeoutMs) override
    {
        calls << (QStringList{program} + args);
        timeouts << timeoutMs;
        return next;
    }

    static ProcessOutcome exited(int code, const QByteArray &errorOutput = {})
    {
        ProcessOutcome o;
        o.exitCode = code;
        o.errorOutput = errorOutput;
        return o;
    }
    static ProcessOutcome ended(ProcessOutcome::End end, const QString &why = {})
    {
        ProcessOutcome o;
        o.end = end;
        o.errorText = why;
        return o;
    }
};

} // namespace corvane::test
