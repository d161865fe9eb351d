#include "platform/ProcessLauncher.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane;

namespace {

// A script that records its arguments, one per line, says something on its error output and
// ends with `status`.
struct Script {
    QTemporaryDir dir;
    QString path;
    explicit Script(const QByteArray &body, const QString &name = QStringLiteral("prog.sh"))
    {
        path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("#!/bin/sh\n" + body);
        f.close();
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    static Script recording(int status)
    {
        return Script(QStringLiteral("printf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"\necho 'refused: no range' >&2\nexit %1\n")
                          .arg(status)
                          .toUtf8());
    }
    QStringList args() const
    {
        QFile f(dir.filePath(QStringLiteral("args")));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

std::optional<ProcessOutcome> startAndWait(ProcessLauncher &l, const QString &program, const QStringList &args)
{
    QObject context;
    std::optional<ProcessOutcome> got;
    l.start(program, args, &context, [&got](const ProcessOutcome &o) { got = o; });
    [[maybe_unused]] const bool ended = QTest::qWaitFor([&] { return got.has_value(); }, 30000);
    return got;
}

} // namespace

struct EndCase {
    const char *name;
    bool elevated;
    int status;
    ProcessOutcome::End end;
};
class LauncherEnd : public ::testing::TestWithParam<EndCase> {};

TEST_P(LauncherEnd, StatusAndErrorOutput)
{
    const auto &c = GetParam();
    Script s = Script::recording(c.status);
    auto launcher = c.elevated ? makeElevatedLauncher(s.path) : makeProcessLauncher();
    const QString program = c.elevated ? QStringLiteral("/opt/helper") : s.path;
    for (bool blocking : {false, true}) {
        const auto o = blocking ? std::optional(launcher->run(program, {"set", "2500"}, 5000))
                                : startAndWait(*launcher, program, {"set", "2500"});
        ASSERT_TRUE(o.has_value());
        EXPECT_EQ(o->end, c.end);
        EXPECT_EQ(o->exitCode, c.status);
        EXPECT_EQ(o->errorOutput, "refused: no range\n");
        EXPECT_EQ(o->succeeded(), c.status == 0);
        EXPECT_EQ(s.args(), c.elevated ? QStringList({"/opt/helper", "set", "2500"}) : QStringList({"set", "2500"}));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, LauncherEnd, ::testing::Values(
    EndCase{"Success", false, 0, ProcessOutcome::End::exited},
    EndCase{"Refused", false, 3, ProcessOutcome::End::exited},
    EndCase{"PlainStatus126IsNotAPrompt", false, 126, ProcessOutcome::End::exited},
    EndCase{"ElevatedSuccess", true, 0, ProcessOutcome::End::exited},
    EndCase{"ElevatorNotAuthorized", true, 127, ProcessOutcome::End::notAuthorized},
    EndCase{"PlainStatus127IsTheProgramsOwn", false, 127, ProcessOutcome::End::exited},
    EndCase{"ElevatorPromptDismissed", true, 126, ProcessOutcome::End::dismissed}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ProcessLauncher, ArgumentsArriveIntactWithoutAShell)
{
    Script s = Script::recording(0);
    const QStringList args{"a b", "$(touch x)", "quote\"s", "back\\slash", "'single'", ";"};
    auto launcher = makeElevatedLauncher(s.path);
    ASSERT_TRUE(startAndWait(*launcher, QStringLiteral("/x/smc\"fan\\ 'x'"), args));
    EXPECT_EQ(s.args(), QStringList{"/x/smc\"fan\\ 'x'"} + args);
    EXPECT_FALSE(QFile::exists(s.dir.filePath("x")));
}

TEST(ProcessLauncher, MissingProgramFailsToStartWithAReason)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("no-such-program"));
    auto plain = makeProcessLauncher();
    auto elevated = makeElevatedLauncher(missing);
    for (const auto &o : {startAndWait(*plain, missing, {}), std::optional(plain->run(missing, {}, 2000)),
                          startAndWait(*elevated, QStringLiteral("/opt/helper"), {})}) {
        ASSERT_TRUE(o.has_value());
        EXPECT_EQ(o->end, ProcessOutcome::End::failedToStart);
        EXPECT_FALSE(o->errorText.isEmpty());
    }
}

TEST(ProcessLauncher, BlockingRunIsBounded)
{
    Script s("exec sleep 30\n");
    auto launcher = makeProcessLauncher();
    // Waiting for the program instead would give its own end after 30 s.
    EXPECT_EQ(launcher->run(s.path, {}, 300).end, ProcessOutcome::End::timedOut);
}

// The way-out start: no event loop turns, the arguments arrive as given through the
// elevator, the end is seen once it comes, and a program that doesn't end is only waited for
// until the deadline.
TEST(ProcessLauncher, SpawnedProgramIsWaitedForUntilADeadline)
{
    Script s = Script::recording(0);
    auto elevated = makeElevatedLauncher(s.path);
    auto ends = elevated->spawn(QStringLiteral("/opt/smcfan"), {"auto"});
    ASSERT_TRUE(ends);
    EXPECT_TRUE(ends->waitUntil(std::chrono::steady_clock::now() + std::chrono::seconds(30)));
    EXPECT_EQ(s.args(), (QStringList{"/opt/smcfan", "auto"}));

    // Waits on a FIFO until the test opens it.
    Script stays("read x < \"$(dirname \"$0\")/gate\"\n");
    const QByteArray gate = QFile::encodeName(stays.dir.filePath(QStringLiteral("gate")));
    ASSERT_EQ(::mkfifo(gate.constData(), 0600), 0);
    auto plain = makeProcessLauncher();
    auto running = plain->spawn(stays.path, {});
    ASSERT_TRUE(running);
    EXPECT_FALSE(running->waitUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(200)));
    int writer = -1;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (writer = ::open(gate.constData(), O_WRONLY | O_NONBLOCK)) >= 0; }, 30000));
    ::close(writer);
    EXPECT_TRUE(running->waitUntil(std::chrono::steady_clock::now() + std::chrono::seconds(30)));

    QTemporaryDir dir;
    EXPECT_EQ(plain->spawn(dir.filePath(QStringLiteral("no-such-program")), {}), nullptr);
}

TEST(ProcessLauncher, ErrorOutputKeepsOnlyTheTail)
{
    Script s("i=0; while [ $i -lt 2000 ]; do echo 'line of chatter' >&2; i=$((i+1)); done; echo 'the reason' >&2; exit 1\n");
    auto launcher = makeProcessLauncher();
    const auto o = startAndWait(*launcher, s.path, {});
    ASSERT_TRUE(o.has_value());
    EXPECT_EQ(o->errorOutput.size(), ProcessLauncher::kMaxErrorOutput);
    EXPECT_TRUE(o->errorOutput.endsWith("the reason\n"));
}

TEST(ProcessLauncher, NoCallbackOnceTheContextIsGone)
{
    Script s("echo $$ > \"$(dirname \"$0\")/pid\"\n");
    auto launcher = makeProcessLauncher();
    bool called = false;
    {
        QObject context;
        launcher->start(s.path, {}, &context, [&called](const ProcessOutcome &) { called = true; });
    }
    // A second program ends only once the first has been reaped here (a zombie still answers
    // kill -0): by its own callback, the first one's end has been handled.
    const QString pid = s.dir.filePath(QStringLiteral("pid"));
    Script after(QStringLiteral("while [ ! -s '%1' ]; do sleep 0.01; done\n"
                                "while kill -0 \"$(cat '%1')\" 2>/dev/null; do sleep 0.01; done\n")
                     .arg(pid)
                     .toUtf8());
    const auto o = startAndWait(*launcher, after.path, {});
    ASSERT_TRUE(o && o->succeeded());
    EXPECT_FALSE(called);
}
