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
    QList<QStringList> spawned; // spawn(): program first, then its arguments
    bool spawnedEnds = true;    // whether a spawned program ever ends

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

    std::unique_ptr<Spawned> spawn(const QString &program, const QStringList &args) override
    {
        spawned << (QStringList{program} + args);
        struct Child final : Spawned {
            bool ends;
            explicit Child(bool e) : ends(e) {}
            bool waitUntil(std::chrono::steady_clock::time_point) override { return ends; }
        };
        return std::make_unique<Child>(spawnedEnds);
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
