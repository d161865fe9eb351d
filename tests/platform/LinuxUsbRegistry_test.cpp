#include "platform/UsbRegistry.h"

#include <gtest/gtest.h>

#include <QMap>
#include <QSet>

using namespace corvane;

namespace {

const QString kLaptop = QStringLiteral(CORVANE_FIXTURES "/usb/laptop");

QMap<QString, UsbDeviceProperties> byVendorOrSpeed(const QList<UsbDeviceProperties> &list)
{
    QMap<QString, UsbDeviceProperties> m;
    for (const auto &d : list)
        m.insert(d.productName.value_or(QStringLiteral("<none>")), d);
    return m;
}

} // namespace

TEST(LinuxUsbRegistry, LaptopListsDevicesOnceWithoutInterfacesOrRootHubs)
{
    auto reg = makeLinuxUsbRegistry(kLaptop);
    const auto list = reg->devices();
    ASSERT_TRUE(list);
    // hub, mouse behind it, webcam, Bluetooth, stick; the alias of the webcam is the same device.
    ASSERT_EQ(list->size(), 5);
    const auto m = byVendorOrSpeed(*list);

    const auto cam = m.value(QStringLiteral("Integrated Camera"));
    EXPECT_EQ(cam.vendorName, QStringLiteral("Chicony Electronics Co.,Ltd."));
    EXPECT_EQ(cam.deviceSpeed, 2);
    EXPECT_EQ(cam.requestedPower, 500);
    EXPECT_EQ(cam.builtIn, 1);

    const auto stick = m.value(QStringLiteral("DataTraveler 3.0"));
    EXPECT_EQ(stick.deviceSpeed, 3);
    EXPECT_EQ(stick.requestedPower, 896);
    EXPECT_EQ(stick.builtIn, 0);
    EXPECT_FALSE(stick.busCurrentAllocation); // no Linux counterpart
    EXPECT_FALSE(stick.busPowerAvailable);

    const auto hub = m.value(QStringLiteral("USB2.0 Hub"));
    EXPECT_EQ(hub.deviceSpeed, 2);
    EXPECT_EQ(hub.builtIn, 0);

    // The mouse names neither product nor vendor, and its port is of unknown kind.
    const auto mouse = m.value(QStringLiteral("<none>"));
    EXPECT_FALSE(mouse.vendorName);
    EXPECT_EQ(mouse.deviceSpeed, 0);
    EXPECT_EQ(mouse.requestedPower, 98);
    EXPECT_FALSE(mouse.builtIn);

    EXPECT_EQ(m.value(QStringLiteral("Bluetooth Radio")).deviceSpeed, 1);

    // Location ids are present, distinct and the same on the next listing.
    QSet<quint64> ids;
    for (const auto &d : *list) {
        ASSERT_TRUE(d.locationId);
        ids.insert(*d.locationId);
    }
    EXPECT_EQ(ids.size(), 5);
    const auto again = reg->devices();
    ASSERT_TRUE(again);
    ASSERT_EQ(again->size(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ((*again)[i].locationId, (*list)[i].locationId);
}

TEST(LinuxUsbRegistry, NoUsbBusIsAnEmptyList)
{
    auto reg = makeLinuxUsbRegistry(QStringLiteral(CORVANE_FIXTURES "/usb/does-not-exist"));
    const auto list = reg->devices();
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->isEmpty());
}

TEST(LinuxUsbRegistry, SpeedTexts)
{
    const std::pair<const char *, std::optional<int64_t>> rows[] = {
        {"1.5", 0}, {"12", 1}, {"480\n", 2}, {"5000", 3}, {"10000", 4}, {"20000", 5},
        {"53.3", std::nullopt}, {"40000", std::nullopt}, {"", std::nullopt}, {"48", std::nullopt},
    };
    for (const auto &[text, code] : rows)
        EXPECT_EQ(usbsysfs::speedCode(text), code) << text;
}

TEST(LinuxUsbRegistry, LocationIds)
{
    using usbsysfs::locationId;
    EXPECT_FALSE(locationId("usb1"));
    EXPECT_FALSE(locationId("1-1:1.0"));
    EXPECT_FALSE(locationId("1-"));
    EXPECT_FALSE(locationId("1-0"));
    EXPECT_FALSE(locationId("1-128"));            // beyond seven bits
    EXPECT_FALSE(locationId("1-1.2.3.4.5.6.7"));  // deeper than a USB tree goes
    ASSERT_TRUE(locationId("1-1.2.3.4.5.6"));
    EXPECT_LT(*locationId("2047-127.127.127.127.127.127"), 1ULL << 53);
    // Bus, port and depth all tell devices apart.
    const char *names[] = {"1-1", "2-1", "1-2", "1-1.1", "1-1.1.1", "1-11", "1-1.2", "1-2.1", "1-127"};
    QSet<quint64> seen;
    for (const char *n : names) {
        const auto id = locationId(n);
        ASSERT_TRUE(id) << n;
        EXPECT_NE(*id, 0u);
        seen.insert(*id);
    }
    EXPECT_EQ(seen.size(), int(std::size(names)));
}
