// Applying a snapshot: an unchanged one announces nothing but updated(), a changed one
// exactly its changed fields, and every listener reads the whole snapshot.
#include "fakes/FakeAudioDevices.h"
#include "fakes/FakeCalendarStore.h"
#include "fakes/FakeCameraDevices.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeDisplaySource.h"
#include "fakes/FakeSmcTransport.h"
#include "fakes/FakeUsbRegistry.h"
#include "fakes/FakeWiFiLink.h"
#include "monitors/CalendarMonitor.h"
#include "monitors/CameraMonitor.h"
#include "monitors/DisplayMonitor.h"
#include "monitors/MicrophoneMonitor.h"
#include "monitors/SMCMonitor.h"
#include "monitors/USBMonitor.h"
#include "monitors/WiFiMonitor.h"
#include "support/SignalRecorder.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>

using namespace corvane;
using namespace corvane::test;

namespace {

FakeClock &clock()
{
    static FakeClock c;
    return c;
}

// A monitor and a way to apply one of two snapshots to it (0: the base, 1: the variant).
struct Subject {
    std::shared_ptr<QObject> monitor;
    std::function<void(int)> apply;
};

template <class Monitor, class Snapshot>
Subject publishing(std::unique_ptr<Monitor> m, Snapshot base, Snapshot variant)
{
    Monitor *raw = m.get();
    return {std::shared_ptr<QObject>(std::move(m)), [raw, base, variant](int step) { raw->publish(step ? variant : base); }};
}

struct SnapshotCase {
    const char *name;
    std::function<Subject()> make;
    QStringList changed; // base → variant, in the monitor's order
};

void PrintTo(const SnapshotCase &c, std::ostream *os) { *os << c.name; }

// ---- snapshots ----

USBDevice usbDevice(const QString &name, qint64 mA)
{
    USBDevice d;
    d.id = d.locationId = 7;
    d.name = name;
    d.portSpeed = QStringLiteral("High (480 Mb/s)");
    d.powerMilliAmps = mA;
    return d;
}

Subject usb(USBMonitor::Snapshot base, USBMonitor::Snapshot variant)
{
    return publishing(std::make_unique<USBMonitor>(std::make_unique<FakeUsbRegistry>(), clock(), false), base, variant);
}

WiFiMonitor::WiFiSample office()
{
    WiFiMonitor::WiFiSample s;
    s.isConnected = true;
    s.ssid = QStringLiteral("office");
    s.bssid = QStringLiteral("aa:bb:cc:00:00:01");
    s.rssiDbm = -60;
    s.noiseDbm = -92;
    s.transmitRateMbps = 433.3;
    s.securityType = QStringLiteral("WPA2");
    s.channelLabel = QStringLiteral("Ch 36 · 5 GHz");
    s.hardwareAddress = QStringLiteral("10:20:30:40:50:60");
    return s;
}

Subject wifi(WiFiMonitor::WiFiSample variant)
{
    return publishing(std::make_unique<WiFiMonitor>(std::make_unique<FakeWiFiLink>(), clock(), false), office(), variant);
}

Subject display()
{
    DisplaySourceSnapshot awake;
    DrmConnectorFacts panel;
    panel.name = QStringLiteral("eDP-1");
    panel.card = QStringLiteral("card0");
    panel.type = QStringLiteral("eDP");
    panel.connected = true;
    panel.dpms = QStringLiteral("On");
    awake.connectors = {panel};
    DisplaySourceSnapshot asleep = awake;
    asleep.connectors[0].dpms = QStringLiteral("Off");
    auto screens = [] {
        ScreenFacts s;
        s.name = QStringLiteral("eDP-1");
        s.geometry = QRect(0, 0, 1920, 1080);
        s.refreshRate = 60;
        s.primary = true;
        return std::vector<ScreenFacts>{s};
    };
    return publishing(std::make_unique<DisplayMonitor>(std::make_unique<FakeDisplaySource>(
                                                           std::make_shared<FakeDisplaySource::Shared>()),
                                                       screens, clock(), false),
                      awake, asleep);
}

CalendarEvent meeting(const QString &title)
{
    const QDateTime start(QDate(2026, 3, 2), QTime(10, 0), QTimeZone::utc());
    return {title, start, start.addSecs(1800), false};
}

Subject calendar(std::function<void(CalendarMonitor &, int)> apply)
{
    auto m = std::make_shared<CalendarMonitor>(std::make_unique<FakeCalendarStore>(), clock(), false);
    return {m, [raw = m.get(), apply](int step) { apply(*raw, step); }};
}

SMCMonitor::Snapshot smcReading()
{
    SMCMonitor::Snapshot s;
    s.connected = true;
    s.temperatures = {{QStringLiteral("TC0P"), QStringLiteral("CPU Proximity"), 52.0},
                      {QStringLiteral("TG0P"), QStringLiteral("GPU Proximity"), 48.0}};
    s.cpuTemp = 52.0;
    s.gpuTemp = 48.0;
    s.fans = {{0, QStringLiteral("Ventilator"), 1800, 1200, 6000}};
    return s;
}

Subject smc(SMCMonitor::Snapshot variant)
{
    return publishing(std::make_unique<SMCMonitor>(std::make_unique<FakeSmcTransport>(), clock(), false), smcReading(),
                      variant);
}

DeviceUseSnapshot inUse(const QStringList &names) { return {!names.isEmpty(), names}; }

Subject camera(DeviceUseSnapshot base, DeviceUseSnapshot variant)
{
    return publishing(std::make_unique<CameraMonitor>(std::make_unique<FakeCameraDevices>()), base, variant);
}

Subject mic(DeviceUseSnapshot base, DeviceUseSnapshot variant)
{
    return publishing(std::make_unique<MicrophoneMonitor>(std::make_unique<FakeAudioDevices>()), base, variant);
}

const SnapshotCase kCases[] = {
    {"UsbDevicePlugged",
     [] { return usb({}, {{usbDevice("Stick", 200)}, 200}); },
     {"devicesChanged", "totalDrawnMilliAmpsChanged", "totalEstimatedWattsChanged"}},
    {"UsbDeviceRenamedSameDraw",
     [] { return usb({{usbDevice("Stick", 200)}, 200}, {{usbDevice("Stick 3.0", 200)}, 200}); },
     {"devicesChanged"}},
    {"WiFiSignalOnly",
     [] {
         auto s = office();
         s.rssiDbm = -75;
         return wifi(s);
     },
     {"rssiDbmChanged"}},
    {"WiFiRoamedToAnotherAccessPoint",
     [] {
         auto s = office();
         s.bssid = QStringLiteral("aa:bb:cc:00:00:02");
         s.channelLabel = QStringLiteral("Ch 6 · 2.4 GHz");
         return wifi(s);
     },
     {"bssidChanged", "channelLabelChanged"}},
    {"WiFiDisconnectedKeepsHardwareAddress",
     [] {
         WiFiMonitor::WiFiSample s;
         s.hardwareAddress = office().hardwareAddress;
         return wifi(s);
     },
     {"isConnectedChanged", "ssidChanged", "bssidChanged", "rssiDbmChanged", "noiseDbmChanged",
      "transmitRateMbpsChanged", "securityTypeChanged", "channelLabelChanged"}},
    {"DisplayFellAsleep", [] { return display(); }, {"displaysChanged"}},
    {"CalendarNextEventMoved",
     [] { return calendar([](CalendarMonitor &m, int step) { m.publishNext(meeting(step ? "Retro" : "Standup")); }); },
     {"nextEventChanged"}},
    {"CalendarRefusalGainsAnError",
     [] {
         return calendar([](CalendarMonitor &m, int step) {
             m.publishAccess({false, step ? std::optional<QString>(QStringLiteral("Calendarul nu poate fi citit"))
                                          : std::nullopt});
         });
     },
     {"lastErrorChanged"}},
    {"SmcFanSpeedOnly",
     [] {
         auto s = smcReading();
         s.fans[0].rpm = 2400;
         return smc(s);
     },
     {"fansChanged"}},
    {"SmcCpuWarmer",
     [] {
         auto s = smcReading();
         s.temperatures[0].celsius = s.cpuTemp = 61.0;
         return smc(s);
     },
     {"temperaturesChanged", "cpuTempChanged"}},
    {"CameraSwitchedOn",
     [] { return camera(inUse({}), inUse({"Integrated Camera"})); },
     {"isCameraOnChanged", "activeCameraNamesChanged"}},
    {"CameraStillOnOtherDevice",
     [] { return camera(inUse({"Integrated Camera"}), inUse({"USB Camera"})); },
     {"activeCameraNamesChanged"}},
    {"MicrophoneSwitchedOff",
     [] { return mic(inUse({"Built-in", "Headset"}), inUse({})); },
     {"isMicrophoneOnChanged", "activeMicNamesChanged"}},
};

class AppliedSnapshot : public ::testing::TestWithParam<SnapshotCase> {};

TEST_P(AppliedSnapshot, AnnouncesOnlyChangedFieldsThenOneUpdate)
{
    const SnapshotCase &c = GetParam();
    Subject s = c.make();
    s.apply(0);
    SignalRecorder rec(s.monitor.get());

    s.apply(0);
    EXPECT_EQ(rec.names(), QStringList{"updated"});

    rec.clear();
    s.apply(1);
    EXPECT_EQ(rec.names(), c.changed + QStringList{"updated"});
    // Whatever signal a listener follows, it reads the whole applied snapshot.
    const QVariantMap after = SignalRecorder::readAll(s.monitor.get());
    for (qsizetype i = 0; i < rec.seen().size(); ++i)
        EXPECT_EQ(rec.seen()[i], after) << "inside " << rec.names()[i].toStdString();
}

INSTANTIATE_TEST_SUITE_P(Peripherals, AppliedSnapshot, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
