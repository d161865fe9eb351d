// A laptop with two internal batteries: the backend reports one set, and what the monitor
// publishes is what the low-battery notification says.
#include "fakes/FakeClock.h"
#include "fakes/FakeNotifications.h"
#include "fakes/FakeSamplingSources.h"
#include "monitors/BatteryMonitor.h"
#include "monitors/SystemMonitor.h"
#include "notify/IsolatedSettings.h"
#include "notify/ThresholdNotifier.h"
#include "platform/PowerSources.h"
#include "report/ReportContent.h"
#include "report/SystemReportPage.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace corvane;
using namespace corvane::test;

namespace {

const QString kLaptop = QStringLiteral(CORVANE_FIXTURES "/power_supply/laptop");
using Files = std::map<QString, QByteArray>;

// The laptop fixture (BAT0, a mouse battery, AC and a USB-C port, both offline) with BAT0's
// files replaced and a second battery BAT1 added.
struct TwoBatteryTree {
    QTemporaryDir dir;
    TwoBatteryTree(const Files &bat0, const Files &bat1)
    {
        QDirIterator it(kLaptop, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString src = it.next();
            const QString dst = dir.path() + src.mid(kLaptop.size());
            QDir().mkpath(QFileInfo(dst).path());
            QFile::copy(src, dst);
        }
        write("BAT0", bat0);
        write("BAT1", bat1);
    }
    void write(const QString &bat, const Files &files)
    {
        const QString base = dir.path() + "/class/power_supply/" + bat + "/";
        QDir().mkpath(base);
        for (const auto &[name, text] : files) {
            if (text.isNull()) {
                QFile::remove(base + name);
                continue;
            }
            QFile f(base + name);
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write(text + "\n");
        }
    }
    std::unique_ptr<PowerSources> source() const { return makeLinuxPowerSources(dir.path()); }
};

// BAT0 at 10 % of 50 Wh, discharging; BAT1 at 80 % of 20 Wh, idle.
Files bat0AtTen()
{
    return {{"capacity", "10"}, {"energy_now", "5000000"}, {"energy_full", "50000000"},
            {"energy_full_design", "57000000"}, {"status", "Discharging"}};
}
Files bat1AtEighty()
{
    return {{"type", "Battery"},          {"scope", "System"},          {"present", "1"},
            {"status", "Not charging"},   {"capacity", "80"},           {"energy_now", "16000000"},
            {"energy_full", "20000000"},  {"energy_full_design", "24000000"}, {"voltage_min_design", "11400000"},
            {"voltage_now", "12100000"},  {"current_now", "0"},         {"power_now", "0"},
            {"cycle_count", "50"},        {"temp", "355"}};
}

} // namespace

TEST(TwoBatteries, BackendReportsTheWholeSet)
{
    TwoBatteryTree t(bat0AtTen(), bat1AtEighty());
    auto src = t.source();
    const auto list = src->powerSources();
    ASSERT_TRUE(list && list->size() == 1);
    const PowerSourceDescription &d = list->front();
    // (5 + 16) Wh of (50 + 20) Wh: 30 %, not either battery's own figure.
    EXPECT_EQ(d.currentCapacity, 21000000);
    EXPECT_EQ(d.maxCapacity, 70000000);
    EXPECT_EQ(d.powerSourceState, QStringLiteral("Battery Power"));
    EXPECT_EQ(d.timeToEmpty, 133); // 21 Wh at 9.48 W

    const auto b = src->smartBattery();
    ASSERT_TRUE(b);
    EXPECT_EQ(b->designCapacity, 5000 + 2105); // mAh at each design voltage
    EXPECT_EQ(b->fullChargeCapacity, 4386 + 1754);
    EXPECT_EQ(b->cycleCount, 312);
    EXPECT_EQ(b->temperature, 3550);
    EXPECT_EQ(b->amperage, -800);
    EXPECT_EQ(b->voltage, 11850); // the battery the current flows through
}

struct AggregateCase {
    const char *name;
    Files bat0;
    Files bat1;
    std::optional<double> percentage; // Σ now ÷ Σ full × 100
};

void PrintTo(const AggregateCase &c, std::ostream *os)
{
    *os << c.name;
}

class TwoBatteryCharge : public ::testing::TestWithParam<AggregateCase> {};

TEST_P(TwoBatteryCharge, IsTheSetsChargeOverItsFullCapacity)
{
    const auto &c = GetParam();
    TwoBatteryTree t(c.bat0, c.bat1);
    const auto list = t.source()->powerSources();
    ASSERT_TRUE(list && list->size() == 1);
    const auto &d = list->front();
    if (!c.percentage) {
        EXPECT_FALSE(d.currentCapacity);
        return;
    }
    ASSERT_TRUE(d.currentCapacity && d.maxCapacity);
    EXPECT_NEAR(100.0 * double(*d.currentCapacity) / double(*d.maxCapacity), *c.percentage, 0.01);
}

static Files with(Files f, const Files &changes)
{
    for (const auto &[k, v] : changes)
        f[k] = v;
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Gauges, TwoBatteryCharge,
    ::testing::Values(
        AggregateCase{"BothInEnergy", bat0AtTen(), bat1AtEighty(), 30.0},
        // 1000 of 4000 mAh and 3000 of 4000 mAh.
        AggregateCase{"BothInCharge",
                      with(bat0AtTen(), {{"energy_now", {}}, {"energy_full", {}}, {"energy_full_design", {}},
                                         {"charge_now", "1000000"}, {"charge_full", "4000000"}}),
                      with(bat1AtEighty(), {{"energy_now", {}}, {"energy_full", {}}, {"energy_full_design", {}},
                                            {"charge_now", "3000000"}, {"charge_full", "4000000"}}),
                      50.0},
        // BAT1 in charge at 10 V design: 1.6 of 2 Ah is 16 of 20 Wh.
        AggregateCase{"EnergyBesideCharge", bat0AtTen(),
                      with(bat1AtEighty(), {{"energy_now", {}}, {"energy_full", {}}, {"voltage_min_design", "10000000"},
                                            {"charge_now", "1600000"}, {"charge_full", "2000000"}}),
                      30.0},
        // Only percentages: nothing to weigh them by.
        AggregateCase{"OnlyPercentages", with(bat0AtTen(), {{"energy_now", {}}, {"energy_full", {}}}),
                      with(bat1AtEighty(), {{"energy_now", {}}, {"energy_full", {}}}), 45.0},
        // An empty bay counts for nothing: BAT0's own 10 %.
        AggregateCase{"EmptySecondBay", bat0AtTen(), with(bat1AtEighty(), {{"present", "0"}}), 10.0},
        // A device's battery never joins the set.
        AggregateCase{"DeviceBatteryLeftOut", bat0AtTen(), with(bat1AtEighty(), {{"scope", "Device"}}), 10.0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TwoBatteries, ScreenFigureAndLowBatteryNotificationAgree)
{
    useIsolatedSettings();
    QSettings().setValue("thr.batteryPct", 35);
    TwoBatteryTree t(bat0AtTen(), bat1AtEighty());
    FakeClock clock;
    BatteryMonitor battery(t.source(), clock, false);
    SystemMonitor system(std::make_unique<FakeHostStats>(), clock, false);
    FakeNotifications notes;
    ThresholdNotifier notifier(&notes, clock);
    notifier.bind(&system, &battery, nullptr);

    battery.publish(battery.sampler().sample());
    QCoreApplication::processEvents();

    EXPECT_EQ(battery.percentage(), 30.0);
    EXPECT_FALSE(battery.isCharging());
    EXPECT_NEAR(battery.healthPercentage().value_or(0), 100.0 * 6140 / 7105, 1e-9);
    ASSERT_EQ(notes.posted.size(), 1);
    EXPECT_EQ(notes.posted.front().second, QStringLiteral("Mai ai 30%. Pune-o la încărcare."));
    QSettings().clear();
}

// Readings a driver gets wrong, outside what the quantity can be: absent, as a missing file
// would be. The report's battery rows say what the screens show, and no alert fires.
struct HostileCase {
    const char *name;
    Files bat0;
    Files bat1; // empty: no second battery
    const char *procent, *cicluri, *temperatura, *voltaj;
};

void PrintTo(const HostileCase &c, std::ostream *os)
{
    *os << c.name;
}

class HostileBatteryReading : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileBatteryReading, IsAbsentOnScreenInSumsAndAlerts)
{
    const HostileCase &c = GetParam();
    useIsolatedSettings();
    QSettings().setValue("thr.batteryPct", 35);
    TwoBatteryTree t(c.bat0, c.bat1);
    FakeClock clock;
    BatteryMonitor battery(t.source(), clock, false);
    FakeNotifications notes;
    ThresholdNotifier notifier(&notes, clock);
    notifier.bind(nullptr, &battery, nullptr);
    battery.publish(battery.sampler().sample());
    QCoreApplication::processEvents();

    ReportSources sources;
    sources.battery = &battery;
    const ReportSnapshot snap = ReportSnapshot::capture(sources, *makeLinuxMachineInfo(QStringLiteral("/nonexistent")));
    QStringList rows;
    for (const ReportRow &r : report::batterySection(snap).rows)
        rows << r.label + QLatin1Char(' ') + r.value;
    const QStringList expected{QStringLiteral("Procent ") + QString::fromUtf8(c.procent),
                               QStringLiteral("Cicluri ") + QString::fromUtf8(c.cicluri),
                               QStringLiteral("Temperatură ") + QString::fromUtf8(c.temperatura),
                               QStringLiteral("Voltaj ") + QString::fromUtf8(c.voltaj)};
    for (const QString &want : expected)
        EXPECT_TRUE(rows.contains(want)) << want.toStdString() << " not in " << rows.join(" | ").toStdString();
    EXPECT_TRUE(notes.posted.empty()) << notes.posted.front().first.toStdString();
    QSettings().clear();
}

INSTANTIATE_TEST_SUITE_P(
    DriverFaults, HostileBatteryReading,
    ::testing::Values(
        // The laptop's BAT0 (312 cycles, 30.1 °C, 11.85 V) with one file gone wrong.
        HostileCase{"CapacityOf250", {{"capacity", "250"}, {"energy_now", {}}, {"energy_full", {}}}, {},
                    "—", "312", "30.1°C", "11.85 V"},
        HostileCase{"TemperatureOf99999Tenths", {{"temp", "99999"}}, {}, "76%", "312", "—", "11.85 V"},
        HostileCase{"CycleCountOfMinusOne", {{"cycle_count", "-1"}}, {}, "76%", "—", "30.1°C", "11.85 V"},
        HostileCase{"NegativeVoltage", {{"voltage_now", "-12000000"}}, {}, "76%", "312", "30.1°C", "—"},
        // Two batteries with only percentages, both impossible: no mean of them.
        HostileCase{"TwoBatteriesAtMinus5And250",
                    {{"capacity", "-5"}, {"energy_now", {}}, {"energy_full", {}}},
                    with(bat1AtEighty(), {{"capacity", "250"}, {"energy_now", {}}, {"energy_full", {}}}), "—",
                    "312", "35.5°C", "11.85 V"},
        // The set's temperature is the other battery's, not the impossible one.
        HostileCase{"ImpossibleTemperatureBesideASaneOne", {{"temp", "99999"}}, bat1AtEighty(), "77%", "312",
                    "35.5°C", "11.85 V"}),
    [](const auto &info) { return std::string(info.param.name); });

// Power-supply trees as drivers write them: the report's battery rows hold what the files
// give, and "—" for what none of them does.
TEST(TwoBatteries, ReportRowsHoldOnlyWhatTheDriverTreesGive)
{
    const std::pair<const char *, QStringList> trees[] = {
        // The ACPI adapter says only that it is online: no power on the cable, no rating.
        {"acpi-mains", {"Procent 60%", "Adapter Mains", "Pe cablu —", "Adapter rated —", "Sănătate 90%"}},
        // 50 of 50 Wh beside 24.5 of 23.2 Wh: full, not 102 %.
        {"two-batteries", {"Procent 100%", "Capacitate max 6476 mAh"}},
        // BAT1 reports 250 %: BAT0's 30 of 50 Wh still count.
        {"sound-and-impossible", {"Procent 60%", "Sănătate 88%", "Capacitate max 4386 mAh", "Capacitate design 5000 mAh"}},
        // 50 of 60 Wh and no design voltage: health, but no mAh figure.
        {"energy-only", {"Procent 70%", "Sănătate 83%", "Capacitate max —", "Capacitate design —"}},
        {"capacity-only", {"Procent 64%", "Sănătate —", "Capacitate max —", "Capacitate design —"}},
        // The online USB-C port has scope Device: it charges something else; AC is offline.
        {"device-charger", {"Procent 55%", "Stare Pe baterie"}},
        // The port gives 20 V now and 20 V × 3.25 A at most, but no present current.
        {"usbc-no-current", {"Stare În încărcare", "Adapter USB-C PD", "Pe cablu —", "Adapter rated 65 W"}},
        {"capacity-58", {"Procent 58%"}},
        // A zero full charge takes the design figure: 57 Wh at 11.4 V, and 5 Ah. No cycle
        // count is 0 cycles from a driver that doesn't count them.
        {"zero-full-energy", {"Sănătate 100%", "Capacitate max 5000 mAh", "Capacitate design 5000 mAh", "Cicluri —"}},
        {"zero-full-charge", {"Sănătate 100%", "Capacitate max 5000 mAh", "Cicluri 312"}}};
    for (const auto &[tree, expected] : trees) {
        FakeClock clock;
        BatteryMonitor battery(makeLinuxPowerSources(CORVANE_FIXTURES "/power_supply/" + QLatin1String(tree)), clock, false);
        battery.publish(battery.sampler().sample());
        ReportSources sources;
        sources.battery = &battery;
        const ReportSnapshot snap = ReportSnapshot::capture(sources, *makeLinuxMachineInfo("/nonexistent"));
        QStringList rows;
        for (const ReportRow &r : report::batterySection(snap).rows)
            rows << r.label + QLatin1Char(' ') + r.value;
        for (const QString &want : expected)
            EXPECT_TRUE(rows.contains(want)) << tree << ": " << want.toStdString() << " not in " << rows.join(" | ").toStdString();
        // Pages to look at: CORVANE_SHOTS=<folder> writes them.
        if (const QString dir = qEnvironmentVariable("CORVANE_SHOTS"); !dir.isEmpty())
            SystemReportPage::writeReport(dir + "/report-" + tree + ".pdf", ReportDocument::build(snap, QDateTime::currentDateTime()));
    }
}
