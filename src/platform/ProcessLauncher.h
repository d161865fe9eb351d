#pragma once
// Starting a helper program with an argument list, never through a shell. The elevating
// launcher runs it with administrator rights after the desktop's authentication prompt.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

class QObject;

namespace corvane {

struct ProcessOutcome {
    enum class End {
        exited,        // exitCode is the program's status
        crashed,       // killed by a signal
        failedToStart, // errorText says why
        timedOut,      // run() gave up and killed it
        dismissed,     // the user cancelled the authentication prompt
        notAuthorized, // the elevator got no authorisation (denied, or no agent to ask)
    };
    End end = End::exited;
    int exitCode = 0;
    QString errorText;
    // What the program wrote to its error output (the last 4 KiB at most).
    QByteArray errorOutput;

    bool succeeded() const { return end == End::exited && exitCode == 0; }
};

class ProcessLauncher {
public:
    static constexpr qsizetype kMaxErrorOutput = 4096;

    virtual ~ProcessLauncher() = default;

    // Starts `program args…`; `done` runs on the calling thread once it has ended, and not at
    // all once `context` is gone. Never blocks.
    virtual void start(const QString &program, const QStringList &args, QObject *context,
                       std::function<void(const ProcessOutcome &)> done) = 0;
    // The same, waiting at most `timeoutMs` in all; a program still running then is killed.
    virtual ProcessOutcome run(const QString &program, const QStringList &args, int timeoutMs) = 0;

    // A program started without the event loop, for the way out of the process: it runs on
    // by itself, also once this process has ended (the elevator included), and waitUntil()
    // waits for its end until a deadline (true once it ended).
    class Spawned {
    public:
        virtual ~Spawned() = default;
        virtual bool waitUntil(std::chrono::steady_clock::time_point deadline) = 0;
    };
    // Starts `program args…` at once and returns; nullptr when it could not start. Needs
    // neither the event loop nor Qt's process machinery: safe on any thread and inside exit
    // handlers.
    virtual std::unique_ptr<Spawned> spawn(const QString &program, const QStringList &args) = 0;
};

// Runs programs as they are.
std::unique_ptr<ProcessLauncher> makeProcessLauncher();
// Runs programs through `elevator` (pkexec by default) with administrator rights; the
// elevator's "dismissed" status (126) becomes End::dismissed and its "not authorised" status
// (127) End::notAuthorized.
std::unique_ptr<ProcessLauncher> makeElevatedLauncher(const QString &elevator = QStringLiteral("/usr/bin/pkexec"));

} // namespace corvane
