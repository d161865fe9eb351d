// The built program ended the ways a desktop ends programs: each termination signal, its
// display going away, a crash and the next start, and a quit while a battery read never
// returns. pkexec and the fan helper are stood in for by a script that notes what the helper
// was given and, for "auto", clears the helper's state as the helper does.
#include "platform/linux/SmcFanTree.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace corvane;

QStringList lines(const QByteArray &text) { return QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts); }

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The app with a home, runtime folder and fan helper state of its own.
class LaunchedApp {
public:
    LaunchedApp()
    {
        m_runtime = m_home.filePath("run");
        m_state = m_home.filePath("smcfan-state");
        QDir().mkpath(m_runtime);
        QFile::setPermissions(m_runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QDir().mkpath(m_state);
        QDir().mkpath(m_home.filePath("config/Corvane"));
        QSettings conf(configFile(), QSettings::IniFormat);
        conf.setValue("didFinishOnboarding", true);
        conf.setValue("didRequestPrivacyAuth", true);
        conf.sync();
        m_elevator = m_home.filePath("fake-pkexec");
        QFile script(m_elevator);
        script.open(QIODevice::WriteOnly);
        script.write("#!/bin/sh\n"
                     "# pkexec's stand-in: notes the helper's arguments; \"auto\" clears the state.\n"
                     "shift\n"
                     "echo \"$*\" >> \"$0.log\"\n"
                     "[ \"$1\" = auto ] && rm -f \"$SMCFAN_STATE_DIR/state\"\n"
                     "exit 0\n");
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    // pkexec's stand-in as a busy polkit makes it: it ends with the process that started it,
    // as pkexec does, and gets its answer only once answer() is called.
    void slowPolkit()
    {
        QFile script(m_elevator);
        script.open(QIODevice::WriteOnly);
        script.write("#!/bin/sh\n"
                     "[ -n \"$UNDER_PDEATHSIG\" ] || UNDER_PDEATHSIG=1 exec setpriv --pdeathsig TERM \"$0\" \"$@\"\n"
                     "while [ ! -e \"$0.answered\" ]; do sleep 0.05; done\n"
                     "shift\n"
                     "echo \"$*\" >> \"$0.log\"\n"
                     "[ \"$1\" = auto ] && rm -f \"$SMCFAN_STATE_DIR/state\"\n"
                     "exit 0\n");
    }
    void answer() { QFile(m_elevator + ".answered").open(QIODevice::WriteOnly); }
    ~LaunchedApp()
    {
        if (m_proc.state() != QProcess::NotRunning) {
            m_proc.kill();
            m_proc.waitForFinished(10000);
        }
    }
    QString configFile() const { return m_home.filePath("config/Corvane/Corvane.conf"); }
    QString dataDir() const { return m_home.filePath("data"); }
    QString statePath() const { return m_state + "/state"; }

    void start(const QString &display = {}, const QStringList &extraEnv = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_home.path());
        env.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
        env.insert("XDG_DATA_HOME", dataDir());
        env.insert("XDG_CACHE_HOME", m_home.filePath("cache"));
        env.insert("XDG_RUNTIME_DIR", m_runtime);
        env.insert("CORVANE_FAN_ELEVATOR", m_elevator);
        env.insert("SMCFAN_STATE_DIR", m_state);
        env.remove("QT_QUICK_BACKEND");
        // No session bus to find: on X11 a bus would otherwise be started that outlives the app.
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + m_home.filePath("no-bus"));
        if (!display.isEmpty()) {
            env.insert("QT_QPA_PLATFORM", "xcb");
            env.insert("DISPLAY", display);
            env.remove("XAUTHORITY");
        } else {
            env.insert("QT_QPA_PLATFORM", "offscreen");
        }
        for (const QString &kv : extraEnv)
            env.insert(kv.section('=', 0, 0), kv.section('=', 1));
        m_proc.setProcessEnvironment(env);
        m_proc.setProcessChannelMode(QProcess::ForwardedChannels);
        QFile::remove(m_runtime + "/corvane.sock"); // a crashed run's, so up() sees this run's
        m_proc.start(QStringLiteral(CORVANE_BINARY_DIR "/corvane"), {});
    }
    // Up: it has claimed its single instance, after its signal handling is in place.
    bool up()
    {
        return QTest::qWaitFor(
            [&] {
                return (m_proc.state() == QProcess::Running && QFile::exists(m_runtime + "/corvane.sock"))
                    || m_proc.state() == QProcess::NotRunning;
            },
            60000)
            && m_proc.state() == QProcess::Running;
    }
    pid_t pid() const { return pid_t(m_proc.processId()); }
    // Its main window is on that display.
    bool showsWindowOn(const QString &display)
    {
        return QTest::qWaitFor(
            [&] {
                QProcess x;
                QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                env.insert("DISPLAY", display);
                x.setProcessEnvironment(env);
                x.start("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid())});
                x.waitForFinished(10000);
                return !x.readAllStandardOutput().trimmed().isEmpty();
            },
            60000);
    }
    void signal(int sig) { ::kill(pid(), sig); }
    void crash()
    {
        signal(SIGKILL);
        m_proc.waitForFinished(10000);
    }
    // The exit status once it ended by itself, else -1 (killed, or still running after the wait).
    int exitStatus()
    {
        if (!QTest::qWaitFor([&] { return m_proc.state() == QProcess::NotRunning; }, 60000))
            return -1;
        return m_proc.exitStatus() == QProcess::NormalExit ? m_proc.exitCode() : -1;
    }

    // The helper's state after a "set" run by `owner`.
    void forcedBy(std::optional<fantree::StateOwner> owner)
    {
        QFile f(statePath());
        f.open(QIODevice::WriteOnly);
        if (owner)
            f.write(QByteArray::fromStdString(fantree::ownerLine(*owner)) + "\n");
        f.write("/sys/devices/platform/applesmc.768\t1\t0\t-1\n");
    }
    static fantree::StateOwner ownerFor(pid_t pid)
    {
        return {long(pid), fantree::processStartTime(pid).value_or(0), long(::getuid())};
    }
    QStringList helperReceived() const { return lines(readAll(m_elevator + ".log")); }

private:
    QTemporaryDir m_home;
    QString m_runtime;
    QString m_state;
    QString m_elevator;
    QProcess m_proc;
};

// The pid of a process that has ended (and been reaped) with its start time.
fantree::StateOwner goneOwner()
{
    QProcess p;
    p.start("true");
    p.waitForStarted();
    const pid_t pid = pid_t(p.processId());
    const auto start = fantree::processStartTime(pid).value_or(1);
    p.waitForFinished();
    return {long(pid), start, long(::getuid())};
}

} // namespace

// Each way the app is ended while the fans are forced for it: "auto" reaches the helper once,
// the state is cleared, and the app ends with success.
namespace {
enum class Ending { Term, Interrupt, HangUp, DisplayKilled };
struct AppEnding {
    const char *name;
    Ending end;
};

void PrintTo(const AppEnding &c, std::ostream *os) { *os << c.name; }
} // namespace

class ForcedFansAtTheEnd : public ::testing::TestWithParam<AppEnding> {};

TEST_P(ForcedFansAtTheEnd, GoBackToAutomatic)
{
    const AppEnding &c = GetParam();
    LaunchedApp app;
    QProcess xvfb;
    QString display;
    if (c.end == Ending::DisplayKilled) {
        if (QStandardPaths::findExecutable("Xvfb").isEmpty())
            GTEST_SKIP() << "needs Xvfb";
        xvfb.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x800x24"});
        QByteArray said;
        ASSERT_TRUE(QTest::qWaitFor([&] { said += xvfb.readAllStandardOutput(); return said.contains('\n'); }, 30000));
        display = ":" + QString::fromLatin1(said.trimmed());
    }
    app.start(display);
    ASSERT_TRUE(app.up());
    if (!display.isEmpty()) {
        ASSERT_TRUE(app.showsWindowOn(display));
    }
    app.forcedBy(LaunchedApp::ownerFor(app.pid()));
    switch (c.end) {
    case Ending::Term: app.signal(SIGTERM); break;
    case Ending::Interrupt: app.signal(SIGINT); break;
    case Ending::HangUp: app.signal(SIGHUP); break;
    case Ending::DisplayKilled:
        xvfb.kill();
        xvfb.waitForFinished(10000);
        break;
    }
    EXPECT_EQ(app.exitStatus(), 0);
    EXPECT_EQ(app.helperReceived(), QStringList{"auto"});
    EXPECT_FALSE(QFile::exists(app.statePath()));
}

INSTANTIATE_TEST_SUITE_P(Ends, ForcedFansAtTheEnd,
                         ::testing::Values(AppEnding{"SIGTERM", Ending::Term}, AppEnding{"SIGINT", Ending::Interrupt},
                                           AppEnding{"SIGHUP", Ending::HangUp},
                                           AppEnding{"XServerKilled", Ending::DisplayKilled}),
                         [](const auto &info) { return std::string(info.param.name); });

// A helper state that says "forced" when the app starts: put back at once unless the process
// that forced the fans still runs (another user's app, say).
namespace {
struct LeftForced {
    const char *name;
    std::function<std::optional<fantree::StateOwner>()> owner;
    QStringList received; // by the end of the run
};

void PrintTo(const LeftForced &c, std::ostream *os) { *os << c.name; }
} // namespace

class ForcedStateAtStart : public ::testing::TestWithParam<LeftForced> {};

TEST_P(ForcedStateAtStart, RestoredOnlyWithoutALiveOwner)
{
    const LeftForced &c = GetParam();
    LaunchedApp app;
    app.forcedBy(c.owner());
    app.start();
    ASSERT_TRUE(app.up());
    if (!c.received.isEmpty()) {
        QTRY_COMPARE(app.helperReceived(), c.received);
    }
    app.signal(SIGTERM);
    EXPECT_EQ(app.exitStatus(), 0);
    EXPECT_EQ(app.helperReceived(), c.received);
    EXPECT_EQ(QFile::exists(app.statePath()), c.received.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Owners, ForcedStateAtStart,
    ::testing::Values(LeftForced{"OwnerGone", [] { return std::optional(goneOwner()); }, {"auto"}},
                      LeftForced{"NoOwnerNamed", [] { return std::optional<fantree::StateOwner>(); }, {"auto"}},
                      LeftForced{"OwnerStillRuns", [] { return std::optional(LaunchedApp::ownerFor(::getpid())); }, {}}),
    [](const auto &info) { return std::string(info.param.name); });

// A crash leaves the fans forced; the next start puts them back before anything else.
TEST(ForcedFansAfterACrash, NextStartRestores)
{
    LaunchedApp app;
    app.start();
    ASSERT_TRUE(app.up());
    app.forcedBy(LaunchedApp::ownerFor(app.pid()));
    app.crash();
    EXPECT_TRUE(app.helperReceived().isEmpty());
    app.start();
    ASSERT_TRUE(app.up());
    QTRY_COMPARE(app.helperReceived(), QStringList{"auto"});
    app.signal(SIGTERM);
    EXPECT_EQ(app.exitStatus(), 0);
    EXPECT_FALSE(QFile::exists(app.statePath()));
}

// polkit still deciding when the app's wait for "auto" is over: the app ends anyway, and the
// command still reaches the helper afterwards.
TEST(ForcedFansThroughASlowPolkit, GoBackAfterTheAppHasGone)
{
    LaunchedApp app;
    app.slowPolkit();
    app.start();
    ASSERT_TRUE(app.up());
    app.forcedBy(LaunchedApp::ownerFor(app.pid()));
    app.signal(SIGTERM);
    EXPECT_EQ(app.exitStatus(), 0);
    app.answer();
    QTRY_VERIFY(!QFile::exists(app.statePath()));
    EXPECT_EQ(app.helperReceived(), QStringList{"auto"});
}

// A battery whose gauge never answers (here: an attribute that is a FIFO nobody writes, so
// opening it never returns) holds its own thread; the app still quits, with the fans put
// back and its settings on disk.
TEST(QuitWithABlockedBattery, EndsAnyway)
{
    LaunchedApp app;
    QTemporaryDir sys;
    const QString src = QStringLiteral(CORVANE_FIXTURES "/power_supply/laptop");
    QDirIterator it(src, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString from = it.next();
        const QString to = sys.filePath(QDir(src).relativeFilePath(from));
        QDir().mkpath(QFileInfo(to).path());
        QFile::copy(from, to);
    }
    const QString gauge = sys.filePath("class/power_supply/BAT0/energy_now");
    QFile::remove(gauge);
    ASSERT_EQ(::mkfifo(QFile::encodeName(gauge).constData(), 0644), 0);

    QSettings(app.configFile(), QSettings::IniFormat).remove("didRequestPrivacyAuth"); // written once it runs
    app.start({}, {"CORVANE_POWER_SYSFS_ROOT=" + sys.path()});
    ASSERT_TRUE(app.up());
    // The battery thread is in openat() on the FIFO.
    const QString tasks = QStringLiteral("/proc/%1/task").arg(app.pid());
    auto batteryBlocked = [&] {
        const QStringList ids = QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        return std::any_of(ids.cbegin(), ids.cend(), [&](const QString &t) {
            return readAll(tasks + "/" + t + "/comm").trimmed() == "corvane.battery"
                && readAll(tasks + "/" + t + "/syscall").startsWith("257 "); // openat
        });
    };
    QTRY_VERIFY(batteryBlocked());
    app.forcedBy(LaunchedApp::ownerFor(app.pid()));
    app.signal(SIGTERM); // the same quit as "Ieșire"
    EXPECT_EQ(app.exitStatus(), 0);
    EXPECT_EQ(app.helperReceived(), QStringList{"auto"});
    QSettings conf(app.configFile(), QSettings::IniFormat);
    EXPECT_TRUE(conf.value("didFinishOnboarding").toBool());
    EXPECT_TRUE(conf.value("didRequestPrivacyAuth").toBool());
}
