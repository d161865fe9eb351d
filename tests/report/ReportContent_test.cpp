// The report's row texts: formats, placeholders and which rows appear.
#include "report/ReportContent.h"

#include "fakes/FakeClock.h"
#include "fakes/FakeGpuStats.h"
#include "fakes/FakePowerSources.h"
#include "monitors/BatteryMonitor.h"
#include "monitors/FPSMonitor.h"
#include "monitors/GPUMonitor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace corvane;

namespace {

ReportDocument docOf(const ReportSnapshot &s)
{
    return ReportDocument::build(s, QDateTime(QDate(2026, 3, 8), QTime(9, 5)), QLocale::c());
}

// The value of the row labelled `label`, searched through every section.
std::optional<QString> valueOf(const ReportDocument &doc, const QString &label)
{
    for (const auto &section : doc.sections)
        for (const auto &row : section.rows)
            if (row.label == label)
                return row.value;
    return std::nullopt;
}

struct RowCase {
    const char *name;
    std::function<void(ReportSnapshot &)> set;
    const char *label;
    const char *expected;
};

void PrintTo(const RowCase &c, std::ostream *os) { *os << c.name; }

class ReportRowText : public testing::TestWithParam<RowCase> {};

ReportSnapshot withWifi(ReportSnapshot s)
{
    s.wifiConnected = true;
    return s;
}

// A battery is there when the monitor has any of its figures; the design capacity is one.
ReportSnapshot withBattery(ReportSnapshot s)
{
    s.designCapacity = 5000;
    return s;
}

} // namespace

TEST_P(ReportRowText, FormsTheValueFromTheFigure)
{
    ReportSnapshot s;
    GetParam().set(s);
    const auto value = valueOf(docOf(s), QString::fromUtf8(GetParam().label));
    ASSERT_TRUE(value) << "no row " << GetParam().label;
    EXPECT_EQ(value->toStdString(), std::string(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReportRowText,
    testing::Values(
        RowCase{"CpuLoadKeepsOneDecimal", [](auto &s) { s.cpuUsage = 0.1234; }, "CPU load", "12.3%"},
        RowCase{"GpuUtilisationIsWhole", [](auto &s) { s.gpuUtilization = 0.1234; }, "GPU utilizare", "12%"},
        RowCase{"EmptyGpuNameStaysEmpty", [](auto &s) { s.gpuName.clear(); }, "GPU", ""},
        RowCase{"RamShowsUsedThenInstalled",
                [](auto &s) { s.ramUsedBytes = 8'000'000'000; s.ramTotalBytes = 16'000'000'000; }, "RAM",
                "8 GB / 16 GB"},
        RowCase{"UptimeOfADayAndTwoHours", [](auto &s) { s.uptimeSeconds = 26 * 3600 + 5 * 60 + 59.9; }, "Uptime",
                "1z 2h 5m"},
        RowCase{"UnknownRefreshRateIsADash", [](auto &s) { s.refreshNominalHz = 0; }, "Refresh nominal", "—"},
        RowCase{"ReadRateBelowAKibibyte", [](auto &s) { s.readBytesPerSec = 512; }, "Read live", "512.0 B/s"},
        RowCase{"ChargeRoundsToWholePercent", [](auto &s) { s.batteryPercentage = 87.4; }, "Procent", "87%"},
        RowCase{"HealthRoundsUp", [](auto &s) { s = withBattery(s); s.healthPercentage = 91.6; }, "Sănătate", "92%"},
        RowCase{"TemperatureOneDecimalNoBlank", [](auto &s) { s = withBattery(s); s.temperatureCelsius = 31.37; }, "Temperatură",
                "31.4°C"},
        RowCase{"VoltageTwoDecimals", [](auto &s) { s.voltage = 12.6; }, "Voltaj", "12.60 V"},
        RowCase{"CapacityWithoutGrouping", [](auto &s) { s.maxCapacity = 4382; }, "Capacitate max", "4382 mAh"},
        RowCase{"LiveDownloadInBits", [](auto &s) { s.downloadBytesPerSec = 1'500'000; }, "Download live",
                "12.0 Mbps"},
        RowCase{"TotalDownloadInBytes", [](auto &s) { s.totalDownloadedBytes = 1'500'000'000; }, "Download total",
                "1.5 GB"},
        RowCase{"FairSignal", [](auto &s) { s = withWifi(s); s.rssiDbm = -67; }, "Semnal", "-67 dBm · Mediu"},
        RowCase{"ExcellentSignal", [](auto &s) { s = withWifi(s); s.rssiDbm = -45; }, "Semnal", "-45 dBm · Excelent"},
        RowCase{"TransmitRateRounds", [](auto &s) { s = withWifi(s); s.transmitRateMbps = 866.7; }, "Rata transmit",
                "867 Mbps"},
        RowCase{"NoWiFiLinkHasNoSignal", [](auto &s) { s.wifiConnected = false; s.rssiDbm = 0; }, "Semnal", "—"},
        RowCase{"NoWiFiLinkHasNoRate", [](auto &s) { s.wifiConnected = false; }, "Rata transmit", "—"},
        RowCase{"AbsentSsidIsADash", [](auto &s) { s = withWifi(s); s.ssid.reset(); }, "WiFi SSID", "—"},
        RowCase{"CameraOffIgnoresStaleNames",
                [](auto &s) { s.isCameraOn = false; s.activeCameraNames = {QStringLiteral("Camera A")}; },
                "Cameră în uz acum", "Nu"},
        RowCase{"CamerasInUseNamed",
                [](auto &s) {
                    s.isCameraOn = true;
                    s.activeCameraNames = {QStringLiteral("Camera A"), QStringLiteral("Camera B")};
                },
                "Cameră în uz acum", "DA · Camera A, Camera B"},
        RowCase{"MicrophoneInUseWithoutNames", [](auto &s) { s.isMicrophoneOn = true; }, "Microfon în uz acum",
                "DA · "},
        RowCase{"EmptyHistory", [](auto &s) { s.privacyEventCount = 0; }, "Evenimente în istoric", "0"},
        RowCase{"FullHistory", [](auto &s) { s.privacyEventCount = 50; }, "Evenimente în istoric", "50"},
        RowCase{"UnknownModelIsADash", [](auto &s) { s.machine.model.reset(); }, "Model", "—"},
        RowCase{"SystemNamesDistributionAndKernel",
                [](auto &s) {
                    s.machine.osName = QStringLiteral("Debian GNU/Linux 12 (bookworm)");
                    s.machine.kernelRelease = QStringLiteral("6.1.0-18-amd64");
                },
                "Sistem", "Debian GNU/Linux 12 (bookworm) · kernel 6.1.0-18-amd64"},
        RowCase{"SystemWithoutOsRelease", [](auto &s) { s.machine.kernelRelease = QStringLiteral("6.1.0"); },
                "Sistem", "Linux 6.1.0"}),
    [](const testing::TestParamInfo<RowCase> &i) { return std::string(i.param.name); });

TEST(ReportBattery, OnBatteryShowsEightRowsAndNoAdapterEvenWithAdapterFigures)
{
    ReportSnapshot s = withBattery({});
    s.isCharging = false;
    s.adapterName.emplace(QStringLiteral("USB-C 96W")); // assignment trips a GCC 12 false warning
    s.adapterMaxWatts = 96;
    const auto rows = report::batterySection(s).rows;
    ASSERT_EQ(rows.size(), 8);
    EXPECT_EQ(rows.last().label, QStringLiteral("Voltaj"));
    EXPECT_EQ(valueOf(docOf(s), QStringLiteral("Stare")), QStringLiteral("Pe baterie"));
}

TEST(ReportBattery, ChargingAddsTheThreeAdapterRows)
{
    ReportSnapshot s = withBattery({});
    s.isCharging = true;
    const auto rows = report::batterySection(s).rows;
    ASSERT_EQ(rows.size(), 11);
    EXPECT_EQ(rows[1], (ReportRow{QStringLiteral("Stare"), QStringLiteral("În încărcare")}));
    EXPECT_EQ(rows[8], (ReportRow{QStringLiteral("Adapter"), QStringLiteral("—")}));
    // No power and no rating stated: no figures, as the dashboard shows them.
    EXPECT_EQ(rows[9], (ReportRow{QStringLiteral("Pe cablu"), QStringLiteral("—")}));
    s.adapterDeliveringWatts = 0;
    EXPECT_EQ(report::batterySection(s).rows[9].value, QStringLiteral("0.0 W")); // a measured zero
    EXPECT_EQ(rows[10], (ReportRow{QStringLiteral("Adapter rated"), QStringLiteral("—")}));
}

// As on the dashboard: no battery, no figures, whatever the resting values are.
TEST(ReportBattery, MachineWithoutABatteryShowsDashes)
{
    for (const bool mains : {false, true}) {
        ReportSnapshot s; // no charge, no voltage, no capacities
        s.isCharging = mains;
        s.healthPercentage = 100;
        const auto rows = report::batterySection(s).rows;
        ASSERT_EQ(rows.size(), mains ? 11 : 8);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(rows[i].value, QStringLiteral("—")) << rows[i].label.toStdString();
    }
    // A flat battery still reports a voltage: its 0 % is a figure.
    ReportSnapshot flat;
    flat.voltage = 10.8;
    flat.batteryPercentage = 0;
    EXPECT_EQ(report::batterySection(flat).rows[0].value, QStringLiteral("0%"));
}

// A desktop without a GPU, without a display link counting frames, without a battery (and
// without fans, which the report has no row for): every row with no figure behind it reads
// "—" as on the dashboard, never a zero that looks measured.
TEST(ReportRows, MachineWithoutFiguresShowsDashesNotZeros)
{
    test::FakeClock clock;
    GPUMonitor gpu(std::make_unique<test::FakeGpuStats>(std::make_shared<test::FakeGpuStats::Shared>()), clock, false);
    gpu.publish(gpu.sampler().sample());
    FPSMonitor fps([] { return std::unique_ptr<DisplayLink>(); }, clock, false);
    BatteryMonitor battery(std::make_unique<test::FakePowerSources>(), clock, false);
    battery.publish(battery.sampler().sample());
    ReportSources sources;
    sources.gpu = &gpu;
    sources.fps = &fps;
    sources.battery = &battery;
    const ReportDocument doc = docOf(ReportSnapshot::capture(sources, *makeLinuxMachineInfo(QStringLiteral("/nonexistent"))));
    for (const char *label : {"GPU", "GPU utilizare", "VRAM folosit", "FPS curent", "Refresh nominal", "Drive", "Capacitate totală",
                              "Spațiu liber (fără rezerva root)", "Procent", "Stare", "Sănătate", "Cicluri",
                              "Capacitate max", "Capacitate design", "Temperatură", "Voltaj", "Model", "Chip"})
        EXPECT_EQ(valueOf(doc, QString::fromUtf8(label)).value_or(QStringLiteral("no row")).toStdString(), "—") << label;
}

namespace {
QList<ProcSnap> processes(int n)
{
    QList<ProcSnap> out;
    for (int i = 0; i < n; ++i)
        out.append(ProcSnap{i + 1, 100 + i, QStringLiteral("p%1").arg(i), 90.0 - i, 1'000'000});
    return out;
}
} // namespace

TEST(ReportProcesses, AtMostTheFirstFiveInListOrder)
{
    for (int n : {0, 3, 8}) {
        ReportSnapshot s;
        s.topByCPU = processes(n);
        const auto section = report::processSection(s, QLocale::c());
        EXPECT_EQ(section.title, QStringLiteral("Top 5 procese (CPU)"));
        ASSERT_EQ(section.rows.size(), std::min(n, 5)) << n << " entries";
        for (qsizetype i = 0; i < section.rows.size(); ++i)
            EXPECT_EQ(section.rows[i].label, QStringLiteral("p%1 (pid %2)").arg(i).arg(100 + i));
    }
}

TEST(ReportProcesses, LabelAndValueOfOneProcess)
{
    ReportSnapshot s;
    s.topByCPU = {ProcSnap{1, 512, QStringLiteral("worker"), 12.34, 1'200'000'000},
                  ProcSnap{2, 7, QString(), 153.26, 0}};
    const auto rows = report::processSection(s, QLocale::c()).rows;
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0], (ReportRow{QStringLiteral("worker (pid 512)"), QStringLiteral("12.3% · 1.2 GB")}));
    // Not capped at 100; an empty name leaves the blank before "(pid".
    EXPECT_EQ(rows[1].label, QStringLiteral(" (pid 7)"));
    EXPECT_TRUE(rows[1].value.startsWith(QStringLiteral("153.3%"))) << rows[1].value.toStdString();
}

TEST(ReportSizes, FollowTheLocaleDecimalSeparator)
{
    ReportSnapshot s = withBattery({});
    s.totalDownloadedBytes = 1'500'000'000;
    s.voltage = 0;
    const auto doc = ReportDocument::build(s, QDateTime::currentDateTime(), QLocale(QLocale::Romanian, QLocale::Romania));
    EXPECT_EQ(valueOf(doc, QStringLiteral("Download total")), QStringLiteral("1,5 GB"));
    // Format strings keep the point whatever the locale.
    EXPECT_EQ(valueOf(doc, QStringLiteral("Voltaj")), QStringLiteral("0.00 V"));
}

TEST(ReportTexts, FileNameUsesPlainDigitsInAnyLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt)); // native digits would be ٠-٩
    const QString name = report::fileName(QDateTime(QDate(2026, 3, 8), QTime(9, 5, 59)));
    QLocale::setDefault(saved);
    EXPECT_EQ(name, QStringLiteral("Corvane_Report_2026-03-08_0905.pdf"));
}

TEST(ReportTexts, HeaderDateFollowsTheLocaleWithoutWeekday)
{
    const QDateTime at(QDate(2026, 3, 8), QTime(21, 5));
    const QString us = report::headerDateText(at, QLocale(QLocale::English, QLocale::UnitedStates));
    const QString ro = report::headerDateText(at, QLocale(QLocale::Romanian, QLocale::Romania));
    EXPECT_TRUE(us.contains(QStringLiteral("March 8, 2026"))) << us.toStdString();
    EXPECT_TRUE(us.contains(QStringLiteral("9:05")) && us.contains(QStringLiteral("PM"))) << us.toStdString();
    EXPECT_FALSE(us.contains(QStringLiteral("Sunday"))) << us.toStdString();
    EXPECT_TRUE(ro.contains(QStringLiteral("8 martie 2026"))) << ro.toStdString();
    EXPECT_TRUE(ro.contains(QStringLiteral("21:05"))) << ro.toStdString();
    EXPECT_FALSE(ro.contains(QStringLiteral("duminică"))) << ro.toStdString();
}
