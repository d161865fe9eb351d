// The strip loads cleanly, follows the pill switches and shows the hub's values.
#include "fakes/FakeHub.h"
#include "monitors/NetworkMonitor.h"
#include "monitors/StorageMonitor.h"
#include "monitors/SystemMonitor.h"
#include "state/AppState.h"
#include "state/BarModeSettings.h"
#include "state/Palette.h"
#include "state/ThemeManager.h"
#include "support/FixtureLaptop.h"
#include "support/QmlTestUtil.h"

#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <gtest/gtest.h>

using namespace corvane;

namespace {
struct StripFixture : ::testing::Test {
    test::FakeHub fakeHub;
    test::QmlHarness h;
    QQuickWindow window;
    std::unique_ptr<QObject> view;
    QQuickItem *root = nullptr;

    void SetUp() override
    {
        QSettings().clear();
        ThemeManager::shared()->setThemeRaw("aurora");
        view = h.createFile("qrc:/Corvane/BarModeView.qml");
        ASSERT_TRUE(view);
        root = qobject_cast<QQuickItem *>(view.get());
        window.resize(1280, 140);
        root->setParentItem(window.contentItem());
        root->setSize(QSizeF(1280, 140));
        window.show();
        settle();
    }
    void TearDown() override
    {
        // Every pill back on, through the store so the views hear of it.
        for (const auto &p : BarModeSettings::allPills())
            if (!BarModeSettings::shared()->isVisible(p))
                BarModeSettings::shared()->toggle(p);
        BarModeSettings::shared()->setPositionRaw("top");
    }
    void settle() { window.grabWindow(); }
    // The hub the views read. Qt 6.4 builds a default-constructible singleton itself rather
    // than asking create(), so this may not be `fakeHub.state`.
    AppState *hub() { return h.engine().singletonInstance<AppState *>(qmlTypeId("Corvane", 1, 0, "AppState")); }
    QQuickItem *item(const QString &name) const { return root->findChild<QQuickItem *>(name); }
    QString text(QQuickItem *scope, const QString &name) const
    {
        auto *t = scope->findChild<QObject *>(name);
        return t ? t->property("text").toString() : QString("<missing>");
    }
    QStringList visiblePills() const
    {
        QStringList out;
        for (const auto &p : BarModeSettings::allPills())
            if (auto *it = item("pill." + BarModeSettings::rawValue(p)); it && it->isVisible())
                out << BarModeSettings::rawValue(p);
        return out;
    }
    void setOnly(const QStringList &raws)
    {
        for (const auto &p : BarModeSettings::allPills())
            if (BarModeSettings::shared()->isVisible(p) != raws.contains(BarModeSettings::rawValue(p)))
                BarModeSettings::shared()->toggle(p);
        settle();
    }
};
} // namespace

TEST_F(StripFixture, LoadsWithoutWarningsAndShowsEveryPill)
{
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
    EXPECT_EQ(visiblePills().size(), 14);
}

TEST_F(StripFixture, SwitchesAddAndRemovePillsAtOnce)
{
    setOnly({});
    EXPECT_TRUE(visiblePills().isEmpty());

    setOnly({"clock"});
    EXPECT_EQ(visiblePills(), QStringList{"clock"});
    QQuickItem *clock = item("pill.clock");
    const double right = clock->mapToItem(root, QPointF(clock->width(), 0)).x();
    EXPECT_NEAR(right, 1280 - 14, 1); // the spacer pushes it to the trailing end

    setOnly({"system", "battery"});
    QQuickItem *system = item("pill.system");
    EXPECT_NEAR(system->mapToItem(root, QPointF(0, 0)).x(), 14, 1);
    QQuickItem *battery = item("pill.battery");
    // A hidden pill takes no room: the battery follows the system pill after one gap (scaled
    // with the row, which keeps the scale that fits every pill).
    EXPECT_NEAR(battery->mapToItem(root, QPointF(0, 0)).x(),
                system->mapToItem(root, QPointF(system->width(), 0)).x() + 10 * root->property("rowScale").toDouble(), 1);
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

TEST_F(StripFixture, PillsShowTheHubsValues)
{
    SystemMonitor::Snapshot s;
    s.cpu = 0.456;
    s.usedBytes = 12;
    s.totalBytes = 10; // over-full: 120
    hub()->system()->publish(s);
    settle();
    EXPECT_EQ(text(item("cell.cpu"), "ringCentre"), "45");
    EXPECT_EQ(text(item("cell.ram"), "ringCentre"), "120");

    QQuickItem *battery = item("pill.battery");
    const QString caption = text(battery, "pillCaption");
    EXPECT_EQ(caption, hub()->battery()->isCharging() ? "ALIM" : "BAT");
    EXPECT_EQ(battery->findChild<QObject *>("chargerWatts")->parent()->property("visible").toBool(),
              hub()->battery()->isCharging());
}

TEST_F(StripFixture, ThemeChangeRecoloursTheDots)
{
    QQuickItem *dot = item("pill.system")->findChild<QQuickItem *>("pillDot");
    EXPECT_EQ(dot->property("color").value<QColor>(), Themes::accent(AppTheme::aurora));
    ThemeManager::shared()->setThemeRaw("sunset");
    EXPECT_EQ(dot->property("color").value<QColor>(), Themes::accent(AppTheme::sunset));
    ThemeManager::shared()->setThemeRaw("aurora");
}

TEST_F(StripFixture, PrivacyLampsLightWithTheCamera)
{
    QQuickItem *privacy = item("pill.privacy");
    EXPECT_EQ(privacy->property("accent").value<QColor>(), ThemeManager::shared()->good());
    CameraMonitor::Snapshot on;
    on.any = true;
    on.names = {"Integrated Camera"};
    hub()->camera()->publish(on);
    settle();
    EXPECT_EQ(privacy->property("accent").value<QColor>(), ThemeManager::shared()->critical());
    auto *cam = privacy->findChild<QQuickItem *>("lamp.camera")->findChild<QQuickItem *>("lampCore");
    auto *mic = privacy->findChild<QQuickItem *>("lamp.mic")->findChild<QQuickItem *>("lampCore");
    EXPECT_EQ(cam->property("color").value<QColor>(), ThemeManager::shared()->good());
    EXPECT_NE(mic->property("color").value<QColor>(), ThemeManager::shared()->warning());
    hub()->camera()->publish({});
    settle();
    EXPECT_EQ(privacy->property("accent").value<QColor>(), ThemeManager::shared()->good());
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

// Readings of another width move the pills beside them when they arrive, not while the next
// frame is being prepared: a move there costs the strip a second frame after each reading.
TEST_F(StripFixture, WiderOrNarrowerReadingsMoveNothingWhileAFrameIsPrepared)
{
    struct Reading {
        double cpu;
        double uptime;
        uint64_t network;
        uint64_t storage;
        uint64_t free;
    };
    ASSERT_TRUE(test::waitForFrames(window, 2)); // the window settled at its size
    test::MovesWhilePreparing watch(window);
    for (const Reading &r : {Reading{0.05, 59, 0, 0, 1ull << 30}, Reading{0.57, 3'700, 392'500, 123'456'789, 480ull << 30},
                             Reading{1.0, 900'000, 3'300'000, 987, 12ull << 20}, Reading{0.08, 61, 12, 45'000'000, 7ull << 40}}) {
        SystemMonitor::Snapshot sys;
        sys.cpu = r.cpu;
        sys.usedBytes = 3ull << 30;
        sys.totalBytes = 16ull << 30;
        sys.uptime = r.uptime;
        hub()->system()->publish(sys);
        StorageSnapshot disk;
        disk.rates = StorageSnapshot::Rates{r.storage, r.storage / 3};
        disk.totalBytes = 8ull << 40;
        disk.freeBytes = r.free;
        hub()->storage()->publish(disk);
        NetworkSnapshot net;
        net.rates = NetworkSnapshot::Rates{r.network, r.network / 7};
        hub()->network()->publish(net);
        ASSERT_TRUE(test::waitForFrames(window, 2));
    }
    EXPECT_TRUE(watch.moved().isEmpty()) << watch.moved().join('\n').toStdString();
}

// Offscreen there is no display refresh to follow: the pill says so plainly, not with a red 0.
TEST_F(StripFixture, FrameRateWithoutARefreshSourceIsANeutralDash)
{
    ASSERT_EQ(hub()->fps()->currentFPS(), 0.0);
    QQuickItem *fps = item("pill.fps");
    ASSERT_TRUE(fps);
    EXPECT_EQ(text(fps, "ringCentre"), QStringLiteral("—"));
    const QColor accent = fps->property("accent").value<QColor>();
    EXPECT_EQ(accent, Palette::textSecondary());
    EXPECT_NE(accent, ThemeManager::shared()->critical());
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
    if (const QString dir = qEnvironmentVariable("CORVANE_SHOTS"); !dir.isEmpty())
        window.grabWindow().save(dir + QStringLiteral("/strip-no-refresh.png"));
}

// ---- Fit on real screen widths, alignment, and readings the machine lacks ----------------

namespace {
// Every pill shown, from the narrowest supported screen up.
class StripWidth : public StripFixture, public ::testing::WithParamInterface<int> {
protected:
    void resizeTo(int w)
    {
        window.resize(w, 140);
        root->setSize(QSizeF(w, 140));
        settle();
    }
    QRectF sceneRect(QQuickItem *it) const { return it->mapRectToScene(QRectF(0, 0, it->width(), it->height())); }
};
} // namespace

TEST_P(StripWidth, EveryPillFitsWholeAndCentred)
{
    const int w = GetParam();
    resizeTo(w);
    // Screens to look at: CORVANE_SHOTS=<folder> writes the strip.
    if (const QString dir = qEnvironmentVariable("CORVANE_SHOTS"); !dir.isEmpty())
        window.grabWindow().save(QStringLiteral("%1/strip-%2.png").arg(dir).arg(w));
    const double scale = root->property("rowScale").toDouble();
    EXPECT_GE(scale, root->property("minimumScale").toDouble());
    EXPECT_LE(scale, 1.0);
    auto *leading = item("leadingArea");
    EXPECT_FALSE(leading->property("interactive").toBool()) << "the row had to scroll at " << w;

    const QRectF clock = sceneRect(item("pill.clock"));
    const QRectF area = sceneRect(leading);
    double lastRight = 0;
    for (const auto &p : BarModeSettings::allPills()) {
        const QString raw = BarModeSettings::rawValue(p);
        QQuickItem *pill = item("pill." + raw);
        ASSERT_TRUE(pill->isVisible()) << raw.toStdString();
        const QRectF r = sceneRect(pill);
        EXPECT_GE(r.left(), 13.5) << raw.toStdString();
        EXPECT_LE(r.right(), w - 13.5) << raw.toStdString();
        EXPECT_GE(r.top(), 0) << raw.toStdString();
        EXPECT_LE(r.bottom(), 140) << raw.toStdString();
        // Centred on the strip's middle line, the clock on the same line as the rest.
        EXPECT_NEAR(r.center().y(), 70, 1.0) << raw.toStdString();
        if (raw == "clock")
            continue;
        EXPECT_LE(r.right(), area.right() + 0.5) << raw.toStdString() << " is cut by the clock's room";
        EXPECT_LT(r.right(), clock.left()) << raw.toStdString();
        EXPECT_GT(r.left(), lastRight) << raw.toStdString() << " overlaps the pill before it";
        lastRight = r.right();
    }
}
INSTANTIATE_TEST_SUITE_P(ScreenWidths, StripWidth, ::testing::Values(1280, 1366, 1600, 1920),
                         [](const auto &i) { return std::to_string(i.param) + "px"; });

TEST_F(StripFixture, BelowTheFloorTheClockStaysAndTheRestScroll)
{
    window.resize(700, 140);
    root->setSize(QSizeF(700, 140));
    settle();
    EXPECT_DOUBLE_EQ(root->property("rowScale").toDouble(), root->property("minimumScale").toDouble());
    auto *leading = item("leadingArea");
    EXPECT_TRUE(leading->property("interactive").toBool());
    EXPECT_GT(leading->property("contentWidth").toDouble(), leading->width());
    QQuickItem *clock = item("pill.clock");
    const QRectF r = clock->mapRectToScene(QRectF(0, 0, clock->width(), clock->height()));
    EXPECT_NEAR(r.right(), 700 - 14, 1);
    EXPECT_LE(leading->mapToScene(QPointF(leading->width(), 0)).x(), r.left());

    // The rest of the row is reached by scrolling, not lost.
    leading->setProperty("contentX", leading->property("contentWidth").toDouble() - leading->width());
    QQuickItem *agenda = item("pill.calendar");
    const QRectF a = agenda->mapRectToScene(QRectF(0, 0, agenda->width(), agenda->height()));
    EXPECT_LE(a.right(), r.left());
    EXPECT_GE(a.left(), 14);
}

TEST_F(StripFixture, LowStripShrinksThePillsToFitItsHeight)
{
    window.resize(1920, 90);
    root->setSize(QSizeF(1920, 90));
    settle();
    for (const auto &p : BarModeSettings::allPills()) {
        QQuickItem *pill = item("pill." + BarModeSettings::rawValue(p));
        const QRectF r = pill->mapRectToScene(QRectF(0, 0, pill->width(), pill->height()));
        EXPECT_GE(r.top(), 9.5) << BarModeSettings::rawValue(p).toStdString();
        EXPECT_LE(r.bottom(), 80.5) << BarModeSettings::rawValue(p).toStdString();
    }
}

TEST_F(StripFixture, NoBatteryAndNoSensorsShowDashesNotAlarms)
{
    ASSERT_FALSE(hub()->battery()->hasBattery()); // the fake machine has none
    const QColor neutral = QColor::fromRgbF(1, 1, 1, 0.45f);
    QQuickItem *battery = item("pill.battery");
    EXPECT_EQ(text(battery, "ringCentre"), "—");
    EXPECT_EQ(battery->property("accent").value<QColor>(), neutral);
    QQuickItem *thermal = item("pill.thermal");
    EXPECT_EQ(text(thermal, "thermalValue"), "—");
    EXPECT_EQ(text(thermal, "thermalWord"), "");
    EXPECT_EQ(thermal->property("accent").value<QColor>(), neutral);
    EXPECT_EQ(item("pill.temperature")->property("accent").value<QColor>(), neutral);
    EXPECT_EQ(text(item("cell.gpu"), "ringCentre"), "—"); // nor a GPU

    // A flat battery is still a battery: its 0 stays, in the alarm colour.
    BatteryMonitor::Snapshot s;
    s.sources = QList<PowerSourceDescription>{{0, 100, std::nullopt, std::nullopt}};
    SmartBatteryReading b;
    b.voltage = 10900;
    b.temperature = 3120;
    s.battery = b;
    hub()->battery()->publish(s);
    settle();
    ASSERT_TRUE(hub()->battery()->hasBattery());
    EXPECT_EQ(text(battery, "ringCentre"), "0");
    EXPECT_EQ(battery->property("accent").value<QColor>(), ThemeManager::shared()->critical());
    EXPECT_EQ(text(thermal, "thermalValue"), "31.2°");
    EXPECT_EQ(text(thermal, "thermalWord"), "OK");
    hub()->gpu()->publish({.utilization = 0.0}); // likewise an idle GPU's 0
    settle();
    EXPECT_EQ(text(item("cell.gpu"), "ringCentre"), "0");
}

// The charger column on laptops as their drivers report them: a figure no file gives is "—".
TEST_F(StripFixture, ChargerColumnShowsOnlyWhatTheDriverTreesGive)
{
    setOnly({"battery"});
    QQuickItem *battery = item("pill.battery");
    // The caption says whether the machine itself is on external power; the charger column
    // shows only while it is.
    for (const auto &[tree, title, ring, watts, detail] :
         {std::tuple{"acpi-mains", "ALIM", "60", "—", "60% · — max"},
          std::tuple{"two-batteries", "ALIM", "100", "—", "100% · — max"},
          std::tuple{"sound-and-impossible", "BAT", "60", "", ""},
          // A device's charger (scope Device) online beside the battery at 55 %.
          std::tuple{"device-charger", "BAT", "55", "", ""},
          // 20 V now and a 20 V × 3.25 A rating, no present current.
          std::tuple{"usbc-no-current", "ALIM", "76", "—", "76% · 65W max"},
          std::tuple{"capacity-58", "BAT", "58", "", ""}}) {
        test::publishFixtureLaptop(*hub(), QLatin1String(tree));
        settle();
        EXPECT_EQ(battery->property("title").toString().toStdString(), title) << tree;
        EXPECT_EQ(text(battery, "ringCentre").toStdString(), ring) << tree;
        const bool charging = std::string(title) == "ALIM";
        EXPECT_EQ(battery->findChild<QQuickItem *>("chargerWatts")->isVisible(), charging) << tree;
        if (charging) {
            EXPECT_EQ(text(battery, "chargerWatts").toStdString(), watts) << tree;
            EXPECT_EQ(text(battery, "chargerDetail").toStdString(), detail) << tree;
        }
        if (const QString dir = qEnvironmentVariable("CORVANE_SHOTS"); !dir.isEmpty())
            window.grabWindow().copy(0, 0, 400, 140).save(dir + "/strip-battery-" + tree + ".png");
    }
}
