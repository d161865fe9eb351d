#include "fakes/FakeClock.h"
#include "fakes/FakeSmcTransport.h"
#include "monitors/SMCMonitor.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTemporaryDir>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include "support/ParamNames.h"
#include "support/SysfsView.h"
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

using namespace corvane;
using corvane::test::FakeClock;
using corvane::test::FakeSmcTransport;

namespace {

struct Rig {
    FakeClock clock;
    FakeSmcTransport *smc;
    std::unique_ptr<SMCMonitor> mon;
    Rig()
    {
        auto t = std::make_unique<FakeSmcTransport>();
        smc = t.get();
        mon = std::make_unique<SMCMonitor>(std::move(t), clock, false);
    }
    SMCMonitor::Snapshot run()
    {
        auto s = mon->sampler().sample();
        mon->publish(s);
        return s;
    }
};

QStringList keysOf(const QList<SMCTemperatureReading> &l)
{
    QStringList out;
    for (const auto &r : l)
        out << r.key;
    return out;
}

} // namespace

// --- value decoding, through the transport's read path ---

struct DecodeCase {
    const char *type;
    std::vector<uint8_t> bytes;
    uint32_t size;
    std::optional<double> expected;
};

class SmcDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(SmcDecode, ReadsLikeTheController)
{
    const auto &c = GetParam();
    Rig r;
    r.smc->set("XVAL", c.type, c.bytes, c.size);
    r.mon->sampler().openAndDiscover();
    const auto v = r.mon->sampler().readKey(QStringLiteral("XVAL"));
    ASSERT_EQ(v.has_value(), c.expected.has_value());
    if (v) {
        EXPECT_NEAR(*v, *c.expected, 1e-6);
    }
}

static std::vector<uint8_t> fltBytes(float f)
{
    uint8_t b[4];
    std::memcpy(b, &f, 4);
    return {b[0], b[1], b[2], b[3]};
}

INSTANTIATE_TEST_SUITE_P(
    Types, SmcDecode,
    ::testing::Values(DecodeCase{"sp78", {0x2D, 0x40}, 2, 45.25}, DecodeCase{"sp78", {0xFF, 0x00}, 2, -1.0},
                      DecodeCase{"sp78", {0x2D, 0x40}, 1, std::nullopt},
                      DecodeCase{"fpe2", {0x1F, 0x40}, 2, 2000.0}, DecodeCase{"fpe2", {0xFF, 0xFF}, 2, 16383.75},
                      DecodeCase{"flt ", fltBytes(41.5f), 4, 41.5}, DecodeCase{"ioft", fltBytes(-3.25f), 4, -3.25},
                      DecodeCase{"flt ", fltBytes(41.5f), 3, std::nullopt},
                      DecodeCase{"flt ", fltBytes(std::numeric_limits<float>::quiet_NaN()), 4, std::nullopt},
                      DecodeCase{"flt ", fltBytes(std::numeric_limits<float>::infinity()), 4, std::nullopt},
                      DecodeCase{"ui8 ", {200}, 1, 200.0}, DecodeCase{"ui16", {0x12, 0x34}, 2, 4660.0},
                      DecodeCase{"ui32", {0x00, 0x01, 0x00, 0x00}, 4, 65536.0},
                      DecodeCase{"ui32", {0xFF, 0xFF, 0xFF, 0xFF}, 4, 4294967295.0},
                      DecodeCase{"ch8*", {0x41, 0x42}, 2, std::nullopt},
                      DecodeCase{"ui8 ", {5}, 0, std::nullopt}, DecodeCase{"ui8 ", {5}, 33, std::nullopt}),
    [](const auto &info) {
        std::string name = corvane::test::textName(info.param.type) + "_";
        for (uint8_t b : info.param.bytes) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", b);
            name += hex;
        }
        return name + "_size" + std::to_string(info.param.size);
    });

TEST(SmcKeyCodes, TextAndCodeRoundTrip)
{
    EXPECT_EQ(smcKeyCode("TC0P"), 0x54433050u);
    EXPECT_EQ(smcKeyCode("sp78"), 0x73703738u);
    EXPECT_EQ(smcKeyCode(""), 0u);
    EXPECT_EQ(smcKeyCode("TC0PXYZ"), smcKeyCode("TC0P"));
    EXPECT_EQ(smcKeyString(0x54433050u), QStringLiteral("TC0P"));
    EXPECT_EQ(smcKeyString(0x80433050u), QString());
}

// --- labels ---

TEST(SmcSensorName, Rules)
{
    const std::pair<const char *, const char *> cases[] = {
        {"TC0P", "CPU Proximity"}, {"TCGC", "Intel GPU"},     {"TaLP", "Airflow stânga"},
        {"TH0A", "SSD A"},         {"TH0a", "SSD 1"},         {"TI1P", "Thunderbolt Proximity 2"},
        {"TC1C", "CPU Core 1"},    {"TC2c", "CPU Core 2"},    {"TCAC", "Senzor TCAC"},
        {"Tp09", "CPU senzor 09"}, {"Tg05", "GPU senzor 05"}, {"Th1H", "Heatpipe 1H"},
        {"TC1",  "Senzor TC1"},    {"TZ0X", "Senzor TZ0X"},
    };
    for (const auto &[key, name] : cases)
        EXPECT_EQ(SMCMonitor::sensorName(QString::fromUtf8(key)), QString::fromUtf8(name)) << key;
}

// --- refresh rules ---

TEST(SMCMonitorRefresh, BoundsAreExclusive)
{
    Rig r;
    r.smc->flt("TA0P", 1.0f);
    r.smc->flt("TA1P", 1.01f);
    r.smc->flt("TB0T", 127.99f);
    r.smc->flt("TB1T", 128.0f);
    const auto s = r.run();
    EXPECT_EQ(keysOf(s.temperatures), (QStringList{"TB0T", "TA1P"}));
}

TEST(SMCMonitorRefresh, CpuAndGpuRules)
{
    struct Case {
        std::vector<std::pair<const char *, double>> temps;
        double cpu, gpu;
    };
    const Case cases[] = {
        {{{"TC0D", 70}, {"TC0P", 45}}, 45, 0},              // TC0P wins over a hotter CPU label
        {{{"Tp01", 50}, {"Tp0b", 61}, {"TA0P", 80}}, 61, 0}, // Tp fallback takes the maximum
        {{{"TCGC", 60}, {"TA0P", 30}}, 0, 60},              // "Intel GPU" counts for the GPU only
        {{{"TG0P", 40}, {"TG0D", 75}, {"TC1C", 66}}, 66, 40},
        {{{"Tg00", 52}, {"Tg01", 58}}, 0, 58},              // our Tg prefix names contain "GPU"
    };
    for (const auto &c : cases) {
        Rig r;
        for (const auto &[k, v] : c.temps)
            r.smc->sp78(k, v);
        r.run();
        EXPECT_DOUBLE_EQ(r.mon->cpuTemp(), c.cpu);
        EXPECT_DOUBLE_EQ(r.mon->gpuTemp(), c.gpu);
        EXPECT_EQ(r.mon->cpuHistory()->samples().size(), c.cpu > 0 ? 1 : 0);
        EXPECT_EQ(r.mon->gpuHistory()->samples().size(), c.gpu > 0 ? 1 : 0);
    }
}

TEST(SMCMonitorRefresh, HottestFirstAndStableForTies)
{
    Rig r;
    r.smc->sp78("TB0T", 40);
    r.smc->sp78("TA0P", 50);
    r.smc->sp78("TW0P", 40);
    r.smc->ui8("FNum", 0);
    r.smc->sp78("XNOT", 90);                // not a T key
    r.smc->set("TM0S", "ui8 ", {70});       // T key of a non-temperature type
    r.smc->sp78("TM0P", 60).failInfo = true; // unreadable at discovery
    r.run();
    EXPECT_EQ(keysOf(r.mon->temperatures()), (QStringList{"TA0P", "TB0T", "TW0P"}));
    EXPECT_EQ(r.mon->temperatures().front().name, QStringLiteral("Ambient 1"));
}

TEST(SMCMonitorRefresh, FailedReadSkipsOnlyThatSensor)
{
    Rig r;
    r.smc->sp78("TA0P", 50);
    r.smc->sp78("TB0T", 40);
    r.mon->sampler().openAndDiscover();
    r.smc->entry("TA0P")->failRead = true;
    r.run();
    EXPECT_EQ(keysOf(r.mon->temperatures()), (QStringList{"TB0T"}));
}

TEST(SMCMonitorRefresh, AbsurdKeyCountIsCapped)
{
    Rig r;
    r.smc->ui32("#KEY", 0xFFFFFFFFu);
    r.smc->sp78("TA0P", 50);
    r.mon->sampler().openAndDiscover();
    EXPECT_EQ(r.mon->sampler().temperatureKeys().size(), 1);
    EXPECT_LE(r.smc->calls, 2 + 2 * SMCMonitor::kMaxDiscoveredKeys);
}

TEST(SMCMonitorRefresh, NoControllerPublishesNothing)
{
    Rig r;
    r.smc->openResult = 0;
    r.smc->sp78("TA0P", 50);
    QSignalSpy spy(r.mon.get(), &SMCMonitor::temperaturesChanged);
    const auto s = r.run();
    EXPECT_FALSE(s.connected);
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(r.smc->calls, 0);
}

TEST(SMCMonitorRefresh, HistoryTakesEveryTickFieldsSignalOnlyChanges)
{
    Rig r;
    r.smc->sp78("TC0P", 45);
    r.smc->ui8("FNum", 1);
    r.smc->fpe2("F0Ac", 1200);
    QStringList order;
    QObject::connect(r.mon.get(), &SMCMonitor::temperaturesChanged, [&] { order << "temperatures"; });
    QObject::connect(r.mon.get(), &SMCMonitor::cpuTempChanged, [&] { order << "cpuTemp"; });
    QObject::connect(r.mon.get(), &SMCMonitor::gpuTempChanged, [&] { order << "gpuTemp"; });
    QObject::connect(r.mon->cpuHistory(), &MetricHistory::samplesChanged, [&] { order << "cpuHistory"; });
    QObject::connect(r.mon.get(), &SMCMonitor::fansChanged, [&] { order << "fans"; });
    QObject::connect(r.mon.get(), &SMCMonitor::updated, [&] { order << "updated"; });
    r.run();
    EXPECT_EQ(order, (QStringList{"cpuHistory", "temperatures", "cpuTemp", "fans", "updated"}));
    order.clear();
    r.run(); // the same readings: one more history point, no field signal
    EXPECT_EQ(order, (QStringList{"cpuHistory", "updated"}));
    EXPECT_EQ(r.mon->cpuHistory()->samples().size(), 2);
}

// --- fans ---

TEST(SMCMonitorFans, CountNamesAndGaps)
{
    {
        Rig r;
        r.smc->ui8("FNum", 2);
        r.smc->fpe2("F0Ac", 1200).failRead = true;
        r.smc->fpe2("F1Ac", 1800);
        r.smc->fpe2("F1Mx", 5500);
        const auto fans = r.mon->sampler().sample().fans;
        ASSERT_EQ(fans.size(), 1);
        EXPECT_EQ(fans[0].index, 1);
        EXPECT_EQ(fans[0].name, QStringLiteral("Ventilator dreapta"));
        EXPECT_EQ(fans[0].minRPM, 0.0);
        EXPECT_EQ(fans[0].maxRPM, 5500.0);
    }
    {
        Rig r;
        r.smc->ui8("FNum", 10);
        for (int i = 0; i < 10; ++i)
            r.smc->fpe2("F" + std::to_string(i) + "Ac", 1000 + i);
        const auto fans = r.mon->sampler().sample().fans;
        ASSERT_EQ(fans.size(), 8);
        EXPECT_EQ(fans[0].name, QStringLiteral("Ventilator 1"));
        EXPECT_EQ(fans[7].name, QStringLiteral("Ventilator 8"));
    }
    EXPECT_EQ(SMCMonitor::fanName(1, 0), QStringLiteral("Ventilator"));
    EXPECT_EQ(SMCMonitor::fanName(2, 0), QStringLiteral("Ventilator stânga"));
}

// --- sysfs trees ---

TEST(SMCMonitorSysfs, AppleSmcTree)
{
    FakeClock clock;
    SMCMonitor mon(makeLinuxSmcTransport(QStringLiteral(CORVANE_FIXTURES "/applesmc")), clock, false);
    mon.publish(mon.sampler().sample());
    // Th1H at 128 °C does not fit an sp78 (read fails); TA0P at 1 °C is out of range.
    EXPECT_EQ(keysOf(mon.temperatures()), (QStringList{"TC1C", "TC0D", "TCGC", "TG0P", "TC0P", "TB0T"}));
    EXPECT_NEAR(mon.temperatures()[0].celsius, 127.75, 1e-9);
    EXPECT_EQ(mon.temperatures()[0].name, QStringLiteral("CPU Core 1"));
    EXPECT_DOUBLE_EQ(mon.cpuTemp(), 45.25);
    EXPECT_DOUBLE_EQ(mon.gpuTemp(), 52.5);
    ASSERT_EQ(mon.fans().size(), 2);
    EXPECT_EQ(mon.fans()[0], (SMCFanReading{0, QStringLiteral("Ventilator stânga"), 2000, 1200, 6000}));
    EXPECT_EQ(mon.fans()[1], (SMCFanReading{1, QStringLiteral("Ventilator dreapta"), 1800, 1300, 5500}));
}

namespace {

const char *const kNeedsMounts = "showing a fixture as /sys takes a mount namespace (root)";
// The machine's own sensors.conf stays out of the fixtures' readings.
const QString kNoConfig = QStringLiteral("/dev/null");

QStringList describe(const SMCMonitor::Snapshot &s)
{
    QStringList out;
    for (const auto &t : s.temperatures)
        out << QStringLiteral("%1=%2=%3").arg(t.key, t.name).arg(t.celsius, 0, 'f', 2);
    out << QStringLiteral("cpu=%1 gpu=%2").arg(s.cpuTemp).arg(s.gpuTemp);
    for (const auto &f : s.fans)
        out << QStringLiteral("fan %1=%2=%3/%4/%5").arg(f.index).arg(f.name).arg(f.rpm).arg(f.minRPM).arg(f.maxRPM);
    return out;
}

// One reading of the hwmon source over the tree at `root`, seen as /sys.
std::optional<QStringList> readHwmon(const QString &root, const QString &config = kNoConfig,
                                     const QStringList &formerKeys = {})
{
    return test::underSysfs(root, [&] {
        SMCSampler sampler(makeHwmonSensorSource({}, config));
        const SMCMonitor::Snapshot s = sampler.sample();
        QStringList out = describe(s);
        for (const QString &k : formerKeys)
            out << k + QStringLiteral(" -> ") + s.formerKeys.value(k);
        return out;
    });
}

} // namespace

TEST(SMCMonitorSysfs, HwmonTree)
{
    const auto got = readHwmon(QStringLiteral(CORVANE_FIXTURES "/hwmon"));
    if (!got)
        GTEST_SKIP() << kNeedsMounts;
    // Chips without a device link are virtual ones; the second acpitz is told apart.
    EXPECT_EQ(*got, (QStringList{"coretemp-virtual-0/temp3=CPU Core 1=61.00", "coretemp-virtual-0/temp1=CPU Package=58.00",
                                 "coretemp-virtual-0/temp2=CPU Core 0=55.00", "amdgpu-virtual-0/temp2=GPU Junction=53.00",
                                 "coretemp-virtual-0/temp4=CPU Core 12=50.00", "amdgpu-virtual-0/temp1=GPU=48.00",
                                 "nvme-virtual-0/temp2=SSD 1 Sensor 1=44.85", "nvme-virtual-0/temp1=SSD 1=41.85",
                                 "iwlwifi_1-virtual-0/temp1=Wi-Fi=39.00", "acpitz-virtual-0#2/temp1=Senzor acpitz 1=31.50",
                                 "acpitz-virtual-0/temp1=Senzor acpitz 1=27.80",
                                 "cpu=58 gpu=48", // the package, not the hottest core; edge, not the junction
                                 "fan 0=Ventilator 1=1100/0/3300", "fan 1=Ventilator 2=850/300/2000",
                                 "fan 2=Ventilator 3=0/0/0"}));
}

namespace {

// A sysfs root whose hwmonN numbers are handed out in another order, as after a reboot
// with the drivers probed differently; the devices are the fixture's own.
struct RenumberedTree {
    QTemporaryDir tmp;
    explicit RenumberedTree(const QString &fixture, const QMap<QString, QString> &renumber)
    {
        QDir(tmp.path()).mkpath(QStringLiteral("class/hwmon"));
        QFile::link(fixture + QStringLiteral("/devices"), tmp.filePath(QStringLiteral("devices")));
        for (auto it = renumber.begin(); it != renumber.end(); ++it)
            QFile::link(QFileInfo(fixture + QStringLiteral("/class/hwmon/") + it.key()).canonicalFilePath(),
                        tmp.filePath(QStringLiteral("class/hwmon/") + it.value()));
    }
};

const QString kDesktop = QStringLiteral(CORVANE_FIXTURES "/desktop");

void writeFile(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

} // namespace

// nct6775 board sensors + k10temp + amdgpu edge/junction/mem + NVMe + an unlabeled it8688.
TEST(SMCMonitorSysfs, DesktopNamesSensorsByTheirLabels)
{
    const auto got = readHwmon(kDesktop, kNoConfig,
                               {"hwmon/k10temp@pci0000:00/0000:00:18.3/Tctl",
                                "hwmon/nvme@pci0000:00/0000:00:01.2/0000:01:00.0/Composite",
                                "hwmon/it8688@platform/it87.2624/temp2"});
    if (!got)
        GTEST_SKIP() << kNeedsMounts;
    const QString gpu = QStringLiteral("amdgpu-pci-0a00/");
    const QString cpu = QStringLiteral("k10temp-pci-00c3/");
    const QString ssd = QStringLiteral("nvme-pci-0100/");
    const QString board = QStringLiteral("nct6775-isa-0290/");
    const QString ite = QStringLiteral("it8688-isa-0a40/");
    EXPECT_EQ(*got, (QStringList{gpu + "temp3=GPU VRAM=70.00", cpu + "temp1=CPU Package=65.50",
                                 cpu + "temp3=CPU CCD 1=60.25", gpu + "temp2=GPU Junction=58.00", gpu + "temp1=GPU=52.00",
                                 ssd + "temp3=SSD 1 Sensor 2=45.85", board + "temp2=CPUTIN=41.00",
                                 ssd + "temp2=SSD 1 Sensor 1=39.85", ssd + "temp1=SSD 1=38.85",
                                 board + "temp3=AUXTIN0=38.50", ite + "temp2=Senzor it8688 2=36.00",
                                 board + "temp1=SYSTIN=33.00", ite + "temp1=Senzor it8688 1=30.00",
                                 "cpu=65.5 gpu=52", // the edge sensor, not the hotter junction or VRAM
                                 "fan 0=Ventilator stânga=920/0/2200", "fan 1=Ventilator dreapta=0/0/3300",
                                 // the keys earlier versions saved
                                 "hwmon/k10temp@pci0000:00/0000:00:18.3/Tctl -> " + cpu + "temp1",
                                 "hwmon/nvme@pci0000:00/0000:00:01.2/0000:01:00.0/Composite -> " + ssd + "temp1",
                                 "hwmon/it8688@platform/it87.2624/temp2 -> " + ite + "temp2"}));
}

TEST(SMCMonitorSysfs, KeysSurviveAnotherProbeOrder)
{
    RenumberedTree rebooted(kDesktop, {{"hwmon0", "hwmon3"}, {"hwmon1", "hwmon4"}, {"hwmon2", "hwmon0"},
                                       {"hwmon3", "hwmon1"}, {"hwmon4", "hwmon2"}});
    const auto before = readHwmon(kDesktop);
    const auto after = readHwmon(rebooted.tmp.path());
    if (!before || !after)
        GTEST_SKIP() << kNeedsMounts;
    // Same rows, same keys; only the fans' numbers follow smcfan's hwmonN order.
    const auto temperatures = [](QStringList rows) {
        rows.removeIf([](const QString &r) { return r.startsWith(QLatin1String("fan ")); });
        return rows;
    };
    EXPECT_EQ(temperatures(*after), temperatures(*before));
}

// The user's sensors.conf: a label shown as written (the CPU figure still knows Tctl), an
// unlabeled sensor named, an ignored sensor and fan left out (the other fan keeps smcfan's number).
TEST(SMCMonitorSysfs, SensorsConfRelabelsAndIgnores)
{
    QTemporaryDir tmp;
    const QString conf = tmp.filePath(QStringLiteral("sensors.conf"));
    writeFile(conf, "chip \"k10temp-pci-*\"\n    label temp1 \"Procesor\"\n"
                    "chip \"nct6775-isa-0290\"\n    ignore temp3\n    ignore fan1\n"
                    "chip \"it8688-*\"\n    label temp2 \"Apă\"\n");
    const auto got = readHwmon(kDesktop, conf);
    if (!got)
        GTEST_SKIP() << kNeedsMounts;
    const QString cpu = QStringLiteral("k10temp-pci-00c3/");
    EXPECT_EQ(*got, (QStringList{"amdgpu-pci-0a00/temp3=GPU VRAM=70.00", cpu + "temp1=Procesor=65.50",
                                 cpu + "temp3=CPU CCD 1=60.25", "amdgpu-pci-0a00/temp2=GPU Junction=58.00",
                                 "amdgpu-pci-0a00/temp1=GPU=52.00", "nvme-pci-0100/temp3=SSD 1 Sensor 2=45.85",
                                 "nct6775-isa-0290/temp2=CPUTIN=41.00", "nvme-pci-0100/temp2=SSD 1 Sensor 1=39.85",
                                 "nvme-pci-0100/temp1=SSD 1=38.85", "it8688-isa-0a40/temp2=Apă=36.00",
                                 "nct6775-isa-0290/temp1=SYSTIN=33.00", "it8688-isa-0a40/temp1=Senzor it8688 1=30.00",
                                 "cpu=65.5 gpu=52", "fan 1=Ventilator=0/0/3300"}));

    // A file libsensors cannot parse hides nothing: the sensors show unconfigured.
    writeFile(conf, "chip \"k10temp-pci-*\"\n    label temp1\n");
    EXPECT_EQ(readHwmon(kDesktop, conf), readHwmon(kDesktop));
}

// The CPU figure on hwmon machines is the CPU chip's package reading, whatever is hotter:
// not a Zen part's Tctl (offset above the die), not a core, not a second package, and never
// a board's CPUTIN while the CPU has a sensor of its own. Every sensor stays listed.
struct CpuFigureCase {
    const char *name;
    const char *fixture;
    const char *cpu;        // the CPU figure's line
    QStringList cpuSensors; // the rows whose name says CPU, hottest first
    int listed;             // temperature rows in all
};

void PrintTo(const CpuFigureCase &c, std::ostream *os) { *os << c.name; }

class SMCMonitorCpuFigure : public ::testing::TestWithParam<CpuFigureCase> {};

TEST_P(SMCMonitorCpuFigure, IsThePackageReading)
{
    const CpuFigureCase &c = GetParam();
    const auto got = readHwmon(QStringLiteral(CORVANE_FIXTURES "/") + QLatin1String(c.fixture));
    if (!got)
        GTEST_SKIP() << kNeedsMounts;
    QStringList cpuRows;
    int listed = 0;
    for (const QString &row : *got) {
        const QStringList parts = row.split(QLatin1Char('='));
        if (parts.size() != 3 || row.startsWith(QLatin1String("fan ")) || row.startsWith(QLatin1String("cpu=")))
            continue;
        ++listed;
        if (parts[1].startsWith(QLatin1String("CPU")))
            cpuRows << parts[1] + QLatin1Char('=') + parts[2];
    }
    EXPECT_TRUE(got->contains(QLatin1String(c.cpu))) << got->join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(cpuRows.join(QStringLiteral(", ")).toStdString(), c.cpuSensors.join(QStringLiteral(", ")).toStdString());
    EXPECT_EQ(listed, c.listed);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, SMCMonitorCpuFigure,
    ::testing::Values(
        CpuFigureCase{"ZenTdieBesideUnwiredCputin", "hwmon/zen", "cpu=52 gpu=0",
                      {"CPUTIN=127.00", "CPU Tctl=72.00", "CPU Package=52.00"}, 6},
        CpuFigureCase{"ZenTctlOnly", "desktop", "cpu=65.5 gpu=52",
                      {"CPU Package=65.50", "CPU CCD 1=60.25", "CPUTIN=41.00"}, 13},
        CpuFigureCase{"CoretempPackageNotHottestCore", "hwmon", "cpu=58 gpu=48",
                      {"CPU Core 1=61.00", "CPU Package=58.00", "CPU Core 0=55.00", "CPU Core 12=50.00"}, 11},
        CpuFigureCase{"TwoSocketsFirstPackage", "hwmon/dualsocket", "cpu=48 gpu=0",
                      {"CPU Core 0=63.00", "CPU Package id 1=61.00", "CPU Core 1=60.00", "CPU Core 0=50.00",
                       "CPU Package=48.00", "CPU Core 1=47.00"},
                      6},
        CpuFigureCase{"BoardOnlyUsesCputin", "hwmon/boardonly", "cpu=45.5 gpu=0", {"CPUTIN=45.50"}, 3}),
    [](const auto &info) { return std::string(info.param.name); });

// A fan maximum a driver gets wrong (fan5_max -1 on the Zen board) is not reported: 0, which
// the fan card shows as "max —" and the slider's range leaves out.
TEST(SMCMonitorSysfs, ImpossibleFanMaximumIsAbsent)
{
    const auto got = readHwmon(QStringLiteral(CORVANE_FIXTURES "/hwmon/zen"));
    if (!got)
        GTEST_SKIP() << kNeedsMounts;
    QStringList fans = *got;
    fans.removeIf([](const QString &r) { return !r.startsWith(QLatin1String("fan ")); });
    EXPECT_EQ(fans.join(QStringLiteral(", ")).toStdString(),
              "fan 0=Ventilator 1=1040/0/2400, fan 1=Ventilator 2=0/0/0, fan 2=Ventilator 3=650/0/0");
}

// A board whose CPU shows only as thermal zones: they give the CPU temperature.
TEST(SMCMonitorSysfs, ArmBoardFallsBackToCpuThermalZones)
{
    const auto got = readHwmon(QStringLiteral(CORVANE_FIXTURES "/armboard"));
    if (!got)
        GTEST_SKIP() << kNeedsMounts;
    EXPECT_EQ(*got, (QStringList{"thermal/cpu1-thermal=CPU 2=49.00", "thermal/cpu-thermal=CPU=48.31", "cpu=49 gpu=0"}));
}

TEST(SMCMonitorSysfs, NoSensorsIsAbsent)
{
    QTemporaryDir empty;
    QDir(empty.path()).mkpath(QStringLiteral("class/hwmon"));
    const auto got = test::underSysfs(empty.path(), [] {
        SMCSampler sampler(makeHwmonSensorSource({}, kNoConfig));
        const auto s = sampler.sample();
        return QStringList{QString::number(sampler.connection()), QString::number(s.connected)};
    });
    if (!got)
        GTEST_SKIP() << kNeedsMounts;
    EXPECT_EQ(*got, (QStringList{"0", "0"}));
    FakeClock clock;
    SMCMonitor mon(makeLinuxSmcTransport(QStringLiteral("/nonexistent-sysfs")), clock, false);
    QSignalSpy spy(&mon, &SMCMonitor::temperaturesChanged);
    mon.publish(mon.sampler().sample());
    EXPECT_EQ(mon.sampler().connection(), 0u);
    EXPECT_EQ(spy.count(), 0);
    EXPECT_TRUE(mon.temperatures().isEmpty());
}

// --- threading and cadence ---

TEST(SMCMonitorThread, ReadsOffTheGuiThreadAndRefreshesAtOnce)
{
    class Probe : public SmcTransport {
    public:
        FakeSmcTransport inner;
        QString threadName;
        uint32_t open() override
        {
            threadName = QThread::currentThread()->objectName();
            return inner.open();
        }
        void close() override {}
        int call(const SmcRecord &in, SmcRecord &out) override { return inner.call(in, out); }
    };
    auto probe = std::make_unique<Probe>();
    Probe *p = probe.get();
    p->inner.sp78("TC0P", 47.5);
    FakeClock clock;
    SMCMonitor mon(std::move(probe), clock, false);
    QSignalSpy spy(&mon, &SMCMonitor::updated);
    mon.setReducedCadence(true);
    mon.startTimer();
    ASSERT_TRUE(spy.wait(5000));
    EXPECT_EQ(p->threadName, QStringLiteral("corvane.smc"));
    EXPECT_DOUBLE_EQ(mon.cpuTemp(), 47.5);
    EXPECT_TRUE(mon.scheduler()->isActive());
    EXPECT_EQ(mon.scheduler()->cadence().kind, Cadence::Kind::Aligned);
    EXPECT_EQ(mon.scheduler()->cadence().interval, 12.0);
    mon.setReducedCadence(false);
    mon.startTimer();
    EXPECT_EQ(mon.scheduler()->cadence().interval, 3.0);
    ASSERT_TRUE(spy.wait(5000)); // a switch refreshes at once
}

TEST(SMCMonitorThread, RealMachineRunsWithoutErrors)
{
    SMCMonitor mon;
    QSignalSpy read(&mon, &SMCMonitor::updated); // the first read is on its way from the start
    ASSERT_TRUE(read.wait(20000));
    for (const auto &t : mon.temperatures())
        EXPECT_TRUE(t.celsius > 1 && t.celsius < 128) << t.key.toStdString();
    EXPECT_TRUE(mon.cpuTemp() == 0 || (mon.cpuTemp() > 1 && mon.cpuTemp() < 128));
}

namespace {

// A hybrid laptop: coretemp for the CPU, the integrated GPU without a sensor, and an NVIDIA
// GPU on NVIDIA's own driver (no hwmon chip) that runtime PM puts to sleep when idle.
struct HybridLaptop {
    QTemporaryDir tmp;
    QString nvidia;
    std::vector<std::string> asked;
    std::optional<double> nvmlCelsius = 61;

    HybridLaptop()
    {
        const QString pci = tmp.filePath(QStringLiteral("devices/pci0000:00"));
        const QString coretemp = tmp.filePath(QStringLiteral("devices/platform/coretemp.0/hwmon/hwmon3"));
        write(coretemp + "/name", "coretemp");
        write(coretemp + "/temp1_label", "Package id 0");
        write(coretemp + "/temp1_input", "54000");
        QFile::link(tmp.filePath(QStringLiteral("devices/platform/coretemp.0")), coretemp + "/device");
        link(coretemp, QStringLiteral("class/hwmon/hwmon3"));
        gpu(pci + "/0000:00:02.0", "0x8086", "0x030000", "i915", "active");
        nvidia = pci + "/0000:00:01.0/0000:01:00.0";
        gpu(nvidia, "0x10de", "0x030200", "nvidia", "active");
        // The NVIDIA HDMI audio function: same vendor, not a GPU.
        gpu(pci + "/0000:00:01.0/0000:01:00.1", "0x10de", "0x040300", "snd_hda_intel", "active");
    }
    void write(const QString &path, const QByteArray &text)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text + "\n");
    }
    void link(const QString &target, const QString &rel)
    {
        QDir().mkpath(QFileInfo(tmp.filePath(rel)).path());
        QFile::link(target, tmp.filePath(rel));
    }
    void gpu(const QString &dev, const QByteArray &vendor, const QByteArray &cls, const QString &driver,
             const QByteArray &runtime)
    {
        write(dev + "/vendor", vendor);
        write(dev + "/class", cls);
        write(dev + "/power/runtime_status", runtime);
        const QString drv = tmp.filePath(QStringLiteral("bus/pci/drivers/") + driver);
        QDir().mkpath(drv);
        QFile::link(drv, dev + "/driver");
        link(dev, QStringLiteral("bus/pci/devices/") + QFileInfo(dev).fileName());
    }
    void sleepNvidia(bool asleep) { write(nvidia + "/power/runtime_status", asleep ? "suspended" : "active"); }

    std::unique_ptr<SensorSource> source()
    {
        return makeHwmonSensorSource(
            [this](const std::string &address) {
                asked.push_back(address);
                return nvmlCelsius;
            },
            kNoConfig);
    }
    // Each reading of `steps`, after the step has run, and what NVML was asked meanwhile.
    std::optional<QStringList> readings(const std::vector<std::function<void()>> &steps)
    {
        return test::underSysfs(tmp.path(), [&] {
            SMCSampler sampler(source());
            QStringList out;
            for (const auto &step : steps) {
                asked.clear();
                step();
                out << describe(sampler.sample());
                for (const auto &a : asked)
                    out << QStringLiteral("asked ") + QString::fromStdString(a);
            }
            return out;
        });
    }
};

} // namespace

TEST(SMCMonitorSysfs, NvidiaGpuTemperatureFromNvmlOnlyWhileAwake)
{
    HybridLaptop laptop;
    const auto got = laptop.readings({[] {},
                                      // Suspended: NVML is not asked (asking would wake the GPU),
                                      // and no temperature is made up.
                                      [&] { laptop.sleepNvidia(true); }, [] {},
                                      [&] {
                                          laptop.sleepNvidia(false);
                                          laptop.nvmlCelsius = 47;
                                      }});
    if (!got)
        GTEST_SKIP() << kNeedsMounts;
    const QString cpu = QStringLiteral("coretemp-isa-0000/temp1=CPU Package=54.00");
    // The NVIDIA audio function is no GPU: only the GPU is asked.
    EXPECT_EQ(*got, (QStringList{"nvml/0000:01:00.0=GPU=61.00", cpu, "cpu=54 gpu=61", "asked 0000:01:00.0", cpu,
                                 "cpu=54 gpu=0", cpu, "cpu=54 gpu=0", cpu, "nvml/0000:01:00.0=GPU=47.00",
                                 "cpu=54 gpu=47", "asked 0000:01:00.0"}));
}

TEST(SMCMonitorSysfs, NvidiaWithoutNvmlLeavesTheGpuTemperatureUnread)
{
    HybridLaptop laptop;
    laptop.nvmlCelsius.reset(); // driver without the management library
    const auto got = laptop.readings({[] {}});
    if (!got)
        GTEST_SKIP() << kNeedsMounts;
    EXPECT_EQ(*got, (QStringList{"coretemp-isa-0000/temp1=CPU Package=54.00", "cpu=54 gpu=0", "asked 0000:01:00.0"}));
}
