#include "monitors/USBMonitor.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeUsbRegistry.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

using namespace corvane;
using corvane::test::FakeClock;
using corvane::test::FakeUsbRegistry;

namespace {

UsbDeviceProperties dev(const char *name, int64_t mA = 0)
{
    UsbDeviceProperties p;
    if (name)
        p.productName = QString::fromUtf8(name);
    p.requestedPower = mA;
    static uint64_t next = 1;
    p.locationId = next++;
    return p;
}

struct Rig {
    FakeClock clock;
    FakeUsbRegistry *reg = new FakeUsbRegistry;
    USBMonitor mon{std::unique_ptr<UsbRegistry>(reg), clock, false};
    void refresh()
    {
        if (auto s = mon.sample())
            mon.publish(*s);
    }
};

} // namespace

TEST(USBMonitor, DeviceFieldsFromProperties)
{
    UsbDeviceProperties p;
    EXPECT_EQ(USBMonitor::deviceFrom(p).name, QStringLiteral("USB Device"));
    p.serviceName = QStringLiteral("Registry Name");
    EXPECT_EQ(USBMonitor::deviceFrom(p).name, QStringLiteral("Registry Name"));
    p.productName = QStringLiteral("Product");
    EXPECT_EQ(USBMonitor::deviceFrom(p).name, QStringLiteral("Product"));

    const std::pair<std::optional<int64_t>, const char *> speeds[] = {
        {0, "Low (1.5 Mb/s)"}, {1, "Full (12 Mb/s)"}, {2, "High (480 Mb/s)"}, {3, "Super (5 Gb/s)"},
        {4, "Super+ (10 Gb/s)"}, {5, "Super+ 20 (20 Gb/s)"}, {6, "—"}, {-1, "—"}, {std::nullopt, "—"},
    };
    for (const auto &[code, label] : speeds) {
        p.deviceSpeed = code;
        EXPECT_EQ(USBMonitor::deviceFrom(p).portSpeed, QString::fromUtf8(label));
    }

    EXPECT_EQ(USBMonitor::deviceFrom(p).busPowerMilliAmps, 0);
    p.busPowerAvailable = 250;
    EXPECT_EQ(USBMonitor::deviceFrom(p).busPowerMilliAmps, 500);
    p.busCurrentAllocation = 900;
    EXPECT_EQ(USBMonitor::deviceFrom(p).busPowerMilliAmps, 900);

    for (auto [builtIn, expected] : {std::pair{std::optional<int64_t>(1), true}, {0, false}, {2, false},
                                     {std::nullopt, false}}) {
        p.builtIn = builtIn;
        EXPECT_EQ(USBMonitor::deviceFrom(p).isBuiltIn, expected);
    }
}

TEST(USBMonitor, MissingLocationDrawsAFreshNonZeroIdEachTime)
{
    UsbDeviceProperties p;
    const USBDevice a = USBMonitor::deviceFrom(p);
    const USBDevice b = USBMonitor::deviceFrom(p);
    EXPECT_NE(a.locationId, 0u);
    EXPECT_EQ(a.id, a.locationId);
    EXPECT_NE(a.locationId, b.locationId);
    p.locationId = 0x1234;
    EXPECT_EQ(USBMonitor::deviceFrom(p).id, 0x1234u);
}

TEST(USBMonitor, TotalsAndOrder)
{
    Rig r;
    r.refresh();
    EXPECT_TRUE(r.mon.devices().isEmpty());
    EXPECT_EQ(r.mon.totalDrawnMilliAmps(), 0);
    EXPECT_EQ(r.mon.totalEstimatedWatts(), 0.0);

    auto second = dev("Zeta", 100);
    second.vendorName = QStringLiteral("second");
    auto first = dev("Zeta", 100);
    first.vendorName = QStringLiteral("first");
    r.reg->set(QList{dev("apple", 500), first, dev("Beta", 900), second, dev("Étoile", -100)});
    QSignalSpy spy(&r.mon, &USBMonitor::devicesChanged);
    r.refresh();
    EXPECT_EQ(spy.count(), 1);
    QStringList names;
    for (const auto &d : r.mon.devices())
        names << d.name;
    // Code-point order: upper case before lower case, accented letters after both.
    EXPECT_EQ(names, (QStringList{"Beta", "Zeta", "Zeta", "apple", "Étoile"}));
    EXPECT_EQ(r.mon.devices()[1].vendor, QStringLiteral("first")); // equal names keep the listing order
    // A negative request lowers the total.
    EXPECT_EQ(r.mon.totalDrawnMilliAmps(), 1500);
    EXPECT_DOUBLE_EQ(r.mon.totalEstimatedWatts(), 7.5);

    // Every refresh rebuilds the list: the same devices are not added again.
    r.refresh();
    EXPECT_EQ(r.mon.devices().size(), 5);
    EXPECT_EQ(r.mon.totalDrawnMilliAmps(), 1500);
    EXPECT_EQ(r.mon.devicesVariant().size(), 5);
}

TEST(USBMonitor, DecomposedAndComposedNamesSortAlike)
{
    EXPECT_FALSE(USBMonitor::nameLess(QStringLiteral("E\u0301"), QStringLiteral("\u00C9")));
    EXPECT_FALSE(USBMonitor::nameLess(QStringLiteral("\u00C9"), QStringLiteral("E\u0301")));
    EXPECT_TRUE(USBMonitor::nameLess(QStringLiteral("ab"), QStringLiteral("abc")));
    // Beyond the BMP: ordered by code point, not by UTF-16 unit.
    EXPECT_TRUE(USBMonitor::nameLess(QStringLiteral("\uFF21"), QString::fromUcs4(U"\U0001F600")));
}

TEST(USBMonitor, TotalSaturatesInsteadOfWrapping)
{
    Rig r;
    r.reg->set(QList{dev("a", std::numeric_limits<int64_t>::max()), dev("b", 10)});
    r.refresh();
    EXPECT_EQ(r.mon.totalDrawnMilliAmps(), std::numeric_limits<qint64>::max());
}

TEST(USBMonitor, ListingFailureKeepsThePreviousState)
{
    Rig r;
    r.reg->set(QList{dev("Keyboard", 100)});
    r.refresh();
    r.reg->set(std::nullopt);
    EXPECT_FALSE(r.mon.sample());
    r.refresh();
    ASSERT_EQ(r.mon.devices().size(), 1);
    EXPECT_EQ(r.mon.totalDrawnMilliAmps(), 100);
}

TEST(USBMonitor, LaptopFixture)
{
    USBMonitor mon(makeLinuxUsbRegistry(QStringLiteral(CORVANE_FIXTURES "/usb/laptop")), Clock::system(), false);
    mon.publish(*mon.sample());
    QStringList names;
    for (const auto &d : mon.devices())
        names << d.name + " | " + d.portSpeed + " | " + QString::number(d.powerMilliAmps) + (d.isBuiltIn ? " | built-in" : "");
    EXPECT_EQ(names, (QStringList{
                         "Bluetooth Radio | Full (12 Mb/s) | 500 | built-in",
                         "DataTraveler 3.0 | Super (5 Gb/s) | 896",
                         "Integrated Camera | High (480 Mb/s) | 500 | built-in",
                         "USB Device | Low (1.5 Mb/s) | 98",
                         "USB2.0 Hub | High (480 Mb/s) | 100",
                     }));
    EXPECT_EQ(mon.totalDrawnMilliAmps(), 2094);
    EXPECT_DOUBLE_EQ(mon.totalEstimatedWatts(), 10.47);
    EXPECT_EQ(mon.devices()[3].vendor, std::nullopt);
}

TEST(USBMonitor, RunsOffTheGuiThreadAndPausesOnStop)
{
    auto *reg = new FakeUsbRegistry;
    reg->set(QList{dev("Stick", 200)});
    USBMonitor mon(std::unique_ptr<UsbRegistry>(reg), Clock::system(), true);
    QSignalSpy spy(&mon, &USBMonitor::totalDrawnMilliAmpsChanged);
    // The first refresh comes at once, not after the 3 s interval.
    ASSERT_TRUE(spy.wait(1000));
    EXPECT_EQ(reg->lastThread(), QStringLiteral("corvane.usb"));
    EXPECT_EQ(mon.totalDrawnMilliAmps(), 200);
    mon.stop();
    reg->set(QList<UsbDeviceProperties>{});
    EXPECT_FALSE(spy.wait(3500));
    EXPECT_EQ(mon.totalDrawnMilliAmps(), 200);
    mon.start();
    ASSERT_TRUE(spy.wait(1000));
    EXPECT_EQ(mon.totalDrawnMilliAmps(), 0);
}
