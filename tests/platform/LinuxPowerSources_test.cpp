#include "platform/PowerSources.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <utility>
#include <vector>

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
        QDir().mkpath(QFileInfo(f).path());
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
    EXPECT_EQ(a->description, QStringLiteral("USB-C PD"));
    EXPECT_FALSE(a->familyCode);
}

// A USB-C laptop: the ACPI "AC" supply and the UCSI port are online together.
struct AdapterCase {
    const char *name;
    std::vector<std::pair<const char *, const char *>> writes;
    std::vector<const char *> removes;
    const char *kind;
    int64_t watts;      // rating; 0 = none
    int64_t milliVolts; // present readings; 0 = none
    int64_t milliAmps;
};

void PrintTo(const AdapterCase &c, std::ostream *os) { *os << c.name; }

class OnlineAdapters : public ::testing::TestWithParam<AdapterCase> {};

TEST_P(OnlineAdapters, ThePortThatReportsPowerWins)
{
    const auto &c = GetParam();
    Tree t;
    t.write("AC/online", "1");
    t.write("ucsi-source-psy-USBC000:001/online", "1");
    for (const auto &[file, text] : c.writes)
        t.write(QString::fromLatin1(file), text);
    for (const char *file : c.removes)
        t.remove(QString::fromLatin1(file));
    const auto a = t.source()->adapterDetails();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->name ? *a->name : *a->description, QString::fromUtf8(c.kind));
    EXPECT_EQ(a->watts.value_or(0), c.watts);
    EXPECT_EQ(a->voltage.value_or(0), c.milliVolts);
    EXPECT_EQ(a->current.value_or(0), c.milliAmps);
    EXPECT_NE(a->voltage, 0); // a figure no file gives is none, never 0
    EXPECT_NE(a->current, 0);
}

INSTANTIATE_TEST_SUITE_P(
    UsbCLaptop, OnlineAdapters,
    ::testing::Values(
        // The port's fixture: 20 V and 2.1 A now, 20 V and 3.25 A at most.
        AdapterCase{"PdChargerOverMains", {}, {}, "USB-C PD", 65, 20000, 2100},
        AdapterCase{"ModelNameWhenGiven", {{"ucsi-source-psy-USBC000:001/model_name", "HP 65W USB-C"}}, {},
                    "HP 65W USB-C", 65, 20000, 2100},
        AdapterCase{"PlainTypeCCharger", {{"ucsi-source-psy-USBC000:001/usb_type", "[C] PD PD_PPS"},
                                          {"ucsi-source-psy-USBC000:001/voltage_now", "5000000"},
                                          {"ucsi-source-psy-USBC000:001/current_now", "3000000"}},
                    {"ucsi-source-psy-USBC000:001/voltage_max", "ucsi-source-psy-USBC000:001/current_max"},
                    "USB-C", 0, 5000, 3000},
        // A rating is not a reading: the maxima give the watts, never the present figures.
        AdapterCase{"OnlyRatingsStillBeatMains", {},
                    {"ucsi-source-psy-USBC000:001/voltage_now", "ucsi-source-psy-USBC000:001/current_now"},
                    "USB-C PD", 65, 0, 0},
        AdapterCase{"VoltageWithoutPresentCurrent", {}, {"ucsi-source-psy-USBC000:001/current_now"}, "USB-C PD", 65,
                    20000, 0},
        AdapterCase{"PortWithoutFiguresLeavesMains", {},
                    {"ucsi-source-psy-USBC000:001/voltage_now", "ucsi-source-psy-USBC000:001/current_now",
                     "ucsi-source-psy-USBC000:001/voltage_max", "ucsi-source-psy-USBC000:001/current_max"},
                    "Mains", 0, 0, 0},
        // A port that can't charge the machine is the device's, however much it reports.
        AdapterCase{"DeviceScopedPortIsNotTheMachines", {{"ucsi-source-psy-USBC000:001/scope", "Device"}}, {},
                    "Mains", 0, 0, 0}),
    [](const ::testing::TestParamInfo<AdapterCase> &i) { return std::string(i.param.name); });

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

// A tablet's or a phone's charger (scope "Device") online beside a discharging battery: the
// machine is on battery, and that charger is no adapter of its own.
TEST(LinuxPowerSources, DeviceScopedChargerIsNotExternalPower)
{
    for (const bool acListed : {true, false}) {
        Tree t;
        if (!acListed)
            QDir(t.dir.path() + "/class/power_supply/AC").removeRecursively();
        t.write("ucsi-source-psy-USBC000:001/scope", "Device");
        t.write("ucsi-source-psy-USBC000:001/online", "1");
        t.write("wacom_ac/type", "Mains"); // older kernels' tablets
        t.write("wacom_ac/scope", "Device");
        t.write("wacom_ac/online", "1");
        auto src = t.source();
        EXPECT_EQ(src->powerSources()->front().powerSourceState, QStringLiteral("Battery Power")) << acListed;
        EXPECT_FALSE(src->adapterDetails()) << acListed;
    }
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
