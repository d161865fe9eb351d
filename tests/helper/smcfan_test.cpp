// The fan helper against copies of the fixture sysfs trees.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "platform/linux/SmcFanTree.h"
#include "support/HelperBinary.h"

#include <grp.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QMap<QString, QByteArray> snapshot(const QString &root)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        QFile f(p);
        f.open(QIODevice::ReadOnly);
        out.insert(QDir(root).relativeFilePath(p), f.readAll());
    }
    return out;
}

// The helper honours the test tree only in an unprivileged run: when the tests run as root,
// the helper runs as "nobody" on a tree that user owns.
constexpr uid_t kNobody = 65534;

void chownTree(const QString &root)
{
    ::chown(QFile::encodeName(root).constData(), kNobody, kNobody);
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        ::lchown(QFile::encodeName(it.next()).constData(), kNobody, kNobody);
}

void startHelper(QProcess &p, const QString &binary, const QStringList &args)
{
    if (::geteuid() == 0)
        p.setChildProcessModifier([] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                ::_exit(126);
        });
    p.start(binary, args);
}

struct Tree {
    QTemporaryDir tmp;
    QString root;
    QString state;
    QString helper;
    explicit Tree(const char *fixture)
    {
        root = tmp.filePath(QStringLiteral("sys"));
        state = tmp.filePath(QStringLiteral("state"));
        const QString src = QStringLiteral(CORVANE_FIXTURES "/") + QString::fromUtf8(fixture);
        const auto files = snapshot(src);
        for (auto it = files.begin(); it != files.end(); ++it) {
            const QString dst = root + QLatin1Char('/') + it.key();
            QDir().mkpath(QFileInfo(dst).path());
            QFile f(dst);
            f.open(QIODevice::WriteOnly);
            f.write(it.value());
        }
        helper = corvane::test::fanHelperFor(tmp.path());
        if (::geteuid() == 0)
            chownTree(tmp.path());
    }
    struct Result {
        int code;
        QString err;
    };
    Result run(const QStringList &args, const QStringList &extraEnv = {}) const
    {
        QProcess p;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SMCFAN_SYSFS_ROOT"), root);
        env.insert(QStringLiteral("SMCFAN_STATE_DIR"), state);
        for (const QString &kv : extraEnv)
            env.insert(kv.section(QLatin1Char('='), 0, 0), kv.section(QLatin1Char('='), 1));
        p.setProcessEnvironment(env);
        startHelper(p, helper, args);
        p.waitForFinished(10000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardError())};
    }
    // `holdMs`: the helper's pause between reading its state and writing it back.
    QProcess *start(const QStringList &args, int holdMs = 0) const
    {
        auto *p = new QProcess;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SMCFAN_SYSFS_ROOT"), root);
        env.insert(QStringLiteral("SMCFAN_STATE_DIR"), state);
        env.insert(QStringLiteral("SMCFAN_TEST_HOLD_MS"), QString::number(holdMs));
        p->setProcessEnvironment(env);
        startHelper(*p, helper, args);
        return p;
    }
    void write(const QString &rel, const QByteArray &text) const
    {
        QFile f(root + QLatin1Char('/') + rel);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(text);
    }
    QString read(const QString &rel) const
    {
        QFile f(root + QLatin1Char('/') + rel);
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll()).trimmed();
    }
    bool hasState() const { return QFile::exists(state + QStringLiteral("/state")); }
};

const QString kApple = QStringLiteral("devices/platform/applesmc.768/");
const QString kGpu = QStringLiteral("class/hwmon/hwmon3/");
const QString kBoard = QStringLiteral("class/hwmon/hwmon4/");

} // namespace

struct Refusal {
    const char *fixture;
    QStringList args;
};

class SmcfanRefuses : public ::testing::TestWithParam<Refusal> {};

TEST_P(SmcfanRefuses, WithoutTouchingAnything)
{
    const auto &c = GetParam();
    Tree t(c.fixture);
    const auto before = snapshot(t.root);
    const auto r = t.run(c.args);
    EXPECT_NE(r.code, 0);
    EXPECT_NE(r.code, 126); // never mistaken for a dismissed password prompt
    EXPECT_NE(r.code, 127);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("smcfan: "))) << r.err.toStdString();
    EXPECT_EQ(snapshot(t.root), before);
    EXPECT_FALSE(t.hasState());
}

INSTANTIATE_TEST_SUITE_P(
    BadArguments, SmcfanRefuses,
    ::testing::Values(Refusal{"applesmc", {}}, Refusal{"applesmc", {"set"}}, Refusal{"applesmc", {"set", "abc"}},
                      Refusal{"applesmc", {"set", "-5"}}, Refusal{"applesmc", {"set", "+2000"}},
                      Refusal{"applesmc", {"set", "2000.5"}}, Refusal{"applesmc", {"set", " 2000"}},
                      Refusal{"applesmc", {"set", "99999999999999999999"}},
                      Refusal{"applesmc", {"set", "6001"}},          // above every maximum
                      Refusal{"applesmc", {"set", "1000", "0"}},     // below fan 0's minimum
                      Refusal{"applesmc", {"set", "5800", "1"}},     // above fan 1's maximum
                      Refusal{"applesmc", {"set", "2000", "2"}},     // no such fan
                      Refusal{"applesmc", {"set", "2000", "-1"}}, Refusal{"applesmc", {"set", "2000", "x"}},
                      Refusal{"applesmc", {"set", "2000", "0", "extra"}}, Refusal{"applesmc", {"auto", "0"}},
                      Refusal{"applesmc", {"bogus"}},
                      Refusal{"hwmon", {"set", "1000", "2"}},         // fan without a known range
                      Refusal{"hwmon", {"set", "1000"}}),             // …which blocks "every fan" too
    [](const auto &info) {
        std::string name = info.param.fixture;
        for (const auto &a : info.param.args) {
            name += '_';
            for (char c : a.toStdString())
                name += c == ' ' ? "space" : c == '-' ? "minus" : c == '+' ? "plus" : c == '.' ? "point" : std::string(1, c);
        }
        return name;
    });

TEST(Smcfan, AppleSmcSetAndRestore)
{
    Tree t("applesmc");
    ASSERT_EQ(t.run({"set", "2500", "0"}).code, 0);
    EXPECT_EQ(t.read(kApple + "fan1_manual"), "1");
    EXPECT_EQ(t.read(kApple + "fan1_output"), "2500");
    EXPECT_EQ(t.read(kApple + "fan2_manual"), "0");
    EXPECT_TRUE(t.hasState());

    // Every fan: one range across them, each fan held to its own maximum.
    ASSERT_EQ(t.run({"set", "5800"}).code, 0);
    EXPECT_EQ(t.read(kApple + "fan1_output"), "5800");
    EXPECT_EQ(t.read(kApple + "fan2_output"), "5500");
    EXPECT_EQ(t.read(kApple + "fan2_manual"), "1");

    ASSERT_EQ(t.run({"auto"}).code, 0);
    EXPECT_EQ(t.read(kApple + "fan1_manual"), "0");
    EXPECT_EQ(t.read(kApple + "fan2_manual"), "0");
    EXPECT_FALSE(t.hasState());
}

TEST(Smcfan, HwmonMapsSpeedToPwmAndRestoresTheOriginalMode)
{
    Tree t("hwmon");
    ASSERT_EQ(t.run({"set", "2000", "0"}).code, 0); // 0–3300 rpm over duty 77–255
    EXPECT_EQ(t.read(kGpu + "pwm1_enable"), "1");
    EXPECT_EQ(t.read(kGpu + "pwm1"), "185");
    ASSERT_EQ(t.run({"set", "1150", "1"}).code, 0); // 300–2000 rpm: halfway over its start duty 90–255
    EXPECT_EQ(t.read(kBoard + "pwm1"), "173");
    // A second "set" (the app crashed and came back, say) must not record the forced mode.
    ASSERT_EQ(t.run({"set", "2000", "1"}).code, 0);
    EXPECT_EQ(t.read(kBoard + "pwm1"), "255");

    ASSERT_EQ(t.run({"auto"}).code, 0);
    EXPECT_EQ(t.read(kGpu + "pwm1_enable"), "2");
    EXPECT_EQ(t.read(kBoard + "pwm1_enable"), "5");
    // Never touched by us: left as it was.
    EXPECT_EQ(t.read(kBoard + "pwm2_enable"), "1");
    EXPECT_EQ(t.read(kBoard + "pwm2"), "255");
    EXPECT_FALSE(t.hasState());
}

// The state names who forced the fans (the process that ran the helper, here this test) so
// that the app can tell, at its next start, fans an earlier run left forced; it is readable
// by that unprivileged app.
TEST(Smcfan, StateNamesTheOwnerForTheApp)
{
    Tree t("applesmc");
    ASSERT_EQ(t.run({"set", "2500", "0"}).code, 0);
    const auto st = corvane::fantree::readForcedState(t.state.toStdString());
    EXPECT_TRUE(st.forced);
    ASSERT_TRUE(st.owner.has_value());
    EXPECT_EQ(st.owner->pid, long(::getpid()));
    EXPECT_TRUE(corvane::fantree::ownerAlive(*st.owner));
    struct stat dir {}, file {};
    ASSERT_EQ(::stat(QFile::encodeName(t.state).constData(), &dir), 0);
    ASSERT_EQ(::stat(QFile::encodeName(t.state + "/state").constData(), &file), 0);
    EXPECT_EQ(dir.st_mode & 0777, 0755u);
    EXPECT_EQ(file.st_mode & 0777, 0644u);
    // A pid taken over by another process since is not the owner.
    auto reused = *st.owner;
    reused.startTime += 1;
    EXPECT_FALSE(corvane::fantree::ownerAlive(reused));

    ASSERT_EQ(t.run({"auto"}).code, 0);
    EXPECT_FALSE(corvane::fantree::readForcedState(t.state.toStdString()).forced);
}

// A speed request never stops a fan: the fan's minimum is its lowest running duty (the
// driver's start value, or 30 % of full duty), and the duty rises with the request.
struct PwmCase {
    const char *name;
    QString rpm;
    QString fan;
    QString pwmFile;
    int expected;
};

class SmcfanPwm : public ::testing::TestWithParam<PwmCase> {};

TEST_P(SmcfanPwm, NeverBelowTheRunningDuty)
{
    const auto &c = GetParam();
    Tree t("hwmon");
    ASSERT_EQ(t.run({"set", c.rpm, c.fan}).code, 0);
    EXPECT_EQ(t.read(c.pwmFile).toInt(), c.expected);
    EXPECT_GT(t.read(c.pwmFile).toInt(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    SpeedRequests, SmcfanPwm,
    ::testing::Values(PwmCase{"GpuAtZeroMinimum", "0", "0", kGpu + "pwm1", 77},
                      PwmCase{"GpuOneRpmAboveMinimum", "1", "0", kGpu + "pwm1", 77},
                      PwmCase{"GpuAtMaximum", "3300", "0", kGpu + "pwm1", 255},
                      PwmCase{"BoardAtAlarmMinimum", "300", "1", kBoard + "pwm1", 90},
                      PwmCase{"BoardHalfway", "1150", "1", kBoard + "pwm1", 173},
                      PwmCase{"BoardAtMaximum", "2000", "1", kBoard + "pwm1", 255}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Smcfan, IgnoresTestRootUnderPkexec)
{
    Tree t("applesmc");
    const auto before = snapshot(t.root);
    // An index no machine has: refused before anything is written, on any tree.
    const auto r = t.run({"set", "2500", "999"}, {QStringLiteral("PKEXEC_UID=1000")});
    EXPECT_NE(r.code, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral(" under /sys\n"))) << r.err.toStdString();
    EXPECT_FALSE(t.run({"set", "2500", "999"}).err.contains(QStringLiteral(" under /sys\n")));
    EXPECT_EQ(snapshot(t.root), before);
    EXPECT_FALSE(t.hasState());
}

// An SMC fan that reports no lowest speed (0 or no file) is never sent a target of 0.
struct FloorCase {
    const char *name;
    std::optional<QByteArray> min; // nothing: the file is removed
    QString rpm;
    int expected;
};

class SmcfanAppleFloor : public ::testing::TestWithParam<FloorCase> {};

TEST_P(SmcfanAppleFloor, SpeedRequestNeverStopsTheFan)
{
    const auto &c = GetParam();
    Tree t("applesmc");
    if (c.min)
        t.write(kApple + "fan1_min", *c.min);
    else
        QFile::remove(t.root + QLatin1Char('/') + kApple + "fan1_min");
    ASSERT_EQ(t.run({"set", c.rpm, "0"}).code, 0);
    EXPECT_EQ(t.read(kApple + "fan1_output").toInt(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    MissingMinimum, SmcfanAppleFloor,
    ::testing::Values(FloorCase{"ZeroMinimumSetZero", QByteArray("0\n"), "0", 1800},
                      FloorCase{"MissingMinimumSetZero", std::nullopt, "0", 1800},
                      FloorCase{"ZeroMinimumBelowShare", QByteArray("0\n"), "900", 1800},
                      FloorCase{"ZeroMinimumAboveShare", QByteArray("0\n"), "2400", 2400},
                      FloorCase{"RealMinimumKept", QByteArray("1200\n"), "1200", 1200}),
    [](const auto &info) { return std::string(info.param.name); });

// Two "set" commands at once: each must see the other's record of the original modes, and
// "auto" afterwards must give every fan its own mode back. The helper pauses while it holds
// the state, the second twice as long: unless they take turns, the second reads the state
// before the first writes it back, and the fans after the first has forced them.
TEST(SmcfanConcurrency, OverlappingSetsKeepTheOriginalModes)
{
    Tree t("hwmon");
    const QString gpuEnable = kGpu + "pwm1_enable";
    const QString boardEnable = kBoard + "pwm1_enable";
    const QString gpuMode = t.read(gpuEnable);
    const QString boardMode = t.read(boardEnable);
    ASSERT_NE(gpuMode, "1");
    ASSERT_NE(boardMode, "1");
    const QList<QStringList> pairs[] = {
        {{"set", "2000", "0"}, {"set", "1150", "1"}}, // different fans
        {{"set", "2000", "0"}, {"set", "1000", "0"}}, // the same fan
        {{"set", "1500", "1"}, {"set", "1800", "1"}},
    };
    int lost = 0;
    int leftForced = 0;
    constexpr int kHoldMs = 200;
    for (int round = 0; round < 6; ++round) {
        const auto &pair = pairs[round % 3];
        std::unique_ptr<QProcess> a(t.start(pair[0], kHoldMs));
        std::unique_ptr<QProcess> b(t.start(pair[1], 2 * kHoldMs));
        ASSERT_TRUE(a->waitForFinished(30000));
        ASSERT_TRUE(b->waitForFinished(30000));
        ASSERT_EQ(a->exitCode(), 0) << a->readAllStandardError().toStdString();
        ASSERT_EQ(b->exitCode(), 0) << b->readAllStandardError().toStdString();
        QFile state(t.state + QStringLiteral("/state"));
        ASSERT_TRUE(state.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(state.readAll());
        // Every record holds a mode other than the forced one.
        for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (line.section(QLatin1Char('\t'), 2, 2) == QLatin1String("1"))
                ++lost;
        ASSERT_EQ(t.run({"auto"}).code, 0);
        if (t.read(gpuEnable) != gpuMode || t.read(boardEnable) != boardMode)
            ++leftForced;
        // Restore by hand so one failure doesn't spill into every later round.
        t.write(gpuEnable, gpuMode.toUtf8());
        t.write(boardEnable, boardMode.toUtf8());
    }
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(leftForced, 0);
    EXPECT_FALSE(t.hasState());
}

// Test overrides of the sysfs root and state folder: honoured only in an unprivileged run.
struct OverrideCase {
    const char *name;
    uid_t realUid;
    uid_t effectiveUid;
    bool secure;
    bool pkexec;
    bool allowed;
};

class SmcfanOverrides : public ::testing::TestWithParam<OverrideCase> {};

TEST_P(SmcfanOverrides, OnlyForAnUnprivilegedRun)
{
    const auto &c = GetParam();
    EXPECT_EQ(corvane::fantree::overridesAllowed(c.realUid, c.effectiveUid, c.secure, c.pkexec), c.allowed);
}

INSTANTIATE_TEST_SUITE_P(
    Credentials, SmcfanOverrides,
    ::testing::Values(OverrideCase{"PlainUser", 1000, 1000, false, false, true},
                      OverrideCase{"Root", 0, 0, false, false, false},
                      OverrideCase{"SetuidCopy", 1000, 0, true, false, false},
                      OverrideCase{"SetuidWithoutSecureFlag", 1000, 0, false, false, false},
                      OverrideCase{"RootRealUidOnly", 0, 1000, false, false, false},
                      OverrideCase{"SecureExecAsUser", 1000, 1000, true, false, false},
                      OverrideCase{"UnderPkexec", 1000, 1000, false, true, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SmcfanOverrides, IgnoredWhenRunAsRoot)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs a run as root";
    Tree t("applesmc");
    // An index no machine has: refused before anything is written, naming the tree it used.
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SMCFAN_SYSFS_ROOT"), t.root);
    env.insert(QStringLiteral("SMCFAN_STATE_DIR"), t.state);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(CORVANE_BINARY_DIR "/smcfan"), {"set", "2500", "999"});
    ASSERT_TRUE(p.waitForFinished(10000));
    const Tree::Result r{p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
    EXPECT_NE(r.code, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral(" under /sys\n"))) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(t.state));
}
