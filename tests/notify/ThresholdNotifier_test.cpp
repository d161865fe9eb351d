#include "notify/ThresholdNotifier.h"

#include "fakes/FakeClock.h"
#include "fakes/FakeNotifications.h"
#include "fakes/MonitorFeeds.h"
#include "notify/IsolatedSettings.h"
#include "platform/PowerSources.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QSettings>

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

using namespace corvane;
using namespace corvane::test;

namespace {

class ThresholdTest : public ::testing::Test {
protected:
    void SetUp() override { useIsolatedSettings(); }
    void TearDown() override { QSettings().clear(); }

    void bindAll()
    {
        notifier.bind(&system.mon, &battery.mon, &smc.mon);
        QCoreApplication::processEvents();
    }
    void batteryRefresh(double pct, bool charging)
    {
        battery.refresh(pct, charging);
        QCoreApplication::processEvents();
    }
    QStringList titles() const
    {
        QStringList t;
        for (const auto &p : notes.posted)
            t << p.first;
        return t;
    }

    IsolatedSettingsScope isolation; // before the notifier opens its settings
    FakeClock clock;
    FakeNotifications notes;
    ThresholdNotifier notifier{&notes, clock};
    SystemFeed system;
    BatteryFeed battery;
    SmcFeed smc;
};

struct BatteryCase {
    const char *name;
    double pct;
    bool charging;
    const char *title; // nullptr: no notification
    const char *body;
};

class LowBattery : public ThresholdTest, public ::testing::WithParamInterface<BatteryCase> {};

TEST_P(LowBattery, FiresAtOrBelowThresholdOnBatteryPower)
{
    bindAll();
    batteryRefresh(GetParam().pct, GetParam().charging);
    if (!GetParam().title) {
        EXPECT_TRUE(notes.posted.isEmpty());
        return;
    }
    ASSERT_EQ(notes.posted.size(), 1);
    EXPECT_EQ(notes.posted[0].first, QString::fromUtf8(GetParam().title));
    EXPECT_EQ(notes.posted[0].second, QString::fromUtf8(GetParam().body));
}

INSTANTIATE_TEST_SUITE_P(Cases, LowBattery, ::testing::Values(
    BatteryCase{"AtThreshold", 15, false, "Baterie sub 15%", "Mai ai 15%. Pune-o la încărcare."},
    BatteryCase{"FractionBelowTruncates", 14.9, false, "Baterie sub 15%", "Mai ai 14%. Pune-o la încărcare."},
    BatteryCase{"JustAbove", 15.01, false, nullptr, nullptr},
    BatteryCase{"Charging", 10, true, nullptr, nullptr},
    BatteryCase{"Empty", 0, false, nullptr, nullptr}),
    [](const auto &info) { return std::string(info.param.name); });

// A tablet's charger or a USB-C port that can't charge the machine (scope Device) is online
// while the battery drains to 10 %: the machine is on battery, so the alert comes.
TEST_F(ThresholdTest, DeviceChargerDoesNotSilenceTheLowBatteryAlert)
{
    QTemporaryDir tree;
    std::filesystem::copy(CORVANE_FIXTURES "/power_supply/device-charger", tree.path().toStdString(),
                          std::filesystem::copy_options::recursive);
    QFile capacity(tree.filePath(QStringLiteral("class/power_supply/BAT0/capacity")));
    ASSERT_TRUE(capacity.open(QIODevice::WriteOnly | QIODevice::Truncate) && capacity.write("10\n") == 3);
    capacity.close();
    BatteryMonitor machine(makeLinuxPowerSources(tree.path()), clock, false);
    notifier.bind(nullptr, &machine, nullptr);
    machine.publish(machine.sampler().sample());
    QCoreApplication::processEvents();
    ASSERT_EQ(notes.posted.size(), 1);
    EXPECT_EQ(notes.posted[0].first, QStringLiteral("Baterie sub 15%"));
    EXPECT_EQ(notes.posted[0].second, QStringLiteral("Mai ai 10%. Pune-o la încărcare."));
}

TEST_F(ThresholdTest, UnreadableChargeNeverAlerts)
{
    notifier.evaluateBattery(std::numeric_limits<double>::quiet_NaN(), false);
    EXPECT_TRUE(notes.posted.isEmpty());
}

TEST_F(ThresholdTest, UnpluggingAloneDoesNotAlertButTheNextChargeChangeDoes)
{
    bindAll();
    batteryRefresh(10, true);
    batteryRefresh(10, false);
    EXPECT_TRUE(notes.posted.isEmpty());
    batteryRefresh(9, false);
    EXPECT_EQ(titles(), QStringList{"Baterie sub 15%"});
}

TEST_F(ThresholdTest, PluggingInDuringTheSameRefreshSuppressesTheAlert)
{
    batteryRefresh(20, false);
    bindAll();
    batteryRefresh(12, true);
    EXPECT_TRUE(notes.posted.isEmpty());
}

TEST_F(ThresholdTest, SustainedClockRestartsAfterASampleBelowThreshold)
{
    bindAll(); // 0 % at bind
    system.cpu(0.85);
    clock.advance(59);
    system.cpu(0.851);
    system.cpu(0.84);
    system.cpu(0.85);
    clock.advance(59);
    system.cpu(0.86);
    EXPECT_TRUE(notes.posted.isEmpty());
    clock.advance(1);
    system.cpu(0.86);
    ASSERT_EQ(notes.posted.size(), 1);
    EXPECT_EQ(notes.posted[0].first, QStringLiteral("CPU sustinut peste 85%"));
    EXPECT_EQ(notes.posted[0].second, QString::fromUtf8("Folosirea CPU stă peste prag de 60 secunde — verifică Procese."));
}

TEST_F(ThresholdTest, ConstantFullLoadAlertsAfterSustainedTimeThenPerCooldown)
{
    system.cpu(1.0);
    bindAll();
    int fired = 0;
    QList<int> at;
    for (int s = 1; s <= 600; ++s) {
        clock.advance(1);
        system.cpu(1.0); // the same value every second
        if (notes.posted.size() > fired) {
            fired = notes.posted.size();
            at << s;
        }
    }
    EXPECT_EQ(at, (QList<int>{60, 360}));
}

TEST_F(ThresholdTest, SwitchingCpuRuleOffKeepsTheClock)
{
    bindAll();
    system.cpu(0.9);
    notifier.setNotifyCPU(false);
    clock.advance(120);
    system.cpu(0.1); // ignored while off
    notifier.setNotifyCPU(true);
    system.cpu(0.95);
    EXPECT_EQ(notes.posted.size(), 1);
}

TEST_F(ThresholdTest, TemperatureRulesFireAtThresholdWithCooldown)
{
    bindAll();
    smc.cpuTemp(94.9);
    smc.cpuTemp(95.0);
    battery.refresh(0, false, 100, 95, 50.04);
    ASSERT_EQ(notes.posted.size(), 2);
    EXPECT_EQ(notes.posted[0].first, QString::fromUtf8("CPU la 95°C"));
    EXPECT_EQ(notes.posted[0].second,
              QString::fromUtf8("Temperatura CPU a depășit 95°C — verifică Procese sau crește turația ventilatoarelor."));
    EXPECT_EQ(notes.posted[1].first, QString::fromUtf8("Temperatura 50.0°C"));
    EXPECT_EQ(notes.posted[1].second, QString::fromUtf8("Bateria s-a încălzit peste 50°C. Posibil thermal throttle."));

    clock.advance(299);
    smc.cpuTemp(97);
    EXPECT_EQ(notes.posted.size(), 2);
    clock.advance(1);
    smc.cpuTemp(97); // equal to the previous value: dropped
    EXPECT_EQ(notes.posted.size(), 2);
    smc.cpuTemp(98.6);
    EXPECT_EQ(notes.posted.size(), 3);
    EXPECT_EQ(notes.posted[2].first, QString::fromUtf8("CPU la 99°C"));
}

TEST_F(ThresholdTest, RulesRunAtBindWithCurrentValues)
{
    smc.cpuTemp(100);
    battery.refresh(5, false, 1, 90, 55);
    bindAll();
    EXPECT_EQ(titles(), (QStringList{"Baterie sub 15%", QString::fromUtf8("Temperatura 55.0°C"),
                                     QString::fromUtf8("CPU la 100°C")}));
}

TEST_F(ThresholdTest, UnusableStoredThresholdsFallBackToDefaults)
{
    QSettings s;
    s.setValue("thr.cpuTempC", "nan");
    s.setValue("thr.tempC", 1e300);
    s.setValue("thr.batteryPct", "ten");
    s.setValue("thr.cpuPct", 50);
    EXPECT_EQ(notifier.cpuTempThresholdC(), 95);
    EXPECT_EQ(notifier.tempThresholdC(), 50);
    EXPECT_EQ(notifier.batteryThresholdPct(), 15);
    EXPECT_EQ(notifier.cpuThresholdPct(), 50);
    bindAll();
    smc.cpuTemp(95);
    EXPECT_EQ(titles(), QStringList{QString::fromUtf8("CPU la 95°C")});
}

} // namespace
