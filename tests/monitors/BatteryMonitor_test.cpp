#include "monitors/BatteryMonitor.h"
#include "fakes/FakeClock.h"
#include "fakes/FakePowerSources.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <limits>

using namespace corvane;
using corvane::test::FakeClock;
using corvane::test::FakePowerSources;

namespace {

// A figure as a number; NaN (never equal to anything) when the monitor has none.
double of(std::optional<double> v) { return v.value_or(std::numeric_limits<double>::quiet_NaN()); }

PowerSourceDescription source(int64_t cur, int64_t max, const char *state, std::optional<int64_t> tte = {})
{
    PowerSourceDescription d;
    d.currentCapacity = cur;
    d.maxCapacity = max;
    d.powerSourceState = QString::fromLatin1(state);
    d.timeToEmpty = tte;
    return d;
}

struct Rig {
    FakeClock clock;
    FakePowerSources *src = new FakePowerSources;
    BatteryMonitor mon{std::unique_ptr<PowerSources>(src), clock, false};
    void refresh() { mon.publish(mon.sampler().sample()); }
};

} // namespace

TEST(BatteryMonitor, NoBatteryKeepsTheInitialValues)
{
    Rig r;
    r.src->sources = QList<PowerSourceDescription>{};
    r.refresh();
    // Nothing was measured: no figure at all, not a resting 0 % or 100 % health.
    EXPECT_FALSE(r.mon.percentage());
    EXPECT_FALSE(r.mon.isCharging());
    EXPECT_FALSE(r.mon.healthPercentage());
    EXPECT_FALSE(r.mon.cycleCount());
    EXPECT_EQ(r.mon.timeRemainingMinutes(), -1);
    EXPECT_FALSE(r.mon.adapterName());
    EXPECT_FALSE(r.mon.chargingPowerW());
    EXPECT_FALSE(r.mon.adapterNameVariant().isValid());
    EXPECT_TRUE(r.mon.percentageVariant().isNull());
    EXPECT_FALSE(r.mon.hasBattery());
}

TEST(BatteryMonitor, PowerSourceFields)
{
    Rig r;
    r.src->sources = QList{source(40, 80, "Battery Power", -1)};
    r.refresh();
    EXPECT_DOUBLE_EQ(of(r.mon.percentage()), 50.0);
    EXPECT_EQ(r.mon.timeRemainingMinutes(), -1);
    // A zero maximum leaves the charge as it was; later sources overwrite earlier ones.
    r.src->sources = QList{source(10, 0, "Battery Power", 120), source(30, 100, "AC Power", 0)};
    r.refresh();
    EXPECT_DOUBLE_EQ(of(r.mon.percentage()), 30.0);
    EXPECT_TRUE(r.mon.isCharging());
    EXPECT_EQ(r.mon.timeRemainingMinutes(), 0);
    r.src->sources = QList{source(10, 0, "Battery Power")};
    r.refresh();
    EXPECT_DOUBLE_EQ(of(r.mon.percentage()), 30.0);
    EXPECT_EQ(r.mon.timeRemainingMinutes(), 0);
}

TEST(BatteryMonitor, GaugeUnitsAndHealth)
{
    Rig r;
    SmartBatteryReading b;
    b.cycleCount = 312;
    b.designCapacity = 5000;
    b.fullChargeCapacity = 5200;
    b.temperature = 3012;
    b.voltage = 12650;
    b.amperage = -1500;
    r.src->battery = b;
    r.refresh();
    EXPECT_EQ(r.mon.cycleCount(), 312);
    EXPECT_DOUBLE_EQ(of(r.mon.healthPercentage()), 104.0); // not clamped
    EXPECT_DOUBLE_EQ(of(r.mon.temperatureCelsius()), 30.12);
    EXPECT_DOUBLE_EQ(of(r.mon.voltage()), 12.65);
    EXPECT_DOUBLE_EQ(of(r.mon.amperage()), -1.5);

    // A missing design figure keeps the published one, and health uses it.
    b.designCapacity.reset();
    b.fullChargeCapacity = 4000;
    r.src->battery = b;
    r.refresh();
    EXPECT_DOUBLE_EQ(of(r.mon.healthPercentage()), 80.0);
    b.fullChargeCapacity = 0;
    r.src->battery = b;
    r.refresh();
    EXPECT_DOUBLE_EQ(of(r.mon.healthPercentage()), 80.0);
}

TEST(BatteryMonitor, AdapterWhilePluggedInAndAfterUnplugging)
{
    Rig r;
    SmartBatteryReading b;
    b.voltage = 12000;
    b.amperage = 2000;
    r.src->battery = b;
    AdapterDetails a;
    a.watts = 96;
    a.name = QStringLiteral("96W USB-C Power Adapter");
    a.familyCode = QStringLiteral("-536854518");
    a.manufacturer = QStringLiteral("Apple Inc.");
    a.voltage = 20000;
    a.current = 4700;
    r.src->adapter = a;
    r.src->sources = QList{source(50, 100, "AC Power")};
    r.refresh();
    EXPECT_EQ(r.mon.adapterName(), QStringLiteral("96W USB-C Power Adapter"));
    EXPECT_EQ(r.mon.adapterFamily(), QStringLiteral("-536854518")); // family code wins over manufacturer
    EXPECT_EQ(r.mon.adapterMaxWatts(), 96);
    EXPECT_DOUBLE_EQ(of(r.mon.adapterVoltageV()), 20.0);
    EXPECT_DOUBLE_EQ(of(r.mon.adapterCurrentA()), 4.7);
    EXPECT_DOUBLE_EQ(of(r.mon.adapterDeliveringWatts()), 94.0);
    EXPECT_DOUBLE_EQ(of(r.mon.chargingPowerW()), 24.0);

    // Name falls back to the description, family to the manufacturer.
    a.name.reset();
    a.familyCode.reset();
    a.description = QStringLiteral("Mains");
    r.src->adapter = a;
    // On external power but the battery still discharges: no negative charging power.
    b.amperage = -500;
    r.src->battery = b;
    r.refresh();
    EXPECT_EQ(r.mon.adapterName(), QStringLiteral("Mains"));
    EXPECT_EQ(r.mon.adapterFamily(), QStringLiteral("Apple Inc."));
    EXPECT_EQ(r.mon.chargingPowerW(), 0.0);

    // Adapter details vanish while still on AC: the adapter fields stay.
    r.src->adapter.reset();
    r.refresh();
    EXPECT_EQ(r.mon.adapterMaxWatts(), 96);

    r.src->sources = QList{source(50, 100, "Battery Power")};
    r.refresh();
    EXPECT_FALSE(r.mon.adapterName());
    EXPECT_FALSE(r.mon.adapterFamily());
    EXPECT_EQ(r.mon.adapterMaxWatts(), 0);
    EXPECT_FALSE(r.mon.adapterVoltageV());
    EXPECT_FALSE(r.mon.adapterCurrentA());
    EXPECT_FALSE(r.mon.adapterDeliveringWatts());
    EXPECT_FALSE(r.mon.chargingPowerW());
}

TEST(BatteryMonitor, LaptopFixtureOffTheGuiThread)
{
    auto src = makeLinuxPowerSources(QStringLiteral(CORVANE_FIXTURES "/power_supply/laptop"));
    BatteryMonitor mon(std::move(src), Clock::system(), true);
    QSignalSpy spy(&mon, &BatteryMonitor::updated);
    ASSERT_TRUE(spy.wait(1000)); // the first refresh comes at once
    EXPECT_EQ(mon.scheduler()->label(), QStringLiteral("corvane.battery"));
    EXPECT_DOUBLE_EQ(of(mon.percentage()), 76.0);
    EXPECT_FALSE(mon.isCharging());
    EXPECT_EQ(mon.cycleCount(), 312);
    EXPECT_DOUBLE_EQ(of(mon.healthPercentage()), 90.0);
    EXPECT_DOUBLE_EQ(of(mon.temperatureCelsius()), 30.1);
    EXPECT_DOUBLE_EQ(of(mon.voltage()), 11.85);
    EXPECT_DOUBLE_EQ(of(mon.amperage()), -0.8);
    EXPECT_EQ(mon.timeRemainingMinutes(), 247);
    EXPECT_FALSE(mon.adapterName());
    EXPECT_FALSE(mon.chargingPowerW()); // on battery
}
