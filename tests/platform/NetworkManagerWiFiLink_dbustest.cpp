#include "fakes/FakeNl80211.h"
#include "fakes/FakeWiFiNetworkManager.h"
#include "monitors/WiFiMonitor.h"
#include "platform/WiFiLink.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <QTest>

#include <future>

using namespace corvane;
using corvane::test::FakeWiFiNetworkManager;

namespace {

const QString kDev = QStringLiteral("/org/freedesktop/NetworkManager/Devices/");
const QString kAp = QStringLiteral("/org/freedesktop/NetworkManager/AccessPoint/7");
const QString kDeviceIface = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString kWirelessIface = QStringLiteral("org.freedesktop.NetworkManager.Device.Wireless");
const QString kApIface = QStringLiteral("org.freedesktop.NetworkManager.AccessPoint");

class NetworkManagerBus : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = QDBusConnection::sessionBus();
        ASSERT_TRUE(server.isConnected()) << "needs a session bus (dbus-run-session)";
        ASSERT_TRUE(server.registerService(QString::fromLatin1(FakeWiFiNetworkManager::kService)));
        ASSERT_TRUE(server.registerVirtualObject(QString::fromLatin1(FakeWiFiNetworkManager::kRoot), &nm,
                                                 QDBusConnection::SubPath));
        // The reader goes through the bus daemon on its own connection, as it would to the real service.
        client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("corvane-nm-client"));
        ASSERT_TRUE(client.isConnected());
    }
    void TearDown() override
    {
        server.unregisterObject(QString::fromLatin1(FakeWiFiNetworkManager::kRoot), QDBusConnection::UnregisterTree);
        server.unregisterService(QString::fromLatin1(FakeWiFiNetworkManager::kService));
        QDBusConnection::disconnectFromBus(QStringLiteral("corvane-nm-client"));
    }

    void laptop(const QByteArray &ssid, const QString &activeAp = kAp)
    {
        nm.setDevices({kDev + "1", kDev + "2"});
        nm.setProperties(kDev + "1", kDeviceIface, {{"DeviceType", 1u}, {"Interface", "enp0s31f6"}});
        nm.setProperties(kDev + "2", kDeviceIface, {{"DeviceType", 2u}, {"Interface", "wlp0s20f3"}});
        nm.setProperties(kDev + "2", kWirelessIface,
                         {{"HwAddress", "3C:A9:F4:12:34:56"},
                          {"Bitrate", 866700u},
                          {"ActiveAccessPoint", QVariant::fromValue(QDBusObjectPath(activeAp))}});
        nm.setProperties(kAp, kApIface,
                         {{"Ssid", ssid},
                          {"HwAddress", "A0:B1:C2:D3:E4:F5"},
                          {"Strength", QVariant::fromValue(uchar(67))},
                          {"Frequency", 5745u},
                          {"Flags", 1u},
                          {"WpaFlags", 0u},
                          {"RsnFlags", 0x188u}});
    }

    // Reads on another thread, as the sampler does, while this thread serves the bus. The
    // fake answers at once: the timeout only has to outlast a loaded machine.
    std::optional<WiFiInterfaceReading> read(const QString &procRoot, int timeoutMs = 10000)
    {
        auto link = makeNetworkManagerWiFiLink(client, procRoot, timeoutMs);
        auto fut = std::async(std::launch::async, [&] { return link->currentInterface(); });
        while (fut.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
            QCoreApplication::processEvents();
        return fut.get();
    }

    // The same, on a link the test keeps.
    static std::optional<WiFiInterfaceReading> readFrom(WiFiLink &link)
    {
        auto fut = std::async(std::launch::async, [&] { return link.currentInterface(); });
        while (fut.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
            QCoreApplication::processEvents();
        return fut.get();
    }

    FakeWiFiNetworkManager nm;
    QDBusConnection server{QString()};
    QDBusConnection client{QString()};
};

const QString kNoProc = QStringLiteral(CORVANE_FIXTURES "/wifi/none");
const QString kProc = QStringLiteral(CORVANE_FIXTURES "/wifi/proc");

} // namespace

TEST_F(NetworkManagerBus, ConnectedLaptop)
{
    laptop(QByteArray("Acas\xc4\x83"));
    auto r = read(kNoProc);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->ssid, QStringLiteral("Acasă"));
    EXPECT_EQ(r->bssid, QStringLiteral("A0:B1:C2:D3:E4:F5"));
    EXPECT_EQ(r->hardwareAddress, QStringLiteral("3C:A9:F4:12:34:56"));
    EXPECT_EQ(r->rssi, -60); // from NetworkManager's 67 %
    EXPECT_EQ(r->noise, 0);
    EXPECT_DOUBLE_EQ(r->transmitRate, 866.7);
    EXPECT_EQ(r->security, int64_t(WiFiSecurity::WPA2Personal));
    EXPECT_EQ(r->channel, (WiFiChannel{149, 2}));

    // The kernel's dBm figure wins over the percentage when the interface is listed.
    r = read(kProc);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->rssi, -56);

    const auto s = WiFiMonitor::sampleFrom(r);
    EXPECT_TRUE(s.isConnected);
    EXPECT_EQ(s.channelLabel, QStringLiteral("Ch 149 · 5 GHz"));
    EXPECT_EQ(s.securityType, QStringLiteral("WPA2"));
}

TEST_F(NetworkManagerBus, HiddenNetworkAndNoAccessPoint)
{
    laptop(QByteArray());
    auto r = read(kNoProc);
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->ssid);
    EXPECT_TRUE(WiFiMonitor::sampleFrom(r).isConnected);

    laptop(QByteArray("x"), QStringLiteral("/"));
    r = read(kProc);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->hardwareAddress, QStringLiteral("3C:A9:F4:12:34:56"));
    EXPECT_EQ(r->rssi, 0);
    EXPECT_FALSE(r->channel);
    EXPECT_FALSE(WiFiMonitor::sampleFrom(r).isConnected);
}

TEST_F(NetworkManagerBus, NoWiFiDevice)
{
    nm.setDevices({kDev + "1"});
    nm.setProperties(kDev + "1", kDeviceIface, {{"DeviceType", 1u}, {"Interface", "enp0s31f6"}});
    EXPECT_FALSE(read(kProc));
}

TEST_F(NetworkManagerBus, ASilentServiceCostsOneShortTimeout)
{
    nm.setSilent(true);
    auto link = makeNetworkManagerWiFiLink(client, kProc, 200);
    auto fut = std::async(std::launch::async, [&] { return link->currentInterface(); });
    // Done long before the bus's own default timeout (25 s) would have let it go.
    ASSERT_TRUE(QTest::qWaitFor([&] { return fut.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                                15000));
    const auto r = fut.get();
    EXPECT_EQ(nm.calls.load(), 1) << "asked again after the service stayed silent";
    // Falls back to the kernel table.
    ASSERT_TRUE(r);
    EXPECT_EQ(r->rssi, -56);
}

// A laptop on iwd-style nl80211 figures with NetworkManager beside it: the security comes from
// NetworkManager when it announces the link, not from asking it every few seconds.
TEST_F(NetworkManagerBus, SecurityFollowsTheChangeSignalsWithoutPolling)
{
    laptop(QByteArray("Acasa"), QStringLiteral("/")); // associated, but not yet in NetworkManager
    auto nl = std::make_unique<test::FakeNl80211>();
    Nl80211Station st;
    st.name = QStringLiteral("wlp0s20f3");
    st.mac = QStringLiteral("3c:a9:f4:12:34:56");
    st.associated = true;
    st.ssid = QByteArray("Acasa");
    st.bssid = QStringLiteral("a0:b1:c2:d3:e4:f5");
    st.signalDbm = -52;
    st.frequencyMhz = 5745;
    nl->list = std::vector{st};
    auto link = makeNl80211WiFiLink(std::move(nl), makeNetworkManagerWiFiLink(client, kNoProc, 10000));
    const auto unknown = int64_t(WiFiSecurity::Unknown);

    EXPECT_EQ(readFrom(*link)->security, unknown);
    for (int i = 0; i < 20; ++i) // a minute of samples
        EXPECT_EQ(readFrom(*link)->security, unknown);
    EXPECT_EQ(nm.deviceListings.load(), 1);

    // NetworkManager finishes the association and says so.
    laptop(QByteArray("Acasa"));
    ASSERT_TRUE(FakeWiFiNetworkManager::announce(
        server, kDev + "2", kWirelessIface, {{"ActiveAccessPoint", QVariant::fromValue(QDBusObjectPath(kAp))}}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return readFrom(*link)->security == int64_t(WiFiSecurity::WPA2Personal); }, 3000));
    const int afterAssociation = nm.deviceListings.load();
    EXPECT_EQ(afterAssociation, 2);

    // Signals that cannot change the security (rate, strength) ask nothing.
    ASSERT_TRUE(FakeWiFiNetworkManager::announce(server, kDev + "2", kWirelessIface, {{"Bitrate", 400000u}}));
    ASSERT_TRUE(FakeWiFiNetworkManager::announce(server, kAp, kApIface, {{"Strength", QVariant::fromValue(uchar(40))}}));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(readFrom(*link)->security, int64_t(WiFiSecurity::WPA2Personal));

    // The access point switches to WPA3 (a router firmware change while connected).
    nm.setProperties(kAp, kApIface,
                     {{"Ssid", QByteArray("Acasa")}, {"HwAddress", "A0:B1:C2:D3:E4:F5"}, {"Frequency", 5745u},
                      {"Flags", 1u}, {"WpaFlags", 0u}, {"RsnFlags", 0x400u}});
    ASSERT_TRUE(FakeWiFiNetworkManager::announce(server, kAp, kApIface, {{"RsnFlags", 0x400u}}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return readFrom(*link)->security == int64_t(WiFiSecurity::WPA3Personal); }, 10000));
    // The rate and strength signals went before this one on the bus: they had asked nothing.
    EXPECT_EQ(nm.deviceListings.load(), afterAssociation + 1);
}

TEST_F(NetworkManagerBus, NetworkManagerStartingLaterIsNoticed)
{
    server.unregisterService(QString::fromLatin1(FakeWiFiNetworkManager::kService));
    auto nmLink = makeNetworkManagerWiFiLink(client, kNoProc, 10000); // no service: refused at once
    EXPECT_FALSE(readFrom(*nmLink));
    const uint64_t before = nmLink->changeGeneration();
    laptop(QByteArray("Acasa"));
    ASSERT_TRUE(server.registerService(QString::fromLatin1(FakeWiFiNetworkManager::kService)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return nmLink->changeGeneration() != before; }, 20000));
    const auto r = readFrom(*nmLink);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->security, int64_t(WiFiSecurity::WPA2Personal));
}
