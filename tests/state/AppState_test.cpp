#include "fakes/FakeHub.h"
#include "state/AppState.h"
#include "monitors/Publish.h"
#include "state/ThemeManager.h"

#include <QSignalSpy>
#include <QTest>

#include <QQuickWindow>
#include <gtest/gtest.h>

using namespace corvane;

namespace {
struct Pausable {
    QString name;
    std::function<bool()> running;
};

QList<Pausable> pausables(AppState &s)
{
    return {
        {"network", [&] { return s.network()->scheduler()->isActive(); }},
        {"storage", [&] { return s.storage()->scheduler()->isActive(); }},
        {"gpu", [&] { return s.gpu()->scheduler()->isActive(); }},
        {"fps", [&] { return s.fps()->isRunning(); }},
        {"wifi", [&] { return s.wifi()->scheduler()->isActive(); }},
        {"usb", [&] { return s.usb()->scheduler()->isActive(); }},
        {"processes", [&] { return s.processes()->scheduler()->isActive(); }},
    };
}
} // namespace

TEST(AppState, PausesAndResumesTheSevenSamplersByVisibility)
{
    test::FakeHub hub(test::FakeHub::Start::Running);
    AppState &s = hub.state;
    QQuickWindow window; // frames are counted on a window
    s.fps()->attachWindow(&window);
    EXPECT_EQ(s.tab(), SidebarTab::live);
    EXPECT_TRUE(s.mainWindowVisible);
    EXPECT_FALSE(s.visualsPaused());
    for (const auto &p : pausables(s))
        EXPECT_TRUE(p.running()) << p.name.toStdString();
    EXPECT_FALSE(s.smc()->reducedCadence());

    // Everything hidden: the seven rest, the SMC slows to 12 s.
    s.mainWindowVisible = false;
    s.updateVisibility();
    EXPECT_TRUE(s.visualsPaused());
    for (const auto &p : pausables(s))
        EXPECT_FALSE(p.running()) << p.name.toStdString();
    EXPECT_TRUE(s.smc()->reducedCadence());
    EXPECT_DOUBLE_EQ(s.smc()->scheduler()->cadence().interval, 12.0);
    // The never-paused ones keep going; the system sampler's ticks on the main thread.
    EXPECT_TRUE(s.system()->scheduler()->isActive());
    EXPECT_TRUE(s.system()->ticksOnMainThread());

    // A second evaluation while paused changes nothing.
    s.updateVisibility();
    EXPECT_TRUE(s.smc()->reducedCadence());

    // The popup alone brings them back and returns the SMC to 3 s.
    s.menuPopupVisible = true;
    s.updateVisibility();
    EXPECT_FALSE(s.visualsPaused());
    for (const auto &p : pausables(s))
        EXPECT_TRUE(p.running()) << p.name.toStdString();
    EXPECT_FALSE(s.smc()->reducedCadence());
    EXPECT_DOUBLE_EQ(s.smc()->scheduler()->cadence().interval, 3.0);
    EXPECT_FALSE(s.system()->ticksOnMainThread());
    EXPECT_TRUE(s.system()->scheduler()->isActive());

    // Two surfaces, one goes: nothing restarts.
    s.barModeVisible = true;
    s.updateVisibility();
    s.menuPopupVisible = false;
    s.updateVisibility();
    EXPECT_FALSE(s.visualsPaused());
}

// Only the activity tab shows the process lists: sampled every 2.5 s while it is on screen,
// with a pass of their own as it opens, every 15 s behind other tabs and surfaces, and not
// at all while nothing shows.
TEST(AppState, ProcessListsAtFullRateOnlyOnTheActivityTab)
{
    test::FakeHub hub(test::FakeHub::Start::Running);
    AppState &s = hub.state;
    ProcessMonitor *p = s.processes();
    QSignalSpy passes(p, &ProcessMonitor::updated);
    QTRY_COMPARE_WITH_TIMEOUT(passes.count(), 1, 10000); // the first, just after the start
    const auto interval = [&] { return p->scheduler()->cadence().interval; };
    EXPECT_EQ(interval(), 15.0);

    hub.clock.advance(5);
    passes.clear();
    s.setTab(SidebarTab::activity);
    // Taken on the samplers' thread: the tab shows the last lists until it lands.
    QTRY_COMPARE(passes.count(), 1);
    EXPECT_EQ(interval(), 2.5);

    // Bar Mode in place of the window, then nothing on screen.
    s.mainWindowVisible = false;
    s.barModeVisible = true;
    s.updateVisibility();
    EXPECT_TRUE(p->scheduler()->isActive());
    EXPECT_EQ(interval(), 15.0);
    s.barModeVisible = false;
    s.updateVisibility();
    EXPECT_FALSE(p->scheduler()->isActive());

    // The window back on the activity tab after a while: a pass at once, then the full rate.
    hub.clock.advance(60);
    passes.clear();
    s.mainWindowVisible = true;
    s.updateVisibility();
    EXPECT_TRUE(p->scheduler()->isActive());
    QTRY_COMPARE(passes.count(), 1);
    EXPECT_EQ(interval(), 2.5);

    s.setTab(SidebarTab::tests);
    EXPECT_EQ(interval(), 15.0);
    EXPECT_TRUE(p->scheduler()->isActive());
}

TEST(AppState, TabsAndQuickTests)
{
    QStringList raws;
    for (SidebarTab t : Tabs::allCases())
        raws << Tabs::rawValue(t);
    EXPECT_EQ(raws, (QStringList{"live", "activity", "ports", "tests", "crashes", "settings"}));
    EXPECT_EQ(Tabs::title(SidebarTab::settings), QStringLiteral("Setări"));
    EXPECT_FALSE(Tabs::fromRawValue(QStringLiteral("Ports")));
    EXPECT_FALSE(Tabs::fromRawValue(QString()));
    EXPECT_FALSE(QuickTests::fromRawValue(QStringLiteral("GPU")));
    EXPECT_EQ(QuickTests::fromRawValue(QStringLiteral("speakers")), QuickTestKind::speakers);

    // Accents follow the theme; in mono only the crashes tab keeps a hue.
    ThemeManager::shared()->setTheme(AppTheme::mono);
    for (SidebarTab t : Tabs::allCases()) {
        const QColor c = Tabs::accent(t);
        const bool grey = qFuzzyCompare(c.redF(), c.greenF()) && qFuzzyCompare(c.greenF(), c.blueF());
        EXPECT_EQ(grey, t != SidebarTab::crashes) << Tabs::rawValue(t).toStdString();
    }
    EXPECT_NEAR(Tabs::accent(SidebarTab::ports).alphaF(), 0.85, 0.01);
    ThemeManager::shared()->setTheme(AppTheme::aurora);
    EXPECT_EQ(Tabs::accent(SidebarTab::live), Themes::accent(AppTheme::aurora));
}

// The settings' refresh rate paces the live figures (CPU, memory, network, disk, GPU); below a
// second the screens' batch follows it, above it the batch stays at a second so the monitors
// on their own cadences are not held back.
TEST(AppState, SampleIntervalPacesTheLiveFiguresAndTheScreens)
{
    test::FakeHub hub(test::FakeHub::Start::Running);
    AppState &s = hub.state;
    PublicationBatch batch(hub.clock);
    batch.install();
    auto cadences = [&] {
        QList<double> out;
        for (SamplerScheduler *sch : {s.system()->scheduler(), s.network()->scheduler(), s.storage()->scheduler(),
                                      s.gpu()->scheduler()})
            out << (sch->cadence().kind == Cadence::Kind::WholeSecond ? 1.0 : sch->cadence().interval);
        return out;
    };
    EXPECT_EQ(s.sampleInterval(), 1.0);

    s.setSampleInterval(2.5);
    QTRY_COMPARE_WITH_TIMEOUT(cadences(), (QList<double>{2.5, 2.5, 2.5, 2.5}), 5000); // the GPU's after its first sample
    EXPECT_EQ(s.system()->scheduler()->cadence().kind, Cadence::Kind::Aligned);
    EXPECT_EQ(batch.period(), 1.0);
    EXPECT_EQ(s.usb()->scheduler()->cadence().interval, 3.0); // cadences of their own stay

    s.setSampleInterval(0.5);
    EXPECT_EQ(cadences(), (QList<double>{0.5, 0.5, 0.5, 0.5}));
    EXPECT_EQ(batch.period(), 0.5);

    // Paused and resumed, they keep the interval.
    s.mainWindowVisible = false;
    s.updateVisibility();
    s.mainWindowVisible = true;
    s.updateVisibility();
    QTRY_COMPARE_WITH_TIMEOUT(cadences(), (QList<double>{0.5, 0.5, 0.5, 0.5}), 5000);

    // Out of the slider's range: the nearest end; not a number: the default.
    s.setSampleInterval(60);
    EXPECT_EQ(s.sampleInterval(), 5.0);
    s.setSampleInterval(std::nan(""));
    EXPECT_EQ(s.sampleInterval(), 1.0);
    EXPECT_EQ(cadences(), (QList<double>{1.0, 1.0, 1.0, 1.0}));
    EXPECT_EQ(s.system()->scheduler()->cadence().kind, Cadence::Kind::WholeSecond);
    EXPECT_EQ(batch.period(), 1.0);
}
