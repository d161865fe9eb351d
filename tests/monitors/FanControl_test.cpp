#include "fakes/FakeClock.h"
#include "fakes/FakeSmcTransport.h"
#include "monitors/SMCMonitor.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

using namespace corvane;
using corvane::test::FakeClock;
using corvane::test::FakeSmcTransport;

namespace {

// A launcher that records its arguments, one per line, and exits with a chosen status.
struct FakeLauncher {
    QTemporaryDir dir;
    QString script;
    QString helper;
    explicit FakeLauncher(int exitCode, const QString &helperName = QStringLiteral("smcfan"))
    {
        script = dir.filePath(QStringLiteral("launcher.sh"));
        QFile f(script);
        f.open(QIODevice::WriteOnly);
        f.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1/args'\necho 'some diagnostic' >&2\nexit %2\n")
                    .arg(dir.path())
                    .arg(exitCode)
                    .toUtf8());
        f.close();
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QDir(dir.path()).mkpath(QStringLiteral("bin"));
        helper = dir.filePath(QStringLiteral("bin/") + helperName);
    }
    QStringList args() const
    {
        QFile f(dir.filePath(QStringLiteral("args")));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

struct Rig {
    FakeClock clock;
    std::unique_ptr<SMCMonitor> mon;
    explicit Rig(const FakeLauncher &l)
    {
        auto t = std::make_unique<FakeSmcTransport>();
        t->ui8("FNum", 2);
        t->fpe2("F0Ac", 2000);
        t->fpe2("F1Ac", 1800);
        mon = std::make_unique<SMCMonitor>(std::move(t), clock, false);
        mon->publish(mon->sampler().sample()); // fans named "Ventilator stânga" / "dreapta"
        mon->fanControl()->setLauncher(l.script);
        mon->fanControl()->setHelperPath(l.helper);
    }
    void command(std::optional<double> rpm, std::optional<int> index)
    {
        QSignalSpy done(mon.get(), &SMCMonitor::fanCommandFinished);
        mon->setFanTarget(rpm, index);
        if (done.isEmpty())
            ASSERT_TRUE(done.wait(5000));
    }
};

} // namespace

struct OutcomeCase {
    int exitCode;
    std::optional<double> rpm;
    std::optional<int> index;
    QStringList args; // after the helper path
    const char *message;
    bool manualAfter; // starting from false
};

class FanCommand : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(FanCommand, ArgumentsAndOutcome)
{
    const auto &c = GetParam();
    FakeLauncher l(c.exitCode);
    Rig r(l);
    QSignalSpy fansRefreshed(r.mon.get(), &SMCMonitor::updated);
    r.command(c.rpm, c.index);
    EXPECT_EQ(l.args(), QStringList{l.helper} + c.args);
    ASSERT_TRUE(r.mon->fanControlMessage().has_value());
    EXPECT_EQ(*r.mon->fanControlMessage(), QString::fromUtf8(c.message));
    EXPECT_EQ(r.mon->fanManualActive(), c.manualAfter);
    EXPECT_TRUE(fansRefreshed.wait(5000)); // fans re-read after every run
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, FanCommand,
    ::testing::Values(
        OutcomeCase{0, 2500.0, 0, {"set", "2500", "0"}, "Țintă ventilator stânga: 2500 rpm", true},
        OutcomeCase{0, 2499.9, std::nullopt, {"set", "2499"}, "Țintă ventilatoare: 2499 rpm", true},
        OutcomeCase{0, 3000.0, 3, {"set", "3000", "3"}, "Țintă ventilatoare: 3000 rpm", true},
        OutcomeCase{0, std::nullopt, 1, {"auto"}, "Control automat restabilit", false},
        OutcomeCase{126, 2500.0, 1, {"set", "2500", "1"}, "Anulat", false},
        OutcomeCase{127, 2500.0, 1, {"set", "2500", "1"}, "SMC a refuzat comanda", false},
        OutcomeCase{1, std::nullopt, std::nullopt, {"auto"}, "SMC a refuzat comanda", false}),
    [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(FanControl, FailureLeavesManualFlag)
{
    FakeLauncher ok(0);
    Rig r(ok);
    r.command(2500.0, std::nullopt);
    ASSERT_TRUE(r.mon->fanManualActive());
    FakeLauncher refused(2);
    r.mon->fanControl()->setLauncher(refused.script);
    r.command(std::nullopt, std::nullopt);
    EXPECT_TRUE(r.mon->fanManualActive());
    EXPECT_EQ(*r.mon->fanControlMessage(), QStringLiteral("SMC a refuzat comanda"));
}

TEST(FanControl, MissingHelperOrLauncher)
{
    FakeLauncher l(0);
    Rig r(l);
    r.mon->fanControl()->setHelperPath(QString());
    r.command(2500.0, std::nullopt);
    EXPECT_EQ(*r.mon->fanControlMessage(), QStringLiteral("Helper-ul smcfan lipsește din bundle"));
    EXPECT_TRUE(l.args().isEmpty());

    r.mon->fanControl()->setHelperPath(l.helper);
    r.mon->fanControl()->setLauncher(l.dir.filePath(QStringLiteral("no-such-launcher")));
    r.command(2500.0, std::nullopt);
    EXPECT_FALSE(r.mon->fanControlMessage()->isEmpty());
    EXPECT_NE(*r.mon->fanControlMessage(), QStringLiteral("SMC a refuzat comanda"));
    EXPECT_FALSE(r.mon->fanManualActive());
}

TEST(FanControl, NonFiniteSpeedNeverRunsTheHelper)
{
    FakeLauncher l(0);
    Rig r(l);
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e30}) {
        r.command(bad, std::nullopt);
        EXPECT_EQ(*r.mon->fanControlMessage(), QStringLiteral("SMC a refuzat comanda"));
    }
    EXPECT_TRUE(l.args().isEmpty());
    EXPECT_FALSE(r.mon->fanManualActive());
}

TEST(FanControl, PathWithQuotesAndBackslashesArrivesIntact)
{
    FakeLauncher l(0, QStringLiteral("smc\"fan\\ 'x'"));
    Rig r(l);
    r.command(std::nullopt, std::nullopt);
    EXPECT_EQ(l.args(), (QStringList{l.helper, "auto"}));
}

TEST(FanControl, RestoreAtQuitIsBounded)
{
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("hang.sh"));
    QFile f(script);
    f.open(QIODevice::WriteOnly);
    f.write("#!/bin/sh\nexec sleep 30\n");
    f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    FakeClock clock;
    SMCMonitor mon(std::make_unique<FakeSmcTransport>(), clock, false);
    mon.fanControl()->setLauncher(script);
    mon.fanControl()->setHelperPath(dir.filePath(QStringLiteral("smcfan")));
    mon.fanControl()->setRestoreTimeoutMs(300);
    QElapsedTimer t;
    t.start();
    mon.restoreAutomaticFans();
    EXPECT_LT(t.elapsed(), 3000);

    // Missing helper: returns at once without running anything.
    mon.fanControl()->setHelperPath(QString());
    t.restart();
    mon.restoreAutomaticFans();
    EXPECT_LT(t.elapsed(), 100);
}

TEST(FanControl, LocatesHelperBesideBinaryOrInLibexec)
{
    QTemporaryDir root;
    QDir(root.path()).mkpath(QStringLiteral("bin"));
    QDir(root.path()).mkpath(QStringLiteral("libexec/corvane"));
    const QString bin = root.filePath(QStringLiteral("bin"));
    EXPECT_FALSE(FanControlBridge::locateHelper(bin).has_value());
    const auto make = [](const QString &p) {
        QFile f(p);
        f.open(QIODevice::WriteOnly);
        f.close();
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    };
    make(root.filePath(QStringLiteral("libexec/corvane/smcfan")));
    EXPECT_EQ(FanControlBridge::locateHelper(bin), root.filePath(QStringLiteral("libexec/corvane/smcfan")));
    make(root.filePath(QStringLiteral("bin/smcfan")));
    EXPECT_EQ(FanControlBridge::locateHelper(bin), root.filePath(QStringLiteral("bin/smcfan")));
}
