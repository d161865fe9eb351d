// The main window's root view, sidebar, settings and onboarding screens, and their rules.
#include "app/AppDelegate.h"
#include "fakes/FakeWindowSystem.h"
#include "monitors/USBMonitor.h"
#include "notify/PrivacyNotifier.h"
#include "platform/Haptics.h"
#include "fakes/FakeHub.h"
#include "state/AppState.h"
#include "state/BarModeSettings.h"
#include "state/LaunchAtLogin.h"
#include "state/ThemeManager.h"
#include "support/QmlTestUtil.h"
#include "ui/shared/SettingsStore.h"
#include "ui/shared/ViewRules.h"

#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include "support/ParamNames.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace corvane;
using corvane::test::QmlHarness;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// ---- Rules -------------------------------------------------------------------------------

struct SnapCase { double in; double out; };
class BarHeightSnap : public ::testing::TestWithParam<SnapCase> {};
TEST_P(BarHeightSnap, StaysOnTheTenPointGrid)
{
    EXPECT_EQ(ViewRules::snapBarHeight(GetParam().in), GetParam().out) << GetParam().in;
}
INSTANTIATE_TEST_SUITE_P(FaceRules, BarHeightSnap, ::testing::Values(
    SnapCase{90, 90}, SnapCase{220, 220}, SnapCase{140, 140}, SnapCase{94.9, 90}, SnapCase{95, 100},
    SnapCase{134.99, 130}, SnapCase{0, 140}, SnapCase{-40, 140}, SnapCase{89.99, 140}, SnapCase{220.01, 140},
    SnapCase{1e9, 140},
    SnapCase{kInf, 140}, SnapCase{-kInf, 140}, SnapCase{kNaN, 140}),
    [](const auto &i) { return "From" + corvane::test::numberName(i.param.in); });

TEST(FaceRules, HeightLabelTruncatesAndSurvivesNonNumbers)
{
    EXPECT_EQ(ViewRules::barHeightLabel(140), QStringLiteral("140 pt"));
    EXPECT_EQ(ViewRules::barHeightLabel(90), QStringLiteral("90 pt"));
    EXPECT_EQ(ViewRules::barHeightLabel(220), QStringLiteral("220 pt"));
    EXPECT_EQ(ViewRules::barHeightLabel(139.99), QStringLiteral("139 pt"));
    EXPECT_EQ(ViewRules::barHeightLabel(-7.9), QStringLiteral("-7 pt"));
    for (double bad : {kNaN, kInf, -kInf, 1e300})
        EXPECT_EQ(ViewRules::barHeightLabel(bad), QStringLiteral("— pt")) << bad;
}

TEST(FaceRules, SliderValuesStayInTheirRanges)
{
    EXPECT_EQ(ViewRules::clampRefreshRate(0.1), 0.5);
    EXPECT_EQ(ViewRules::clampRefreshRate(9), 5.0);
    EXPECT_EQ(ViewRules::clampRefreshRate(2.25), 2.25);
    EXPECT_EQ(ViewRules::clampRefreshRate(kNaN), 1.0);
    EXPECT_EQ(ViewRules::clampIntensity(-0.2), 0.0);
    EXPECT_EQ(ViewRules::clampIntensity(1.5), 1.0);
    EXPECT_EQ(ViewRules::clampIntensity(kNaN), 0.55);
    EXPECT_EQ(ViewRules::clampIntensity(kInf), 1.0);
}

TEST(FaceRules, OnboardingMovesOnePageWithinBounds)
{
    EXPECT_EQ(ViewRules::onboardingStep(0, -1), 0);
    EXPECT_EQ(ViewRules::onboardingStep(0, 1), 1);
    EXPECT_EQ(ViewRules::onboardingStep(1, 1), 2);
    EXPECT_EQ(ViewRules::onboardingStep(2, 1), 2);
    EXPECT_EQ(ViewRules::onboardingStep(2, -1), 1);
    EXPECT_EQ(ViewRules::onboardingStep(0, 5), 1); // one page at a time
    EXPECT_EQ(ViewRules::onboardingStep(7, -1), 2); // out-of-range input comes back in
}

TEST(FaceRules, ClockAddsSecondsToTheLocaleTime)
{
    EXPECT_EQ(ViewRules::clockFormat("HH:mm"), QStringLiteral("HH:mm:ss"));
    EXPECT_EQ(ViewRules::clockFormat("h:mm AP"), QStringLiteral("h:mm:ss AP"));
    EXPECT_EQ(ViewRules::clockFormat("HH.mm"), QStringLiteral("HH.mm.ss"));
    EXPECT_EQ(ViewRules::clockFormat("HH:mm:ss"), QStringLiteral("HH:mm:ss"));
    EXPECT_EQ(ViewRules::clockFormat("AP h:mm"), QStringLiteral("AP h:mm:ss"));
    EXPECT_EQ(ViewRules::clockFormat("H"), QStringLiteral("H:ss"));
    EXPECT_EQ(ViewRules::shortcutText("Ctrl+Shift+D", true), QStringLiteral("Ctrl + Shift + D"));
    EXPECT_EQ(ViewRules::shortcutText("Ctrl+D"), QStringLiteral("Ctrl+D"));
}

TEST(FaceStore, DefaultsKeysAndRanges)
{
    QSettings().clear();
    SettingsStore s;
    EXPECT_EQ(s.refreshRate(), 1.0);
    EXPECT_EQ(s.bgIntensity(), 0.55);
    EXPECT_TRUE(s.showParticles());
    EXPECT_FALSE(s.didFinishOnboarding());

    QSignalSpy spy(&s, &SettingsStore::bgIntensityChanged);
    s.setBgIntensity(0.8);
    s.setRefreshRate(12);
    s.setShowParticles(false);
    s.setDidFinishOnboarding(true);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(QSettings().value("widget.bgIntensity").toDouble(), 0.8);
    EXPECT_EQ(QSettings().value("widget.refreshRate").toDouble(), 5.0);
    EXPECT_EQ(QSettings().value("widget.showParticles").toBool(), false);
    EXPECT_EQ(QSettings().value("didFinishOnboarding").toBool(), true);

    // Values written by something else: text gives the default, out of range the nearest end.
    QSettings().setValue("widget.refreshRate", "fast");
    QSettings().setValue("widget.bgIntensity", 7);
    EXPECT_EQ(s.refreshRate(), 1.0);
    EXPECT_EQ(s.bgIntensity(), 1.0);
    EXPECT_EQ(s.themeSwatches("mono").size(), 5);
    EXPECT_TRUE(s.themeSwatches("nope").isEmpty());
}

// ---- Views -------------------------------------------------------------------------------

void collect(QQuickItem *item, const QString &name, QList<QQuickItem *> &out)
{
    if (item->objectName() == name)
        out << item;
    for (QQuickItem *child : item->childItems())
        collect(child, name, out);
}

QList<QQuickItem *> itemsNamed(QObject *root, const QString &name)
{
    QList<QQuickItem *> out;
    if (auto *item = qobject_cast<QQuickItem *>(root))
        collect(item, name, out);
    return out;
}

QQuickItem *itemNamed(QObject *root, const QString &name)
{
    const auto all = itemsNamed(root, name);
    return all.isEmpty() ? nullptr : all.first();
}

QString textNamed(QObject *root, const QString &name)
{
    QQuickItem *i = itemNamed(root, name);
    return i ? i->property("text").toString() : QStringLiteral("<missing>");
}

bool shown(QQuickItem *item) { return item && item->isVisible(); }

// A real click at the control's visible centre (or `fx` of its width from the left), through
// its window: layouts settled first, and a control below the fold scrolled into view as a
// user would.
void press(QObject *button, double fx = 0.5)
{
    auto *item = qobject_cast<QQuickItem *>(button);
    ASSERT_TRUE(item && item->window());
    ASSERT_TRUE(item->isVisible());
    item->window()->grabWindow();
    for (QQuickItem *p = item->parentItem(); p; p = p->parentItem()) {
        if (!p->inherits("QQuickFlickable"))
            continue;
        auto *content = p->property("contentItem").value<QQuickItem *>();
        const double y = item->mapToItem(content, QPointF(0, item->height() / 2)).y();
        const double maxY = std::max(0.0, p->property("contentHeight").toDouble() - p->height());
        p->setProperty("contentY", std::clamp(y - p->height() / 2, 0.0, maxY));
        item->window()->grabWindow();
    }
    const QPointF at = item->mapToScene(QPointF(item->width() * fx, item->height() / 2));
    ASSERT_TRUE(QRectF(QPointF(0, 0), item->window()->size()).contains(at)) << "not on screen";
    QTest::mouseClick(item->window(), Qt::LeftButton, {}, at.toPoint());
}

template <typename T>
T *singleton(QQmlEngine &engine, const char *name)
{
    return engine.singletonInstance<T *>(qmlTypeId("Corvane", 1, 0, name));
}

struct FaceFixture : ::testing::Test {
    test::FakeHub hub; // the process hub, over fake sources
    QmlHarness h;
    QQuickWindow window;
    void SetUp() override
    {
        QSettings().clear();
        Haptics::shared()->clear();
        ThemeManager::shared()->setTheme(AppTheme::aurora);
        window.resize(1180, 760);
        window.show();
    }
    std::unique_ptr<QObject> load(const char *name, const QVariantMap &initial = {})
    {
        auto obj = h.createFile(QStringLiteral("qrc:/Corvane/%1.qml").arg(QLatin1String(name)), initial);
        if (auto *item = qobject_cast<QQuickItem *>(obj.get())) {
            item->setParentItem(window.contentItem());
            item->setSize(window.size());
        }
        return obj;
    }
    AppState *qmlHub() { return singleton<AppState>(h.engine(), "AppState"); }
};

class EveryScreenLoads : public FaceFixture, public ::testing::WithParamInterface<const char *> {};
TEST_P(EveryScreenLoads, WithoutWarnings)
{
    auto obj = load(GetParam());
    ASSERT_TRUE(obj) << h.warnings().join('\n').toStdString();
    ASSERT_TRUE(test::waitForFrames(window, 2));
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}
INSTANTIATE_TEST_SUITE_P(Face, EveryScreenLoads, ::testing::Values(
    "RootView", "SidebarView", "SettingsView", "OnboardingView", "DashboardView", "ProcessesView",
    "PortsView", "TestsView", "CrashLogView", "AccentSlider", "AccentSwitch", "SegmentedPicker"),
    [](const auto &i) { return std::string(i.param); });

TEST_F(FaceFixture, SidebarListsTheSixTabsAndSelects)
{
    QSettings().setValue("didFinishOnboarding", true); // no first-run sheet over the tabs
    auto root = load("RootView");
    ASSERT_TRUE(root);
    QStringList titles;
    for (QQuickItem *t : itemsNamed(root.get(), "tabTitle"))
        titles << t->property("text").toString();
    EXPECT_EQ(titles, (QStringList{"Dashboard live", "Activitate & procese", "Porturi & periferice",
                                   "Teste hardware", "Crash & loguri", "Setări"}));
    EXPECT_EQ(root->property("shownTab").toString(), QStringLiteral("live"));

    press(itemNamed(root.get(), "tabRow_settings"));
    EXPECT_EQ(qmlHub()->tabRaw(), QStringLiteral("settings"));
    EXPECT_EQ(Haptics::shared()->performed(), QList<int>{Haptics::Alignment});
    EXPECT_EQ(root->property("shownTab").toString(), QStringLiteral("settings"));
    EXPECT_TRUE(itemNamed(root.get(), "themeCard")); // the settings screen is in place

    // Each other tab brings its own screen.
    for (const char *raw : {"live", "activity", "ports", "tests", "crashes"}) {
        press(itemNamed(root.get(), QStringLiteral("tabRow_") + QLatin1String(raw)));
        QTRY_COMPARE(root->property("shownTab").toString(), QString::fromLatin1(raw));
        // Screens that are built show their own heading; placeholders show the tab's title.
        const QMap<QString, QString> built = {{"activity", "Top procese & log privacy"},
                                              {"ports", "Tot ce e conectat la acest computer"},
                                              {"crashes", "Istoric crash / freeze ("},
                                              {"tests", "Suită completă de teste de viteză și stress"}};
        const QString raw_ = QLatin1String(raw);
        if (raw_ == QLatin1String("live")) { // the dashboard opens with its greeting
            QTRY_VERIFY(itemNamed(root.get(), "greeting")) << raw;
            continue;
        }
        // Once the leaving screen has finished its transition.
        QTRY_VERIFY(textNamed(root.get(), "header").startsWith(built.value(raw_, qmlHub()->tabTitle(raw_)))) << raw;
    }
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

TEST_F(FaceFixture, PortsBadgeFollowsTheUsbDevices)
{
    auto root = load("RootView");
    ASSERT_TRUE(root);
    qmlHub()->setTabRaw("ports");
    QQuickItem *row = itemNamed(root.get(), "tabRow_ports");
    auto badge = [&] { return itemsNamed(row, "badge").value(0); };
    auto dot = [&] { return itemsNamed(row, "selectedDot").value(0); };
    EXPECT_FALSE(shown(badge()));
    EXPECT_TRUE(shown(dot()));

    USBDevice d;
    d.id = 1;
    d.name = QStringLiteral("Tastatură");
    qmlHub()->usb()->publish({{d}, 100});
    EXPECT_TRUE(shown(badge()));
    EXPECT_EQ(itemsNamed(row, "badgeText").value(0)->property("text").toString(), QStringLiteral("1"));
    EXPECT_FALSE(shown(dot()));
    // The badge leaves the title whole, on one line.
    window.grabWindow();
    EXPECT_FALSE(itemsNamed(row, "tabTitle").value(0)->property("truncated").toBool());
    EXPECT_EQ(itemsNamed(row, "tabTitle").value(0)->property("lineCount").toInt(), 1);

    qmlHub()->usb()->publish({{}, 0});
    EXPECT_FALSE(shown(badge()));
    EXPECT_TRUE(shown(dot()));
    // Other rows never carry a badge.
    qmlHub()->usb()->publish({{d, d}, 0});
    EXPECT_FALSE(shown(itemsNamed(itemNamed(root.get(), "tabRow_live"), "badge").value(0)));
}

TEST_F(FaceFixture, HoverMovingToTheNextRowKeepsItLit)
{
    auto root = load("SidebarView");
    ASSERT_TRUE(root);
    QObject *a = itemNamed(root.get(), "tabRow_live");
    QObject *b = itemNamed(root.get(), "tabRow_activity");
    QMetaObject::invokeMethod(a, "pointerEntered");
    EXPECT_EQ(root->property("hoverTab").toString(), QStringLiteral("live"));
    QMetaObject::invokeMethod(b, "pointerEntered");
    QMetaObject::invokeMethod(a, "pointerLeft"); // the first row's leave arrives late
    EXPECT_EQ(root->property("hoverTab").toString(), QStringLiteral("activity"));
    QMetaObject::invokeMethod(b, "pointerLeft");
    EXPECT_EQ(root->property("hoverTab").toString(), QString());
}

TEST_F(FaceFixture, ThemeChangeRecoloursTheSidebarAtOnce)
{
    auto root = load("SidebarView");
    ASSERT_TRUE(root);
    QQuickItem *bar = itemsNamed(itemNamed(root.get(), "tabRow_live"), "accentBar").value(0);
    QQuickItem *clockDot = itemNamed(root.get(), "clockDot");
    ThemeManager::shared()->setTheme(AppTheme::sunset);
    EXPECT_EQ(bar->property("color").value<QColor>().name(), Themes::accent(AppTheme::sunset).name());
    EXPECT_EQ(clockDot->property("color").value<QColor>().name(), Themes::good(AppTheme::sunset).name());
}

TEST_F(FaceFixture, OnboardingSheetOnlyWhileNotFinished)
{
    {
        auto root = load("RootView");
        ASSERT_TRUE(root);
        EXPECT_FALSE(root->property("showOnboarding").toBool());
        QTRY_VERIFY_WITH_TIMEOUT(root->property("showOnboarding").toBool(), 2000);
    }
    QSettings().setValue("didFinishOnboarding", true);
    auto root = load("RootView");
    // The sheet's 0.6 s delay is never started, so nothing can show it later.
    int delays = 0;
    for (QObject *o : root->findChildren<QObject *>(QString(), Qt::FindDirectChildrenOnly))
        if (o->inherits("QQmlTimer") && o->property("interval").toInt() == 600) {
            ++delays;
            EXPECT_FALSE(o->property("running").toBool());
        }
    EXPECT_EQ(delays, 1);
    EXPECT_FALSE(root->property("showOnboarding").toBool());
}

TEST_F(FaceFixture, SettingsFirstRunShowsTheDefaults)
{
    auto view = load("SettingsView");
    ASSERT_TRUE(view);
    EXPECT_EQ(textNamed(view.get(), "eyebrow"), QStringLiteral("SETĂRI"));
    EXPECT_EQ(textNamed(view.get(), "title"), QStringLiteral("Personalizează widget-ul"));
    EXPECT_EQ(textNamed(itemNamed(view.get(), "intensityRow"), "valueText"), QStringLiteral("0.55"));
    EXPECT_EQ(textNamed(itemNamed(view.get(), "refreshRow"), "valueText"), QStringLiteral("1.00"));
    EXPECT_TRUE(itemNamed(view.get(), "particlesToggle")->property("checked").toBool());
    EXPECT_EQ(textNamed(view.get(), "heightLabel"), QStringLiteral("140 pt"));
    EXPECT_EQ(itemNamed(view.get(), "edgePicker")->property("currentIndex").toInt(), 0);
    EXPECT_TRUE(itemNamed(view.get(), "themeChip_aurora")->property("isSelected").toBool());
    const auto pills = itemsNamed(view.get(), "pillTitle");
    EXPECT_EQ(pills.size(), 14);
    for (const QString &p : BarModeSettings::shared()->pillRawValues())
        EXPECT_TRUE(itemNamed(view.get(), "pillChip_" + p)->property("isOn").toBool()) << p.toStdString();
    EXPECT_EQ(textNamed(view.get(), "pillsHint"),
              QStringLiteral("Selectează ce pill-uri vrei să apară în bara de sus (Ctrl+D)."));
    EXPECT_TRUE(textNamed(view.get(), "desktopHint").startsWith(QStringLiteral("Apasă <b>Ctrl + Shift + D</b> ca să fixezi")));
    QStringList cardTitles;
    for (const char *card : {"themeCard", "appearanceCard", "performanceCard", "reportCard", "barCard", "desktopCard"})
        cardTitles << itemNamed(view.get(), card)->property("title").toString();
    EXPECT_EQ(cardTitles, (QStringList{"TEMĂ CULORI", "APARENȚĂ", "PERFORMANȚĂ", "EXPORT RAPORT PDF",
                                       "BAR MODE — PILL-URI", "MOD DESKTOP"}));
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

TEST_F(FaceFixture, SettingsControlsWriteTheStores)
{
    auto view = load("SettingsView");
    ASSERT_TRUE(view);
    QQuickItem *chip = itemNamed(view.get(), "pillChip_fans");
    press(chip);
    EXPECT_FALSE(chip->property("isOn").toBool()); // redrawn after the press
    EXPECT_EQ(QSettings().value("bar.pill.fans").toBool(), false);
    // The card's tap as the pointer comes over it, then the chip's own.
    EXPECT_EQ(Haptics::shared()->performed(), (QList<int>{Haptics::Alignment, Haptics::Alignment}));

    press(itemNamed(view.get(), "themeChip_mono"));
    EXPECT_EQ(ThemeManager::shared()->theme(), AppTheme::mono);
    EXPECT_EQ(QSettings().value("widget.theme").toString(), QStringLiteral("mono"));
    // Each chip keeps its own theme's colours in the mono theme.
    const auto swatches = itemsNamed(itemNamed(view.get(), "themeChip_sunset"), "swatch");
    ASSERT_EQ(swatches.size(), 5);
    EXPECT_EQ(swatches[0]->property("color").value<QColor>().name(), Themes::accent(AppTheme::sunset).name());
    // Pressing the selected chip again rewrites the theme.
    QSignalSpy again(ThemeManager::shared(), &ThemeManager::themeChanged);
    press(itemNamed(view.get(), "themeChip_mono"));
    EXPECT_EQ(again.count(), 1);

    // Unknown edge text shows "Sus"; choosing it stores "top".
    BarModeSettings::shared()->setPositionRaw("left");
    QQuickItem *picker = itemNamed(view.get(), "edgePicker");
    EXPECT_EQ(picker->property("currentIndex").toInt(), 0);
    QMetaObject::invokeMethod(picker, "picked", Q_ARG(int, 0));
    EXPECT_EQ(QSettings().value("bar.position").toString(), QStringLiteral("top"));
    QMetaObject::invokeMethod(picker, "picked", Q_ARG(int, 1));
    EXPECT_EQ(picker->property("currentIndex").toInt(), 1);

    // Not a height the slider offers: the store keeps the default.
    BarModeSettings::shared()->setHeight(kNaN);
    EXPECT_EQ(textNamed(view.get(), "heightLabel"), QStringLiteral("140 pt"));
    BarModeSettings::shared()->setHeight(220);
    EXPECT_EQ(textNamed(view.get(), "heightLabel"), QStringLiteral("220 pt"));

    // A value slider change taps once per change of the stored value.
    Haptics::shared()->clear();
    singleton<SettingsStore>(h.engine(), "SettingsStore")->setBgIntensity(1.0);
    EXPECT_EQ(textNamed(itemNamed(view.get(), "intensityRow"), "valueText"), QStringLiteral("1.00"));
    EXPECT_EQ(Haptics::shared()->performed(), QList<int>{Haptics::Alignment});
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

TEST_F(FaceFixture, OnboardingWalksThreePagesAndFinishes)
{
    auto view = load("OnboardingView");
    ASSERT_TRUE(view);
    QObject *o = view.get();
    EXPECT_EQ(textNamed(o, "pageTitle"), QStringLiteral("Privacy în timp real"));
    EXPECT_FALSE(shown(itemNamed(o, "backButton")));
    EXPECT_TRUE(shown(itemNamed(o, "forwardButton")));
    QStringList features;
    for (QQuickItem *t : itemsNamed(o, "featureText"))
        features << t->property("text").toString();
    EXPECT_EQ(features, (QStringList{"Detectare cameră via V4L2 + inotify", "Detectare microfon via PulseAudio listeners",
                                     "100% local · zero telemetrie"}));

    press(itemNamed(o, "forwardButton"));
    EXPECT_EQ(o->property("step").toInt(), 1);
    EXPECT_EQ(textNamed(o, "pageTitle"), QStringLiteral("Pornește la login"));
    EXPECT_TRUE(shown(itemNamed(o, "backButton")));
    press(itemNamed(o, "forwardButton"));
    EXPECT_EQ(textNamed(o, "pageTitle"), QStringLiteral("Notificări inteligente"));
    EXPECT_FALSE(shown(itemNamed(o, "forwardButton")));
    EXPECT_TRUE(shown(itemNamed(o, "finishButton")));
    EXPECT_EQ(itemNamed(o, "finishButton")->property("text").toString(), QStringLiteral("Hai să-l folosim"));
    QStringList rows;
    for (QQuickItem *t : itemsNamed(o, "notifyTitle"))
        rows << t->property("text").toString();
    EXPECT_EQ(rows, (QStringList{"Camera s-a pornit", "Microfonul s-a pornit", "CPU sustinut >85% sau temp >50°C"}));

    // The permission button shows only until notifications are allowed.
    auto *notifier = singleton<PrivacyNotifier>(h.engine(), "PrivacyNotifier");
    notifier->applyNotificationSettings(false);
    EXPECT_TRUE(shown(itemNamed(o, "permissionButton")));
    notifier->applyNotificationSettings(true);
    EXPECT_FALSE(shown(itemNamed(o, "permissionButton")));
    EXPECT_EQ(itemsNamed(o, "notifyRow").size(), 3);

    QSignalSpy dismissed(o, SIGNAL(dismissRequested()));
    Haptics::shared()->clear();
    press(itemNamed(o, "finishButton"));
    EXPECT_EQ(dismissed.count(), 1);
    EXPECT_TRUE(QSettings().value("didFinishOnboarding").toBool());
    // The button's own tick as the press begins, then the finish pattern.
    EXPECT_EQ(Haptics::shared()->performed(), (QList<int>{Haptics::Generic, Haptics::LevelChange}));

    press(itemNamed(o, "backButton"));
    press(itemNamed(o, "backButton"));
    EXPECT_EQ(o->property("step").toInt(), 0);
    EXPECT_FALSE(shown(itemNamed(o, "backButton"))); // nothing before the first page
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

TEST_F(FaceFixture, OnboardingShowsTheStartAtLoginError)
{
    auto view = load("OnboardingView", {{"step", 1}});
    ASSERT_TRUE(view);
    auto *launch = singleton<LaunchAtLogin>(h.engine(), "LaunchAtLogin");
    launch->setEnabled(false); // not registered: the system's message, still off
    ASSERT_TRUE(launch->hasError());
    QQuickItem *err = itemNamed(view.get(), "loginError");
    EXPECT_TRUE(shown(err));
    EXPECT_EQ(err->property("text").toString(), launch->lastErrorText());
    EXPECT_EQ(err->property("color").value<QColor>().name(), ThemeManager::shared()->critical().name());
    EXPECT_FALSE(itemNamed(view.get(), "loginSwitch")->property("checked").toBool());
}

} // namespace

// ---- Real pointer use of the switches and the sidebar --------------------------------------

namespace {
void clickCentre(QQuickWindow &window, QQuickItem *item)
{
    ASSERT_TRUE(item);
    QTest::mouseClick(&window, Qt::LeftButton, {}, item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint());
}
} // namespace

TEST_F(FaceFixture, OnboardingSwitchesHaveTheirSizeAndToggleWhereTheyAreDrawn)
{
    auto view = load("OnboardingView", {{"step", 2}});
    ASSERT_TRUE(view);
    window.show();
    if (const QString dir = qEnvironmentVariable("CORVANE_SHOTS"); !dir.isEmpty()) {
        singleton<PrivacyNotifier>(h.engine(), "PrivacyNotifier")->applyNotificationSettings(false);
        window.grabWindow().save(dir + "/onboarding-page2.png");
    }
    window.grabWindow();
    auto *notifier = singleton<PrivacyNotifier>(h.engine(), "PrivacyNotifier");
    auto *threshold = singleton<QObject>(h.engine(), "ThresholdNotifier");
    const QList<QQuickItem *> switches = itemsNamed(view.get(), "notifySwitch");
    ASSERT_EQ(switches.size(), 3);
    const QList<QQuickItem *> rows = itemsNamed(view.get(), "notifyRow");
    for (int i = 0; i < 3; ++i) {
        QQuickItem *sw = switches[i];
        EXPECT_GE(sw->width(), 30) << i;
        EXPECT_GE(sw->height(), 18) << i;
        // Drawn inside its row, not sticking out of it.
        const QRectF inRow = sw->mapRectToItem(rows[i], QRectF(0, 0, sw->width(), sw->height()));
        EXPECT_TRUE(QRectF(0, 0, rows[i]->width(), rows[i]->height()).contains(inRow)) << i;
    }
    const bool camera = notifier->notifyCamera();
    const bool mic = notifier->notifyMic();
    const bool cpu = threshold->property("notifyCPU").toBool();
    for (QQuickItem *sw : switches)
        clickCentre(window, sw);
    EXPECT_EQ(notifier->notifyCamera(), !camera);
    EXPECT_EQ(notifier->notifyMic(), !mic);
    EXPECT_EQ(threshold->property("notifyCPU").toBool(), !cpu);
    for (QQuickItem *sw : switches)
        clickCentre(window, sw);
    EXPECT_EQ(notifier->notifyCamera(), camera);
    EXPECT_EQ(threshold->property("notifyCPU").toBool(), cpu);

    notifier->applyNotificationSettings(false);
    QQuickItem *button = itemNamed(view.get(), "permissionButton");
    QQuickItem *label = itemNamed(view.get(), "permissionLabel");
    ASSERT_TRUE(shown(button) && label);
    const double labelCentre = label->mapToItem(button, QPointF(label->width() / 2, 0)).x();
    EXPECT_NEAR(labelCentre, button->width() / 2, 1.0);
}

TEST_F(FaceFixture, SidebarTitlesStayOnOneLineAndRowsNeverMove)
{
    QSettings().setValue("didFinishOnboarding", true);
    auto root = load("RootView");
    ASSERT_TRUE(root);
    window.show();
    window.grabWindow();
    const QStringList tabs = {"live", "activity", "ports", "tests", "crashes", "settings"};
    auto rowTops = [&] {
        QList<double> out;
        for (const QString &raw : tabs) {
            QQuickItem *row = itemNamed(root.get(), "tabRow_" + raw);
            out << row->mapToScene(QPointF(0, 0)).y() << row->height();
        }
        return out;
    };
    const QList<double> before = rowTops();
    for (const QString &raw : tabs) {
        clickCentre(window, itemNamed(root.get(), "tabRow_" + raw));
        ASSERT_TRUE(test::waitForFrames(window));
        EXPECT_EQ(qmlHub()->tabRaw(), raw);
        EXPECT_EQ(rowTops(), before) << "rows moved when " << raw.toStdString() << " was selected";
        if (const QString dir = qEnvironmentVariable("CORVANE_SHOTS"); !dir.isEmpty()) {
            QTest::qWait(400);
            window.grabWindow().copy(0, 0, 420, 760).save(dir + "/sidebar-" + raw + ".png");
        }
        for (QQuickItem *t : itemsNamed(root.get(), "tabTitle")) {
            EXPECT_EQ(t->property("lineCount").toInt(), 1) << t->property("text").toString().toStdString();
            EXPECT_FALSE(t->property("truncated").toBool()) << t->property("text").toString().toStdString();
        }
    }
}

TEST_F(FaceFixture, TabMovesKeyboardFocusOntoTheSidebarWithAVisibleRing)
{
    auto root = load("RootView");
    ASSERT_TRUE(root);
    window.show();
    window.requestActivate();
    window.grabWindow();
    QQuickItem *first = itemNamed(root.get(), "tabRow_live");
    first->forceActiveFocus(Qt::TabFocusReason);
    QQuickItem *ring = itemNamed(first, "focusRing");
    ASSERT_TRUE(ring);
    EXPECT_TRUE(ring->isVisible());
    QTest::keyClick(&window, Qt::Key_Tab);
    QQuickItem *second = itemNamed(root.get(), "tabRow_activity");
    EXPECT_TRUE(second->hasActiveFocus());
    EXPECT_FALSE(ring->isVisible());
    EXPECT_TRUE(itemNamed(second, "focusRing")->isVisible());
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_EQ(qmlHub()->tabRaw(), QStringLiteral("activity"));
}

// The appearance and performance rows act on the window that shows them: the background
// follows the intensity and the particles switch, the live figures the refresh rate; and with
// the software scene graph (this suite's, as on a machine without GPU) the card says what the
// static background cannot show.
TEST_F(FaceFixture, AppearanceAndRefreshRowsActOnTheWindow)
{
    QSettings().setValue("didFinishOnboarding", true);
    h.engine().addImportPath("qrc:/");
    AppDelegate delegate(&hub.state, &h.engine(), std::make_unique<test::RecordingWindowSystem>());
    auto obj = h.createFile("qrc:/Corvane/MainWindow.qml");
    auto *main = qobject_cast<QQuickWindow *>(obj.get());
    ASSERT_TRUE(main && QTest::qWaitForWindowExposed(main));
    QQuickItem *background = itemNamed(main->contentItem(), "background");
    ASSERT_TRUE(background);
    EXPECT_DOUBLE_EQ(background->property("strength").toDouble(), 0.55); // the designed look at first
    EXPECT_EQ(hub.state.sampleInterval(), 1.0);

    press(itemNamed(main->contentItem(), "tabRow_settings"));
    QTRY_VERIFY_WITH_TIMEOUT(itemNamed(main->contentItem(), "appearanceCard")
                                 && !itemNamed(main->contentItem(), "content")->property("busy").toBool(),
                             3000); // the screens' swap has ended
    press(itemNamed(itemNamed(main->contentItem(), "intensityRow"), "valueSlider"), 0.0);
    EXPECT_LT(background->property("strength").toDouble(), 0.05);
    press(itemNamed(main->contentItem(), "particlesToggle"));
    EXPECT_FALSE(background->property("particles").toBool());
    EXPECT_FALSE(itemNamed(background, "grain")->isVisible());

    press(itemNamed(itemNamed(main->contentItem(), "refreshRow"), "valueSlider"), 0.999);
    EXPECT_GT(hub.state.sampleInterval(), 4.5);
    EXPECT_EQ(hub.state.system()->interval(), hub.state.sampleInterval());
    EXPECT_EQ(hub.state.network()->interval(), hub.state.sampleInterval());

    QQuickItem *note = itemNamed(main->contentItem(), "staticBackgroundNote");
    ASSERT_TRUE(note);
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(textNamed(note, "staticBackgroundText"),
              QStringLiteral("Fără accelerare grafică fundalul rămâne static: intensitatea nu se vede, iar particulele nu se mișcă."));
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}
