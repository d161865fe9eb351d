// The live dashboard as a user meets it: layout at both window sizes, the quick-test sheet
// from every tile and from a pending request, favourites by clicking stars, the clock.
#include "common/Formatters.h"
#include "common/Numbers.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeHub.h"
#include "monitors/NetworkMonitor.h"
#include "monitors/SamplerScheduler.h"
#include "monitors/StorageMonitor.h"
#include "monitors/SystemMonitor.h"
#include "platform/Haptics.h"
#include "platform/PowerSources.h"
#include "platform/SmcTransport.h"
#include "platform/UsbRegistry.h"
#include "state/ThemeManager.h"
#include "state/AppState.h"
#include "support/FixtureLaptop.h"
#include "support/QmlTestUtil.h"
#include "ui/dashboard/DashboardModels.h"
#include "ui/shared/SettingsStore.h"
#include "ui/shared/WallTime.h"

#include <optional>
#include <QFile>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

using namespace corvane;

namespace {

struct Dashboard : ::testing::Test {
    AppState state{nullptr};
    test::QmlHarness h;
    QQuickWindow window;
    std::unique_ptr<QObject> view;
    QQuickItem *root = nullptr;

    void SetUp() override { QSettings().remove(FavoriteSensors::kKey); }
    void load(QSize size, const QVariantMap &initial = {})
    {
        window.resize(size);
        window.setColor(QColor::fromRgbF(0.03f, 0.04f, 0.08f)); // the main window's backdrop
        view = h.createFile(QStringLiteral("qrc:/Corvane/DashboardView.qml"), initial);
        ASSERT_TRUE(view) << h.warnings().join('\n').toStdString();
        root = qobject_cast<QQuickItem *>(view.get());
        root->setParentItem(window.contentItem());
        root->setSize(QSizeF(size));
        window.show();
        settle();
    }
    void settle()
    {
        QCoreApplication::processEvents();
        window.grabWindow();
    }
    QQuickItem *item(const QString &name) const { return test::findItem(root, name); }
    QString active() const { return root->property("activeQuickTest").toString(); }
    bool sheetOpen() const { return root->findChild<QObject *>(QStringLiteral("quickTestSheet"))->property("opened").toBool(); }
    void click(QQuickItem *it, QPointF at = {-1, -1})
    {
        ASSERT_TRUE(it);
        if (at.x() < 0)
            at = QPointF(it->width() / 2, it->height() / 2);
        const QPointF p = it->mapToScene(at);
        ASSERT_TRUE(QRectF(0, 0, window.width(), window.height()).contains(p)) << "off screen";
        QTest::mouseClick(&window, Qt::LeftButton, {}, p.toPoint());
        settle();
    }
    // The way a user ends a test: its own close button where the screen has one, else Escape.
    void closeSheet()
    {
        QQuickItem *close = nullptr;
        for (QQuickItem *c : window.contentItem()->findChildren<QQuickItem *>(QStringLiteral("closeButton")))
            if (c->isVisible())
                close = c;
        if (close)
            click(close);
        else
            QTest::keyClick(&window, Qt::Key_Escape);
        settle();
    }
};

const QStringList kCards{"card.cpu", "card.ram", "card.gpu", "card.display", "card.network", "card.storage",
                         "card.battery", "card.temperatures", "card.fans", "card.usb", "card.wifi",
                         "card.quickTests"};

} // namespace

class DashboardLayout : public Dashboard, public ::testing::WithParamInterface<QSize> {};

TEST_P(DashboardLayout, EveryCardFitsWithoutOverlap)
{
    load(GetParam());
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
    QQuickItem *page = item(QStringLiteral("page"));
    ASSERT_TRUE(page);
    EXPECT_LE(page->width(), 1232.0);
    EXPECT_NEAR(page->x() * 2 + page->width(), item(QStringLiteral("scroller"))->width(), 1.0); // centred

    QList<QRectF> rects;
    for (const QString &name : kCards) {
        QQuickItem *card = item(name);
        ASSERT_TRUE(card) << name.toStdString();
        const QRectF r = card->mapRectToItem(page, QRectF(0, 0, card->width(), card->height()));
        EXPECT_GE(r.left(), -0.5) << name.toStdString();
        EXPECT_LE(r.right(), page->width() + 0.5) << name.toStdString();
        // Content never taller than its card: nothing clipped or spilling.
        EXPECT_LE(card->implicitHeight(), card->height() + 0.5) << name.toStdString();
        EXPECT_GT(r.width(), 150) << name.toStdString();
        for (const QRectF &o : rects)
            EXPECT_FALSE(r.adjusted(0.5, 0.5, -0.5, -0.5).intersects(o)) << name.toStdString();
        rects << r;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, DashboardLayout, ::testing::Values(QSize(1600, 1000), QSize(1280, 800), QSize(2400, 1000)),
                         [](const auto &i) {
                             return std::to_string(i.param.width()) + "x" + std::to_string(i.param.height());
                         });

TEST_F(Dashboard, PendingQuickTestWaitsUntilTheDashboardIsShown)
{
    state.setPendingQuickTestRaw(QStringLiteral("ram"));
    load(QSize(1600, 1000), {{"visible", false}});
    EXPECT_EQ(active(), QString());
    EXPECT_EQ(state.pendingQuickTestRaw(), QStringLiteral("ram"));

    root->setVisible(true);
    settle();
    EXPECT_EQ(active(), QStringLiteral("ram"));
    EXPECT_EQ(state.pendingQuickTestRaw(), QString());
    EXPECT_TRUE(sheetOpen());
    auto *panel = root->findChild<QObject *>(QStringLiteral("quickTestPanel"));
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->property("kind").toString(), QStringLiteral("ram"));

    closeSheet();
    EXPECT_EQ(active(), QString());
    // While shown, every change is taken at once and only once.
    state.setPendingQuickTestRaw(QStringLiteral("cpu"));
    settle();
    EXPECT_EQ(active(), QStringLiteral("cpu"));
    EXPECT_EQ(state.pendingQuickTestRaw(), QString());
}

// A click beside the sheet would silently stop a disk test or a tone: only × and Escape close.
TEST_F(Dashboard, ClickOutsideTheSheetLeavesItOpen)
{
    load(QSize(1280, 800));
    click(item(QStringLiteral("card.ram")));
    ASSERT_TRUE(sheetOpen());
    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(5, 5)); // the dimmed window corner
    settle();
    EXPECT_TRUE(sheetOpen());
    EXPECT_EQ(active(), QStringLiteral("ram"));
    QTest::keyClick(&window, Qt::Key_Escape);
    settle();
    EXPECT_FALSE(sheetOpen());
    EXPECT_EQ(active(), QString());
}

TEST_F(Dashboard, PendingQuickTestAtCreationOpensAtOnce)
{
    state.setPendingQuickTestRaw(QStringLiteral("speakers"));
    load(QSize(1600, 1000));
    EXPECT_EQ(active(), QStringLiteral("speakers"));
    EXPECT_EQ(state.pendingQuickTestRaw(), QString());
}

class QuickTestTile : public Dashboard, public ::testing::WithParamInterface<const char *> {};

TEST_P(QuickTestTile, OpensItsSheetAgainAfterDismissal)
{
    load(QSize(1600, 2200));
    const QString kind = QString::fromUtf8(GetParam());
    Haptics::shared()->clear();
    click(item(QStringLiteral("quickTest.") + kind));
    EXPECT_EQ(active(), kind);
    EXPECT_TRUE(sheetOpen());
    ASSERT_FALSE(Haptics::shared()->performed().isEmpty());
    EXPECT_TRUE(Haptics::shared()->performed().contains(Haptics::LevelChange));
    closeSheet();
    EXPECT_EQ(active(), QString());
    EXPECT_FALSE(sheetOpen());
    click(item(QStringLiteral("quickTest.") + kind));
    EXPECT_EQ(active(), kind);
}

INSTANTIATE_TEST_SUITE_P(Kinds, QuickTestTile, ::testing::Values("ssd", "network", "cpu", "gpu", "pixel", "speakers"),
                         [](const auto &i) { return std::string(i.param); });

TEST_F(Dashboard, MetricTilesOpenCpuRamAndGpu)
{
    load(QSize(1600, 2200));
    const QList<std::pair<const char *, const char *>> tiles{{"card.cpu", "cpu"}, {"card.ram", "ram"}, {"card.gpu", "gpu"}};
    for (const auto &[card, kind] : tiles) {
        Haptics::shared()->clear();
        click(item(QString::fromUtf8(card)));
        EXPECT_EQ(active(), QString::fromUtf8(kind));
        // The tile's tap comes first; the opened screen may add its own.
        ASSERT_FALSE(Haptics::shared()->performed().isEmpty());
        EXPECT_TRUE(Haptics::shared()->performed().contains(Haptics::Generic));
        closeSheet();
    }
    // Without a VRAM counter the GPU tile gives no figure rather than 0 bytes.
    if (state.gpu()->vramUsedBytes() == 0) {
        EXPECT_EQ(test::findItem(item(QStringLiteral("card.gpu")), QStringLiteral("secondLine"))->property("text").toString(),
                  QStringLiteral("VRAM —"));
    }
    // The display card is not a button.
    click(item(QStringLiteral("card.display")));
    EXPECT_EQ(active(), QString());
}

TEST_F(Dashboard, StarringASensorMovesItFirstAndPersists)
{
    SMCMonitor::Snapshot s;
    s.connected = true;
    s.temperatures = {{"TC0P", "CPU Proximity", 70}, {"TH0a", "SSD", 35}, {"TG0P", "GPU Proximity", 60}};
    s.cpuTemp = 70;
    state.smc()->publish(s);
    load(QSize(1600, 2200));
    auto *list = item(QStringLiteral("sensorList"));
    ASSERT_TRUE(list);
    auto *ssd = item(QStringLiteral("sensor.TH0a"));
    ASSERT_TRUE(ssd);
    EXPECT_GT(ssd->y(), item(QStringLiteral("sensor.TG0P"))->y());
    click(test::findItem(ssd, QStringLiteral("star")));
    EXPECT_EQ(QSettings().value(FavoriteSensors::kKey).toString(), QStringLiteral("TH0a"));
    EXPECT_LT(ssd->y(), item(QStringLiteral("sensor.TC0P"))->y());
    EXPECT_EQ(item(QStringLiteral("sensorCount"))->property("text").toString(), QStringLiteral("3 senzori"));
    EXPECT_EQ(test::findItem(item(QStringLiteral("cpuPill")), QStringLiteral("pillValue"))->property("text").toString(),
              QStringLiteral("70°"));
    EXPECT_EQ(test::findItem(item(QStringLiteral("gpuPill")), QStringLiteral("pillValue"))->property("text").toString(),
              QStringLiteral("—"));

    // Typing filters at once; the count still shows every sensor.
    auto *search = item(QStringLiteral("sensorSearch"));
    click(search);
    for (char ch : {'g', 'p', 'u'})
        QTest::keyClick(&window, ch);
    settle();
    EXPECT_EQ(list->property("count").toInt(), 1);
    click(item(QStringLiteral("clearSearch")));
    EXPECT_EQ(list->property("count").toInt(), 3);
}

TEST_F(Dashboard, ClockTicksOnlyWhileShown)
{
    load(QSize(1280, 800));
    auto *timer = root->findChild<QObject *>(QStringLiteral("clockTimer"));
    ASSERT_TRUE(timer);
    EXPECT_TRUE(timer->property("running").toBool());
    window.hide();
    EXPECT_FALSE(timer->property("running").toBool());
    window.show();
    root->setVisible(false);
    EXPECT_FALSE(timer->property("running").toBool());
}

// The clocks, the date and the greeting follow the time they are handed, not the system's:
// pictures compared across runs stand the time still.
TEST_F(Dashboard, ClocksShowTheTimeTheyAreHanded)
{
    const QDateTime at(QDate(2021, 3, 4), QTime(5, 6, 7, 900));
    test::FakeClock clock;
    clock.setWall(double(at.toMSecsSinceEpoch()) / 1000.0);
    WallTime::setClock(&clock);
    const auto restore = qScopeGuard([] { WallTime::setClock(nullptr); });
    load(QSize(1280, 800));
    EXPECT_EQ(item(QStringLiteral("clock"))->property("text").toString(), clockTime(at));
    EXPECT_EQ(item(QStringLiteral("date"))->property("text").toString(), dashboardClockDate(at));
    EXPECT_EQ(item(QStringLiteral("greeting"))->property("text").toString(), QStringLiteral("Bună dimineața"));
    EXPECT_TRUE(SettingsStore().clockText().contains(QStringLiteral(":06:07"))); // the sidebar's
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

namespace {
// A laptop's readings from the fixture trees, handed to the hub's monitors as their own
// snapshots would be.
void publishLaptop(AppState &hub, const QString &power = QStringLiteral("laptop"))
{
    // The hub's own readings of this machine must not land over the fixture's.
    for (SamplerScheduler *s : {hub.battery()->scheduler(), hub.usb()->scheduler(), hub.wifi()->scheduler()})
        s->stopAndWait();
    QCoreApplication::processEvents(); // a reading that was under way lands before the fixture's
    test::publishFixtureLaptop(hub, power);
    test::FakeClock clock;
    SMCMonitor smc(makeLinuxSmcTransport(QStringLiteral(CORVANE_FIXTURES "/hwmon")), clock, false); // no sensors: nothing lands
    hub.smc()->publish(smc.sampler().sample());
    WiFiInterfaceReading wifi;
    wifi.ssid = QStringLiteral("Casa <b>Popescu</b>");
    wifi.rssi = -58;
    wifi.transmitRate = 866.6;
    wifi.security = static_cast<int64_t>(WiFiSecurity::WPA3Personal);
    wifi.channel = WiFiChannel{36, 2};
    hub.wifi()->publish(WiFiMonitor::sampleFrom(wifi));
}
} // namespace

class DashboardLaptop : public Dashboard, public ::testing::WithParamInterface<QSize> {};

TEST_P(DashboardLaptop, EveryCardShowsTheFixtureMachine)
{
    publishLaptop(state);
    load(GetParam());
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
    EXPECT_EQ(item(QStringLiteral("deviceCount"))->property("text").toString(),
              QString::number(state.usb()->devices().size()) + QStringLiteral(" dispozitive"));
    EXPECT_GT(state.usb()->devices().size(), 0);
    const USBDevice &first = state.usb()->devices().front();
    auto *row = item(QStringLiteral("usb.") + QString::number(first.id));
    ASSERT_TRUE(row);
    EXPECT_EQ(test::findItem(row, QStringLiteral("name"))->property("text").toString(), first.name);
    EXPECT_EQ(item(QStringLiteral("ssid"))->property("text").toString(), QStringLiteral("Casa <b>Popescu</b>"));
    EXPECT_EQ(item(QStringLiteral("ssid"))->property("textFormat").toInt(), int(Qt::PlainText));
    EXPECT_EQ(item(QStringLiteral("rate"))->property("text").toString(), QStringLiteral("867 Mbps"));
    EXPECT_EQ(item(QStringLiteral("quality"))->property("text").toString(), QStringLiteral("Bun"));
    EXPECT_EQ(item(QStringLiteral("sensorCount"))->property("text").toString(),
              QString::number(state.smc()->temperatures().size()) + QStringLiteral(" senzori"));
    EXPECT_TRUE(item(QStringLiteral("adapter"))->isVisible() == state.battery()->isCharging());
    auto *ring = test::findItem(item(QStringLiteral("card.battery")), QStringLiteral("centerValue"));
    ASSERT_TRUE(ring);
    EXPECT_EQ(ring->property("text").toString(), QString::fromStdString(printfFixedStd(state.battery()->percentage().value_or(0), 0)) + "%");
    // The hub's display link has counted nothing and knows no refresh: dashes, not zeros.
    EXPECT_EQ(item(QStringLiteral("fpsValue"))->property("text").toString(), QStringLiteral("—"));
    EXPECT_EQ(item(QStringLiteral("refreshValue"))->property("text").toString(), QStringLiteral("—"));
    EXPECT_EQ(item(QStringLiteral("fpsText"))->property("text").toString(), QStringLiteral("— fps"));

    // Screens to look at: CORVANE_SHOTS=<folder> writes the whole page.
    if (const QString dir = qEnvironmentVariable("CORVANE_SHOTS"); !dir.isEmpty()) {
        QQuickItem *page = item(QStringLiteral("page"));
        const QSize size = GetParam();
        window.resize(size.width(), int(page->height()) + 48);
        root->setSize(QSizeF(window.size()));
        QTest::qWait(1200); // entrances settle
        settle();
        window.grabWindow().save(QStringLiteral("%1/dashboard-laptop-%2x%3.png").arg(dir).arg(size.width()).arg(size.height()));

        // The same laptop on its USB-C charger, at the edge of the Wi-Fi's reach: the adapter
        // block and the alert symbol.
        QTemporaryDir plugged;
        namespace fs = std::filesystem;
        const fs::path tree(plugged.path().toStdString());
        fs::copy(CORVANE_FIXTURES "/power_supply/laptop", tree, fs::copy_options::recursive);
        const auto put = [&](const char *file, const char *text) {
            QFile f(plugged.filePath(QLatin1String(file)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(text);
        };
        put("class/power_supply/AC/online", "1\n");
        put("class/power_supply/ucsi-source-psy-USBC000:001/online", "1\n");
        put("class/power_supply/BAT0/status", "Charging\n");
        test::FakeClock clock;
        BatteryMonitor battery(makeLinuxPowerSources(plugged.path()), clock, false);
        state.battery()->publish(battery.sampler().sample());
        WiFiInterfaceReading wifi;
        wifi.ssid = QStringLiteral("Casa Popescu");
        wifi.rssi = -70;
        wifi.transmitRate = 144.4;
        wifi.security = static_cast<int64_t>(WiFiSecurity::WPA2Personal);
        wifi.channel = WiFiChannel{6, 1};
        state.wifi()->publish(WiFiMonitor::sampleFrom(wifi));
        window.resize(size.width(), int(page->height()) + 48);
        root->setSize(QSizeF(window.size()));
        QTest::qWait(1200);
        settle();
        window.grabWindow().save(QStringLiteral("%1/dashboard-plugged-%2x%3.png").arg(dir).arg(size.width()).arg(size.height()));
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, DashboardLaptop, ::testing::Values(QSize(1600, 1000), QSize(1280, 800)),
                         [](const auto &i) {
                             return std::to_string(i.param.width()) + "x" + std::to_string(i.param.height());
                         });

TEST_F(Dashboard, WithoutABatteryTheCardSaysSoInsteadOfDraining)
{
    state.battery()->scheduler()->stopAndWait();
    QCoreApplication::processEvents(); // a reading that was under way lands before this one
    BatteryMonitor::Snapshot none;
    state.battery()->publish(none);
    load(QSize(1600, 1000));
    auto *card = item(QStringLiteral("card.battery"));
    EXPECT_EQ(test::findItem(card, QStringLiteral("centerValue"))->property("text").toString(), QStringLiteral("—"));
    EXPECT_EQ(test::findItem(card, QStringLiteral("subText"))->property("text").toString(), QStringLiteral("—"));
    EXPECT_EQ(card->property("accentColor").value<QColor>(), ThemeManager::shared()->good());
    EXPECT_FALSE(test::findItem(item(QStringLiteral("chip.low")), QStringLiteral("rec"))->isVisible());
    EXPECT_EQ(test::findItem(item(QStringLiteral("chip.low")), QStringLiteral("status"))->property("text").toString(),
              QStringLiteral("INACTIV"));
    if (const QString dir = qEnvironmentVariable("CORVANE_SHOTS"); !dir.isEmpty()) {
        window.resize(1600, int(item(QStringLiteral("page"))->height()) + 48);
        root->setSize(QSizeF(window.size()));
        QTest::qWait(1200);
        settle();
        window.grabWindow().save(dir + QStringLiteral("/dashboard-nobattery-1600.png"));
    }
}

namespace {
// A card figure's text: the item's own, or that of its "text" child (animated numbers).
std::string cardText(QQuickItem *card, const char *name)
{
    QQuickItem *i = test::findItem(card, QString::fromLatin1(name));
    QQuickItem *t = i ? test::findItem(i, QStringLiteral("text")) : nullptr;
    return (t ? t : i) ? (t ? t : i)->property("text").toString().toStdString() : std::string("no item");
}
} // namespace

// A battery whose driver reports a charge of 250 %, 9999.9 °C, −1 cycles and a negative voltage:
// the card shows dashes where those figures would be, not the driver's numbers, and no alarm.
TEST_F(Dashboard, ImpossibleBatteryFiguresReadAsDashes)
{
    state.battery()->scheduler()->stopAndWait();
    QCoreApplication::processEvents(); // a reading that was under way lands before this one
    QTemporaryDir tree;
    std::filesystem::copy(CORVANE_FIXTURES "/power_supply/laptop", tree.path().toStdString(),
                          std::filesystem::copy_options::recursive);
    for (const auto &[file, text] : {std::pair{"capacity", "250"}, {"temp", "99999"}, {"cycle_count", "-1"},
                                     {"voltage_now", "-12000000"}, {"energy_now", nullptr}}) {
        const QString path = tree.filePath(QStringLiteral("class/power_supply/BAT0/") + QLatin1String(file));
        QFile::remove(path);
        QFile f(path);
        if (text) {
            ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(QByteArray(text) + "\n") > 0);
        }
    }
    test::FakeClock clock;
    BatteryMonitor battery(makeLinuxPowerSources(tree.path()), clock, false);
    state.battery()->publish(battery.sampler().sample());
    load(QSize(1600, 1000));
    auto *card = item(QStringLiteral("card.battery"));
    const auto shown = [&](const char *name) { return cardText(card, name); };
    EXPECT_EQ(shown("centerValue"), "—");
    EXPECT_EQ(shown("cycles"), "—");
    EXPECT_EQ(shown("temperature"), "—");
    EXPECT_EQ(shown("voltage"), "—");
    EXPECT_EQ(shown("health"), "90%"); // the capacities are sound
    EXPECT_EQ(card->property("accentColor").value<QColor>(), ThemeManager::shared()->good());
    EXPECT_EQ(test::findItem(item(QStringLiteral("chip.thermal")), QStringLiteral("status"))->property("text").toString(),
              QStringLiteral("INACTIV"));
    if (const QString dir = qEnvironmentVariable("CORVANE_SHOTS"); !dir.isEmpty()) {
        window.resize(1600, int(item(QStringLiteral("page"))->height()) + 48);
        root->setSize(QSizeF(window.size()));
        QTest::qWait(1200);
        settle();
        window.grabWindow().save(dir + QStringLiteral("/dashboard-impossible-battery-1600.png"));
    }
}

// Laptops as their drivers report them: the card shows what the files give and "—" for the
// rest (the ACPI adapter's power, health without a capacity pair), never a charge past 100 %.
struct PowerTree {
    const char *tree;
    std::vector<std::pair<const char *, const char *>> shown; // objectName, text
};
void PrintTo(const PowerTree &c, std::ostream *os) { *os << c.tree; }
class DashboardPowerTree : public Dashboard, public ::testing::WithParamInterface<PowerTree> {};

TEST_P(DashboardPowerTree, CardShowsOnlyWhatTheDriverGives)
{
    const auto &[tree, shown] = GetParam();
    publishLaptop(state, QLatin1String(tree));
    load(QSize(1600, 1000));
    QQuickItem *card = item(QStringLiteral("card.battery"));
    for (const auto &[name, text] : shown)
        EXPECT_EQ(cardText(card, name), text) << name;
    // The adapter block belongs to the machine's own external power only.
    EXPECT_EQ(test::findItem(card, QStringLiteral("adapter"))->isVisible(), state.battery()->isCharging());
    EXPECT_EQ(cardText(card, "subText") == "CHARGE", state.battery()->isCharging());
}

INSTANTIATE_TEST_SUITE_P(
    Laptops, DashboardPowerTree,
    ::testing::Values(PowerTree{"acpi-mains", {{"centerValue", "60%"}, {"cableWatts", "—"}, {"adapterVolts", "—"},
                                               {"adapterAmps", "—"}, {"batteryWatts", "25.0 W → bat"}}},
                      PowerTree{"two-batteries", {{"centerValue", "100%"}, {"health", "91%"}}},
                      PowerTree{"sound-and-impossible", {{"centerValue", "60%"}, {"health", "87%"}}},
                      PowerTree{"energy-only", {{"health", "83%"}}},
                      PowerTree{"capacity-only", {{"centerValue", "64%"}, {"health", "—"}}},
                      // A device's charger online beside BAT0 at 55 % on battery, AC offline.
                      PowerTree{"device-charger", {{"centerValue", "55%"}, {"subText", "DRAIN"}}},
                      // 20 V now, 20 V × 3.25 A at most, no present current.
                      PowerTree{"usbc-no-current", {{"subText", "CHARGE"}, {"adapterName", "USB-C PD"},
                                                    {"adapterMax", "Maxim 65 W"}, {"cableWatts", "—"},
                                                    {"adapterVolts", "20.00 V"}, {"adapterAmps", "—"}}},
                      PowerTree{"capacity-58", {{"centerValue", "58%"}}},
                      // Zero full charges take the design figures; 0 cycles is no count.
                      PowerTree{"zero-full-energy", {{"health", "100%"}, {"cycles", "—"}}},
                      PowerTree{"zero-full-charge", {{"health", "100%"}, {"cycles", "312"}}}),
    [](const auto &i) { return QString::fromLatin1(i.param.tree).replace('-', '_').toStdString(); });

TEST_F(Dashboard, NoWiFiInterfaceIsNoSignalNotAnExcellentOne)
{
    state.wifi()->scheduler()->stopAndWait();
    QCoreApplication::processEvents(); // a reading that was under way lands before this one
    state.wifi()->publish(WiFiMonitor::sampleFrom(std::nullopt));
    load(QSize(1600, 1000));
    EXPECT_EQ(item(QStringLiteral("ssid"))->property("text").toString(), QStringLiteral("Deconectat"));
    EXPECT_EQ(item(QStringLiteral("quality"))->property("text").toString(), QStringLiteral("—"));
    EXPECT_FALSE(item(QStringLiteral("signalFill"))->isVisible());
    EXPECT_FALSE(item(QStringLiteral("linkRow"))->isVisible());
}

// A machine without a GPU: the tile's ring rests empty with no number, not a measured 0 %.
TEST_F(Dashboard, WithoutAGpuTheTileShowsNoLoad)
{
    test::FakeHub noGpu;
    load(QSize(1600, 1000), {{"appState", QVariant::fromValue<QObject *>(&noGpu.state)}});
    auto *centre = test::findItem(item(QStringLiteral("card.gpu")), QStringLiteral("centerValue"));
    EXPECT_EQ(centre->property("text").toString(), QStringLiteral("—"));
}

// A pointer resting on a card: the card leans towards it once, then nothing more is drawn.
// The spot is measured on the card as laid out; measured on the tilted face instead, each
// tilt moved the spot under the pointer, which tilted the card again.
struct RestingSpot {
    const char *name;
    const char *card;
    QPointF at; // fraction of the card's size
};

void PrintTo(const RestingSpot &s, std::ostream *os) { *os << s.name; }

class RestingPointer : public Dashboard, public ::testing::WithParamInterface<RestingSpot> {};

TEST_P(RestingPointer, LeansOnceThenDrawsNothingMore)
{
    load(QSize(1280, 800));
    QQuickItem *card = item(QString::fromUtf8(GetParam().card));
    ASSERT_TRUE(card);
    QQuickItem *cell = card->parentItem()->parentItem(); // the entrance around it, until it has come to rest
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return cell->property("appeared").toBool() && qAbs(cell->property("_shown").toReal() - 1) <= 0.0005
            && qAbs(cell->property("_velocity").toReal()) <= 0.001;
    }, 10000));

    const QPoint at = card->mapToScene(QPointF(card->width() * GetParam().at.x(), card->height() * GetParam().at.y()))
                          .toPoint();
    QTest::mouseMove(&window, at);
    ASSERT_TRUE(QTest::qWaitFor([&] { return card->property("hover").toBool(); }, 10000));
    // Settled: the hover has grown in and the drawn pointer has caught up with the pointer.
    const auto settled = [&] {
        return card->property("hoverAmount").toReal() == 1.0
            && card->property("shownPointer").toPointF() == card->property("pointer").toPointF();
    };
    ASSERT_TRUE(QTest::qWaitFor(settled, 10000))
        << "pointer " << card->property("pointer").toPointF().x() << "," << card->property("pointer").toPointF().y();
    // Where the pointer is on the card as laid out, whatever the card's own transform.
    const QPointF laidOut = card->parentItem()->mapFromScene(QPointF(at)) - card->position();
    const QPointF pointer = card->property("pointer").toPointF();
    EXPECT_NEAR(pointer.x(), laidOut.x(), 0.01);
    EXPECT_NEAR(pointer.y(), laidOut.y(), 0.01);

    // Over the next two clock ticks only what the ticks and the monitors' readings change is
    // drawn: a few frames each (more when a loaded machine spreads the readings apart), not a
    // frame every few milliseconds.
    QSignalSpy frames(&window, &QQuickWindow::frameSwapped);
    QSignalSpy ticks(root, SIGNAL(clockTickChanged()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks.count() >= 2; }, 10000));
    EXPECT_LE(frames.count(), 10 * ticks.count()) << frames.count() << " frames over " << ticks.count() << " ticks";
    EXPECT_EQ(card->property("pointer").toPointF(), pointer);
}

INSTANTIATE_TEST_SUITE_P(Spots, RestingPointer,
                         ::testing::Values(RestingSpot{"CpuNearTopLeft", "card.cpu", {0.04, 0.05}},
                                           RestingSpot{"CpuRightEdge", "card.cpu", {0.99, 0.5}},
                                           RestingSpot{"NetworkBottomRight", "card.network", {0.97, 0.96}},
                                           RestingSpot{"StorageCentre", "card.storage", {0.5, 0.5}}),
                         [](const auto &i) { return std::string(i.param.name); });

// New readings whose texts are wider or narrower than the last ones are drawn in the frame
// that shows them. Anything that moves while a frame is being prepared (a positioner or a
// layout sizing itself then) makes the window draw a second, empty frame after it.
struct Reading {
    double cpu;
    uint64_t storage;
    uint64_t network;
};

TEST_F(Dashboard, WiderOrNarrowerReadingsMoveNothingWhileAFrameIsPrepared)
{
    for (SamplerScheduler *s : {state.system()->scheduler(), state.storage()->scheduler(), state.network()->scheduler()})
        s->stopAndWait();
    QCoreApplication::processEvents();
    load(QSize(1280, 800));
    for (const QString &name : kCards) {
        QQuickItem *cell = item(name)->parentItem()->parentItem();
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return cell->property("appeared").toBool() && qAbs(cell->property("_shown").toReal() - 1) <= 0.0005
                && qAbs(cell->property("_velocity").toReal()) <= 0.001;
        }, 10000)) << name.toStdString();
    }

    // The first readings replace what the real samplers showed before they were stopped (the
    // disk's usage, the link's name): only what follows is watched, where the rates alone change.
    std::optional<test::MovesWhilePreparing> watch;
    for (const Reading &r : {Reading{0.05, 0, 0}, Reading{0.57, 392'500, 123'456'789}, Reading{1.0, 3'300'000, 987},
                             Reading{0.08, 12, 45'000'000}}) {
        SystemSnapshot sys;
        sys.cpu = r.cpu;
        sys.usedBytes = 3ull << 30;
        sys.totalBytes = 16ull << 30;
        state.system()->publish(sys);
        StorageSnapshot disk;
        disk.rates = StorageSnapshot::Rates{r.storage, r.storage / 3};
        state.storage()->publish(disk);
        NetworkSnapshot net;
        net.rates = NetworkSnapshot::Rates{r.network, r.network / 7};
        state.network()->publish(net);
        ASSERT_TRUE(test::waitForFrames(window, 2));
        if (!watch)
            watch.emplace(window);
    }
    EXPECT_TRUE(watch->moved().isEmpty()) << watch->moved().join('\n').toStdString();
}
