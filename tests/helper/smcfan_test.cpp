// The fan helper against copies of the fixture sysfs trees.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

struct Tree {
    QTemporaryDir tmp;
    QString root;
    QString state;
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
        p.start(QStringLiteral(CORVANE_BINARY_DIR "/smcfan"), args);
        p.waitForFinished(10000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardError())};
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
