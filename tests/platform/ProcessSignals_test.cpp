// The terminate path against real processes: a held process is signalled, and a pid that
// meanwhile names another process is not.
#include "platform/ProcessSignals.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
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
    auto held = signals_->hold(child);
    EXPECT_EQ(held->send(GetParam().signal), 0);
    EXPECT_EQ(endingSignal(child), GetParam().signal);
}

TEST_P(HeldProcessSignal, NeverHitsTheProcessThatReusedThePid)
{
    auto signals_ = makeLinuxProcessSignals("/proc", GetParam().pidfd);
    const pid_t first = spawnSleeper();
    ASSERT_GT(first, 0);
    auto held = signals_->hold(first);
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
    auto held = signals_->hold(child);
    writeStat("9000"); // the pid now belongs to a process started later
    EXPECT_EQ(held->send(SIGTERM), ESRCH);

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
    EXPECT_EQ(signals_->hold(child)->send(SIGTERM), ESRCH);
    EXPECT_EQ(signals_->hold(1)->send(SIGTERM), EPERM);
    EXPECT_EQ(signals_->hold(0)->send(SIGTERM), EPERM);
    EXPECT_EQ(signals_->hold(-5)->send(SIGTERM), EPERM);
}
