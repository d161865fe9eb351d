#pragma once
// The state hub over fake sources: no monitor reads this machine, and a figure reaches the
// screens only when the test puts it in a fake and ticks that monitor.
#include "fakes/FakeAudioDevices.h"
#include "fakes/FakeCameraDevices.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeDisplayLink.h"
#include "fakes/FakeDisplaySource.h"
#include "fakes/FakeGpuStats.h"
#include "fakes/FakePowerSources.h"
#include "fakes/FakeSamplingSources.h"
#include "fakes/FakeSmcTransport.h"
#include "fakes/FakeUsbRegistry.h"
#include "fakes/FakeWiFiLink.h"
#include "state/AppState.h"

#include <functional>

namespace corvane::test {

class FakeHub {
public:
    // Stopped: no sampler ticks on its own (values change only by tick()/publish()).
    // Running: the samplers tick on their cadences over the fakes, as the real hub would.
    enum class Start { Stopped, Running };

    explicit FakeHub(Start start = Start::Stopped, QObject *parent = nullptr)
        : state([this, start](QObject *hub) { return make(hub, start == Start::Running); }, parent)
    {
    }

    // One tick of a sampled monitor: its sampler reads the fakes, the monitor applies the snapshot.
    template <class Monitor>
    static void tick(Monitor *m)
    {
        m->publish(m->sampler().sample());
    }

    // The fakes, owned by their monitors; set them while the hub is stopped.
    FakeClock clock;
    FakeHostStats *host = nullptr;
    FakeNetworkCounters *network = nullptr;
    FakePowerSources *power = nullptr;
    FakeBlockStorage *storage = nullptr;
    FakeCameraDevices *cameras = nullptr;
    FakeAudioDevices *audio = nullptr;
    FakeUsbRegistry *usb = nullptr;
    std::shared_ptr<FakeDisplayLink::Shared> frames = std::make_shared<FakeDisplayLink::Shared>();
    std::shared_ptr<FakeGpuStats::Shared> gpu = std::make_shared<FakeGpuStats::Shared>();
    FakeWiFiLink *wifi = nullptr;
    FakeProcessTable *processes = nullptr;
    std::shared_ptr<FakeDisplaySource::Shared> displays = std::make_shared<FakeDisplaySource::Shared>();
    // Qt's screens as the display monitor sees them (none unless a test gives some).
    std::function<std::vector<ScreenFacts>()> screens = [] { return std::vector<ScreenFacts>{}; };
    FakeSmcTransport *smc = nullptr;

    AppState state;

private:
    template <class T>
    static std::unique_ptr<T> own(T *&handle)
    {
        auto p = std::make_unique<T>();
        handle = p.get();
        return p;
    }

    HubMonitors make(QObject *hub, bool run)
    {
        HubMonitors m;
        m.system = new SystemMonitor(own(host), clock, run, hub);
        m.network = new NetworkMonitor(own(network), clock, run, hub);
        m.battery = new BatteryMonitor(own(power), clock, run, hub);
        m.storage = new StorageMonitor(own(storage), clock, run, hub);
        m.camera = new CameraMonitor(own(cameras), hub);
        m.mic = new MicrophoneMonitor(own(audio), hub);
        m.usb = new USBMonitor(own(usb), clock, run, hub);
        m.fps = new FPSMonitor([f = frames] { return std::make_unique<FakeDisplayLink>(f); }, clock, run, hub);
        m.gpu = new GPUMonitor(std::make_unique<FakeGpuStats>(gpu), clock, run, hub);
        m.wifi = new WiFiMonitor(own(wifi), clock, run, hub);
        m.processes = new ProcessMonitor(own(processes), clock, run, hub);
        m.displays = new DisplayMonitor(std::make_unique<FakeDisplaySource>(displays),
                                        [this] { return screens(); }, clock, run, hub);
        m.smc = new SMCMonitor(own(smc), clock, run, hub);
        return m;
    }
};

} // namespace corvane::test
