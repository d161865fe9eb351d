#include "platform/UsbRegistry.h"

#include <gtest/gtest.h>

#include <QSet>

using namespace corvane;

TEST(LinuxUsbRegistry, NoUsbBusIsAnEmptyList)
{
    const auto list = makeLinuxUsbRegistry(QStringLiteral(CORVANE_FIXTURES "/usb/does-not-exist"))->devices();
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->isEmpty());
}

TEST(LinuxUsbRegistry, SpeedTexts)
{
    const std::pair<const char *, std::optional<int64_t>> rows[] = {
        {"1.5", 0}, {"12", 1}, {"480\n", 2}, {"5000", 3}, {"10000", 4}, {"20000", 5},
        {"53.3", std::nullopt}, {"40000", std::nullopt}, {"48", std::nullopt},
    };
    for (const auto &[text, code] : rows)
        EXPECT_EQ(usbsysfs::speedCode(text), code) << text;
}

TEST(LinuxUsbRegistry, LocationIds)
{
    using usbsysfs::locationId;
    for (const char *bad : {"usb1", "1-1:1.0", "1-", "1-0", "1-128", "1-1.2.3.4.5.6.7"})
        EXPECT_FALSE(locationId(bad)) << bad;
    // Stays exact as a JavaScript number.
    EXPECT_LT(*locationId("2047-127.127.127.127.127.127"), 1ULL << 53);
    // Bus, port and depth all tell devices apart.
    const char *names[] = {"1-1", "2-1", "1-2", "1-1.1", "1-1.1.1", "1-11", "1-1.2", "1-2.1", "1-127"};
    QSet<quint64> seen;
    for (const char *n : names)
        seen.insert(locationId(n).value_or(0));
    EXPECT_FALSE(seen.contains(0));
    EXPECT_EQ(seen.size(), int(std::size(names)));
}
