#include "monitors/SamplerScheduler.h"
#include "monitors/USBMonitor.h"
#include "fakes/FakeUsbRegistry.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

using namespace corvane;
using corvane::test::FakeUsbRegistry;

namespace {

UsbDeviceProperties dev(const char *name, int64_t mA, const char *vendor = nullptr)
{
    static uint64_t next = 1;
    UsbDeviceProperties p;
    p.productName = QString::fromUtf8(name);
    p.requestedPower = mA;
    if (vendor)
        p.vendorName = QString::fromUtf8(vendor);
    p.locationId = next++;
    return p;
}

struct Rig {
    FakeUsbRegistry *reg = new FakeUsbRegistry;
    USBMonitor mon{std::unique_ptr<UsbRegistry>(reg), Clock::system(), false};
    void refresh()
    {
        if (auto s = mon.sampler().sample())
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

    for (auto [code, label] : {std::pair{std::optional<int64_t>(2), "High (480 Mb/s)"}, {3, "Super (5 Gb/s)"},
                               {6, "—"}, {-1, "—"}, {std::nullopt, "—"}}) {
        p.deviceSpeed = code;
        EXPECT_EQ(USBMonitor::deviceFrom(p).portSpeed, QString::fromUtf8(label));
    }
    p.busPowerAvailable = 250;
    EXPECT_EQ(USBMonitor::deviceFrom(p).busPowerMilliAmps, 500);
    p.busCurrentAllocation = 900;
    EXPECT_EQ(USBMonitor::deviceFrom(p).busPowerMilliAmps, 900);
    for (auto [builtIn, expected] : {std::pair{std::optional<int64_t>(1), true}, {0, false}, {2, false}}) {
        p.builtIn = builtIn;
        EXPECT_EQ(USBMonitor::deviceFrom(p).isBuiltIn, expected);
    }
    // No location: a fresh non-zero id each time, shared by id and locationId.
    const USBDevice a = USBMonitor::deviceFrom(p), b = USBMonitor::deviceFrom(p);
    EXPECT_NE(a.locationId, 0u);
    EXPECT_EQ(a.id, a.locationId);
    EXPECT_NE(a.locationId, b.locationId);
}

TEST(USBMonitor, TotalsOrderAndRebuild)
{
    Rig r;
    r.refresh();
    EXPECT_TRUE(r.mon.devices().isEmpty());
    EXPECT_EQ(r.mon.totalEstimatedWatts(), 0.0);

    r.reg->set(QList{dev("apple", 500), dev("Zeta", 100, "first"), dev("Beta", 900), dev("Zeta", 100, "second"),
                     dev("E\u0301toile", -100), dev("\u00C9tage", 0)});
    r.refresh();
    QStringList names;
    for (const auto &d : r.mon.devices())
        names << d.name + d.vendor.value_or(QString());
    // Code-point order of the composed forms; equal names keep the listing order.
    EXPECT_EQ(names, (QStringList{"Beta", "Zetafirst", "Zetasecond", "apple", "\u00C9tage", "E\u0301toile"}));
    EXPECT_EQ(r.mon.totalDrawnMilliAmps(), 1500); // a negative request lowers the total
    EXPECT_DOUBLE_EQ(r.mon.totalEstimatedWatts(), 7.5);

    // Every refresh rebuilds the list rather than adding to it.
    r.refresh();
    EXPECT_EQ(r.mon.devicesVariant().size(), 6);
    EXPECT_EQ(r.mon.totalDrawnMilliAmps(), 1500);

    // A sum beyond the integer range saturates instead of wrapping negative.
    r.reg->set(QList{dev("a", std::numeric_limits<int64_t>::max()), dev("b", 10)});
    r.refresh();
    EXPECT_EQ(r.mon.totalDrawnMilliAmps(), std::numeric_limits<qint64>::max());

    // A failed listing publishes nothing.
    r.reg->set(std::nullopt);
    EXPECT_FALSE(r.mon.sampler().sample());
}

TEST(USBMonitor, LaptopFixture)
{
    // Root hubs and interfaces are not devices; an alias of the webcam is the same device.
    USBMonitor mon(makeLinuxUsbRegistry(QStringLiteral(CORVANE_FIXTURES "/usb/laptop")), Clock::system(), false);
    mon.publish(*mon.sampler().sample());
    QStringList rows;
    for (const auto &d : mon.devices())
        rows << d.name + " | " + d.vendor.value_or("-") + " | " + d.portSpeed + " | " + QString::number(d.powerMilliAmps)
                + " | " + QString::number(d.busPowerMilliAmps) + (d.isBuiltIn ? " | built-in" : "");
    EXPECT_EQ(rows, (QStringList{
                        "Bluetooth Radio | Realtek | Full (12 Mb/s) | 500 | 0 | built-in",
                        "DataTraveler 3.0 | Kingston | Super (5 Gb/s) | 896 | 0",
                        "Integrated Camera | Chicony Electronics Co.,Ltd. | High (480 Mb/s) | 500 | 0 | built-in",
                        "USB Device | - | Low (1.5 Mb/s) | 98 | 0",
                        "USB2.0 Hub | Genesys Logic, Inc. | High (480 Mb/s) | 100 | 0",
                    }));
    EXPECT_DOUBLE_EQ(mon.totalEstimatedWatts(), 10.47);
    // Location ids are stable across refreshes.
    const auto before = mon.devices();
    mon.publish(*mon.sampler().sample());
    for (int i = 0; i < before.size(); ++i)
        EXPECT_EQ(mon.devices()[i].id, before[i].id);
}

TEST(USBMonitor, RefreshesAtOnceOffTheGuiThreadAndPausesOnStop)
{
    auto *reg = new FakeUsbRegistry;
    reg->set(QList{dev("Stick", 200)});
    USBMonitor mon(std::unique_ptr<UsbRegistry>(reg), Clock::system(), true);
    QSignalSpy spy(&mon, &USBMonitor::totalDrawnMilliAmpsChanged);
    ASSERT_TRUE(spy.wait(1000));
    EXPECT_EQ(reg->lastThread, QString::fromLatin1(SamplerScheduler::kSharedThreadName)); // off the GUI thread
    mon.stop();
    reg->set(QList<UsbDeviceProperties>{});
    EXPECT_FALSE(spy.wait(3500));
    EXPECT_EQ(mon.totalDrawnMilliAmps(), 200);
    mon.start();
    ASSERT_TRUE(spy.wait(1000));
    EXPECT_EQ(mon.totalDrawnMilliAmps(), 0);
}
