// The three monitors with their real backends on the machine that runs the tests: each
// publishes without a warning, and what it shows agrees with sysfs.
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
void collect(QtMsgType t, const QMessageLogContext &, const QString &m)
{
    if (t != QtDebugMsg && t != QtInfoMsg)
        g_warnings << m;
}
} // namespace

TEST(OnThisMachine, PeripheralMonitorsRunQuietlyAndAgreeWithSysfs)
{
    const QtMessageHandler old = qInstallMessageHandler(collect);
    USBMonitor usb;
    BatteryMonitor battery;
    WiFiMonitor wifi;
    QSignalSpy usbSpy(&usb, &USBMonitor::updated);
    QSignalSpy batterySpy(&battery, &BatteryMonitor::updated);
    QSignalSpy wifiSpy(&wifi, &WiFiMonitor::updated);
    for (QSignalSpy *s : {&usbSpy, &batterySpy, &wifiSpy})
        ASSERT_TRUE(!s->isEmpty() || s->wait(3000));
    qInstallMessageHandler(old);
    EXPECT_TRUE(g_warnings.isEmpty()) << g_warnings.join(u'\n').toStdString();

    qsizetype devices = 0;
    for (const auto &e : QDir(QStringLiteral("/sys/bus/usb/devices")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System))
        devices += !e.contains(u':') && !e.startsWith(u"usb");
    EXPECT_EQ(usb.devices().size(), devices);

    bool hasBattery = false;
    const QDir ps(QStringLiteral("/sys/class/power_supply"));
    for (const auto &e : ps.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile type(ps.filePath(e) + "/type"), scope(ps.filePath(e) + "/scope");
        hasBattery |= type.open(QIODevice::ReadOnly) && type.readAll().trimmed() == "Battery"
            && !(scope.open(QIODevice::ReadOnly) && scope.readAll().trimmed() == "Device");
    }
    if (!hasBattery) {
        EXPECT_FALSE(battery.percentage());
        EXPECT_FALSE(battery.healthPercentage());
        EXPECT_EQ(battery.timeRemainingMinutes(), -1);
        EXPECT_FALSE(battery.adapterName());
    }

    EXPECT_TRUE(wifi.locationAuthorized());
    if (!QFile::exists(QStringLiteral("/proc/net/wireless"))
        && !QFile::exists(QStringLiteral("/run/dbus/system_bus_socket"))) {
        EXPECT_FALSE(wifi.isConnected());
        EXPECT_FALSE(wifi.ssid());
        EXPECT_EQ(wifi.signalQualityLabel(), QStringLiteral("—")); // no interface, no reading
    }
}
