#include "platform/WiFiLink.h"
#include "platform/linux/SysFile.h"

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::wifilinux;

namespace {
const QString kProc = QStringLiteral(CORVANE_FIXTURES "/wifi/proc");
std::string procText()
{
    return *sysfile::read((kProc + "/net/wireless").toStdString());
}
} // namespace

TEST(NetworkManagerWiFiLink, ChannelsFromFrequencies)
{
    const std::pair<uint32_t, std::optional<WiFiChannel>> rows[] = {
        {2412, WiFiChannel{1, 1}},   {2437, WiFiChannel{6, 1}},  {2472, WiFiChannel{13, 1}},
        {2484, WiFiChannel{14, 1}},  {5180, WiFiChannel{36, 2}}, {5745, WiFiChannel{149, 2}},
        {5885, WiFiChannel{177, 2}}, {5935, WiFiChannel{2, 3}},  {5955, WiFiChannel{1, 3}},
        {6115, WiFiChannel{33, 3}},  {7115, WiFiChannel{233, 3}}, {0, std::nullopt},
        {2400, std::nullopt},        {5000, std::nullopt},       {60480, std::nullopt},
    };
    for (const auto &[mhz, ch] : rows)
        EXPECT_EQ(channelFromFrequency(mhz), ch) << mhz;
}

TEST(NetworkManagerWiFiLink, SecurityFromAccessPointFlags)
{
    constexpr uint32_t privacy = 0x1, psk = 0x100, eap = 0x200, sae = 0x400, owe = 0x800, oweTm = 0x1000,
                       b192 = 0x2000, ccmp = 0x8 | 0x80, tkip = 0x4 | 0x40;
    struct Row {
        uint32_t flags, wpa, rsn;
        WiFiSecurity expected;
    };
    const Row rows[] = {
        {0, 0, 0, WiFiSecurity::None},
        {privacy, 0, 0, WiFiSecurity::WEP},
        {privacy, psk | tkip, 0, WiFiSecurity::WPAPersonal},
        {privacy, psk | tkip, psk | ccmp, WiFiSecurity::WPAPersonalMixed},
        {privacy, 0, psk | ccmp, WiFiSecurity::WPA2Personal},
        {privacy, 0, sae | ccmp, WiFiSecurity::WPA3Personal},
        {privacy, 0, sae | psk | ccmp, WiFiSecurity::WPA3Transition},
        {privacy, eap, 0, WiFiSecurity::WPAEnterprise},
        {privacy, eap, eap, WiFiSecurity::WPAEnterpriseMixed},
        {privacy, 0, eap | ccmp, WiFiSecurity::WPA2Enterprise},
        {privacy, 0, b192 | eap, WiFiSecurity::WPA3Enterprise},
        {0, 0, owe | ccmp, WiFiSecurity::OWE},
        {0, 0, oweTm, WiFiSecurity::OWETransition},
        {privacy, 0, ccmp, WiFiSecurity::Unknown}, // ciphers without a known key management
    };
    for (const auto &r : rows)
        EXPECT_EQ(securityFromFlags(r.flags, r.wpa, r.rsn), r.expected) << r.flags << " " << r.wpa << " " << r.rsn;
}

TEST(NetworkManagerWiFiLink, ProcNetWirelessLevels)
{
    const std::string text = procText();
    const auto a = parseProcNetWireless(text, "wlp0s20f3");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->signal, -56);
    EXPECT_FALSE(a->noise); // -256 without a fresh mark: no figure
    const auto idle = parseProcNetWireless(text, "wlan1");
    ASSERT_TRUE(idle);
    EXPECT_FALSE(idle->signal);
    EXPECT_FALSE(idle->noise);
    const auto old = parseProcNetWireless(text, "wlx0013ef"); // unsigned-byte driver
    ASSERT_TRUE(old);
    EXPECT_EQ(old->signal, -59);
    EXPECT_EQ(old->noise, -95);
    EXPECT_FALSE(parseProcNetWireless(text, "wlan"));
    EXPECT_FALSE(parseProcNetWireless(text, "face"));
    EXPECT_EQ(wirelessInterfaces(text), (std::vector<std::string>{"wlp0s20f3", "wlan1", "wlx0013ef"}));
}

TEST(NetworkManagerWiFiLink, StrengthPercentBackToDbm)
{
    // NetworkManager: 100 % at -40 dBm and above, 0 % at -100 dBm and below, linear between.
    for (auto [pct, dbm] : {std::pair{0u, -100}, {100u, -40}, {67u, -60}, {50u, -70}, {255u, -40}})
        EXPECT_EQ(strengthToDbm(pct), dbm) << pct;
}

TEST(NetworkManagerWiFiLink, WithoutNetworkManagerTheKernelTableStillGivesLevels)
{
    const QDBusConnection nowhere =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("corvane-nowhere"));
    ASSERT_FALSE(nowhere.isConnected());
    auto link = makeNetworkManagerWiFiLink(nowhere, kProc, 100);
    const auto r = link->currentInterface();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->rssi, -56);
    EXPECT_EQ(r->noise, 0);
    EXPECT_FALSE(r->ssid);
    EXPECT_EQ(link->locationAuthorizationStatus(), WiFiLink::kAuthorizedAlways);

    // Neither source: no interface at all.
    auto bare = makeNetworkManagerWiFiLink(nowhere, QStringLiteral(CORVANE_FIXTURES "/wifi/none"), 100);
    EXPECT_FALSE(bare->currentInterface());
    QDBusConnection::disconnectFromBus(QStringLiteral("corvane-nowhere"));
}
