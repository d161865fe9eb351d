#include "monitors/WiFiMonitor.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeWiFiLink.h"
#include "support/QuietWaits.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

using namespace corvane;
using corvane::test::FakeClock;
using corvane::test::FakeWiFiLink;

TEST(WiFiMonitor, SignalWordsAtTheBoundaries)
{
    const std::pair<qint64, const char *> rows[] = {
        {-200, "Slab"}, {-81, "Slab"}, {-80, "Mediu"}, {-65, "Mediu"}, {-64, "Bun"},
        {-50, "Bun"},   {-49, "Excelent"}, {-1, "Excelent"}, {0, "—"}, {1, "—"}, {120, "—"},
    };
    for (const auto &[dbm, word] : rows)
        EXPECT_EQ(WiFiMonitor::signalQualityLabel(dbm), QString::fromUtf8(word)) << dbm;
}

TEST(WiFiMonitor, SamplesFromReadings)
{
    // No interface: all defaults, and no signal word for the missing reading.
    const auto none = WiFiMonitor::sampleFrom(std::nullopt);
    EXPECT_EQ(none, WiFiMonitor::WiFiSample{});
    EXPECT_EQ(WiFiMonitor::signalQualityLabel(none.rssiDbm), QStringLiteral("—"));

    // A hidden network: no name but a signal, so connected.
    WiFiInterfaceReading hidden;
    hidden.rssi = -60;
    auto s = WiFiMonitor::sampleFrom(hidden);
    EXPECT_TRUE(s.isConnected);
    EXPECT_FALSE(s.ssid);
    EXPECT_EQ(s.securityType, QStringLiteral("?"));
    EXPECT_FALSE(s.channelLabel);

    // An interface that is up but not associated.
    s = WiFiMonitor::sampleFrom(WiFiInterfaceReading{});
    EXPECT_FALSE(s.isConnected);
    for (int64_t raw : {int64_t(16), int64_t(-1), std::numeric_limits<int64_t>::min()})
        EXPECT_EQ(WiFiMonitor::securityLabel(raw), QStringLiteral("?")) << raw;

    WiFiInterfaceReading r;
    r.ssid = QStringLiteral("Acasă");
    r.channel = WiFiChannel{149, 2};
    r.security = 4;
    r.transmitRate = 866.7;
    s = WiFiMonitor::sampleFrom(r);
    EXPECT_TRUE(s.isConnected);
    EXPECT_EQ(s.channelLabel, QStringLiteral("Ch 149 · 5 GHz"));
    EXPECT_EQ(s.securityType, QStringLiteral("WPA2"));
    EXPECT_DOUBLE_EQ(s.transmitRateMbps, 866.7);
    for (auto [band, text] : {std::pair{int64_t(0), "Ch 149 · ?"}, {1, "Ch 149 · 2.4 GHz"}, {3, "Ch 149 · 6 GHz"},
                              {7, "Ch 149 · ?"}})
        EXPECT_EQ(WiFiMonitor::channelText(WiFiChannel{149, band}), QString::fromUtf8(text));
}

TEST(WiFiMonitor, LocationAuthorisationNeedsAlways)
{
    FakeClock clock;
    auto *link = new FakeWiFiLink;
    link->status = 4; // granted only while in use
    WiFiMonitor mon(std::unique_ptr<WiFiLink>(link), clock, false);
    EXPECT_FALSE(mon.locationAuthorized());
    QSignalSpy spy(&mon, &WiFiMonitor::locationAuthorizedChanged);
    link->status = WiFiLink::kAuthorizedAlways;
    mon.locationAuthorizationDidChange();
    ASSERT_TRUE(spy.wait(1000));
    EXPECT_TRUE(mon.locationAuthorized());
}

TEST(WiFiMonitor, RunsOnItsThreadAndRestartsAfterATenthOfASecond)
{
    auto *link = new FakeWiFiLink;
    WiFiInterfaceReading r;
    r.ssid = QStringLiteral("office");
    r.rssi = -70;
    link->set(r);
    WiFiMonitor mon(std::unique_ptr<WiFiLink>(link), Clock::system(), true);
    QSignalSpy spy(&mon, &WiFiMonitor::updated);
    ASSERT_TRUE(spy.wait(1000));
    EXPECT_EQ(link->lastThread, QStringLiteral("corvane.wifi"));
    EXPECT_EQ(mon.ssid(), QStringLiteral("office"));
    EXPECT_EQ(mon.signalQualityLabel(), QStringLiteral("Mediu"));

    mon.stop();
    // The interface goes away while paused: nothing changes until the restart.
    link->set(std::nullopt);
    spy.clear();
    ASSERT_TRUE(test::passTicks(mon.scheduler()->cadence(), 2));
    EXPECT_EQ(spy.count(), 0);
    EXPECT_TRUE(mon.isConnected());
    // The restart reads after its tenth of a second, not after a whole interval.
    EXPECT_DOUBLE_EQ(mon.scheduler()->cadence().firstDelay(0), 0.1);
    EXPECT_DOUBLE_EQ(mon.scheduler()->cadence().interval, 3.0);
    mon.start();
    ASSERT_TRUE(spy.wait(10000));
    EXPECT_FALSE(mon.isConnected());
    EXPECT_FALSE(mon.ssidVariant().isValid());
}
