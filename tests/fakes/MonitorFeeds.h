#pragma once
// Real monitors on fake platform sources, fed one whole snapshot at a time, for the
// components that listen to them. Each feed() applies a snapshot the way a tick does.
#include "fakes/FakeAudioDevices.h"
#include "fakes/FakeCameraDevices.h"
#include "fakes/FakeClock.h"
#include "fakes/FakePowerSources.h"
#include "fakes/FakeSamplingSources.h"
#include "fakes/FakeSmcTransport.h"
#include "monitors/BatteryMonitor.h"
#include "monitors/CameraMonitor.h"
#include "monitors/MicrophoneMonitor.h"
#include "monitors/SMCMonitor.h"
#include "monitors/SystemMonitor.h"

#include <cmath>

namespace corvane::test {

struct SystemFeed {
    FakeClock clock;
    SystemMonitor mon{std::make_unique<FakeHostStats>(), clock, false};
    void cpu(double fraction)
    {
        SystemMonitor::Snapshot s;
        s.cpu = fraction;
        mon.publish(s);
    }
};

struct BatteryFeed {
    FakeClock clock;
    FakePowerSources *src = new FakePowerSources;
    BatteryMonitor mon{std::unique_ptr<PowerSources>(src), clock, false};

    // One refresh: charge in percent (hundredths kept), adapter state, the gauge's cycles,
    // health in percent and temperature in °C.
    void refresh(double pct, bool charging, int cycles = 100, double health = 95, double temp = 30)
    {
        PowerSourceDescription d;
        d.currentCapacity = std::llround(pct * 100);
        d.maxCapacity = 10000;
        d.powerSourceState = charging ? QStringLiteral("AC Power") : QStringLiteral("Battery Power");
        src->sources = QList{d};
        SmartBatteryReading b;
        b.cycleCount = cycles;
        b.designCapacity = 10000;
        b.fullChargeCapacity = std::llround(health * 100);
        b.temperature = std::llround(temp * 100);
        src->battery = b;
        mon.publish(mon.sampler().sample());
    }
};

struct SmcFeed {
    FakeClock clock;
    SMCMonitor mon{std::make_unique<FakeSmcTransport>(), clock, false};
    void cpuTemp(double celsius)
    {
        SMCMonitor::Snapshot s;
        s.connected = true;
        s.cpuTemp = celsius;
        mon.publish(s);
    }
};

struct CameraFeed {
    CameraMonitor mon{std::make_unique<FakeCameraDevices>()};
    // One evaluation: the cameras in use (none: off).
    void running(const QStringList &names) { mon.publish({!names.isEmpty(), names}); }
};

struct MicFeed {
    MicrophoneMonitor mon{std::make_unique<FakeAudioDevices>()};
    void running(const QStringList &names) { mon.publish({!names.isEmpty(), names}); }
};

} // namespace corvane::test
