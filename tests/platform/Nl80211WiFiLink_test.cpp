// The Wi-Fi link from nl80211 with NetworkManager only for the security, and the nl80211
// replies read from messages built the way the kernel sends them.
#include "fakes/FakeNl80211.h"
#include "fakes/FakeWiFiLink.h"
#include "monitors/WiFiMonitor.h"
#include "platform/WiFiLink.h"
#include "platform/linux/Nl80211Messages.h"

#include <linux/nl80211.h>
#include <netlink/genl/genl.h>
#include <netlink/netlink.h>

#include <gtest/gtest.h>

#include <functional>

using namespace corvane;
using corvane::test::FakeNl80211;
using corvane::test::FakeWiFiLink;

namespace {

Nl80211Station station(const char *name, bool associated)
{
    Nl80211Station s;
    s.name = QString::fromLatin1(name);
    s.mac = QStringLiteral("02:00:00:00:00:01");
    s.associated = associated;
    if (associated) {
        s.ssid = QByteArray("Café 5G");
        s.bssid = QStringLiteral("aa:bb:cc:dd:ee:ff");
        s.signalDbm = -58;
        s.noiseDbm = -92;
        s.txRateMbps = 866.7;
        s.frequencyMhz = 5180;
    }
    return s;
}

struct Machine {
    const char *name;
    std::optional<std::vector<Nl80211Station>> stations;
    // what the screen shows
    bool hasReading;
    QString ssid;
    qint64 rssi;
    const char *signalWord;
    std::optional<WiFiChannel> channel;
};

class Nl80211Machines : public ::testing::TestWithParam<Machine> {};

TEST_P(Nl80211Machines, GiveTheLinkAUserSees)
{
    const Machine &m = GetParam();
    auto nl = std::make_unique<FakeNl80211>();
    nl->list = m.stations;
    auto link = makeNl80211WiFiLink(std::move(nl), nullptr);
    const auto r = link->currentInterface();
    ASSERT_EQ(r.has_value(), m.hasReading);
    const auto sample = WiFiMonitor::sampleFrom(r);
    EXPECT_EQ(sample.ssid.value_or(QString()), m.ssid);
    EXPECT_EQ(sample.rssiDbm, m.rssi);
    EXPECT_EQ(WiFiMonitor::signalQualityLabel(sample.rssiDbm), QString::fromUtf8(m.signalWord));
    if (r)
        EXPECT_EQ(r->channel, m.channel);
}

Nl80211Station sixGhz()
{
    auto s = station("wlp2s0", true);
    s.frequencyMhz = 5955;
    s.noiseDbm.reset(); // most drivers give no noise
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Stations, Nl80211Machines,
    ::testing::Values(
        Machine{"IwdLaptopAssociated", std::vector{station("wlan0", true)}, true, QStringLiteral("Café 5G"), -58,
                "Bun", WiFiChannel{36, 2}},
        Machine{"NotConnected", std::vector{station("wlan0", false)}, true, {}, 0, "—", std::nullopt},
        Machine{"NoInterface", std::vector<Nl80211Station>{}, false, {}, 0, "—", std::nullopt},
        Machine{"SecondInterfaceAssociated", std::vector{station("wlan0", false), station("wlan1", true)}, true,
                QStringLiteral("Café 5G"), -58, "Bun", WiFiChannel{36, 2}},
        Machine{"SixGigahertzWithoutNoise", std::vector{sixGhz()}, true, QStringLiteral("Café 5G"), -58, "Bun",
                WiFiChannel{1, 3}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Nl80211WiFiLink, FiguresComeFromTheKernel)
{
    auto nl = std::make_unique<FakeNl80211>();
    nl->list = std::vector{station("wlan0", true)};
    auto link = makeNl80211WiFiLink(std::move(nl), nullptr);
    const auto r = link->currentInterface();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->bssid, QStringLiteral("aa:bb:cc:dd:ee:ff"));
    EXPECT_EQ(r->hardwareAddress, QStringLiteral("02:00:00:00:00:01"));
    EXPECT_EQ(r->noise, -92);
    EXPECT_DOUBLE_EQ(r->transmitRate, 866.7);
    EXPECT_EQ(r->security, static_cast<int64_t>(WiFiSecurity::Unknown)); // no NetworkManager
}

// NetworkManager is asked for the security when the access point changes or it announces a
// change, never on a timer.
TEST(Nl80211WiFiLink, SecurityFromNetworkManagerOncePerAccessPointOrAnnouncedChange)
{
    auto nl = std::make_unique<FakeNl80211>();
    FakeNl80211 *kernel = nl.get();
    kernel->list = std::vector{station("wlan0", true)};
    class CountingNm final : public WiFiLink {
    public:
        int calls = 0;
        uint64_t generation = 7;
        WiFiInterfaceReading reading;
        std::optional<WiFiInterfaceReading> currentInterface() override
        {
            ++calls;
            return reading;
        }
        int locationAuthorizationStatus() const override { return kAuthorizedAlways; }
        uint64_t changeGeneration() const override { return generation; }
    };
    auto nm = std::make_unique<CountingNm>();
    CountingNm *manager = nm.get();
    manager->reading.bssid = QStringLiteral("AA:BB:CC:DD:EE:FF");
    manager->reading.security = static_cast<int64_t>(WiFiSecurity::WPA2Personal);
    auto link = makeNl80211WiFiLink(std::move(nl), std::move(nm));

    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(link->currentInterface()->security, static_cast<int64_t>(WiFiSecurity::WPA2Personal));
    EXPECT_EQ(manager->calls, 1);

    // Roamed to an access point NetworkManager does not know yet: unknown, and not asked
    // again however long that lasts...
    (*kernel->list)[0].bssid = QStringLiteral("11:22:33:44:55:66");
    EXPECT_EQ(link->currentInterface()->security, static_cast<int64_t>(WiFiSecurity::Unknown));
    EXPECT_EQ(manager->calls, 2);
    manager->reading.bssid = QStringLiteral("11:22:33:44:55:66");
    manager->reading.security = static_cast<int64_t>(WiFiSecurity::WPA3Personal);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(link->currentInterface()->security, static_cast<int64_t>(WiFiSecurity::Unknown));
    EXPECT_EQ(manager->calls, 2);
    // ...until it signals a change.
    ++manager->generation;
    EXPECT_EQ(link->currentInterface()->security, static_cast<int64_t>(WiFiSecurity::WPA3Personal));
    EXPECT_EQ(manager->calls, 3);
    link->currentInterface();
    EXPECT_EQ(manager->calls, 3);
}

TEST(Nl80211WiFiLink, WithoutNl80211NetworkManagerGivesTheWholeReading)
{
    auto nl = std::make_unique<FakeNl80211>();
    nl->list.reset();
    auto nm = std::make_unique<FakeWiFiLink>();
    WiFiInterfaceReading r;
    r.ssid = QStringLiteral("Acasă");
    r.rssi = -70;
    nm->set(r);
    auto link = makeNl80211WiFiLink(std::move(nl), std::move(nm));
    const auto got = link->currentInterface();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->ssid, QStringLiteral("Acasă"));
    EXPECT_EQ(got->rssi, -70);
}

// --- replies ---

class Reply {
public:
    explicit Reply(uint8_t cmd) : m_msg(nlmsg_alloc())
    {
        genlmsg_put(m_msg, NL_AUTO_PORT, NL_AUTO_SEQ, 28, 0, 0, cmd, 0);
    }
    ~Reply() { nlmsg_free(m_msg); }
    nl_msg *get() const { return m_msg; }
    Reply &u32(int type, uint32_t v) { nla_put_u32(m_msg, type, v); return *this; }
    Reply &u8(int type, uint8_t v) { nla_put_u8(m_msg, type, v); return *this; }
    Reply &str(int type, const char *v) { nla_put_string(m_msg, type, v); return *this; }
    Reply &bytes(int type, const QByteArray &v) { nla_put(m_msg, type, v.size(), v.constData()); return *this; }
    Reply &flag(int type) { nla_put_flag(m_msg, type); return *this; }
    Reply &nest(int type, const std::function<void()> &inner)
    {
        nlattr *n = nla_nest_start(m_msg, type);
        inner();
        nla_nest_end(m_msg, n);
        return *this;
    }

private:
    nl_msg *m_msg;
};

const QByteArray kApMac = QByteArray::fromHex("a0b1c2d3e4f5");

TEST(Nl80211Replies, InterfaceOfAStation)
{
    Reply m(NL80211_CMD_NEW_INTERFACE);
    m.u32(NL80211_ATTR_IFINDEX, 3).str(NL80211_ATTR_IFNAME, "wlp2s0").u32(NL80211_ATTR_IFTYPE, NL80211_IFTYPE_STATION);
    m.bytes(NL80211_ATTR_MAC, QByteArray::fromHex("020000000001")).bytes(NL80211_ATTR_SSID, "home, sweet");
    m.u32(NL80211_ATTR_WIPHY_FREQ, 2437);
    Nl80211Station s;
    ASSERT_TRUE(nl80211msg::readInterface(m.get(), s));
    EXPECT_EQ(s.ifindex, 3u);
    EXPECT_EQ(s.name, QStringLiteral("wlp2s0"));
    EXPECT_EQ(s.mac, QStringLiteral("02:00:00:00:00:01"));
    EXPECT_EQ(s.ssid, QByteArray("home, sweet"));
    EXPECT_EQ(s.frequencyMhz, 2437u);

    Reply ap(NL80211_CMD_NEW_INTERFACE);
    ap.u32(NL80211_ATTR_IFINDEX, 4).str(NL80211_ATTR_IFNAME, "ap0").u32(NL80211_ATTR_IFTYPE, NL80211_IFTYPE_AP);
    Nl80211Station other;
    EXPECT_FALSE(nl80211msg::readInterface(ap.get(), other)); // a hotspot we serve is not our link
}

TEST(Nl80211Replies, StationSignalAndRate)
{
    Reply m(NL80211_CMD_NEW_STATION);
    m.bytes(NL80211_ATTR_MAC, kApMac).nest(NL80211_ATTR_STA_INFO, [&] {
        m.u8(NL80211_STA_INFO_SIGNAL, static_cast<uint8_t>(-61));
        m.nest(NL80211_STA_INFO_TX_BITRATE, [&] {
            m.u32(NL80211_RATE_INFO_BITRATE32, 24019); // 2401.9 Mbit/s does not fit 16 bits
        });
    });
    Nl80211Station s;
    nl80211msg::readStation(m.get(), s);
    EXPECT_TRUE(s.associated);
    EXPECT_EQ(s.bssid, QStringLiteral("a0:b1:c2:d3:e4:f5"));
    EXPECT_EQ(s.signalDbm, -61);
    EXPECT_DOUBLE_EQ(*s.txRateMbps, 2401.9);

    Reply old(NL80211_CMD_NEW_STATION);
    old.bytes(NL80211_ATTR_MAC, kApMac).nest(NL80211_ATTR_STA_INFO, [&] {
        old.nest(NL80211_STA_INFO_TX_BITRATE, [&] { nla_put_u16(old.get(), NL80211_RATE_INFO_BITRATE, 540); });
    });
    Nl80211Station t;
    nl80211msg::readStation(old.get(), t);
    EXPECT_DOUBLE_EQ(*t.txRateMbps, 54.0);
    EXPECT_FALSE(t.signalDbm);
}

TEST(Nl80211Replies, NoiseOnlyFromTheChannelInUse)
{
    Nl80211Station s;
    Reply other(NL80211_CMD_NEW_SURVEY_RESULTS);
    other.nest(NL80211_ATTR_SURVEY_INFO, [&] {
        other.u32(NL80211_SURVEY_INFO_FREQUENCY, 2412).u8(NL80211_SURVEY_INFO_NOISE, static_cast<uint8_t>(-80));
    });
    nl80211msg::readSurvey(other.get(), s);
    EXPECT_FALSE(s.noiseDbm);
    Reply inUse(NL80211_CMD_NEW_SURVEY_RESULTS);
    inUse.nest(NL80211_ATTR_SURVEY_INFO, [&] {
        inUse.u32(NL80211_SURVEY_INFO_FREQUENCY, 5180).u8(NL80211_SURVEY_INFO_NOISE, static_cast<uint8_t>(-95));
        inUse.flag(NL80211_SURVEY_INFO_IN_USE);
    });
    nl80211msg::readSurvey(inUse.get(), s);
    EXPECT_EQ(s.noiseDbm, -95);
}

TEST(Nl80211Replies, AssociatedBssFillsTheGaps)
{
    const QByteArray elements = QByteArray::fromHex("010482848b96") + QByteArray("\x00\x06" "Acasă", 2 + 6);
    Nl80211Station s;
    Reply seen(NL80211_CMD_NEW_SCAN_RESULTS);
    seen.nest(NL80211_ATTR_BSS, [&] {
        seen.bytes(NL80211_BSS_BSSID, QByteArray::fromHex("111111111111")).u32(NL80211_BSS_FREQUENCY, 2412);
    });
    nl80211msg::readScan(seen.get(), s); // only seen in a scan, not ours
    EXPECT_FALSE(s.bssid);
    Reply ours(NL80211_CMD_NEW_SCAN_RESULTS);
    ours.nest(NL80211_ATTR_BSS, [&] {
        ours.bytes(NL80211_BSS_BSSID, kApMac).u32(NL80211_BSS_FREQUENCY, 5500);
        ours.u32(NL80211_BSS_STATUS, NL80211_BSS_STATUS_ASSOCIATED).bytes(NL80211_BSS_INFORMATION_ELEMENTS, elements);
    });
    nl80211msg::readScan(ours.get(), s);
    EXPECT_EQ(s.bssid, QStringLiteral("a0:b1:c2:d3:e4:f5"));
    EXPECT_EQ(s.frequencyMhz, 5500u);
    EXPECT_EQ(QString::fromUtf8(s.ssid), QStringLiteral("Acasă"));
}

TEST(Nl80211Replies, TruncatedElementsGiveNoSsid)
{
    const QByteArray cut = QByteArray::fromHex("0020") + QByteArray("abc");
    EXPECT_TRUE(nl80211msg::ssidFromElements(reinterpret_cast<const uint8_t *>(cut.constData()), cut.size()).isEmpty());
}

} // namespace
