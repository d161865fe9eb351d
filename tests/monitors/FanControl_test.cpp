#include "fakes/FakeClock.h"
#include "fakes/FakeProcessLauncher.h"
#include "fakes/FakeSmcTransport.h"
#include "monitors/SMCMonitor.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

using namespace corvane;
using corvane::test::FakeClock;
using corvane::test::FakeProcessLauncher;
using corvane::test::FakeSmcTransport;

namespace {

struct Rig {
    FakeClock clock;
    std::unique_ptr<SMCMonitor> mon;
    FakeProcessLauncher *launcher = new FakeProcessLauncher;
    const QString helper = QStringLiteral("/opt/corvane/libexec/smcfan");
    explicit Rig(ProcessOutcome outcome = FakeProcessLauncher::exited(0))
    {
        auto t = std::make_unique<FakeSmcTransport>();
        t->ui8("FNum", 2);
        t->fpe2("F0Ac", 2000);
        t->fpe2("F1Ac", 1800);
        mon = std::make_unique<SMCMonitor>(std::move(t), clock, false);
        mon->publish(mon->sampler().sample()); // fans named "Ventilator stânga" / "dreapta"
        launcher->next = outcome;
        mon->fanControl()->setProcessLauncher(std::unique_ptr<ProcessLauncher>(launcher));
        mon->fanControl()->setHelperPath(helper);
    }
    void command(std::optional<double> rpm, std::optional<int> index)
    {
        QSignalSpy done(mon.get(), &SMCMonitor::fanCommandFinished);
        mon->setFanTarget(rpm, index);
        if (done.isEmpty()) {
            ASSERT_TRUE(done.wait(5000));
        }
    }
};

ProcessOutcome notAuthorized(const QByteArray &said)
{
    ProcessOutcome o = FakeProcessLauncher::ended(ProcessOutcome::End::notAuthorized);
    o.exitCode = 127;
    o.errorOutput = said;
    return o;
}

QStringList g_logged;
void keepMessage(QtMsgType, const QMessageLogContext &ctx, const QString &msg)
{
    g_logged << QString::fromLatin1(ctx.category) + QStringLiteral(": ") + msg;
}

} // namespace

struct OutcomeCase {
    const char *name;
    ProcessOutcome ended;
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
    Rig r(c.ended);
    QSignalSpy fansRefreshed(r.mon.get(), &SMCMonitor::updated);
    r.command(c.rpm, c.index);
    EXPECT_EQ(r.launcher->calls, (QList<QStringList>{QStringList{r.helper} + c.args}));
    ASSERT_TRUE(r.mon->fanControlMessage().has_value());
    EXPECT_EQ(*r.mon->fanControlMessage(), QString::fromUtf8(c.message));
    EXPECT_EQ(r.mon->fanManualActive(), c.manualAfter);
    EXPECT_TRUE(fansRefreshed.wait(5000)); // fans re-read after every run
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, FanCommand,
    ::testing::Values(
        OutcomeCase{"SetOneFan", FakeProcessLauncher::exited(0), 2500.0, 0, {"set", "2500", "0"},
                    "Țintă ventilator stânga: 2500 rpm", true},
        OutcomeCase{"SetAllTruncatesRpm", FakeProcessLauncher::exited(0), 2499.9, std::nullopt, {"set", "2499"},
                    "Țintă ventilatoare: 2499 rpm", true},
        OutcomeCase{"SetUnknownIndex", FakeProcessLauncher::exited(0), 3000.0, 3, {"set", "3000", "3"},
                    "Țintă ventilatoare: 3000 rpm", true},
        OutcomeCase{"AutoIgnoresIndex", FakeProcessLauncher::exited(0), std::nullopt, 1, {"auto"},
                    "Control automat restabilit", false},
        OutcomeCase{"PromptDismissed", FakeProcessLauncher::ended(ProcessOutcome::End::dismissed), 2500.0, 1,
                    {"set", "2500", "1"}, "Anulat", false},
        OutcomeCase{"NotAuthorized", FakeProcessLauncher::ended(ProcessOutcome::End::notAuthorized), 2500.0, 1,
                    {"set", "2500", "1"}, "Autorizare eșuată", false},
        OutcomeCase{"NoAuthenticationAgent",
                    notAuthorized("Error executing command as another user: No authentication agent found.\n"), 2500.0,
                    1, {"set", "2500", "1"}, "Autorizare eșuată: niciun agent de autentificare activ", false},
        OutcomeCase{"HelperExited127", FakeProcessLauncher::exited(127), 2500.0, 1, {"set", "2500", "1"},
                    "Ventilatorul a refuzat comanda", false},
        OutcomeCase{"HelperCrashed", FakeProcessLauncher::ended(ProcessOutcome::End::crashed), 2500.0, 1,
                    {"set", "2500", "1"}, "Ventilatorul a refuzat comanda", false},
        OutcomeCase{"HelperRefusedAuto", FakeProcessLauncher::exited(1), std::nullopt, std::nullopt, {"auto"},
                    "Ventilatorul a refuzat comanda", false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(FanControl, FailureLeavesManualFlag)
{
    Rig r;
    r.command(2500.0, std::nullopt);
    ASSERT_TRUE(r.mon->fanManualActive());
    r.launcher->next = FakeProcessLauncher::exited(2);
    r.command(std::nullopt, std::nullopt);
    EXPECT_TRUE(r.mon->fanManualActive());
    EXPECT_EQ(*r.mon->fanControlMessage(), QStringLiteral("Ventilatorul a refuzat comanda"));
}

TEST(FanControl, MissingHelperOrLauncher)
{
    Rig r;
    r.mon->fanControl()->setHelperPath(QString());
    r.command(2500.0, std::nullopt);
    EXPECT_EQ(*r.mon->fanControlMessage(), QStringLiteral("Helper-ul smcfan lipsește din instalare"));
    EXPECT_TRUE(r.launcher->calls.isEmpty());

    r.mon->fanControl()->setHelperPath(r.helper);
    r.launcher->next = FakeProcessLauncher::ended(ProcessOutcome::End::failedToStart, "execve: No such file");
    r.command(2500.0, std::nullopt);
    EXPECT_EQ(*r.mon->fanControlMessage(), QStringLiteral("execve: No such file"));
    EXPECT_FALSE(r.mon->fanManualActive());
}

TEST(FanControl, NonFiniteSpeedNeverRunsTheHelper)
{
    Rig r;
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e30}) {
        r.command(bad, std::nullopt);
        EXPECT_EQ(*r.mon->fanControlMessage(), QStringLiteral("Ventilatorul a refuzat comanda"));
    }
    EXPECT_TRUE(r.launcher->calls.isEmpty());
    EXPECT_FALSE(r.mon->fanManualActive());
}

TEST(FanControl, HelpersRefusalTextReachesTheLog)
{
    Rig r(FakeProcessLauncher::exited(2, "smcfan: fan 1 has no checkable range\n"));
    g_logged.clear();
    const auto previous = qInstallMessageHandler(keepMessage);
    r.command(2500.0, 1);
    qInstallMessageHandler(previous);
    EXPECT_EQ(*r.mon->fanControlMessage(), QStringLiteral("Ventilatorul a refuzat comanda"));
    ASSERT_EQ(g_logged.size(), 1);
    EXPECT_TRUE(g_logged[0].startsWith("corvane.monitors: ")) << g_logged[0].toStdString();
    EXPECT_TRUE(g_logged[0].contains("smcfan: fan 1 has no checkable range")) << g_logged[0].toStdString();
    EXPECT_TRUE(g_logged[0].contains("2")) << g_logged[0].toStdString();
}

// The way out starts "auto" once without the event loop and waits for it only so long.
TEST(FanControl, RestoreAtQuitIsBoundedAndSkippedWithoutHelper)
{
    Rig r;
    FanControlBridge *bridge = r.mon->fanControl();
    r.launcher->spawnedEnds = false; // a helper that never ends
    r.mon->restoreAutomaticFans();
    EXPECT_EQ(r.launcher->spawned, (QList<QStringList>{QStringList{r.helper, "auto"}}));
    EXPECT_TRUE(r.launcher->calls.isEmpty());
    EXPECT_FALSE(bridge->finishRestore(std::chrono::steady_clock::now()));
    bridge->beginRestore(); // once per run
    EXPECT_EQ(r.launcher->spawned.size(), 1);

    Rig missing;
    missing.mon->fanControl()->setHelperPath(QString());
    missing.mon->restoreAutomaticFans();
    EXPECT_FALSE(missing.mon->fanControl()->beginRestore());
    EXPECT_TRUE(missing.launcher->spawned.isEmpty());
    EXPECT_TRUE(missing.mon->fanControl()->finishRestore());
}

// Whether quitting must put the fans back: from the start of a "set" until an "auto" has
// succeeded; a failed command changes nothing.
namespace {
struct ForcedStep {
    std::optional<double> rpm;
    ProcessOutcome ended;
    bool forcedAfter;
};
} // namespace

TEST(FanControl, MayBeForcedFollowsTheHelper)
{
    Rig r;
    QTemporaryDir noState;
    r.mon->fanControl()->setStateDir(noState.path());
    EXPECT_FALSE(r.mon->fanControl()->mayBeForced());
    const ForcedStep steps[] = {
        {2500.0, FakeProcessLauncher::exited(1), false},
        {2500.0, FakeProcessLauncher::ended(ProcessOutcome::End::dismissed), false},
        {2500.0, FakeProcessLauncher::exited(0), true},
        {std::nullopt, FakeProcessLauncher::exited(1), true},
        {3000.0, FakeProcessLauncher::ended(ProcessOutcome::End::notAuthorized), true},
        {std::nullopt, FakeProcessLauncher::exited(0), false},
    };
    bool forced = false;
    for (const ForcedStep &s : steps) {
        r.launcher->next = s.ended;
        QSignalSpy done(r.mon.get(), &SMCMonitor::fanCommandFinished);
        r.mon->setFanTarget(s.rpm, std::nullopt);
        EXPECT_EQ(r.mon->fanControl()->mayBeForced(), forced || s.rpm.has_value()) << "while the command runs";
        ASSERT_TRUE(done.wait(5000));
        EXPECT_EQ(r.mon->fanControl()->mayBeForced(), s.forcedAfter);
        forced = s.forcedAfter;
    }
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
