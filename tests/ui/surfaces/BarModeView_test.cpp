// The strip loads cleanly, follows the pill switches and shows the hub's values.
#include "fakes/FakeHub.h"
#include "state/AppState.h"
#include "state/BarModeSettings.h"
#include "state/Palette.h"
#include "state/ThemeManager.h"
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
    // A hidden pill takes no room: the battery follows the system pill after one gap.
    EXPECT_NEAR(battery->mapToItem(root, QPointF(0, 0)).x(),
                system->mapToItem(root, QPointF(system->width(), 0)).x() + 10, 1);
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
