#include "platform/PowerSources.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

using namespace corvane;

namespace {

const QString kLaptop = QStringLiteral(CORVANE_FIXTURES "/power_supply/laptop");

// A writable copy of the laptop tree, so a case can change a few files.
struct Tree {
    QTemporaryDir dir;
    Tree()
    {
        QDirIterator it(kLaptop, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString src = it.next();
            const QString dst = dir.path() + src.mid(kLaptop.size());
            QDir().mkpath(QFileInfo(dst).path());
            QFile::copy(src, dst);
        }
    }
    void write(const QString &rel, const QByteArray &text)
    {
        QFile f(dir.path() + "/class/power_supply/" + rel);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text + "\n");
    }
    void remove(const QString &rel) { QFile::remove(dir.path() + "/class/power_supply/" + rel); }
    std::unique_ptr<PowerSources> source() const { return makeLinuxPowerSources(dir.path()); }
};

} // namespace

TEST(LinuxPowerSources, ChargingFromUsbPd)
{
    Tree t;
    t.write("BAT0/status", "Charging");
    t.write("BAT0/current_now", "-1500000"); // this driver signs the other way
    t.write("ucsi-source-psy-USBC000:001/online", "1");
    auto src = t.source();
    const auto list = src->powerSources();
    ASSERT_TRUE(list && list->size() == 1);
    EXPECT_EQ(list->front().powerSourceState, QStringLiteral("AC Power"));
    EXPECT_EQ(list->front().timeToEmpty, 0);
    EXPECT_EQ(src->smartBattery()->amperage, 1500);

    const auto a = src->adapterDetails();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->watts, 65);
    EXPECT_EQ(a->voltage, 20000);
    EXPECT_EQ(a->current, 2100);
    EXPECT_FALSE(a->name);
    EXPECT_EQ(a->description, QStringLiteral("USB"));
    EXPECT_FALSE(a->familyCode);
}

TEST(LinuxPowerSources, SignOfCurrentFollowsTheStatus)
{
    struct Row {
        const char *status;
        const char *microAmps;
        int64_t milliAmps;
    };
    const Row rows[] = {
        {"Discharging", "800000", -800}, {"Discharging", "-800000", -800}, {"Charging", "1200000", 1200},
        {"Charging", "-1200000", 1200},  {"Full", "0", 0},                 {"Not charging", "-3000", -3},
        {"Unknown", "4000", 4},
    };
    for (const auto &r : rows) {
        Tree t;
        t.write("BAT0/status", r.status);
        t.write("BAT0/current_now", r.microAmps);
        EXPECT_EQ(t.source()->smartBattery()->amperage, r.milliAmps) << r.status << " " << r.microAmps;
    }
}

TEST(LinuxPowerSources, ChargeGaugeAndPowerOnlyGauge)
{
    Tree t;
    for (const char *f : {"energy_full_design", "energy_full", "energy_now", "current_now", "capacity"})
        t.remove(QStringLiteral("BAT0/") + f);
    t.write("BAT0/charge_full_design", "5000000");
    t.write("BAT0/charge_full", "5200000");
    t.write("BAT0/charge_now", "2600000");
    auto src = t.source();
    const auto b = src->smartBattery();
    EXPECT_EQ(b->designCapacity, 5000);
    EXPECT_EQ(b->fullChargeCapacity, 5200);
    // No current figure: power over voltage, 9.48 W at 11.85 V.
    EXPECT_EQ(b->amperage, -800);
    const auto d = src->powerSources()->front();
    EXPECT_EQ(d.currentCapacity, 2600000);
    EXPECT_EQ(d.maxCapacity, 5200000);
    EXPECT_EQ(d.timeToEmpty, -1); // no current to estimate from
}

TEST(LinuxPowerSources, NoAdapterListedUsesTheBatteryStatus)
{
    Tree t;
    QDir(t.dir.path() + "/class/power_supply/AC").removeRecursively();
    QDir(t.dir.path() + "/class/power_supply/ucsi-source-psy-USBC000:001").removeRecursively();
    EXPECT_EQ(t.source()->powerSources()->front().powerSourceState, QStringLiteral("Battery Power"));
    t.write("BAT0/status", "Full");
    EXPECT_EQ(t.source()->powerSources()->front().powerSourceState, QStringLiteral("AC Power"));
    t.write("BAT0/status", "Unknown");
    EXPECT_FALSE(t.source()->powerSources()->front().powerSourceState);
}

TEST(LinuxPowerSources, MachineWithoutPowerSupplies)
{
    QTemporaryDir empty;
    QDir().mkpath(empty.path() + "/class/power_supply");
    auto src = makeLinuxPowerSources(empty.path());
    ASSERT_TRUE(src->powerSources());
    EXPECT_TRUE(src->powerSources()->isEmpty());
    EXPECT_FALSE(src->smartBattery());
    EXPECT_FALSE(src->adapterDetails());
    EXPECT_FALSE(makeLinuxPowerSources(empty.path() + "/nothing")->powerSources());
}
