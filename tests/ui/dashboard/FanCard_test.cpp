// The fan card against a copy of the applesmc fixture, through the real smcfan helper: the
// monitor reads the copied tree and the helper writes it, started by a stand-in for pkexec.
#include "fakes/FakeClock.h"
#include "monitors/SMCMonitor.h"
#include "platform/ProcessLauncher.h"
#include "platform/SmcTransport.h"
#include "support/HelperBinary.h"
#include "support/QmlTestUtil.h"
#include "ui/dashboard/DashboardModels.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <unistd.h>
#include <QTest>

#include <gtest/gtest.h>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

using namespace corvane;

namespace {

const QString kFanDir = QStringLiteral("devices/platform/applesmc.768/");

struct FanRig {
    QTemporaryDir tmp;
    QString root = tmp.filePath(QStringLiteral("sys"));
    QString launcher = tmp.filePath(QStringLiteral("launcher.sh"));
    QString helper;
    QString log = tmp.filePath(QStringLiteral("calls"));
    test::FakeClock clock;
    std::unique_ptr<SMCMonitor> smc;
    test::QmlHarness h;
    QQuickWindow window;
    std::unique_ptr<QObject> view;
    QQuickItem *card = nullptr;

    // `prelude` runs in the launcher before the helper (a delay, or an exit of its own).
    explicit FanRig(const QString &prelude = {})
    {
        const QString src = QStringLiteral(CORVANE_FIXTURES "/applesmc");
        QDirIterator it(src, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString p = it.next();
            const QString dst = root + QLatin1Char('/') + QDir(src).relativeFilePath(p);
            QDir().mkpath(QFileInfo(dst).path());
            QFile::copy(p, dst);
            QFile(dst).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
        qputenv("SMCFAN_SYSFS_ROOT", root.toUtf8());
        qputenv("SMCFAN_STATE_DIR", tmp.filePath(QStringLiteral("state")).toUtf8());
        QFile f(launcher);
        f.open(QIODevice::WriteOnly);
        // The helper takes the test tree only in an unprivileged run: as root, it runs as nobody
        // on a tree nobody owns.
        const bool asRoot = ::geteuid() == 0;
        const QString drop = asRoot ? QStringLiteral("setpriv --reuid=65534 --regid=65534 --clear-groups ") : QString();
        f.write(QStringLiteral("#!/bin/sh\necho \"$*\" >> '%1'\n%2\nexec %3\"$@\"\n").arg(log, prelude, drop).toUtf8());
        f.close();
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        helper = corvane::test::fanHelperFor(tmp.path());
        if (asRoot) {
            QDirIterator all(tmp.path(), QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
            ::chown(QFile::encodeName(tmp.path()).constData(), 65534, 65534);
            while (all.hasNext())
                ::chown(QFile::encodeName(all.next()).constData(), 65534, 65534);
        }

        smc = std::make_unique<SMCMonitor>(makeAppleSmcTransport(root + QLatin1Char('/') + kFanDir), clock, false);
        smc->fanControl()->setProcessLauncher(makeElevatedLauncher(launcher));
        smc->fanControl()->setHelperPath(helper);
        QSignalSpy first(smc.get(), &SMCMonitor::updated);
        smc->refresh();
        EXPECT_TRUE(first.wait(5000));

        window.resize(520, 520);
        view = h.createFile(QStringLiteral("qrc:/Corvane/FanCardContent.qml"),
                            {{"smc", QVariant::fromValue(smc.get())}, {"width", 500}});
        EXPECT_TRUE(view) << h.warnings().join('\n').toStdString();
        card = qobject_cast<QQuickItem *>(view.get());
        card->setParentItem(window.contentItem());
        card->setPosition(QPointF(10, 10));
        window.show();
        settle();
    }
    ~FanRig()
    {
        qunsetenv("SMCFAN_SYSFS_ROOT");
        qunsetenv("SMCFAN_STATE_DIR");
    }
    void settle()
    {
        QCoreApplication::processEvents();
        window.grabWindow();
    }
    QQuickItem *item(const QString &name) const { return test::findItem(card, name); }
    FanControlPanel *panel() const { return card->property("panel").value<FanControlPanel *>(); }
    QString text(const QString &name) const { return item(name)->property("text").toString(); }
    QString sysfs(const QString &file) const
    {
        QFile f(root + QLatin1Char('/') + kFanDir + file);
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll()).trimmed();
    }
    QStringList calls() const
    {
        QFile f(log);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList out;
        for (const QString &line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            out << line.section(QLatin1Char(' '), 1); // without the helper's path
        return out;
    }
    void press(const QString &name)
    {
        QQuickItem *it = item(name);
        ASSERT_TRUE(it) << name.toStdString();
        ASSERT_TRUE(it->isVisible()) << name.toStdString();
        QTest::mouseClick(&window, Qt::LeftButton, {}, it->mapToScene(QPointF(it->width() / 2, it->height() / 2)).toPoint());
        settle();
    }
    // Waits for the command's outcome and the fans' re-read that follows it.
    void finish()
    {
        if (panel()->applying()) {
            QSignalSpy done(smc.get(), &SMCMonitor::fanCommandFinished);
            ASSERT_TRUE(done.wait(10000));
        }
        QSignalSpy reread(smc.get(), &SMCMonitor::updated);
        reread.wait(3000);
        settle();
    }
    void chooseScope(int value) { panel()->setScope(value); }
};

} // namespace

TEST(FanCard, RowsAndRangeFromTheFixture)
{
    FanRig r;
    EXPECT_TRUE(r.h.warnings().isEmpty()) << r.h.warnings().join('\n').toStdString();
    EXPECT_EQ(test::findItem(r.item(QStringLiteral("fan.0")), QStringLiteral("fanName"))->property("text").toString(),
              QStringLiteral("VENTILATOR STÂNGA"));
    EXPECT_EQ(test::findItem(r.item(QStringLiteral("fan.0")), QStringLiteral("speed"))->property("text").toString(),
              QStringLiteral("2000 rpm"));
    // (2000 − 1200) / 4800 = 16 %.
    EXPECT_EQ(test::findItem(r.item(QStringLiteral("fan.0")), QStringLiteral("label"))->property("text").toString(),
              QStringLiteral("16%"));
    EXPECT_DOUBLE_EQ(r.panel()->sliderLower(), 1200);
    EXPECT_DOUBLE_EQ(r.panel()->sliderUpper(), 6000);
    EXPECT_DOUBLE_EQ(r.panel()->boostTarget(), 4560);
    EXPECT_TRUE(r.item(QStringLiteral("scopePicker"))->isVisible());
    EXPECT_EQ(r.text(QStringLiteral("fanMessage")),
              QStringLiteral("Necesită parolă de administrator. La ieșirea din aplicație revine pe Auto."));
    EXPECT_FALSE(r.item(QStringLiteral("manualBadge"))->isVisible());
}

// A maximum the driver gets wrong (-1) is not reported: a dash, not a figure; the slider's
// range comes from the fans that report theirs.
TEST(FanCard, ImpossibleMaximumReadsAsADash)
{
    FanRig r;
    {
        QFile f(r.root + QLatin1Char('/') + kFanDir + QStringLiteral("fan2_max"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("-1\n");
    }
    QSignalSpy read(r.smc.get(), &SMCMonitor::updated);
    r.smc->refresh();
    ASSERT_TRUE(read.wait(5000));
    r.settle();
    EXPECT_EQ(test::findItem(r.item(QStringLiteral("fan.1")), QStringLiteral("maxCaption"))->property("text").toString(),
              QStringLiteral("max —"));
    EXPECT_EQ(test::findItem(r.item(QStringLiteral("fan.0")), QStringLiteral("maxCaption"))->property("text").toString(),
              QStringLiteral("max 6000"));
    EXPECT_DOUBLE_EQ(r.panel()->sliderUpper(), 6000);
}

struct CommandCase {
    const char *name;
    int scope;
    const char *button;
    const char *call;    // helper arguments
    const char *message; // outcome line
    const char *output1; // fan1_output afterwards
    const char *output2;
};

class FanCommandFromCard : public ::testing::TestWithParam<CommandCase> {};

TEST_P(FanCommandFromCard, ReachesTheFansAndReportsTheOutcome)
{
    const auto &c = GetParam();
    FanRig r;
    r.chooseScope(c.scope);
    r.press(QString::fromUtf8(c.button));
    r.finish();
    EXPECT_EQ(r.calls(), QStringList{QString::fromUtf8(c.call)});
    EXPECT_EQ(r.text(QStringLiteral("fanMessage")), QString::fromUtf8(c.message));
    EXPECT_EQ(r.sysfs(QStringLiteral("fan1_output")), QString::fromUtf8(c.output1));
    EXPECT_EQ(r.sysfs(QStringLiteral("fan2_output")), QString::fromUtf8(c.output2));
    EXPECT_TRUE(r.item(QStringLiteral("manualBadge"))->isVisible());
    EXPECT_FALSE(r.panel()->applying());
    EXPECT_TRUE(r.item(QStringLiteral("applyButton"))->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Fixture, FanCommandFromCard,
    ::testing::Values(
        CommandCase{"apply_at_start_all_fans", -1, "applyButton", "set 3000", "Țintă ventilatoare: 3000 rpm", "3000", "3000"},
        CommandCase{"boost_left", 0, "boostButton", "set 4560 0", "Țintă ventilator stânga: 4560 rpm", "4560", "1300"},
        CommandCase{"max_all", -1, "maxButton", "set 6000", "Țintă ventilatoare: 6000 rpm", "6000", "5500"},
        // The right fan stops at 5500: its own maximum is what it is sent.
        CommandCase{"max_right_within_its_range", 1, "maxButton", "set 5500 1", "Țintă ventilator dreapta: 5500 rpm",
                    "1200", "5500"}),
    [](const auto &i) { return std::string(i.param.name); });

TEST(FanCard, SliderTargetNeverBelowTheChosenFansMinimum)
{
    FanRig r;
    r.chooseScope(1);
    r.panel()->setTargetRPM(1200); // the slider's lowest point, under the right fan's 1300
    r.press(QStringLiteral("applyButton"));
    r.finish();
    EXPECT_EQ(r.calls(), QStringList{QStringLiteral("set 1300 1")});
    EXPECT_EQ(r.text(QStringLiteral("fanMessage")), QStringLiteral("Țintă ventilator dreapta: 1300 rpm"));
    EXPECT_EQ(r.text(QStringLiteral("targetText")), QStringLiteral("1200 rpm")); // the slider keeps its value
}

TEST(FanCard, AutoAfterManualRestoresAndClearsTheBadge)
{
    FanRig r;
    r.press(QStringLiteral("maxButton"));
    r.finish();
    ASSERT_EQ(r.sysfs(QStringLiteral("fan1_manual")), QStringLiteral("1"));
    r.chooseScope(1);
    r.press(QStringLiteral("autoButton"));
    r.finish();
    EXPECT_EQ(r.calls().last(), QStringLiteral("auto"));
    EXPECT_EQ(r.text(QStringLiteral("fanMessage")), QStringLiteral("Control automat restabilit"));
    EXPECT_EQ(r.sysfs(QStringLiteral("fan1_manual")), QStringLiteral("0"));
    EXPECT_EQ(r.sysfs(QStringLiteral("fan2_manual")), QStringLiteral("0"));
    EXPECT_FALSE(r.item(QStringLiteral("manualBadge"))->isVisible());
}

TEST(FanCard, OneCommandAtATimeAndControlsComeBackAfterCancel)
{
    FanRig r(QStringLiteral("sleep 0.6; exit 126")); // the password prompt dismissed
    r.press(QStringLiteral("boostButton"));
    ASSERT_TRUE(r.panel()->applying());
    EXPECT_EQ(r.text(QStringLiteral("applyButton")), QStringLiteral("…"));
    EXPECT_FALSE(r.item(QStringLiteral("applyButton"))->isEnabled());
    EXPECT_FALSE(r.item(QStringLiteral("targetSlider"))->isEnabled());
    EXPECT_TRUE(r.item(QStringLiteral("scopePicker"))->isEnabled());
    r.press(QStringLiteral("maxButton")); // disabled: nothing happens
    r.panel()->apply(QVariant(5000.0)); // and no way around it
    r.finish();
    EXPECT_EQ(r.calls().size(), 1);
    EXPECT_EQ(r.text(QStringLiteral("fanMessage")), QStringLiteral("Anulat"));
    EXPECT_EQ(r.text(QStringLiteral("applyButton")), QStringLiteral("Aplică"));
    EXPECT_TRUE(r.item(QStringLiteral("maxButton"))->isEnabled());
    EXPECT_FALSE(r.item(QStringLiteral("manualBadge"))->isVisible());
}

TEST(FanCard, ClosingTheViewWhileTheHelperRunsIsSafe)
{
    FanRig r(QStringLiteral("sleep 0.5"));
    r.press(QStringLiteral("applyButton"));
    ASSERT_TRUE(r.panel()->applying());
    QSignalSpy done(r.smc.get(), &SMCMonitor::fanCommandFinished);
    r.view.reset(); // the window closes; the command goes on
    // A dashboard opened again meanwhile sees the command in flight and starts none.
    FanControlPanel again;
    again.setSmc(r.smc.get());
    EXPECT_TRUE(again.applying());
    again.apply(QVariant(5000.0));
    ASSERT_TRUE(done.wait(10000));
    EXPECT_EQ(*r.smc->fanControlMessage(), QStringLiteral("Țintă ventilatoare: 3000 rpm"));
    EXPECT_FALSE(again.applying());
    EXPECT_EQ(r.calls().size(), 1);
}

TEST(FanCard, NoFansShowsOnlyThePassiveText)
{
    test::FakeClock clock;
    SMCMonitor smc(makeAppleSmcTransport(QStringLiteral("/nonexistent")), clock, false);
    test::QmlHarness h;
    auto view = h.createFile(QStringLiteral("qrc:/Corvane/FanCardContent.qml"), {{"smc", QVariant::fromValue(&smc)}});
    ASSERT_TRUE(view);
    auto *card = qobject_cast<QQuickItem *>(view.get());
    EXPECT_TRUE(test::findItem(card, QStringLiteral("noFans"))->isVisible());
    EXPECT_FALSE(test::findItem(card, QStringLiteral("manualControl"))->isVisible());
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}
