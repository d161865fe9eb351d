// The three monitors with their real backends on whatever machine runs the tests:
// each publishes without a warning, and what it shows agrees with sysfs.
#include "monitors/BatteryMonitor.h"
#include "monitors/USBMonitor.h"
#include "monitors/WiFiMonitor.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>

using namespace corvane;

namespace {

QStringList g_warnings;
void collect(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        g_warnings << msg;
}

struct WarningGuard {
    QtMessageHandler old = qInstallMessageHandler(collect);
    WarningGuard() { g_warnings.clear(); }
    ~WarningGuard() { qInstallMessageHandler(old); }
};

bool hasSystemBattery()
{
    QDir d(QStringLiteral("/sys/class/power_supply"));
    for (const auto &e : d.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile type(d.filePath(e) + "/type"), scope(d.filePath(e) + "/scope");
        if (!type.open(QIODevice::ReadOnly) || type.readAll().trimmed() != "Battery")
            continue;
        if (scope.open(QIODevice::ReadOnly) && scope.readAll().trimmed() == "Device")
            continue;
        return true;
    }
    return false;
}

} // namespace

TEST(OnThisMachine, UsbListMatchesSysfs)
{
    WarningGuard g;
    USBMonitor mon;
    QSignalSpy spy(&mon, &USBMonitor::totalEstimatedWattsChanged);
    ASSERT_TRUE(spy.wait(2000));
    const QStringList entries = QDir(QStringLiteral("/sys/bus/usb/devices"))
                                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    qsizetype devices = 0;
    for (const auto &e : entries)
        devices += !e.contains(u':') && !e.startsWith(u"usb");
    EXPECT_EQ(mon.devices().size(), devices);
    EXPECT_TRUE(g_warnings.isEmpty()) << g_warnings.join(u'\n').toStdString();
}

TEST(OnThisMachine, BatteryShowsItsAbsentStateWithoutABattery)
{
    WarningGuard g;
    BatteryMonitor mon;
    QSignalSpy spy(&mon, &BatteryMonitor::chargingPowerWChanged);
    ASSERT_TRUE(spy.wait(2000));
    if (!hasSystemBattery()) {
        EXPECT_EQ(mon.percentage(), 0);
        EXPECT_EQ(mon.healthPercentage(), 100);
        EXPECT_EQ(mon.timeRemainingMinutes(), -1);
        EXPECT_FALSE(mon.adapterName());
    } else {
        EXPECT_GT(mon.percentage(), 0);
    }
    EXPECT_TRUE(g_warnings.isEmpty()) << g_warnings.join(u'\n').toStdString();
}

TEST(OnThisMachine, WiFiShowsItsAbsentStateWithoutAnInterface)
{
    WarningGuard g;
    WiFiMonitor mon;
    EXPECT_TRUE(mon.locationAuthorized());
    QSignalSpy spy(&mon, &WiFiMonitor::hardwareAddressChanged);
    ASSERT_TRUE(spy.wait(3000));
    if (!QFile::exists(QStringLiteral("/proc/net/wireless")) && !QFile::exists(QStringLiteral("/run/dbus/system_bus_socket"))) {
        EXPECT_FALSE(mon.isConnected());
        EXPECT_FALSE(mon.ssidVariant().isValid());
        EXPECT_FALSE(mon.channelLabel());
    }
    EXPECT_TRUE(g_warnings.isEmpty()) << g_warnings.join(u'\n').toStdString();
}
