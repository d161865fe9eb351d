// The terminate path against real processes: a held process is signalled, and a pid that
// meanwhile names another process is not.
#include "platform/ProcessSignals.h"
#include "platform/ProcessTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include "ui/tabs/TabsTestPrint.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace corvane;

namespace {

// A child that sleeps until signalled.
pid_t spawnSleeper()
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl("/bin/sleep", "sleep", "30", static_cast<char *>(nullptr));
        ::_exit(127);
    }
    return pid;
}

// A child that has SIGTERM set to be ignored, as daemons that only stop on SIGKILL do.
// Returns once the child has set it.
pid_t spawnTermIgnoringSleeper()
{
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGTERM, SIG_IGN); // kept across exec
        ::close(ready[1]);
        ::execl("/bin/sleep", "sleep", "30", static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(ready[1]);
    char c;
    while (::read(ready[0], &c, 1) < 0 && errno == EINTR) {
    }
    ::close(ready[0]);
    return pid;
}

uint64_t startTimeOf(pid_t pid)
{
    const auto info = makeLinuxProcessTable()->taskInfo(pid);
    return info ? info->startTime : 0;
}

// Waits for the child's end: the signal that ended it, -1 for an exit of its own (the sleep
// ran out: nothing reached it).
int endingSignal(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFSIGNALED(status) ? WTERMSIG(status) : -1;
}

// The first fatal signal that reached the child: the group's exit takes the first one, so
// SIGUSR1 (sent here) comes back when nothing came before it. Reaps the child.
int firstSignal(pid_t pid)
{
    ::kill(pid, SIGUSR1);
    return endingSignal(pid);
}

void reap(pid_t pid)
{
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

// Asks the kernel for `pid` as the next process id (root only); the child is the sleeper.
pid_t spawnSleeperAt(pid_t pid)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        std::ofstream last("/proc/sys/kernel/ns_last_pid");
        if (!last)
            return -1;
        last << (pid - 1);
        last.close();
        if (!last)
            return -1;
        const pid_t child = spawnSleeper();
        if (child == pid)
            return child;
        reap(child); // another process took the slot first: try again
    }
    return -1;
}

} // namespace

struct SignalCase {
    const char *name;
    bool pidfd;
    int signal;
};
TABS_PRINT_BY_NAME(SignalCase)
class HeldProcessSignal : public ::testing::TestWithParam<SignalCase> {};

TEST_P(HeldProcessSignal, ReachesTheLiveChild)
{
    auto signals_ = makeLinuxProcessSignals("/proc", GetParam().pidfd);
    const pid_t child = spawnSleeper();
    ASSERT_GT(child, 0);
    auto held = signals_->hold(child, startTimeOf(child));
    EXPECT_EQ(held->check(), 0);
    EXPECT_TRUE(held->running());
    EXPECT_EQ(held->send(GetParam().signal), 0);
    EXPECT_EQ(endingSignal(child), GetParam().signal);
}

// A row that outlived its process: the pid is live, but it started at another time.
TEST_P(HeldProcessSignal, RefusesAPidThatStartedAtAnotherTime)
{
    auto signals_ = makeLinuxProcessSignals("/proc", GetParam().pidfd);
    const pid_t child = spawnSleeper();
    ASSERT_GT(child, 0);
    const uint64_t start = startTimeOf(child);
    ASSERT_GT(start, 0u);
    auto held = signals_->hold(child, start - 1);
    EXPECT_EQ(held->check(), kProcessReplaced);
    EXPECT_EQ(held->send(GetParam().signal), kProcessReplaced);
    EXPECT_FALSE(held->running());
    EXPECT_EQ(firstSignal(child), SIGUSR1) << "a process of another start time was signalled";
}

// Delivered is not ended: SIGTERM set to be ignored leaves the process running.
TEST_P(HeldProcessSignal, SeesAnIgnoredSigtermAndTheEndAfterSigkill)
{
    auto signals_ = makeLinuxProcessSignals("/proc", GetParam().pidfd);
    const pid_t child = spawnTermIgnoringSleeper();
    ASSERT_GT(child, 0);
    auto held = signals_->hold(child, startTimeOf(child));
    EXPECT_EQ(held->send(SIGTERM), 0);
    EXPECT_TRUE(held->ignores(SIGTERM));
    EXPECT_FALSE(held->ignores(SIGKILL));
    EXPECT_TRUE(held->running());
    EXPECT_EQ(held->send(SIGKILL), 0);
    // Dead once signalled, also before its parent (us) collects it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !held->running(); }, 5000));
    EXPECT_EQ(endingSignal(child), SIGKILL);
}

TEST_P(HeldProcessSignal, NeverHitsTheProcessThatReusedThePid)
{
    auto signals_ = makeLinuxProcessSignals("/proc", GetParam().pidfd);
    const pid_t first = spawnSleeper();
    ASSERT_GT(first, 0);
    auto held = signals_->hold(first, startTimeOf(first));
    reap(first); // the held process ends before the user confirms

    const pid_t second = ::geteuid() == 0 ? spawnSleeperAt(first) : -1;
    EXPECT_EQ(held->send(GetParam().signal), ESRCH);
    if (second < 0)
        GTEST_SKIP() << "could not place a new process on pid " << first;
    EXPECT_EQ(firstSignal(second), SIGUSR1) << "the newcomer on the same pid was signalled";
}

INSTANTIATE_TEST_SUITE_P(Signals, HeldProcessSignal,
                         ::testing::Values(SignalCase{"PidfdTerm", true, SIGTERM}, SignalCase{"PidfdKill", true, SIGKILL},
                                           SignalCase{"KillTerm", false, SIGTERM}, SignalCase{"KillKill", false, SIGKILL}),
                         [](const auto &info) { return std::string(info.param.name); });

// Without pidfd the start time identifies the process: a stat that changed under the same
// pid means another process, and the live pid is left alone.
TEST(ProcessSignals, KillPathChecksTheStartTime)
{
    QTemporaryDir proc;
    const pid_t child = spawnSleeper();
    ASSERT_GT(child, 0);
    const QString dir = proc.path() + QStringLiteral("/%1").arg(child);
    QDir().mkpath(dir);
    auto writeStat = [&](const char *start) {
        QFile f(dir + QStringLiteral("/stat"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArrayLiteral("123 (sleep (odd) name) S 1 1 1 0 -1 4194304 0 0 0 0 0 0 0 0 20 0 1 0 ") + start
                + QByteArrayLiteral(" 1000 100 18446744073709551615\n"));
    };
    writeStat("5000");
    auto signals_ = makeLinuxProcessSignals(proc.path().toLocal8Bit().constData(), false);
    auto held = signals_->hold(child, 5000);
    EXPECT_EQ(held->check(), 0);
    writeStat("9000"); // the pid now belongs to a process started later
    EXPECT_EQ(held->send(SIGTERM), kProcessReplaced);

    writeStat("5000");
    EXPECT_EQ(held->send(SIGKILL), 0);
    // The first fatal signal decides the end: a SIGTERM that got through above would show here.
    EXPECT_EQ(endingSignal(child), SIGKILL);
}

TEST(ProcessSignals, GoneAndSystemProcessesAreRefused)
{
    auto signals_ = makeLinuxProcessSignals();
    const pid_t child = spawnSleeper();
    reap(child);
    EXPECT_EQ(signals_->hold(child, 1)->send(SIGTERM), ESRCH);
    EXPECT_EQ(signals_->hold(1, 1)->send(SIGTERM), EPERM);
    EXPECT_EQ(signals_->hold(0, 1)->send(SIGTERM), EPERM);
    EXPECT_EQ(signals_->hold(-5, 1)->send(SIGTERM), EPERM);
}
